// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The date-time part of the names the file dialogs propose ("telinf_R2026-12-07_18-30-05"): sortable,
// and free of the characters a Windows file name may not hold.
#include <cstdio>
#include <string>

#include "core/clock.h"

namespace torvane {

inline std::string FileNameStamp(const TDateTime& t) {
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d_%02d-%02d-%02d", t.Year, t.Month, t.Day, t.Hour, t.Minute,
                t.Second);
  return text;
}

}  // namespace torvane
