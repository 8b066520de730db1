// SPDX-License-Identifier: GPL-3.0-or-later
// The history exports: the spreadsheet with all 1001 rows as independent readers see it, the
// comma-separated file with the recorded rows only, quoting, code page, names and cancelling.
#include "history/history_export.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "files/spreadsheet_test_util.h"
#include "history/history_filter.h"
#include "history/history_record.h"
#include "support/file_session.h"

namespace torvane {
namespace {

using testing::FileBytes;
using testing::ParseForeign;
using testing::RunFixtureScript;
using testing::SetGridRow;
using testing::TForeignSheet;
using testing::TReaderCase;

class HistoryExport : public testing::TFileSessionTest {
 protected:
  TGrid& Grid() { return S().HistoryGrid; }

  void ExportXls(const std::string& path) {
    Op().FileAnswers.push_back(path);
    S().HistoryFiles.ExportHistoryXls();
  }
  void ExportCsv(const std::string& path, const TCodePage& codePage) {
    Op().FileAnswers.push_back(path);
    Tcustomstringgrid_his(S().Context, Grid(), S().ConfigDir, codePage).ExportHistoryCsv();
  }

  // Five events on five days; a filter strictly between the first and the last keeps three.
  void FilterToThreeRows() {
    for (int r = 1; r <= 5; ++r)
      SetGridRow(Grid(), r,
                 {std::to_string(500 + r), "2024-03-0" + std::to_string(r), "12:00:00", "SMS", "Relay ON",
                  "+123", "Door " + std::to_string(r)});
    const THistoryFilterRange range{
        {2024, 3, 1}, {2000, 1, 1, 12, 0, 0}, {2024, 3, 5}, {2000, 1, 1, 12, 0, 0}};
    ASSERT_EQ(FilterRows(Grid(), range, Op(), S().Status), TFilterResult::Filtered);
  }
};

class HistoryXlsReaders : public HistoryExport, public ::testing::WithParamInterface<TReaderCase> {};

TEST_P(HistoryXlsReaders, SeeAllRowsTheRecordNumberAndTheWidths) {
  TORVANE_SKIP_WITHOUT_READERS();
  FilterToThreeRows();
  const std::string path = dir_ / (std::string("his") + GetParam().Extension);
  ExportXls(path);
  ASSERT_TRUE(Op().Errors.empty()) << Op().Errors.front();
  auto [ok, output] = RunFixtureScript(GetParam().Reader, path);
  ASSERT_TRUE(ok) << output;
  const TForeignSheet sheet = ParseForeign(output);

  const std::vector<std::string> headings{"Serial", "No.",    "Date",      "Time",
                                          "From",   "Action", "Executant", "Content"};
  for (int c = 1; c <= 8; ++c) EXPECT_EQ(sheet.Cells.at({1, c}).Value, headings[c - 1]);
  for (int r = 2; r <= 4; ++r) {
    EXPECT_EQ(sheet.Cells.at({r, 1}).Value, std::to_string(r - 1));
    EXPECT_EQ(sheet.Cells.at({r, 2}).Value, std::to_string(500 + r));
    EXPECT_EQ(sheet.Cells.at({r, 3}).Value, "2024-03-0" + std::to_string(r));
    EXPECT_EQ(sheet.Cells.at({r, 8}).Value, "Door " + std::to_string(r));
    EXPECT_EQ(sheet.Cells.at({r, 2}).Format, "@");
    EXPECT_EQ(sheet.Cells.at({r, 2}).Type, "str");
  }
  int lastRow = 0;
  for (const auto& [place, cell] : sheet.Cells) {
    lastRow = std::max(lastRow, place.first);
    if (place.first >= 5 && place.second > 1) {
      EXPECT_EQ(cell.Value, "") << place.first << "," << place.second;
    }
  }
  EXPECT_EQ(lastRow, 1001);
  EXPECT_EQ(sheet.Cells.at({5, 1}).Value, "4");
  EXPECT_EQ(sheet.Cells.at({1001, 1}).Value, "1000");
  const double widths[] = {5, 16, 13, 13, 16, 16, 22, 22};
  for (int c = 1; c <= 8; ++c) EXPECT_NEAR(sheet.Widths.at(c), widths[c - 1], 0.72) << c;
}

INSTANTIATE_TEST_SUITE_P(Formats, HistoryXlsReaders,
                         ::testing::Values(TReaderCase{".xlsx", "read-xlsx"},
                                           TReaderCase{".xls", "read-xls"}));

TEST_F(HistoryExport, XlsShowsEachRow) {
  ExportXls(dir_ / "his.xlsx");
  const auto& texts = fake_.StatusView.History;
  ASSERT_EQ(texts.size(), 1001u);
  EXPECT_EQ(texts.front(), "historical information records:0/1000");
  EXPECT_EQ(texts.back(), "historical information records:1000/1000");
  EXPECT_FALSE(fake_.StatusView.ProgressVisible);
}

TEST_F(HistoryExport, CsvHoldsTheFilteredRowsOnly) {
  FilterToThreeRows();
  const std::string path = dir_ / "his.cvs";
  ExportCsv(path, TCodePage("CP1252"));
  EXPECT_EQ(FileBytes(path),
            "1,502,2024-03-02,12:00:00,SMS,Relay ON,+123,Door 2,,\r\n"
            "2,503,2024-03-03,12:00:00,SMS,Relay ON,+123,Door 3,,\r\n"
            "3,504,2024-03-04,12:00:00,SMS,Relay ON,+123,Door 4,,\r\n");
  EXPECT_EQ(fake_.StatusView.History.back(), "Export.csv:2/1000");
}

TEST_F(HistoryExport, CsvQuotesACommaAndWritesTheCodePage) {
  SetGridRow(Grid(), 1, {"513"});
  SetGridRow(Grid(), 2, {"514", "2024-03-07", "08:15:00", "SMS", "Relay ON", "+123", "Door, back"});
  SetGridRow(Grid(), 4, {"516", "", "", "", "", "", "Zürich \"Süd\""});
  const std::string path = dir_ / "his.cvs";
  ExportCsv(path, TCodePage("CP1252"));
  EXPECT_EQ(FileBytes(path),
            "1,513,,,,,,,,\r\n"
            "2,514,2024-03-07,08:15:00,SMS,Relay ON,+123,\"Door, back\",,\r\n"
            "4,516,,,,,,\"Z\xFCrich \"\"S\xFC"
            "d\"\"\",,\r\n");
  // Rows without a record show no status; the first row counts from 0.
  EXPECT_EQ(fake_.StatusView.History,
            (std::vector<std::string>{"Export.csv:0/1000", "Export.csv:1/1000", "Export.csv:3/1000"}));
}

TEST_F(HistoryExport, DialogsProposeStampedNamesInTheConfigurationFolder) {
  ExportXls(dir_ / "a.xlsx");
  S().HistoryFiles.ExportHistoryCsv();
  ASSERT_EQ(Op().ProposedNames.size(), 2u);
  EXPECT_EQ(Op().ProposedNames[0], "hisinf_R2026-12-07_18-30-05");
  EXPECT_EQ(Op().ProposedNames[1], "hisinf_CSV2026-12-07_18-30-05.cvs");
  EXPECT_EQ(Op().FileFilters[0], "EXCEL file|*.xlsx;*.xls|(*.*)|*.*");
  EXPECT_EQ(Op().FileFilters[1], "CVS file|*.cvs;*.cvs|(*.*)|*.*");
  EXPECT_EQ(Op().FileFolders, std::vector<std::string>(2, S().ConfigDir));
}

TEST_F(HistoryExport, CancellingWritesNothing) {
  SetGridRow(Grid(), 1, {"513"});
  S().HistoryFiles.ExportHistoryXls();
  S().HistoryFiles.ExportHistoryCsv();
  EXPECT_EQ(Op().ProposedNames.size(), 2u);
  EXPECT_TRUE(std::filesystem::is_empty(dir_.Path()));
  EXPECT_TRUE(Op().Messages.empty());
  EXPECT_TRUE(Op().Errors.empty());
}

TEST_F(HistoryExport, FailedSavesAreReportedAndKeepTheOldFile) {
  SetGridRow(Grid(), 1, {"513"});
  ExportXls(dir_ / "none/his.xls");
  ExportCsv(dir_ / "none/his.cvs", TCodePage("CP1252"));
  // A folder standing where the file should go cannot be replaced; it stays as it was.
  std::filesystem::create_directory(dir_ / "taken.cvs");
  testing::WriteBytes(dir_ / "taken.cvs/inside", "kept");
  ExportCsv(dir_ / "taken.cvs", TCodePage("CP1252"));
  ASSERT_EQ(Op().Errors.size(), 3u);
  EXPECT_NE(Op().Errors[0].find("his.xls"), std::string::npos) << Op().Errors[0];
  EXPECT_NE(Op().Errors[1].find("his.cvs"), std::string::npos) << Op().Errors[1];
  EXPECT_NE(Op().Errors[2].find("taken.cvs"), std::string::npos) << Op().Errors[2];
  EXPECT_EQ(FileBytes(dir_ / "taken.cvs/inside"), "kept");
}

}  // namespace
}  // namespace torvane
