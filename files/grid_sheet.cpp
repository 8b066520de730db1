#include "files/grid_sheet.h"

#include <exception>

namespace torvane {

void WriteGridAsText(TExcelApplication& excel, const TGrid& grid, int lastRow, int columnCount,
                     const std::function<void(int row)>& afterRow) {
  for (int r = 0; r <= lastRow; ++r) {
    for (int c = 0; c < columnCount; ++c) {
      TCellRef cell = excel.Cells(r + 1, c + 1);
      cell.SetNumberFormatLocal("@");
      cell.SetValue(grid.Cell(c, r));
    }
    afterRow(r);
  }
}

bool OpenSheetToImport(IOperator& op, TExcelApplication& excel, const std::string& filter,
                       const std::string& folder, const std::string& heading,
                       const std::string& wrongFormat) {
  const auto fileName = op.ChooseOpenFile(filter, folder);
  if (!fileName) {
    excel.Quit();
    return false;
  }
  try {
    // The whole file is read here: a broken one ends the import before the grid is touched.
    excel.WorkBooks().Open(*fileName);
  } catch (const std::exception& e) {
    op.Error(e.what());
    excel.Quit();
    return false;
  }
  if (excel.Cells(1, 1).Text() != heading) {
    op.Message(wrongFormat);
    excel.Quit();
    return false;
  }
  return true;
}

}  // namespace torvane
