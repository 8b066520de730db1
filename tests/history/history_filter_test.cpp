// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/history_filter.h"

#include <gtest/gtest.h>

#include "history/history_inf.h"
#include "support/fakes.h"

namespace torvane {
namespace {

TDateTime D(int y, int m, int d) {
  return {y, m, d, 0, 0, 0};
}
TDateTime T(int h, int m, int s) {
  return {2000, 1, 1, h, m, s};
}

class HistoryFilter : public ::testing::Test {
 protected:
  testing::TFakeSession f;
  TGrid& g = f.Session->HistoryGrid;
  int rows_ = 0;

  // Appends a row "No. n" dated "date" at "time".
  void Row(const std::string& date, const std::string& time, const std::string& content = "") {
    ++rows_;
    g.SetCell(kHisNumber, rows_, std::to_string(rows_));
    g.SetCell(kHisDate, rows_, date);
    g.SetCell(kHisTime, rows_, time);
    g.SetCell(kHisFrom, rows_, "SMS");
    g.SetCell(kHisContent, rows_, content);
  }
  TFilterResult Filter(TDateTime sd, TDateTime st, TDateTime ed, TDateTime et) {
    return FilterRows(g, {sd, st, ed, et}, f.Operator, f.Session->Status);
  }
  // "date time" of every row left, top down.
  std::vector<std::string> Left() const {
    std::vector<std::string> v;
    for (int row = 1; row <= 1000; ++row)
      if (!g.Cell(kHisNumber, row).empty()) v.push_back(g.Cell(kHisDate, row) + " " + g.Cell(kHisTime, row));
    return v;
  }
  std::vector<std::string> Snapshot() const {
    std::vector<std::string> v;
    for (int row = 0; row <= 1000; ++row)
      for (int c = 0; c < 8; ++c) v.push_back(g.Cell(c, row));
    return v;
  }
};

TEST_F(HistoryFilter, RangeMustRunForwards) {
  Row("2024-03-02", "10:00:00");
  const auto before = Snapshot();
  EXPECT_EQ(Filter(D(2024, 3, 1), T(10, 0, 0), D(2024, 3, 1), T(10, 0, 0)),
            TFilterResult::TimeSelectionError);
  EXPECT_EQ(Filter(D(2024, 3, 2), T(0, 0, 0), D(2024, 3, 1), T(23, 0, 0)), TFilterResult::TimeSelectionError);
  EXPECT_EQ(Filter(D(2024, 3, 1), T(10, 0, 1), D(2024, 3, 1), T(10, 0, 0)),
            TFilterResult::TimeSelectionError);
  EXPECT_EQ(f.Operator.Messages, std::vector<std::string>(3, "Time selection error"));
  EXPECT_EQ(Snapshot(), before);
  // A later date with an earlier time is a valid range.
  EXPECT_EQ(Filter(D(2024, 3, 1), T(23, 0, 0), D(2024, 3, 3), T(1, 0, 0)), TFilterResult::Filtered);
}

TEST_F(HistoryFilter, EmptyGridHasNoCorrectRecords) {
  const auto before = Snapshot();
  EXPECT_EQ(Filter(D(2015, 3, 3), T(0, 0, 0), D(2026, 1, 1), T(0, 0, 0)), TFilterResult::NoCorrectRecords);
  EXPECT_EQ(f.Operator.LastMessage(), "No correct records");
  EXPECT_EQ(Snapshot(), before);
}

TEST_F(HistoryFilter, WorkedExampleKeepsOnlyWhatLiesStrictlyBetween) {
  Row("2024-03-01", "09:59:59");
  Row("2024-03-01", "10:00:00");  // exactly the start
  Row("2024-03-01", "11:00:00");
  Row("2024-03-02", "08:00:00");
  Row("2024-03-03", "08:59:59");
  Row("2024-03-03", "09:00:00");  // exactly the end
  EXPECT_EQ(Filter(D(2024, 3, 1), T(10, 0, 0), D(2024, 3, 3), T(9, 0, 0)), TFilterResult::Filtered);
  const std::vector<std::string> expected{"2024-03-01 11:00:00", "2024-03-02 08:00:00",
                                          "2024-03-03 08:59:59"};
  EXPECT_EQ(Left(), expected);
  EXPECT_TRUE(f.Operator.Messages.empty());
  EXPECT_EQ(g.Cell(kHisFrom, 1), "SMS");  // the other cells travel with their row
  EXPECT_EQ(g.Cell(kHisSerial, 4), "4");
  EXPECT_EQ(f.StatusView.Text, "Records");
}

TEST_F(HistoryFilter, SameDayRangeComparesTimes) {
  Row("2024-03-01", "10:00:00");
  Row("2024-03-01", "10:30:00");
  Row("2024-03-01", "11:00:00");
  EXPECT_EQ(Filter(D(2024, 3, 1), T(10, 0, 0), D(2024, 3, 1), T(11, 0, 0)), TFilterResult::Filtered);
  EXPECT_EQ(Left(), std::vector<std::string>{"2024-03-01 10:30:00"});
}

TEST_F(HistoryFilter, SortsByDateThenTimeKeepingEqualMomentsInOrder) {
  Row("2024-03-02", "10:00:00", "a");
  Row("2024-03-01", "12:00:00", "b");
  Row("2024-03-01", "08:00:00", "c");
  Row("2024-03-01", "12:00:00", "d");
  Row("2024-02-28", "23:59:59", "e");
  Row("2024-03-01", "12:00:00", "f");
  EXPECT_EQ(Filter(D(2015, 3, 3), T(0, 0, 0), D(2026, 12, 7), T(18, 30, 5)), TFilterResult::Filtered);
  std::string order;
  for (int row = 1; row <= 6; ++row) order += g.Cell(kHisContent, row);
  EXPECT_EQ(order, "ecbdfa");
  EXPECT_EQ(g.Cell(kHisNumber, 1), "5");
}

TEST_F(HistoryFilter, NothingInRangeLeavesTheGridAsItWas) {
  Row("2024-03-01", "10:00:00");
  Row("2024-05-01", "10:00:00");
  const auto before = Snapshot();
  EXPECT_EQ(Filter(D(2024, 4, 1), T(0, 0, 0), D(2024, 4, 30), T(0, 0, 0)), TFilterResult::NoRecords);
  EXPECT_EQ(f.Operator.LastMessage(), "No records");
  EXPECT_EQ(Snapshot(), before);
}

TEST_F(HistoryFilter, RowsCompareWithTwoDigitYears) {
  Row("2099-12-31", "12:00:00");
  Row("2000-01-01", "12:00:00");
  EXPECT_EQ(Filter(D(1999, 12, 31), T(0, 0, 0), D(2000, 1, 2), T(0, 0, 0)), TFilterResult::NoRecords);
  EXPECT_EQ(f.Operator.Messages, std::vector<std::string>{"No records"});
}

TEST_F(HistoryFilter, SecondFilterOnlySeesWhatTheFirstKept) {
  for (int day = 1; day <= 9; ++day) Row("2024-03-0" + std::to_string(day), "12:00:00");
  EXPECT_EQ(Filter(D(2024, 3, 3), T(0, 0, 0), D(2024, 3, 7), T(23, 0, 0)), TFilterResult::Filtered);
  ASSERT_EQ(Left().size(), 5u);
  for (int row = 6; row <= 1000; ++row)
    for (int c = 1; c < 8; ++c) ASSERT_EQ(g.Cell(c, row), "") << row;
  EXPECT_EQ(Filter(D(2015, 3, 3), T(0, 0, 0), D(2026, 1, 1), T(0, 0, 0)), TFilterResult::Filtered);
  EXPECT_EQ(Left().size(), 5u);
  EXPECT_EQ(Left().front(), "2024-03-03 12:00:00");
}

TEST_F(HistoryFilter, RowsWithoutNumberDateOrReadableKeysDoNotQualify) {
  Row("2024-03-02", "10:00:00");
  g.SetCell(kHisNumber, rows_, "");
  Row("2024-03-02", "");
  Row("2024-171-05", "10:00:00");  // a field written in three digits
  Row("2024-03-02", "200:15:00");
  Row("2024-3-2", "10:00:00");
  Row("2024-03-02", "1a:00:00");
  const auto before = Snapshot();
  EXPECT_EQ(Filter(D(2015, 3, 3), T(0, 0, 0), D(2026, 1, 1), T(0, 0, 0)), TFilterResult::NoCorrectRecords);
  EXPECT_EQ(Snapshot(), before);
  // Alongside a good row they are simply dropped.
  Row("2024-03-04", "10:00:00");
  EXPECT_EQ(Filter(D(2015, 3, 3), T(0, 0, 0), D(2026, 1, 1), T(0, 0, 0)), TFilterResult::Filtered);
  EXPECT_EQ(Left(), std::vector<std::string>{"2024-03-04 10:00:00"});
}

}  // namespace
}  // namespace torvane
