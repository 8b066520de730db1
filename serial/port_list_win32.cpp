// SPDX-License-Identifier: GPL-3.0-or-later
// The port list on Windows: the values of the registry key the serial drivers fill as ports come and
// go (HKLM\HARDWARE\DEVICEMAP\SERIALCOMM, "\Device\Serial0" = "COM1", "\Device\VCP0" = "COM7", ...).
// Nothing is opened: opening a port can toggle its modem lines and reset an attached device.
#include <windows.h>

#include <algorithm>
#include <vector>

#include "serial/port_list.h"
#include "serial/system_win32.h"

namespace torvane {

Trecognitionserial::Trecognitionserial(std::string root) : root_(std::move(root)) {}

std::vector<std::string> Trecognitionserial::FillPortList() const {
  const win32::TPortKey where = win32::PortListKey(root_);
  HKEY key = nullptr;
  // No key: no serial port has been seen since the system started.
  if (::RegOpenKeyExW(where.Hive, where.Path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return {};
  DWORD longestName = 0, longestData = 0;
  std::vector<std::string> names;
  if (::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &longestName,
                         &longestData, nullptr, nullptr) == ERROR_SUCCESS) {
    std::vector<wchar_t> name(longestName + 1);
    std::vector<BYTE> data(longestData + sizeof(wchar_t));
    for (DWORD i = 0;; ++i) {
      DWORD nameLength = static_cast<DWORD>(name.size());
      DWORD dataLength = static_cast<DWORD>(data.size() - sizeof(wchar_t));
      DWORD type = 0;
      const LONG r =
          ::RegEnumValueW(key, i, name.data(), &nameLength, nullptr, &type, data.data(), &dataLength);
      if (r == ERROR_NO_MORE_ITEMS) break;
      if (r == ERROR_MORE_DATA) {
        // A value written between the size query and here: make room and ask for it again.
        name.resize(name.size() * 2 + 256);
        data.resize(data.size() * 2 + 256);
        --i;
        continue;
      }
      if (r != ERROR_SUCCESS) break;
      if (type != REG_SZ) continue;
      // Registry strings need not end in a zero; the length is what counts.
      size_t chars = dataLength / sizeof(wchar_t);
      const auto* text = reinterpret_cast<const wchar_t*>(data.data());
      while (chars > 0 && text[chars - 1] == L'\0') --chars;
      if (chars > 0) names.push_back(Utf8FromWide(std::wstring_view(text, chars)));
    }
  }
  ::RegCloseKey(key);
  std::sort(names.begin(), names.end(), NaturalLess);
  names.erase(std::unique(names.begin(), names.end()), names.end());
  return names;
}

}  // namespace torvane
