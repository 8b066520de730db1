#include "serial/system_win32.h"

#include <climits>

namespace torvane::win32 {

std::wstring Wide(const std::string& utf8) {
  if (utf8.empty() || utf8.size() > INT_MAX) return {};
  const int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  if (n <= 0) return {};
  std::wstring wide(static_cast<size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
  return wide;
}

std::string Utf8(const wchar_t* text, size_t length) {
  if (length == 0 || length > INT_MAX) return {};
  const int n =
      ::WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
  if (n <= 0) return {};
  std::string utf8(static_cast<size_t>(n), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), utf8.data(), n, nullptr, nullptr);
  return utf8;
}

std::string SystemText(DWORD code) {
  wchar_t* buffer = nullptr;
  const DWORD n = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::string text = n > 0 && buffer ? Utf8(buffer, n) : std::string();
  if (buffer) ::LocalFree(buffer);
  while (!text.empty() &&
         (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '.'))
    text.pop_back();
  return text.empty() ? "error " + std::to_string(code) : text;
}

TPortKey PortListKey(const std::string& root) {
  struct THive {
    const char* Prefix;
    HKEY Hive;
  };
  static const THive kHives[] = {{"HKCU\\", HKEY_CURRENT_USER},
                                 {"HKEY_CURRENT_USER\\", HKEY_CURRENT_USER},
                                 {"HKLM\\", HKEY_LOCAL_MACHINE},
                                 {"HKEY_LOCAL_MACHINE\\", HKEY_LOCAL_MACHINE}};
  for (const THive& h : kHives) {
    const std::string prefix = h.Prefix;
    if (root.size() > prefix.size() && root.compare(0, prefix.size(), prefix) == 0)
      return {h.Hive, Wide(root.substr(prefix.size()))};
  }
  return {HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM"};
}

}  // namespace torvane::win32
