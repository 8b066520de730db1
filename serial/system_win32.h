#pragma once
// What the Windows files of serial/ share: texts between UTF-8 (the program's) and UTF-16 (the
// system's), the system's text for an error code, and the registry key that lists the ports.
#include <windows.h>

#include <string>

namespace torvane::win32 {

std::wstring Wide(const std::string& utf8);
std::string Utf8(const wchar_t* text, size_t length);
inline std::string Utf8(const std::wstring& text) {
  return Utf8(text.data(), text.size());
}

// FormatMessageW's text for `code` in the user's language, without the line break and the full stop
// it ends in (strerror has neither, and the lines shown add their own); "error N" when it has none.
std::string SystemText(DWORD code);

// The key that lists the ports for Trecognitionserial's root: HKLM\HARDWARE\DEVICEMAP\SERIALCOMM,
// or a key under HKCU\ or HKLM\ (also spelt HKEY_CURRENT_USER\, HKEY_LOCAL_MACHINE\) that root names.
struct TPortKey {
  HKEY Hive;
  std::wstring Path;
};
TPortKey PortListKey(const std::string& root);

}  // namespace torvane::win32
