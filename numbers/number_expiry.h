// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Rows of the number list whose validity window has ended, by this PC's clock: the controller's own
// clock is never read, so a PC whose clock is wrong sees the wrong rows. A row has expired when it
// holds a number, is not always allowed, and its end date and time are a real moment before now (a
// window ending at 10:00 has not ended at 10:00:00, and has at 10:00:01). A row whose end cannot be
// read as a date and a time is never taken for expired: nothing can be said of it.
#include <cstdint>
#include <functional>
#include <vector>

#include "core/clock.h"
#include "core/grid.h"

namespace torvane {

bool NumberRowExpired(const TGrid& grid, int row, const TDateTime& now);

// Which rows have expired, kept up to date as the grid changes and as the clock is asked again.
class TNumberExpiry {
 public:
  TNumberExpiry(TGrid& grid, const IClock& clock);
  ~TNumberExpiry();
  TNumberExpiry(const TNumberExpiry&) = delete;
  TNumberExpiry& operator=(const TNumberExpiry&) = delete;

  bool Expired(int row) const {
    return row >= 0 && row < static_cast<int>(ends_.size()) && ends_[row] < now_;
  }
  int Count() const { return count_; }
  // The clock has moved on (the window asks every minute): rows may have expired since.
  void Refresh();

  // Rows first..last may have expired or stopped being expired.
  std::function<void(int firstRow, int lastRow)> OnChanged;

 private:
  void Update(int first, int last);
  TGrid& grid_;
  const IClock& clock_;
  int listener_ = 0;
  // Each row's end as one comparable number (yyyyMMddhhmmss); the largest value for a row that
  // cannot expire.
  std::vector<int64_t> ends_;
  int64_t now_ = 0;
  int count_ = 0;
};

// Ticks Delete(V) of every expired row, as one change of the grid; the number of rows that were
// expired (ticked now or before).
int MarkExpiredForDeletion(TGrid& grid, const TNumberExpiry& expiry);

}  // namespace torvane
