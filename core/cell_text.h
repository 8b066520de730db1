// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Cells as text on the clipboard, the way spreadsheets exchange them: the fields of a row split by
// tabs, rows by line ends. So a column of numbers copied from a spreadsheet pastes into the grid's
// rows, and cells copied from the grid paste into a spreadsheet.
#include <string>
#include <string_view>
#include <vector>

namespace torvane {

using TCellRows = std::vector<std::vector<std::string>>;

// Every row ends with a line end, except that one cell is only its text.
std::string JoinCellText(const TCellRows& rows);
// Line ends may be "\n" or "\r\n"; the line end after the last row does not make an empty row.
TCellRows SplitCellText(std::string_view text);

}  // namespace torvane
