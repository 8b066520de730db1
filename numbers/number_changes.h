// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a save of the number list changes on the device, record by record, and the marks the grid
// shows for it. Two records are the same when they read the same (number, window, always allowed):
// an empty row is empty whether the device keeps it as 32 zero bytes or as 32 bytes 0xFF, so a list
// saved over a factory-fresh device writes only the pages that hold numbers.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/grid.h"
#include "numbers/number_record.h"
#include "protocol/device_pages.h"

namespace torvane {

// The record as a save would send it and the record kept on the device read the same.
bool SameNumberRecord(const uint8_t* a, const uint8_t* b);

// Page `page` (1..375) as a save sends it: each row encoded from the grid, except that a row which
// reads as the basis's record (the device's own, or a backup's) keeps the basis's bytes. Without a
// known basis page every row is encoded. Returns the text that could not be converted, if any.
std::optional<std::string> ComposeNumberPage(const TGrid& grid, int page, const TDevicePages* basis,
                                             uint8_t* out);

// The columns (as bits 1 << column) of a row whose cells differ from the device's record: 0 when they
// are the same, or when the device's page is not known.
unsigned ChangedNumberColumns(const TGrid& grid, int row, const TDevicePages& device);

// How a save changes the device's list: serials of rows that get a number where the device had none,
// that change their number or window, and that lose a number the device holds.
struct TNumberListChanges {
  std::vector<int> Added, Changed, Deleted;
  int Total() const { return static_cast<int>(Added.size() + Changed.size() + Deleted.size()); }
};
TNumberListChanges CompareNumberPages(const std::vector<uint8_t>& before, const std::vector<uint8_t>& after);

// The marks of the number grid: kept up to date as the grid and the device's pages change.
class TNumberChanges {
 public:
  TNumberChanges(TGrid& grid, TDevicePages& device);
  ~TNumberChanges();
  TNumberChanges(const TNumberChanges&) = delete;
  TNumberChanges& operator=(const TNumberChanges&) = delete;

  // Marks apply only while the device's pages are known.
  bool Active() const { return device_.Known(); }
  bool Changed(int col, int row) const {
    return row >= 1 && row <= kNumberRows && (columns_[row] & (1u << col)) != 0;
  }
  int ChangedRows() const { return changedRows_; }

  // Rows first..last whose marks may have changed (all rows after the device's pages did).
  std::function<void(int firstRow, int lastRow)> OnChanged;

 private:
  void Update(int first, int last);
  TGrid& grid_;
  TDevicePages& device_;
  std::vector<unsigned> columns_;
  int changedRows_ = 0;
  int listener_ = 0;
};

}  // namespace torvane
