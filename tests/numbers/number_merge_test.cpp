// SPDX-License-Identifier: GPL-3.0-or-later
// A number list file added to the grid by number: what each kind of row does to the grid and to the
// counts, every other cell staying as it was; and a file with a refused row changes nothing.
#include "numbers/number_merge.h"

#include <gtest/gtest.h>

#include <fstream>

#include "numbers/number_record.h"
#include "numbers/telephone_send.h"
#include "support/file_session.h"

namespace torvane::testing {
namespace {

// Number, start date, start time, end date, end time, "Always(V)", "Delete(V)".
using TCells = std::vector<std::string>;
const TCells kW1{"2024-05-06", "07:05", "2024-06-30", "18:00", "no", "no"};
const TCells kW2{"2025-01-01", "00:00", "2025-12-31", "23:59", "no", "no"};
const TCells kAlways{"", "", "", "", "yes", "no"};
const TCells kDelete{"", "", "", "", "no", "yes"};

TCells Row(const std::string& number, const TCells& rest) {
  TCells cells{number};
  cells.insert(cells.end(), rest.begin(), rest.end());
  return cells;
}

struct TMergeCase {
  const char* Name;
  std::vector<std::pair<int, TCells>> Grid;  // rows the grid holds before
  bool Full;                                 // every other row holds a number of its own too
  std::vector<std::pair<int, TCells>> File;  // the file's rows by serial
  TNumberMergeCounts Counts;
  std::vector<std::pair<int, TCells>> After;  // the rows that change
};

const TMergeCase kCases[] = {
    {"ANewNumberGoesIntoTheFirstRowWithoutOne",
     {{1, Row("111", kAlways)}, {2, Row("222", kW1)}, {4, Row("444", kAlways)}},
     false,
     {{5, Row("333", kW2)}},
     {1, 0, 0, 0},
     {{3, Row("333", kW2)}}},
    {"AHeldNumberTakesTheFilesWindowAndMarks",
     {{4, Row("555", kW1)}, {6, Row("666", kAlways)}},
     false,
     {{1, Row("555", kW2)}, {2, Row("666", kDelete)}},
     {0, 2, 0, 0},
     {{4, Row("555", kW2)}, {6, Row("666", kDelete)}}},
    {"TheSameWindowAndMarksLeaveTheRowUnchanged",
     {{2, Row("555", kW1)}},
     false,
     {{9, Row("555", kW1)}},
     {0, 0, 1, 0},
     {}},
    {"PlusZeroZeroAndBareDigitsAreOneNumberWhoseLastRowWins",
     {{2, Row("+491701234567", kW1)}},
     false,
     {{3, Row("0049 170 1234567", kW2)}, {7, Row("491701234567", kAlways)}},
     {0, 1, 0, 0},
     {{2, Row("+491701234567", kAlways)}}},
    {"ANewNumberTwiceInTheFileIsAddedOnceAsItsLaterRowSays",
     {},
     false,
     {{2, Row("777", kW1)}, {4, Row("888", kAlways)}, {9, Row("777", kW2)}},
     {2, 0, 0, 0},
     {{1, Row("777", kW2)}, {2, Row("888", kAlways)}}},
    {"RowsWithoutANumberArePassedOver",
     {},
     false,
     {{1, Row("", kAlways)}, {2, Row("", kDelete)}, {3, Row("888", kW1)}},
     {1, 0, 0, 0},
     {{1, Row("888", kW1)}}},
    {"WithNoEmptyRowLeftNewNumbersAreNotPlaced",
     {{5, Row("555", kW1)}},
     true,
     {{1, Row("999", kAlways)}, {2, Row("555", kAlways)}, {3, Row("998", kAlways)}},
     {0, 1, 0, 2},
     {{5, Row("555", kAlways)}}},
};

void PrintTo(const TMergeCase& c, std::ostream* os) {
  *os << c.Name;
}

class NumberMerge : public ::testing::TestWithParam<TMergeCase> {};

TEST_P(NumberMerge, ChangesOnlyTheRowsItNamesAndCountsThem) {
  const TMergeCase& c = GetParam();
  TGrid grid(kNumberColCount, 1);
  SetUpNumberGrid(grid);
  if (c.Full)
    for (int row = 1; row <= kNumberRows; ++row) grid.SetCell(kColNumber, row, std::to_string(70000 + row));
  for (const auto& [row, cells] : c.Grid) SetGridRow(grid, row, cells);
  TNumberFile file;
  file.LoadsDeleteMarks = true;
  for (const auto& [serial, cells] : c.File)
    file.Rows[static_cast<size_t>(serial)] = {
        cells[0], cells[1], cells[2], cells[3], cells[4], cells[5] == kMarkYes, cells[6] == kMarkYes};
  TImportResult result;
  const auto checks = CheckNumberFile(file, result);
  ASSERT_TRUE(result.Loaded()) << result.RefusalText;

  TGrid expected = grid;
  for (const auto& [row, cells] : c.After) SetGridRow(expected, row, cells);
  const TNumberMerge merge = MergeNumbers(grid, file, checks);
  EXPECT_EQ(merge.Counts.Added, c.Counts.Added);
  EXPECT_EQ(merge.Counts.Updated, c.Counts.Updated);
  EXPECT_EQ(merge.Counts.Unchanged, c.Counts.Unchanged);
  EXPECT_EQ(merge.Counts.NotPlaced, c.Counts.NotPlaced);
  ApplyNumberMerge(grid, merge);
  for (int row = 0; row <= kNumberRows; ++row)
    for (int col = 0; col < kNumberColCount; ++col)
      ASSERT_EQ(grid.Cell(col, row), expected.Cell(col, row)) << "row " << row << ", column " << col;
}

INSTANTIATE_TEST_SUITE_P(Rows, NumberMerge, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(NumberMergeFile, AFileWithARefusedRowChangesNothingAndSaysWhy) {
  TTempDir dir;
  const std::string path = dir.Path() + "/list.json";
  std::ofstream(path) << R"({"format": "torvane-numbers", "version": 1, "numbers": [)"
                         R"({"serial": 1, "number": "555", "always": true},)"
                         R"({"serial": 2, "number": "12ab", "always": true}]})";
  TGrid grid(kNumberColCount, 1);
  SetUpNumberGrid(grid);
  const TGrid before = grid;
  TNumberMergeCounts counts;
  const TImportResult result = MergeNumberListFile(path, grid, counts);
  EXPECT_FALSE(result.Loaded());
  EXPECT_NE(result.RefusalText.find("serial 2: the number \"12ab\" holds \"a\""), std::string::npos)
      << result.RefusalText;
  for (int row = 1; row <= kNumberRows; ++row)
    ASSERT_EQ(grid.Cell(kColNumber, row), before.Cell(kColNumber, row));
}

}  // namespace
}  // namespace torvane::testing
