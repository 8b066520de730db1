// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/history_filter.h"

#include <algorithm>
#include <vector>

#include "history/history_inf.h"
#include "history/history_texts.h"

namespace torvane {

namespace {

// Two digits at s[i], s[i+1].
std::optional<int> Pair(const std::string& s, size_t i) {
  if (s[i] < '0' || s[i] > '9' || s[i + 1] < '0' || s[i + 1] > '9') return std::nullopt;
  return (s[i] - '0') * 10 + (s[i + 1] - '0');
}

int32_t DateKeyOf(const TDateTime& d, int year) {
  return year * 10000 + d.Month * 100 + d.Day;
}
int32_t TimeKeyOf(const TDateTime& t) {
  return t.Hour * 10000 + t.Minute * 100 + t.Second;
}

}  // namespace

std::optional<int32_t> HistoryDateKey(const std::string& date) {
  if (date.size() != 10 || date[4] != '-' || date[7] != '-') return std::nullopt;
  const auto century = Pair(date, 0), yy = Pair(date, 2), mm = Pair(date, 5), dd = Pair(date, 8);
  if (!century || !yy || !mm || !dd) return std::nullopt;
  return *yy * 10000 + *mm * 100 + *dd;
}

std::optional<int32_t> HistoryTimeKey(const std::string& time) {
  if (time.size() != 8 || time[2] != ':' || time[5] != ':') return std::nullopt;
  const auto hh = Pair(time, 0), mm = Pair(time, 3), ss = Pair(time, 6);
  if (!hh || !mm || !ss) return std::nullopt;
  return *hh * 10000 + *mm * 100 + *ss;
}

namespace {

// The range is checked with full years, so 1999-12-31 .. 2000-01-02 is a valid range.
bool RangeIsOrdered(const THistoryFilterRange& range) {
  const int32_t startDate = DateKeyOf(range.StartDate, range.StartDate.Year);
  const int32_t endDate = DateKeyOf(range.EndDate, range.EndDate.Year);
  const int32_t startTime = TimeKeyOf(range.StartTime), endTime = TimeKeyOf(range.EndTime);
  return startDate < endDate || (startDate == endDate && startTime < endTime);
}

// The grid's complete rows with their date and time keys, in grid order.
std::vector<historyinf_r> KeyedRows(const TGrid& grid, Tstatusbar_ctrl& status) {
  std::vector<historyinf_r> rows;
  rows.reserve(kHistoryRows + 1);
  for (int row = 1; row <= kHistoryRows; ++row) {
    const std::string& no = grid.Cell(kHisNumber, row);
    const std::string& date = grid.Cell(kHisDate, row);
    const std::string& time = grid.Cell(kHisTime, row);
    if (!no.empty() && !date.empty() && !time.empty()) {
      const auto dateKey = HistoryDateKey(date);
      const auto timeKey = HistoryTimeKey(time);
      // A date or time that cannot be keyed cannot be placed in the range: the row is left out.
      if (dateKey && timeKey) {
        historyinf_r r = ReadHistoryRow(grid, row);
        r.DateKey = *dateKey;
        r.TimeKey = *timeKey;
        rows.push_back(std::move(r));
      }
    }
    status.ShowStatus(kFilterRecords + std::to_string(rows.size()));
  }
  return rows;
}

std::vector<historyinf_r> RowsInsideRange(const std::vector<historyinf_r>& rows,
                                          const THistoryFilterRange& range, Tstatusbar_ctrl& status) {
  // The rows carry two-digit years: 1999 .. 2000 becomes 99 .. 0, which nothing lies between.
  const int32_t startDate = DateKeyOf(range.StartDate, range.StartDate.Year % 100);
  const int32_t endDate = DateKeyOf(range.EndDate, range.EndDate.Year % 100);
  const int32_t startTime = TimeKeyOf(range.StartTime), endTime = TimeKeyOf(range.EndTime);
  const auto inside = [&](const historyinf_r& r) {
    const bool afterStart = r.DateKey > startDate || (r.DateKey == startDate && r.TimeKey > startTime);
    const bool beforeEnd = r.DateKey < endDate || (r.DateKey == endDate && r.TimeKey < endTime);
    return afterStart && beforeEnd;
  };
  std::vector<historyinf_r> matching;
  for (const auto& r : rows) {
    if (inside(r)) matching.push_back(r);
    status.ShowStatus(kFilterSearch);
  }
  return matching;
}

// The grid is emptied and refilled from its first row with the matching rows by date and time.
void ShowSortedRows(TGrid& grid, std::vector<historyinf_r>& matching, Tstatusbar_ctrl& status) {
  status.ShowStatus(kFilterSortDate);
  // Rows of the same moment keep their grid order.
  std::stable_sort(matching.begin(), matching.end(), [](const historyinf_r& a, const historyinf_r& b) {
    return a.DateKey != b.DateKey ? a.DateKey < b.DateKey : a.TimeKey < b.TimeKey;
  });

  TGridUpdate update(grid);
  for (int row = 1; row <= kHistoryRows; ++row)
    for (int c = kHisNumber; c < kHisColumnCount; ++c) grid.SetCell(c, row, "");
  for (size_t i = 0; i < matching.size(); ++i) {
    WriteHistoryRow(grid, static_cast<int>(i) + 1, matching[i]);
    status.ShowStatus(kFilterDone);
  }
}

}  // namespace

TFilterResult FilterRows(TGrid& grid, const THistoryFilterRange& range, IOperator& op,
                         Tstatusbar_ctrl& status) {
  if (!RangeIsOrdered(range)) {
    op.Message(kFilterTimeError);
    return TFilterResult::TimeSelectionError;
  }
  status.ShowStatus(kFilterReady);

  const std::vector<historyinf_r> rows = KeyedRows(grid, status);
  if (rows.empty()) {
    op.Message(kFilterNoCorrectRecords);
    return TFilterResult::NoCorrectRecords;
  }
  std::vector<historyinf_r> matching = RowsInsideRange(rows, range, status);
  if (matching.empty()) {
    op.Message(kFilterNoRecords);
    return TFilterResult::NoRecords;
  }
  status.ShowStatus(kFilterLoading);
  ShowSortedRows(grid, matching, status);
  return TFilterResult::Filtered;
}

}  // namespace torvane
