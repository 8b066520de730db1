// SPDX-License-Identifier: GPL-3.0-or-later
// The number list files: spreadsheet export and import (round trips in both formats, independent
// readers and writers, the row check, hostile files) and the comma-separated export.
#include "numbers/number_files.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>

#include "core/codepage.h"
#include "files/spreadsheet.h"
#include "files/spreadsheet_test_util.h"
#include "numbers/number_record.h"
#include "support/file_session.h"

namespace torvane {
namespace {

using testing::FileBytes;
using testing::ParseForeign;
using testing::RunFixtureScript;
using testing::SetGridRow;
using testing::TFakeSession;
using testing::TForeignSheet;
using testing::TReaderCase;
using testing::TTempDir;

const std::vector<std::string> kHeadings{"Serial",   "Authorized number", "Start Date", "Start Time ",
                                         "End Date", "End Time",          "Always(V)",  "Delete(V)"};

std::vector<std::string> Snapshot(const TGrid& grid) {
  std::vector<std::string> cells;
  for (int r = 0; r < grid.RowCount(); ++r)
    for (int c = 0; c < grid.ColCount(); ++c) cells.push_back(grid.Cell(c, r));
  return cells;
}

// A list as an operator keeps it: windows, always allowed rows, rows to delete, empty rows.
void FillNumbers(TGrid& grid) {
  for (int r = 1; r <= kNumberRows; ++r) {
    if (r % 7 == 0)
      SetGridRow(grid, r,
                 {"1380013" + std::to_string(r), "2024-05-06", "07:05", "2025-12-31", "23:59", "no", "no"});
    else if (r % 11 == 0)
      SetGridRow(grid, r, {"+86" + std::to_string(r), "", "", "", "", "yes", "no"});
    else if (r % 13 == 0)
      SetGridRow(grid, r, {"0" + std::to_string(r), "2024/01/0", "", "", "", "no", "yes"});
  }
  SetGridRow(grid, kNumberRows, {"0123", "2030-01-02", "00:00", "2030-01-03", "9:5", "yes", "yes"});
}

// A sheet with the headings and whatever the test puts in, saved under `path`.
void WriteSheet(const std::string& path, const std::function<void(TExcelApplication&)>& fill) {
  TExcelApplication excel;
  TWorkbook& book = excel.WorkBooks().Add();
  for (size_t c = 0; c < kHeadings.size(); ++c)
    excel.Cells(1, static_cast<int>(c) + 1).SetValue(kHeadings[c]);
  fill(excel);
  book.SaveAs(path);
}

void SetSheetRow(TExcelApplication& excel, int gridRow, const std::vector<std::string>& cells) {
  for (size_t c = 0; c < cells.size(); ++c)
    excel.Cells(gridRow + 1, static_cast<int>(c) + 1).SetValue(cells[c]);
}

class NumberFiles : public testing::TFileSessionTest {
 protected:
  TGrid& Grid() { return S().NumberGrid; }

  void Export(const std::string& path) {
    Op().FileAnswers.push_back(path);
    ExportNumbersXls(S().Context, Grid(), S().ConfigDir);
  }
  // As the window does it: the import, then its one box.
  void Import(const std::string& path) {
    Op().FileAnswers.push_back(path);
    ShowImportResult(Op(), ImportNumbersXls(S().Context, Grid(), S().ConfigDir));
  }
  void ExportCsv(const std::string& path, const TCodePage& codePage = TCodePage::System()) {
    Op().FileAnswers.push_back(path);
    ExportNumbersCsv(S().Context, Grid(), S().ConfigDir, codePage);
  }
};

class NumberRoundTrip : public NumberFiles, public ::testing::WithParamInterface<const char*> {};

TEST_P(NumberRoundTrip, GivesBackNumbersWindowsAndAlwaysMarks) {
  FillNumbers(Grid());
  const std::string path = dir_ / (std::string("list") + GetParam());
  Export(path);
  ASSERT_TRUE(Op().Errors.empty()) << Op().Errors.front();

  TFakeSession other;
  TGrid& back = other.Session->NumberGrid;
  other.Operator.FileAnswers.push_back(path);
  const TImportResult result = ImportNumbersXls(other.Session->Context, back, dir_.Path());
  ASSERT_TRUE(result.Loaded()) << result.FileError << result.RefusalText;
  EXPECT_EQ(result.RowsCleaned, 0);
  for (int r = 1; r <= kNumberRows; ++r) {
    for (int c = kColNumber; c <= kColAlways; ++c)
      ASSERT_EQ(back.Cell(c, r), Grid().Cell(c, r)) << c << "," << r;
    // The serials and the deletion marks stay the importing grid's own.
    ASSERT_EQ(back.Cell(kColSerial, r), std::to_string(r));
    ASSERT_EQ(back.Cell(kColDelete, r), kMarkNo);
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, NumberRoundTrip, ::testing::Values(".xlsx", ".xls"));

TEST_F(NumberFiles, ExportProposesAStampedNameInTheConfigurationFolder) {
  Export(dir_ / "a.xlsx");
  ExportCsv(dir_ / "a.cvs");
  Import(dir_ / "a.xlsx");
  ASSERT_EQ(Op().ProposedNames.size(), 3u);
  EXPECT_EQ(Op().ProposedNames[0], "telinf_R2026-12-07_18-30-05");
  EXPECT_EQ(Op().ProposedNames[1], "telinf_CSV2026-12-07_18-30-05.cvs");
  EXPECT_EQ(Op().FileFilters[0], "EXCEL file|*.xlsx;*.xls|(*.*)|*.*");
  EXPECT_EQ(Op().FileFilters[1], "CVS file|*.cvs;*.cvs|(*.*)|*.*");
  EXPECT_EQ(Op().FileFilters[2], "EXCEL file|*.xls;*.xlsx|(*.*)|*.*");
  for (const std::string& folder : Op().FileFolders) EXPECT_EQ(folder, S().ConfigDir);
}

TEST_F(NumberFiles, ExportShowsEachRowAndEndsWithAnEmptyStatus) {
  Export(dir_ / "a.xlsx");
  const auto& texts = fake_.StatusView.History;
  ASSERT_GE(texts.size(), 3000u);
  EXPECT_EQ(texts.front(), "Save:1/3000");
  EXPECT_EQ(texts[texts.size() - 2], "Save:3000/3000");
  EXPECT_EQ(texts.back(), "");
  EXPECT_FALSE(fake_.StatusView.ProgressVisible);
}

TEST_F(NumberFiles, ExportWithoutExtensionWritesXlsx) {
  Export(dir_ / "telinf_R2026-12-07_18-30-05");
  EXPECT_TRUE(std::filesystem::exists(dir_ / "telinf_R2026-12-07_18-30-05.xlsx"));
}

TEST_F(NumberFiles, CancelledDialogsWriteAndChangeNothing) {
  FillNumbers(Grid());
  const auto before = Snapshot(Grid());
  ExportNumbersXls(S().Context, Grid(), S().ConfigDir);
  ExportNumbersCsv(S().Context, Grid(), S().ConfigDir);
  ImportNumbersXls(S().Context, Grid(), S().ConfigDir);
  EXPECT_EQ(Op().ProposedNames.size(), 3u);
  EXPECT_TRUE(std::filesystem::is_empty(dir_.Path()));
  EXPECT_EQ(Snapshot(Grid()), before);
  EXPECT_TRUE(Op().Messages.empty());
  EXPECT_TRUE(Op().Errors.empty());
}

TEST_F(NumberFiles, FailedSaveIsReportedWithTheFileName) {
  const std::string path = dir_ / "missing-folder/list.xlsx";
  Export(path);
  ExportCsv(dir_ / "missing-folder/list.cvs");
  ASSERT_EQ(Op().Errors.size(), 2u);
  EXPECT_NE(Op().Errors[0].find("list.xlsx"), std::string::npos) << Op().Errors[0];
  EXPECT_NE(Op().Errors[1].find("list.cvs"), std::string::npos) << Op().Errors[1];
}

// Our files as the spreadsheet programs' own libraries read them.
class NumberExportReaders : public NumberFiles, public ::testing::WithParamInterface<TReaderCase> {};

TEST_P(NumberExportReaders, SeeTextCellsTheHeadingsAndTheWidths) {
  TORVANE_SKIP_WITHOUT_READERS();
  SetGridRow(Grid(), 4, {"0123", "2024-05-06", "07:05", "2025-12-31", "23:59", "no", "yes"});
  const std::string path = dir_ / (std::string("list") + GetParam().Extension);
  Export(path);
  auto [ok, output] = RunFixtureScript(GetParam().Reader, path);
  ASSERT_TRUE(ok) << output;
  const TForeignSheet sheet = ParseForeign(output);

  for (int c = 1; c <= 8; ++c) EXPECT_EQ(sheet.Cells.at({1, c}).Value, kHeadings[c - 1]);
  const std::vector<std::string> row{"4", "0123", "2024-05-06", "07:05", "2025-12-31", "23:59", "no", "yes"};
  for (int c = 1; c <= 8; ++c) {
    const auto& cell = sheet.Cells.at({5, c});
    EXPECT_EQ(cell.Value, row[c - 1]);
    EXPECT_EQ(cell.Type, "str");
    EXPECT_EQ(cell.Format, "@");
  }
  EXPECT_EQ(sheet.Cells.at({3001, 1}).Value, "3000");
  EXPECT_EQ(sheet.Cells.at({3001, 8}).Value, "no");
  const double widths[] = {4, 20, 16, 16, 16, 16};
  // Readers report what the file stores: a width may carry the padding spreadsheet programs add.
  for (int c = 1; c <= 6; ++c) EXPECT_NEAR(sheet.Widths.at(c), widths[c - 1], 0.72) << c;
  EXPECT_EQ(sheet.Widths.count(7) + sheet.Widths.count(8), 0u);
}

INSTANTIATE_TEST_SUITE_P(Formats, NumberExportReaders,
                         ::testing::Values(TReaderCase{".xlsx", "read-xlsx"},
                                           TReaderCase{".xls", "read-xls"}));

// Lists typed into other spreadsheet programs, with real date and time cells.
class NumberForeignFiles : public NumberFiles, public ::testing::WithParamInterface<TReaderCase> {};

TEST_P(NumberForeignFiles, ImportAsTheOperatorSeesThem) {
  TORVANE_SKIP_WITHOUT_READERS();
  const std::string path = dir_ / (std::string("foreign") + GetParam().Extension);
  const std::string command = std::string("/usr/bin/python3 '") + TORVANE_NUMBER_FIXTURES +
                              "/number_list_fixtures.py' " + GetParam().Reader + " '" + path + "'";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  FillNumbers(Grid());
  Grid().SetCell(kColDelete, 4, kMarkNo);

  Import(path);
  ASSERT_TRUE(Op().Errors.empty()) << Op().Errors.front();
  ASSERT_TRUE(Op().Messages.empty()) << Op().Messages.front();
  const std::vector<std::vector<std::string>> expected{
      {"13800138000", "2024/05/06", "07:05", "2024/12/31", "23:59", "no"},
      {"+8613900000000", "", "", "", "", "yes"},
      {"555", "2024-01-02", "08:00", "2025-01-02", "18:30", "no"},
      {"777", "", "", "", "", "no"},
      {"", "", "", "", "", "no"},
  };
  for (int r = 1; r <= 5; ++r)
    for (int c = kColNumber; c <= kColAlways; ++c) EXPECT_EQ(Grid().Cell(c, r), expected[r - 1][c - 1]) << r;
  EXPECT_EQ(Grid().Cell(kColDelete, 4), kMarkNo);
  EXPECT_EQ(Grid().Cell(kColNumber, kNumberRows), "");
}

INSTANTIATE_TEST_SUITE_P(Writers, NumberForeignFiles,
                         ::testing::Values(TReaderCase{".xlsx", "openpyxl"}, TReaderCase{".xls", "xlwt"}));

TEST_F(NumberFiles, SettingsProfileIsRefused) {
  const std::string path = dir_ / "profile.xlsx";
  WriteSheet(path, [](TExcelApplication& excel) { excel.Cells(1, 1).SetValue("Items"); });
  FillNumbers(Grid());
  const auto before = Snapshot(Grid());
  Import(path);
  EXPECT_EQ(Op().Messages, std::vector<std::string>{"Wrong format of the setting profile"});
  EXPECT_EQ(Snapshot(Grid()), before);
}

TEST_F(NumberFiles, NineCharacterDateIsRefusedWithItsRow) {
  const std::string path = dir_ / "nine.xlsx";
  WriteSheet(path, [](TExcelApplication& excel) {
    SetSheetRow(excel, 1, {"1", "111", "2024-05-06", "07:05", "2025-01-01", "08:00", "no", "no"});
    SetSheetRow(excel, 4, {"4", "555", "2024-05-6", "07:05", "2025-01-01", "08:00", "no", "no"});
  });
  FillNumbers(Grid());
  const auto before = Snapshot(Grid());
  Import(path);
  ASSERT_EQ(Op().Messages.size(), 1u);
  EXPECT_EQ(Op().Messages[0],
            "Wrong information on the profile,please correct it and then import again,error:1\rSerial: 4");
  EXPECT_EQ(Snapshot(Grid()), before);
}

TEST_F(NumberFiles, ManyWrongRowsNameTheFirstThree) {
  const std::string path = dir_ / "five.xls";
  WriteSheet(path, [](TExcelApplication& excel) {
    for (int r : {3, 8, 9, 20, 41}) SetSheetRow(excel, r, {"", "555", "", "07:05", "2025-01-01", "8:00"});
  });
  const auto before = Snapshot(Grid());
  Import(path);
  ASSERT_EQ(Op().Messages.size(), 1u);
  const std::string& text = Op().Messages[0];
  const std::string tail = "error:5\rSerial: 3,8,9,....";
  ASSERT_GE(text.size(), tail.size());
  EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
  EXPECT_EQ(Snapshot(Grid()), before);
}

TEST_F(NumberFiles, RowMarkedForDeletionSkipsTheCheckAndKeepsTheGridsMark) {
  const std::string path = dir_ / "delete.xlsx";
  WriteSheet(path, [](TExcelApplication& excel) {
    SetSheetRow(excel, 2, {"2", "555", "", "07:05", "2025-01-01", "08:00", "no", "yes"});
  });
  SetGridRow(Grid(), 2, {"999", "2020-01-01", "01:00", "2021-01-01", "02:00", "no", "no"});
  Import(path);
  EXPECT_TRUE(Op().Messages.empty());
  EXPECT_EQ(Grid().Cell(kColNumber, 2), "555");
  EXPECT_EQ(Grid().Cell(kColStartDate, 2), "");
  EXPECT_EQ(Grid().Cell(kColStartTime, 2), "07:05");
  EXPECT_EQ(Grid().Cell(kColDelete, 2), "no");
}

TEST_F(NumberFiles, ShortFileEmptiesTheRowsAfterIt) {
  const std::string path = dir_ / "ten.xlsx";
  WriteSheet(path, [](TExcelApplication& excel) {
    for (int r = 1; r <= 10; ++r)
      SetSheetRow(excel, r,
                  {std::to_string(r), "5" + std::to_string(r), "2024-05-06", "07:05", "2025-01-01", "08:00",
                   r % 2 ? "yes" : "no", "no"});
  });
  for (int r = 1; r <= kNumberRows; ++r)
    SetGridRow(Grid(), r, {"1", "2024-01-01", "01:00", "2024-01-02", "02:00", "yes"});
  Import(path);
  ASSERT_TRUE(Op().Messages.empty());
  for (int r = 1; r <= 10; ++r) {
    EXPECT_EQ(Grid().Cell(kColNumber, r), "5" + std::to_string(r));
    EXPECT_EQ(Grid().Cell(kColAlways, r), r % 2 ? "yes" : "no");
  }
  for (int r = 11; r <= kNumberRows; ++r) {
    for (int c = kColNumber; c <= kColEndTime; ++c) ASSERT_EQ(Grid().Cell(c, r), "") << r;
    ASSERT_EQ(Grid().Cell(kColAlways, r), "no") << r;
  }
  EXPECT_EQ(fake_.StatusView.Text, "Import.xls");
  EXPECT_FALSE(fake_.StatusView.ProgressVisible);
}

TEST(NumberWindowCheck, WantsDigitsWhereTheDevicesBytesComeFromAndTheExactLengths) {
  EXPECT_TRUE(NumberWindowTextsValid("2024-05-06", "07:05", "2024/12/31", "23:59"));
  EXPECT_FALSE(NumberWindowTextsValid("2024-05-6", "07:05", "2024-12-31", "23:59"));
  EXPECT_FALSE(NumberWindowTextsValid("2024-05-06", "7:05", "2024-12-31", "23:59"));
  EXPECT_FALSE(NumberWindowTextsValid("2024-05-06", "07:05", "", "23:59"));
  EXPECT_FALSE(NumberWindowTextsValid("2024-05-06", "07:05", "2024-12-31", "23:5x"));
  EXPECT_FALSE(NumberWindowTextsValid("2024-0a-06", "07:05", "2024-12-31", "23:59"));
  EXPECT_FALSE(NumberWindowTextsValid("2024-05--6", "07:05", "2024-12-31", "23:59"));
  // Lengths count characters, not bytes.
  EXPECT_TRUE(NumberWindowTextsValid("2024年05-06", "07:05", "2024-12-31", "23:59"));
}

TEST(NumberWindowCheck, MessageNamesUpToThreeRows) {
  const std::string head = "Wrong information on the profile,please correct it and then import again,error:";
  EXPECT_EQ(WrongNumberRowsMessage({7}), head + "1\rSerial: 7");
  EXPECT_EQ(WrongNumberRowsMessage({7, 9, 3000}), head + "3\rSerial: 7,9,3000");
  EXPECT_EQ(WrongNumberRowsMessage({1, 2, 3, 4}), head + "4\rSerial: 1,2,3,....");
}

// Broken and hostile files end with one clear error naming the file, and the grid as it was.
TEST_F(NumberFiles, HostileFilesLeaveTheGridUnchanged) {
  TORVANE_SKIP_WITHOUT_READERS();
  TTempDir fixtures;
  auto [ok, output] = RunFixtureScript("make", fixtures.Path());
  ASSERT_TRUE(ok) << output;
  FillNumbers(Grid());
  const auto before = Snapshot(Grid());
  for (const char* name :
       {"bomb.xlsx", "liar.xlsx", "truncated.xlsx", "badxml.xlsx", "rows2m.xlsx", "farcell.xlsx",
        "notabook.xlsx", "text.xlsx", "text.xls", "biff5.xls", "truncated.xls", "vanished.xlsx"}) {
    Op().Errors.clear();
    Import(fixtures / name);
    ASSERT_EQ(Op().Errors.size(), 1u) << name;
    EXPECT_NE(Op().Errors[0].find(name), std::string::npos) << Op().Errors[0];
    EXPECT_TRUE(Op().Messages.empty()) << name;
    EXPECT_EQ(Snapshot(Grid()), before) << name;
  }
}

TEST_F(NumberFiles, CsvOfANewGridHas3000RowsAndTheEmptyLastLine) {
  const std::string path = dir_ / "new.cvs";
  ExportCsv(path);
  std::string expected;
  for (int r = 1; r <= kNumberRows; ++r) expected += std::to_string(r) + ",,,,,,no,no,,\r\n";
  expected += ",,,,,,,,,\r\n";
  EXPECT_EQ(FileBytes(path), expected);

  const auto& texts = fake_.StatusView.History;
  ASSERT_EQ(texts.size(), 3001u);
  EXPECT_EQ(texts.front(), "Export.csv:0/3000");
  EXPECT_EQ(texts.back(), "Export.csv:3000/3000");
  EXPECT_FALSE(fake_.StatusView.ProgressVisible);
}

TEST_F(NumberFiles, CsvWritesTheCellsInTheCodePage) {
  SetGridRow(Grid(), 1, {"555"});
  SetGridRow(Grid(), 2, {"+123", "2024-05-06", "07:05", "2025-12-31", "23:59", "yes", "yes"});
  SetGridRow(Grid(), 3, {"1,2", "Zürich"});
  const std::string path = dir_ / "list.cvs";
  ExportCsv(path, TCodePage("CP1252"));
  const std::string bytes = FileBytes(path);
  EXPECT_EQ(bytes.substr(0, bytes.find("4,")),
            "1,555,,,,,no,no,,\r\n"
            "2,+123,2024-05-06,07:05,2025-12-31,23:59,yes,yes,,\r\n"
            "3,\"1,2\",Z\xFCrich,,,,no,no,,\r\n");
}

}  // namespace
}  // namespace torvane
