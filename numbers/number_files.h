// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The number list in files: a spreadsheet to export and import again, and comma-separated text.
//
// Spreadsheet layout: row 1 the grid's headings, row j + 1 grid row j (j = 1..3000), columns A..H
// as the grid's "Serial" .. "Delete(V)", every cell written as text. An import goes by place: sheet
// row j + 1 always lands in grid row j, whatever serial the file shows, and only the number, the
// window and the "Always(V)" mark are taken; the serials and the "Delete(V)" marks stay the grid's.
//
// Comma-separated layout: no heading line; for grid rows 1..3000 the eight cells and two empty fields;
// then one line of ten empty fields for the row after the last. Lines end in CR LF, the text is in
// the PC's ANSI code page.
#include <string>
#include <vector>

#include "core/codepage.h"
#include "core/context.h"
#include "core/grid.h"
#include "files/import_result.h"
#include "numbers/number_import.h"
#include "numbers/number_texts.h"

namespace torvane {

// The "Export .XLS" button: the whole grid, headings included, to a spreadsheet file.
void ExportNumbersXls(TContext& link, const TGrid& grid, const std::string& configDir);
// The "Import .XLS" button: asks for a file and imports it (ImportNumbersXlsFrom); Cancelled when
// none is chosen.
TImportResult ImportNumbersXls(TContext& link, TGrid& grid, const std::string& configDir);
// Reads the file, judges every row first (number_import.h) and loads it only when no row is refused;
// otherwise, and for a file that cannot be read, the grid is left as it was. Nothing is shown: the
// caller presents the result.
TImportResult ImportNumbersXlsFrom(TContext& link, TGrid& grid, const std::string& fileName);
// A number list sheet's rows as it gives them, unjudged; Unreadable or Broken when it cannot be read
// as one.
TImportResult ReadNumbersSheet(const std::string& fileName, TNumberFile& out);
// The "Export .CSV" button. The lines are built before the dialog opens.
void ExportNumbersCsv(TContext& link, const TGrid& grid, const std::string& configDir,
                      const TCodePage& codePage = TCodePage::System());

// The import's check of one row's window (the values of sheet columns C..F): each date gives its
// month, day and year digits and is ten characters long, each time gives its hour and minute and is
// five characters long.
bool NumberWindowTextsValid(const std::string& startDate, const std::string& startTime,
                            const std::string& endDate, const std::string& endTime);
// The message for the wrong rows (grid row numbers, in order); the first three are named.
std::string WrongNumberRowsMessage(const std::vector<int>& wrongRows);

}  // namespace torvane
