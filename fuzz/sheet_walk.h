// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Reads back every cell of a sheet the way the file imports do (Text and Value), so that the
// display and date conversions run on whatever the reader let through.
#include "files/spreadsheet.h"

namespace torvane::fuzz {

inline size_t WalkSheet(const TSheet& sheet) {
  size_t total = 0;
  for (const auto& [row, cells] : sheet.Rows())
    for (size_t c = 0; c < cells.size(); ++c) {
      const int column = static_cast<int>(c) + 1;
      total += sheet.Text(row, column).size() + sheet.Value(row, column).size();
    }
  return total;
}

}  // namespace torvane::fuzz
