// SPDX-License-Identifier: GPL-3.0-or-later
#include "numbers/number_expiry.h"

#include <algorithm>
#include <limits>

#include "numbers/number_record.h"

namespace torvane {

namespace {

constexpr int64_t kNever = std::numeric_limits<int64_t>::max();

int64_t Moment(int year, int month, int day, int hour, int minute, int second) {
  return ((((int64_t{year} * 100 + month) * 100 + day) * 100 + hour) * 100 + minute) * 100 + second;
}

int64_t Moment(const TDateTime& t) {
  return Moment(t.Year, t.Month, t.Day, t.Hour, t.Minute, t.Second);
}

int64_t EndOf(const TGrid& grid, int row) {
  if (grid.Cell(kColNumber, row).empty() || grid.Cell(kColAlways, row) == kMarkYes) return kNever;
  const auto date = ParseNumberDate(grid.Cell(kColEndDate, row));
  const auto time = ParseNumberTime(grid.Cell(kColEndTime, row));
  if (!date || !time) return kNever;
  return Moment(date->Year, date->Month, date->Day, time->Hour, time->Minute, 0);
}

}  // namespace

bool NumberRowExpired(const TGrid& grid, int row, const TDateTime& now) {
  return EndOf(grid, row) < Moment(now);
}

TNumberExpiry::TNumberExpiry(TGrid& grid, const IClock& clock) : grid_(grid), clock_(clock) {
  now_ = Moment(clock_.Now());
  listener_ = grid_.AddListener([this](int first, int last) { Update(first, last); });
  Update(0, grid_.RowCount() - 1);
}

TNumberExpiry::~TNumberExpiry() {
  grid_.RemoveListener(listener_);
}

void TNumberExpiry::Update(int first, int last) {
  if (static_cast<int>(ends_.size()) != grid_.RowCount()) {
    ends_.assign(static_cast<size_t>(std::max(0, grid_.RowCount())), kNever);
    count_ = 0;
    first = 0;
    last = grid_.RowCount() - 1;
  }
  int changedFirst = -1, changedLast = -1;
  for (int row = std::max(first, 1); row <= last && row < grid_.RowCount(); ++row) {
    const bool was = Expired(row);
    ends_[row] = EndOf(grid_, row);
    const bool is = Expired(row);
    if (was == is) continue;
    count_ += is ? 1 : -1;
    if (changedFirst < 0) changedFirst = row;
    changedLast = row;
  }
  if (changedFirst >= 0 && OnChanged) OnChanged(changedFirst, changedLast);
}

void TNumberExpiry::Refresh() {
  const int64_t now = Moment(clock_.Now());
  if (now == now_) return;
  int changedFirst = -1, changedLast = -1;
  count_ = 0;
  for (int row = 1; row < static_cast<int>(ends_.size()); ++row) {
    const bool was = ends_[row] < now_, is = ends_[row] < now;
    count_ += is;
    if (was == is) continue;
    if (changedFirst < 0) changedFirst = row;
    changedLast = row;
  }
  now_ = now;
  if (changedFirst >= 0 && OnChanged) OnChanged(changedFirst, changedLast);
}

int MarkExpiredForDeletion(TGrid& grid, const TNumberExpiry& expiry) {
  TGridUpdate batch(grid);
  int count = 0;
  for (int row = 1; row < grid.RowCount(); ++row) {
    if (!expiry.Expired(row)) continue;
    grid.SetCell(kColDelete, row, kMarkYes);
    ++count;
  }
  return count;
}

}  // namespace torvane
