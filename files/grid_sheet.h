// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the profile, number list and history files do alike with a spreadsheet: a grid written out as
// text cells, the name it is saved under, and a file to import opened and recognised by its first cell.
#include <functional>
#include <string>

#include "core/grid.h"
#include "core/operator.h"
#include "files/import_result.h"
#include "files/spreadsheet.h"

namespace torvane {

// Grid rows 0..lastRow, columns 0..columnCount-1, as text cells of the active sheet (grid row r is
// sheet row r + 1). `afterRow(r)` runs once each row is written, for the progress display. Rows that
// `keepRow` turns down are left out, and the next row kept takes their sheet row; afterRow still runs
// for them, so the progress reaches its end.
void WriteGridAsText(TExcelApplication& excel, const TGrid& grid, int lastRow, int columnCount,
                     const std::function<void(int row)>& afterRow,
                     const std::function<bool(int row)>& keepRow = {});

// Whether the workbook may be saved under the name the save dialog gave. SaveAs adds ".xlsx" to a
// name without an extension, and the dialog's own "replace?" question was about the name without
// it; so when SaveAs would write another name and a file of that name exists, the operator is asked
// (WarnOkCancel) before it is replaced. True also when SaveAs writes the very name the dialog showed.
bool MaySaveWorkbookAs(IOperator& op, const std::string& chosenName);

// Reads a spreadsheet to import whole. The result tells a file that could not be read (Unreadable,
// its error names the file) or whose first cell is not `heading` (Broken, `wrongFormat`); every
// workbook is dropped then.
TImportResult OpenSheetToImport(TExcelApplication& excel, const std::string& fileName,
                                const std::string& heading, const std::string& wrongFormat);

}  // namespace torvane
