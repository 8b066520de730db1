// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/grid_sheet.h"

#include <exception>
#include <filesystem>
#include <system_error>

#include "core/utf8_path.h"

namespace torvane {

namespace {
constexpr const char* kReplaceQuestion = " already exists.\nDo you want to replace it?";
}  // namespace

bool MaySaveWorkbookAs(IOperator& op, const std::string& chosenName) {
  bool isXls = false;
  const std::string target = SaveAsFileName(chosenName, &isXls);
  if (target == chosenName) return true;
  std::error_code error;
  const auto status = std::filesystem::symlink_status(PathFromUtf8(target), error);
  // Anything else that keeps us from looking (a folder we may not search) stops the save as well, and
  // the save reports it with the system's own words.
  if (status.type() == std::filesystem::file_type::not_found || error) return true;
  return op.WarnOkCancel(target + kReplaceQuestion);
}

void WriteGridAsText(TExcelApplication& excel, const TGrid& grid, int lastRow, int columnCount,
                     const std::function<void(int row)>& afterRow,
                     const std::function<bool(int row)>& keepRow) {
  int sheetRow = 0;
  for (int r = 0; r <= lastRow; ++r) {
    if (!keepRow || keepRow(r)) {
      ++sheetRow;
      for (int c = 0; c < columnCount; ++c) {
        TCellRef cell = excel.Cells(sheetRow, c + 1);
        cell.SetNumberFormatLocal("@");
        cell.SetValue(grid.Cell(c, r));
      }
    }
    afterRow(r);
  }
}

TImportResult OpenSheetToImport(TExcelApplication& excel, const std::string& fileName,
                                const std::string& heading, const std::string& wrongFormat) {
  TImportResult result;
  try {
    // The whole file is read here: a broken one ends the import before the grid is touched.
    excel.WorkBooks().Open(fileName);
  } catch (const std::exception& e) {
    result.Fail(TImportResult::TFile::Unreadable, e.what());
    excel.Quit();
    return result;
  }
  if (excel.Cells(1, 1).Text() != heading) {
    result.Fail(TImportResult::TFile::Broken, wrongFormat);
    excel.Quit();
  }
  return result;
}

}  // namespace torvane
