// SPDX-License-Identifier: GPL-3.0-or-later
// The file buttons of the three tabs reach their operations: each click writes or reads a real file.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "app/history_page.h"
#include "app/numbers_page.h"
#include "app/settings_page.h"
#include "core/message.h"
#include "files/import_result.h"
#include "files/spreadsheet.h"
#include "files/spreadsheet_test_util.h"
#include "numbers/number_record.h"
#include "numbers/number_texts.h"
#include "settings/settings_table.h"
#include "support/file_session.h"
#include "support/qt_app.h"

namespace torvane {
namespace {

QPushButton* Button(const TTabPage& page, const char* caption) {
  for (QPushButton* b : page.OperationButtons())
    if (b->text() == caption) return b;
  return nullptr;
}

void Click(const TTabPage& page, const char* caption) {
  QPushButton* b = Button(page, caption);
  ASSERT_NE(b, nullptr) << caption;
  b->setEnabled(true);
  QTest::mouseClick(b, Qt::LeftButton);
}

class FileButtons : public testing::TFileSessionTest {
 protected:
  FileButtons() { testing::EnsureQtApp(); }
  void Answer(const std::string& path) { Op().FileAnswers.push_back(path); }
};

TEST_F(FileButtons, ProfileExportAndImport) {
  TSettingsPage page(S());
  S().SettingsGrid.SetCell(kContentCol, 2, "13800138000");
  Answer(dir_ / "profile.xlsx");
  Click(page, "Export profile");
  ASSERT_TRUE(std::filesystem::exists(dir_ / "profile.xlsx"));
  S().SettingsGrid.SetCell(kContentCol, 2, "");
  Answer(dir_ / "profile.xlsx");
  Click(page, "Import profile");
  EXPECT_EQ(S().SettingsGrid.Cell(kContentCol, 2), "13800138000");
  EXPECT_TRUE(fake_.Operator.Errors.empty());
}

TEST_F(FileButtons, NumberListExportsAndImport) {
  TNumbersPage page(S());
  S().NumberGrid.SetCell(kColNumber, 1, "555");
  S().NumberGrid.SetCell(kColAlways, 1, kMarkYes);
  Answer(dir_ / "list.xls");
  Click(page, "Export .XLS");
  Answer(dir_ / "list.cvs");
  Click(page, "Export .CSV");
  EXPECT_EQ(testing::FileBytes(dir_ / "list.cvs").substr(0, 20), "1,555,,,,,yes,no,,\r\n");
  S().NumberGrid.SetCell(kColNumber, 1, "");
  Answer(dir_ / "list.xls");
  Click(page, "Import .XLS");
  EXPECT_EQ(S().NumberGrid.Cell(kColNumber, 1), "555");
  EXPECT_TRUE(fake_.Operator.Messages.empty());
  EXPECT_TRUE(fake_.Operator.Errors.empty());
}

TEST_F(FileButtons, ARefusedImportShowsOneBoxAndLeavesTheGridAsItWas) {
  TNumbersPage page(S());
  S().NumberGrid.SetCell(kColNumber, 1, "555");
  S().NumberGrid.SetCell(kColAlways, 1, kMarkYes);
  Answer(dir_ / "list.xlsx");
  Click(page, "Export .XLS");
  {
    TExcelApplication excel;
    TWorkbook& book = excel.WorkBooks().Open(dir_ / "list.xlsx");
    excel.Cells(4, 2).SetValue("12ab");
    excel.Cells(4, 7).SetValue(kMarkYes);
    book.SaveAs(dir_ / "list.xlsx");
  }
  S().NumberGrid.SetCell(kColNumber, 1, "777");
  Answer(dir_ / "list.xlsx");
  Click(page, "Import .XLS");
  ASSERT_EQ(fake_.Operator.Messages.size(), 1u);
  EXPECT_NE(fake_.Operator.Messages[0].find("serial 3: the number \"12ab\" holds \"a\""), std::string::npos)
      << fake_.Operator.Messages[0];
  EXPECT_TRUE(fake_.Operator.Errors.empty());
  EXPECT_EQ(S().NumberGrid.Cell(kColNumber, 1), "777");
  EXPECT_EQ(S().NumberGrid.Cell(kColNumber, 3), "");
}

// The file names a number the grid holds (written another way), one it holds as it stands and a new
// one: one box counts them, and one undo takes the whole merge back.
TEST_F(FileButtons, AddFromFileMergesByNumberInOneUndoStep) {
  TNumbersPage page(S());
  TGrid& grid = S().NumberGrid;
  testing::SetGridRow(grid, 1, {"+491701234567", "", "", "", "", kMarkYes});
  testing::SetGridRow(grid, 2, {"555", "2024-05-06", "07:05", "2024-06-30", "18:00"});
  testing::SetGridRow(grid, 4, {"666", "", "", "", "", kMarkYes});
  std::ofstream(dir_ / "list.json") << R"({"format": "torvane-numbers", "version": 1, "numbers": [)"
                                       R"({"serial": 1, "number": "0049 170 1234567",)"
                                       R"( "start": "2025-01-01 00:00", "end": "2025-12-31 23:59"},)"
                                       R"({"serial": 2, "number": "555",)"
                                       R"( "start": "2024-05-06 07:05", "end": "2024-06-30 18:00"},)"
                                       R"({"serial": 3, "number": "777", "always": true}]})";
  std::vector<std::string> before;
  for (int row = 1; row <= 4; ++row)
    for (int col = 0; col < kNumberColCount; ++col) before.push_back(grid.Cell(col, row));
  const int steps = S().NumbersUndo.UndoCount();

  Answer(dir_ / "list.json");
  Click(page, kNumbersAddFromFileCaption);
  ASSERT_EQ(Op().Messages.size(), 1u);
  EXPECT_EQ(Op().Messages[0], FillText(kNumbersMerged, {"1", "1", "1", "0"}) + "\n" + CleanedRowsText(1));
  EXPECT_EQ(grid.Cell(kColNumber, 1), "+491701234567");
  EXPECT_EQ(grid.Cell(kColStartDate, 1), "2025-01-01");
  EXPECT_EQ(grid.Cell(kColAlways, 1), kMarkNo);
  EXPECT_EQ(grid.Cell(kColNumber, 3), "777");
  EXPECT_EQ(grid.Cell(kColSerial, 3), "3");
  EXPECT_EQ(grid.Cell(kColAlways, 3), kMarkYes);
  EXPECT_EQ(grid.Cell(kColNumber, 4), "666");

  EXPECT_EQ(S().NumbersUndo.UndoCount(), steps + 1);
  ASSERT_TRUE(S().NumbersUndo.Undo());
  std::vector<std::string> after;
  for (int row = 1; row <= 4; ++row)
    for (int col = 0; col < kNumberColCount; ++col) after.push_back(grid.Cell(col, row));
  EXPECT_EQ(after, before);
}

TEST_F(FileButtons, HistoryExports) {
  THistoryPage page(S());
  S().HistoryGrid.SetCell(1, 1, "513");
  Answer(dir_ / "his.cvs");
  Click(page, "Export.CSV");
  Answer(dir_ / "his");
  Click(page, "Export.XLS");
  EXPECT_EQ(testing::FileBytes(dir_ / "his.cvs"), "1,513,,,,,,,,\r\n");
  EXPECT_TRUE(std::filesystem::exists(dir_ / "his.xlsx"));
  EXPECT_TRUE(fake_.Operator.Errors.empty());
}

}  // namespace
}  // namespace torvane
