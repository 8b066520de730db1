// SPDX-License-Identifier: GPL-3.0-or-later
// Number list files judged before they are loaded: numbers, dates and times the device cannot keep
// are refused in each format with the serial named and nothing loaded; the characters people write
// numbers with are taken out, and the window says once how many rows were so cleaned.
#include "numbers/number_import.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "files/spreadsheet.h"
#include "numbers/number_files.h"
#include "numbers/number_json.h"
#include "support/file_session.h"

namespace torvane::testing {
namespace {

using TJson = nlohmann::json;

enum class TFormat { Json, Xlsx, Xls };

const std::vector<std::string> kHeadings{"Serial",   "Authorized number", "Start Date", "Start Time ",
                                         "End Date", "End Time",          "Always(V)",  "Delete(V)"};

// A row's number and window; the rest of the file is empty.
struct TRow {
  int Serial;
  std::vector<std::string> Cells;  // number, start date, start time, end date, end time
};

class NumberImport : public TFileSessionTest {
 protected:
  // As the window does it: the import, then its one box.
  TImportResult Import(TFormat format, const std::vector<TRow>& rows) {
    TImportResult result;
    if (format == TFormat::Json) {
      TJson list = TJson::array();
      for (const TRow& r : rows)
        list.push_back({{"serial", r.Serial},
                        {"number", r.Cells[0]},
                        {"start", r.Cells[1] + " " + r.Cells[2]},
                        {"end", r.Cells[3] + " " + r.Cells[4]}});
      const TJson doc{{"format", "torvane-numbers"}, {"version", 1}, {"numbers", list}};
      result = NumbersFromJson(doc.dump(), S().NumberGrid);
    } else {
      const std::string path = dir_ / (format == TFormat::Xlsx ? "n.xlsx" : "n.xls");
      TExcelApplication excel;
      TWorkbook& book = excel.WorkBooks().Add();
      for (size_t c = 0; c < kHeadings.size(); ++c)
        excel.Cells(1, static_cast<int>(c) + 1).SetValue(kHeadings[c]);
      for (const TRow& r : rows)
        for (size_t c = 0; c < r.Cells.size(); ++c)
          excel.Cells(r.Serial + 1, static_cast<int>(c) + 2).SetValue(r.Cells[c]);
      book.SaveAs(path);
      result = ImportNumbersXlsFrom(S().Context, S().NumberGrid, path);
    }
    ShowImportResult(Op(), result);
    return result;
  }
  std::vector<std::string> Snapshot() {
    std::vector<std::string> cells;
    for (int r = 1; r <= kNumberRows; ++r)
      for (int c = kColNumber; c <= kColDelete; ++c) cells.push_back(S().NumberGrid.Cell(c, r));
    return cells;
  }
};

TEST_F(NumberImport, RefusesWhatTheDeviceCannotKeepInEveryFormat) {
  struct TCase {
    const char* Name;
    std::vector<std::string> Cells;
    std::string Says;
  };
  const std::vector<TCase> cases = {
      {"a number with a letter",
       {"+49 17O 1234567", "2024-05-06", "07:05", "2024-06-30", "18:00"},
       "the number \"+4917O1234567\" holds \"O\"; the device keeps digits after an optional leading +"},
      {"a number too long once cleaned",
       {"0049 170 1234 5678 9012 3456", "2024-05-06", "07:05", "2024-06-30", "18:00"},
       "the number \"00491701234567890123456\" has 23 characters; the device keeps 22"},
      {"a day February does not have",
       {"+4930123", "2024-02-30", "07:05", "2024-06-30", "18:00"},
       "the date \"2024-02-30\" is no day of 2000 to 2099 written as yyyy-MM-dd"},
      {"a year the device cannot keep",
       {"+4930123", "2024-05-06", "07:05", "2100-01-01", "18:00"},
       "the date \"2100-01-01\" is no day of 2000 to 2099 written as yyyy-MM-dd"},
      {"an hour past the day",
       {"+4930123", "2024-05-06", "24:00", "2024-06-30", "18:00"},
       "the time \"24:00\" is no time from 00:00 to 23:59 written as HH:mm"},
  };
  S().NumberGrid.SetCell(kColNumber, 100, "kept");
  for (TFormat format : {TFormat::Json, TFormat::Xlsx, TFormat::Xls}) {
    for (const TCase& c : cases) {
      SCOPED_TRACE(std::string(c.Name) + " in format " + std::to_string(static_cast<int>(format)));
      Op().Messages.clear();
      const auto before = Snapshot();
      const TImportResult result =
          Import(format, {{1, {"555", "2024-05-06", "07:05", "2024-06-30", "18:00"}}, {5, c.Cells}});
      EXPECT_FALSE(result.Loaded());
      ASSERT_EQ(result.Refused.size(), 1u) << result.RefusalText;
      EXPECT_EQ(result.Refused[0].Key, 5);
      ASSERT_EQ(Op().Messages.size(), 1u);
      EXPECT_NE(Op().Messages[0].find("serial 5: " + c.Says), std::string::npos) << Op().Messages[0];
      EXPECT_EQ(Snapshot(), before);
    }
  }
}

TEST_F(NumberImport, TakesOutTheCharactersNumbersAreWrittenWithAndSaysSoOnce) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"+49 30123", "+4930123"}, {"030-123", "030123"}, {"030.123", "030123"},
      {"(030123", "030123"},     {"030)123", "030123"},
  };
  for (TFormat format : {TFormat::Json, TFormat::Xlsx}) {
    SCOPED_TRACE(static_cast<int>(format));
    std::vector<TRow> rows{{1, {"555", "2024-05-06", "07:05", "2024-06-30", "18:00"}}};
    for (size_t i = 0; i < cases.size(); ++i)
      rows.push_back(
          {static_cast<int>(i) + 2, {cases[i].first, "2024-05-06", "07:05", "2024-06-30", "18:00"}});
    Op().Messages.clear();
    const TImportResult result = Import(format, rows);
    ASSERT_TRUE(result.Loaded()) << result.RefusalText;
    EXPECT_EQ(result.RowsRead, 6);
    EXPECT_EQ(result.RowsCleaned, 5);
    EXPECT_EQ(Op().Messages, std::vector<std::string>{CleanedRowsText(5)});
    EXPECT_EQ(S().NumberGrid.Cell(kColNumber, 1), "555");
    for (size_t i = 0; i < cases.size(); ++i)
      EXPECT_EQ(S().NumberGrid.Cell(kColNumber, static_cast<int>(i) + 2), cases[i].second) << cases[i].first;
  }
}

}  // namespace
}  // namespace torvane::testing
