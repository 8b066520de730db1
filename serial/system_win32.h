// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the Windows files of serial/ share: the registry key that lists the ports. (Texts cross
// between UTF-8 and UTF-16, and errors get the system's words, through core/wide_text.h.)
#include <windows.h>

#include <string>

#include "core/wide_text.h"

namespace torvane::win32 {

// The key that lists the ports for Trecognitionserial's root: HKLM\HARDWARE\DEVICEMAP\SERIALCOMM,
// or a key under HKCU\ or HKLM\ (also spelt HKEY_CURRENT_USER\, HKEY_LOCAL_MACHINE\) that root names.
struct TPortKey {
  HKEY Hive;
  std::wstring Path;
};
TPortKey PortListKey(const std::string& root);

}  // namespace torvane::win32
