// SPDX-License-Identifier: GPL-3.0-or-later
// The spreadsheet component on its own: what cells read back as, the application object's rules,
// SaveAs naming and round trips through our own writers and readers.
#include "files/spreadsheet.h"

#include <gtest/gtest.h>

#include "spreadsheet_test_util.h"

namespace torvane {
namespace {

using testing::FileBytes;
using testing::TTempDir;

constexpr double k20240506 = 45418;
constexpr double k0705 = 425.0 / 1440;

TEST(SpreadsheetDisplay, NumbersInGeneralFormat) {
  EXPECT_EQ(GeneralNumberText(123), "123");
  EXPECT_EQ(GeneralNumberText(0.5), "0.5");
  EXPECT_EQ(GeneralNumberText(-12.25), "-12.25");
  EXPECT_EQ(GeneralNumberText(13800138000), "13800138000");
  EXPECT_EQ(GeneralNumberText(0.1 + 0.2), "0.3");
  EXPECT_EQ(GeneralNumberText(1e20), "1E+20");
  EXPECT_EQ(GeneralNumberText(0), "0");
}

TEST(SpreadsheetDisplay, DateAndTimeFormatCodes) {
  TORVANE_SKIP_WITHOUT_READERS();
  EXPECT_EQ(DateKindOfFormat("yyyy-mm-dd"), TDateKind::Date);
  EXPECT_EQ(DateKindOfFormat("h:mm"), TDateKind::Time);
  EXPECT_EQ(DateKindOfFormat("mm:ss"), TDateKind::Time);
  EXPECT_EQ(DateKindOfFormat("[h]:mm:ss"), TDateKind::Time);
  EXPECT_EQ(DateKindOfFormat("m/d/yy h:mm"), TDateKind::DateTime);
  EXPECT_EQ(DateKindOfFormat("0.00"), TDateKind::None);
  EXPECT_EQ(DateKindOfFormat("[Red]#,##0;\"days\""), TDateKind::None);
  EXPECT_EQ(DateKindOfFormat("General"), TDateKind::None);

  EXPECT_EQ(FormatDateTime(k20240506, "yyyy-mm-dd", false), "2024-05-06");
  EXPECT_EQ(FormatDateTime(k20240506, "d-mmm-yy", false), "6-May-24");
  EXPECT_EQ(FormatDateTime(k20240506, "dddd, mmmm d", false), "Monday, May 6");
  EXPECT_EQ(FormatDateTime(k0705, "h:mm", false), "7:05");
  EXPECT_EQ(FormatDateTime(k0705 + 0.5, "h:mm AM/PM", false), "7:05 PM");
  EXPECT_EQ(FormatDateTime(1.5, "[h]:mm", false), "36:00");
  EXPECT_EQ(FormatDateTime(k20240506 + k0705, "yyyy/mm/dd hh:mm:ss", false), "2024/05/06 07:05:00");
  // The 1900 system counts a 29 February 1900 that never was.
  EXPECT_EQ(FormatDateTime(1, "yyyy-mm-dd", false), "1900-01-01");
  EXPECT_EQ(FormatDateTime(59, "yyyy-mm-dd", false), "1900-02-28");
  EXPECT_EQ(FormatDateTime(61, "yyyy-mm-dd", false), "1900-03-01");
  EXPECT_EQ(FormatDateTime(0, "yyyy-mm-dd", true), "1904-01-01");
}

// A sheet holding what another program would have stored.
TSheet ForeignSheet() {
  TSheet sheet;
  auto number = [&](int row, int column, double value, std::string_view code, bool shortDate = false) {
    TCell& cell = sheet.At(row, column);
    cell.Kind = TCellKind::Number;
    cell.Number = value;
    cell.Format = sheet.AddFormat(code, shortDate);
  };
  number(1, 1, k20240506, "yyyy-mm-dd");
  number(1, 2, k0705, "h:mm");
  number(1, 3, k20240506 + k0705, "m/d/yy h:mm");
  number(1, 4, k20240506, "yyyy/mm/dd", true);
  number(1, 5, 42.5, "0.00");
  number(1, 6, k0705 + 30.0 / 86400, "hh:mm:ss");
  sheet.At(2, 1).Kind = TCellKind::Boolean;
  sheet.At(2, 1).Number = 1;
  sheet.SetText(2, 2, "0123");
  sheet.SetText(2, 3, "   ");
  return sheet;
}

TEST(SpreadsheetDisplay, TextShowsTheFormatValueGivesTheProgramsDateAndTime) {
  TORVANE_SKIP_WITHOUT_READERS();
  TSheet sheet = ForeignSheet();
  sheet.DateFormat = "yyyy/MM/dd";
  EXPECT_EQ(sheet.Text(1, 1), "2024-05-06");
  EXPECT_EQ(sheet.Value(1, 1), "2024/05/06");
  EXPECT_EQ(sheet.Text(1, 2), "7:05");
  EXPECT_EQ(sheet.Value(1, 2), "07:05");
  EXPECT_EQ(sheet.Text(1, 3), "5/6/24 7:05");
  EXPECT_EQ(sheet.Value(1, 3), "2024/05/06 07:05");
  EXPECT_EQ(sheet.Text(1, 6), "07:05:30");
  EXPECT_EQ(sheet.Value(1, 6), "07:05");
  // A format that follows the system's short date shows the program's date format.
  sheet.DateFormat = "dd.MM.yyyy";
  EXPECT_EQ(sheet.Text(1, 4), "06.05.2024");
  EXPECT_EQ(sheet.Value(1, 1), "06.05.2024");
  EXPECT_EQ(sheet.Value(1, 5), "42.5");
  EXPECT_EQ(sheet.Text(2, 1), "TRUE");
  EXPECT_EQ(sheet.Value(2, 2), "0123");
  EXPECT_EQ(sheet.Text(2, 3), "   ");
  EXPECT_EQ(sheet.Text(7, 7), "");
  EXPECT_EQ(sheet.Value(1000000, 300), "");
}

TEST(SpreadsheetApplication, CellsNeedAnOpenWorkbook) {
  TExcelApplication excel;
  EXPECT_THROW(excel.Cells(1, 1).Text(), ESpreadsheetError);
  TWorkbook& book = excel.WorkBooks().Add();
  excel.Cells(3, 2).SetNumberFormatLocal("@");
  excel.Cells(3, 2).SetValue("2024-05-06");
  EXPECT_EQ(excel.Cells(3, 2).Text(), "2024-05-06");
  EXPECT_EQ(excel.Cells(3, 2).Value(), "2024-05-06");
  EXPECT_EQ(excel.Cells(3, 2).NumberFormatLocal(), "@");
  excel.Columns(2).SetColumnWidth(20);
  EXPECT_EQ(excel.Columns(2).ColumnWidth(), 20);
  book.Close();
  EXPECT_EQ(excel.WorkBooks().Count(), 0u);
  EXPECT_THROW(excel.Columns(1).SetColumnWidth(3), ESpreadsheetError);
  excel.WorkBooks().Add();
  excel.Quit();
  excel.Quit();
  EXPECT_EQ(excel.WorkBooks().Count(), 0u);
}

TEST(SpreadsheetApplication, SaveAsNamesTheFileLikeTheSpreadsheetProgram) {
  bool xls = true;
  EXPECT_EQ(SaveAsFileName("/c/telinf_R2024-05-06_14-03-59", &xls), "/c/telinf_R2024-05-06_14-03-59.xlsx");
  EXPECT_FALSE(xls);
  EXPECT_EQ(SaveAsFileName("/c/a.xls", &xls), "/c/a.xls");
  EXPECT_TRUE(xls);
  EXPECT_EQ(SaveAsFileName("/c/a.XLS", &xls), "/c/a.XLS");
  EXPECT_TRUE(xls);
  EXPECT_EQ(SaveAsFileName("/c/a.xlsx", &xls), "/c/a.xlsx");
  EXPECT_FALSE(xls);
  EXPECT_EQ(SaveAsFileName("/c/a.dat", &xls), "/c/a.dat");
  EXPECT_FALSE(xls);
  EXPECT_EQ(SaveAsFileName("/c.d/name", &xls), "/c.d/name.xlsx");

  TTempDir dir;
  TExcelApplication excel;
  TWorkbook& book = excel.WorkBooks().Add();
  excel.Cells(1, 1).SetValue("Items");
  book.SaveAs(dir / "basicinf_R2026-12-07_18-30-05");
  EXPECT_EQ(book.FileName(), dir / "basicinf_R2026-12-07_18-30-05.xlsx");
  EXPECT_EQ(FileBytes(dir / "basicinf_R2026-12-07_18-30-05.xlsx").substr(0, 2), "PK");
  book.SaveAs(dir / "old.xls");
  EXPECT_EQ(FileBytes(dir / "old.xls").substr(0, 4), "\xD0\xCF\x11\xE0");
  book.SaveAs(dir / "other.dat");
  EXPECT_EQ(FileBytes(dir / "other.dat").substr(0, 2), "PK");
  // Content, not the name, tells the format when reading.
  excel.WorkBooks().Open(dir / "other.dat");
  EXPECT_EQ(excel.Cells(1, 1).Text(), "Items");
}

// A number list as the export writes it: every cell text, the widths set first.
void FillNumberList(TExcelApplication& excel) {
  const double widths[] = {4, 20, 16, 16, 16, 16};
  for (int c = 1; c <= 6; ++c) excel.Columns(c).SetColumnWidth(widths[c - 1]);
  const char* headings[] = {"Serial",   "Authorized number", "Start Date", "Start Time ",
                            "End Date", "End Time",          "Always(V)",  "Delete(V)"};
  for (int c = 1; c <= 8; ++c) excel.Cells(1, c).SetValue(headings[c - 1]);
  for (int r = 2; r <= 3001; ++r) {
    int row = r - 1;
    std::string number = row % 3 == 0 ? "" : "0" + std::to_string(13800000000LL + row);
    std::string texts[] = {std::to_string(row),
                           number,
                           row % 3 == 1 ? "2024-05-06" : "",
                           row % 3 == 1 ? "07:05" : "",
                           row % 3 == 1 ? "2025-12-31" : "",
                           row % 3 == 1 ? "23:59" : "",
                           row % 3 == 2 ? "yes" : "no",
                           "no"};
    for (int c = 1; c <= 8; ++c) {
      excel.Cells(r, c).SetNumberFormatLocal("@");
      excel.Cells(r, c).SetValue(texts[c - 1]);
    }
  }
  excel.Cells(5, 2).SetValue("Zürich 北京 ☎");
  excel.Cells(6, 2).SetValue("   ");
  excel.Cells(7, 2).SetValue("a,b\"c\r\nd\te");
  excel.Cells(8, 2).SetValue(std::string(9000, 'x') + "end");
  std::string wide;
  for (int i = 0; i < 5000; ++i) wide += "北";
  excel.Cells(9, 2).SetValue(wide);
}

void ExpectSameTexts(TExcelApplication& written, TExcelApplication& read) {
  for (int r = 1; r <= 3001; ++r)
    for (int c = 1; c <= 8; ++c)
      ASSERT_EQ(read.Cells(r, c).Text(), written.Cells(r, c).Text()) << "row " << r << " column " << c;
  EXPECT_EQ(read.Cells(3002, 1).Text(), "");
}

class SpreadsheetRoundTrip : public ::testing::TestWithParam<const char*> {};

TEST_P(SpreadsheetRoundTrip, EveryTextComesBackAsWritten) {
  TTempDir dir;
  TExcelApplication written;
  TWorkbook& book = written.WorkBooks().Add();
  FillNumberList(written);
  std::string name = dir / (std::string("telinf") + GetParam());
  book.SaveAs(name);
  book.Close();

  TExcelApplication read;
  read.WorkBooks().Open(name);
  TExcelApplication again;
  again.WorkBooks().Add();
  FillNumberList(again);
  ExpectSameTexts(again, read);
  for (int r = 2; r <= 3001; r += 997) EXPECT_EQ(read.Cells(r, 3).Value(), again.Cells(r, 3).Value());
  read.Quit();
}

INSTANTIATE_TEST_SUITE_P(BothFormats, SpreadsheetRoundTrip, ::testing::Values(".xlsx", ".xls"));

TEST(SpreadsheetRoundTripXlsx, ColumnWidthsComeBack) {
  TTempDir dir;
  TExcelApplication excel;
  TWorkbook& book = excel.WorkBooks().Add();
  const double widths[] = {5, 16, 13, 13, 16, 16, 22, 22};
  for (int c = 1; c <= 8; ++c) excel.Columns(c).SetColumnWidth(widths[c - 1]);
  excel.Cells(1, 1).SetValue("Serial");
  book.SaveAs(dir / "hisinf.xlsx");
  TExcelApplication read;
  read.WorkBooks().Open(dir / "hisinf.xlsx");
  for (int c = 1; c <= 8; ++c) EXPECT_DOUBLE_EQ(read.Columns(c).ColumnWidth(), widths[c - 1]) << c;
  EXPECT_EQ(read.Columns(9).ColumnWidth(), 0);
}

TEST(SpreadsheetSave, AFailedSaveLeavesTheOldFileAndSaysWhy) {
  TTempDir dir;
  std::string name = dir / "list.xls";
  testing::WriteBytes(name, "old contents");
  TExcelApplication excel;
  TWorkbook& book = excel.WorkBooks().Add();
  excel.Cells(1, 300).SetValue("beyond an .xls sheet");
  try {
    book.SaveAs(name);
    FAIL() << "saved a sheet .xls cannot hold";
  } catch (const ESpreadsheetError& error) {
    EXPECT_EQ(error.FileName(), name);
    EXPECT_NE(std::string(error.what()).find(name), std::string::npos);
    EXPECT_NE(error.Reason().find("256 columns"), std::string::npos);
  }
  EXPECT_EQ(FileBytes(name), "old contents");
  EXPECT_THROW(book.SaveAs(dir / "missing-folder/list.xlsx"), ESpreadsheetError);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1)
      << "a temporary file was left";
}

TEST(SpreadsheetRoundTripXls, TheFarCornerOfTheSheetAndNothingBeyond) {
  TTempDir dir;
  TExcelApplication excel;
  TWorkbook& book = excel.WorkBooks().Add();
  excel.Cells(1, 1).SetValue("Serial");
  excel.Cells(kMaxXlsRows, kMaxXlsColumns).SetValue("corner");
  book.SaveAs(dir / "corner.xls");
  excel.Cells(1, kMaxXlsColumns + 1).SetValue("beyond");
  EXPECT_THROW(book.SaveAs(dir / "corner.xls"), ESpreadsheetError);

  TExcelApplication read;
  read.WorkBooks().Open(dir / "corner.xls");
  EXPECT_EQ(read.Cells(1, 1).Text(), "Serial");
  EXPECT_EQ(read.Cells(kMaxXlsRows, kMaxXlsColumns).Text(), "corner");
  EXPECT_EQ(read.Cells(1, kMaxXlsColumns + 1).Text(), "");
}

}  // namespace
}  // namespace torvane
