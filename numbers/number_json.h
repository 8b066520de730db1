// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The number list as JSON, for scripts and the command-line tool:
//
//   {"format": "torvane-numbers", "version": 1,
//    "numbers": [{"serial": 1, "number": "+4917012345678", "start": "2024-05-06 07:05",
//                 "end": "2024-06-30 18:00", "always": false, "delete": false}, ...]}
//
// Only rows that hold something (a number, or an "always" or "delete" mark) are written; a row left
// out is an empty row. "start" and "end" are the grid's date and time cells with a space between
// them ("" for none). Loading judges every row as the spreadsheet import does (number_import.h): a
// row with a number that is neither always allowed nor to be deleted needs a whole window, and every
// number, date and time must be one the device keeps, or the file is refused.
#include <string>
#include <string_view>

#include "core/grid.h"
#include "files/import_result.h"
#include "numbers/number_import.h"

namespace torvane {

inline constexpr char kNumbersJsonFormat[] = "torvane-numbers";

std::string NumbersToJson(const TGrid& grid);

// A list's rows as it gives them, unjudged. The result is Broken, with why, when the text is not a
// whole such document.
TImportResult ReadNumbersJson(std::string_view text, TNumberFile& out);

// Reads and judges a whole list and, when nothing is refused, loads it into the number grid (every
// row, as one change); otherwise nothing is changed.
TImportResult NumbersFromJson(std::string_view text, TGrid& grid);

}  // namespace torvane
