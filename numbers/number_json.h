#pragma once
// The number list as JSON, for scripts and the command-line tool:
//
//   {"format": "torvane-numbers", "version": 1,
//    "numbers": [{"serial": 1, "number": "+4917012345678", "start": "2024-05-06 07:05",
//                 "end": "2024-06-30 18:00", "always": false, "delete": false}, ...]}
//
// Only rows that hold something (a number, or an "always" or "delete" mark) are written; a row left
// out is an empty row. "start" and "end" are the grid's date and time cells with a space between
// them ("" for none). Loading checks every row as the spreadsheet import does: a row with a number
// that is neither always allowed nor to be deleted needs a whole window, or the file is refused.
#include <optional>
#include <string>
#include <string_view>

#include "core/grid.h"

namespace torvane {

inline constexpr char kNumbersJsonFormat[] = "torvane-numbers";

std::string NumbersToJson(const TGrid& grid);

// Loads a whole list into the number grid (every row, as one change). Returns why it cannot (the
// import's own message for rows without a whole window); nothing is changed then.
std::optional<std::string> NumbersFromJson(std::string_view text, TGrid& grid);

}  // namespace torvane
