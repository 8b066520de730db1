// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/system_win32.h"

namespace torvane::win32 {

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
      return {h.Hive, WideFromUtf8(root.substr(prefix.size()))};
  }
  return {HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM"};
}

}  // namespace torvane::win32
