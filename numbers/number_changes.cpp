// SPDX-License-Identifier: GPL-3.0-or-later
#include "numbers/number_changes.h"

#include <algorithm>
#include <cstring>

namespace torvane {

namespace {

bool SameText(const TNumberRecordText& a, const TNumberRecordText& b) {
  return a.Number == b.Number && a.StartDate == b.StartDate && a.StartTime == b.StartTime &&
         a.EndDate == b.EndDate && a.EndTime == b.EndTime && a.Always == b.Always;
}

const uint8_t* RecordOf(const TDevicePages& pages, int row) {
  const int page = (row - 1) / kNumbersPerPage + 1;
  return pages.Page(page).data() + ((row - 1) % kNumbersPerPage) * kNumberRecordSize;
}

}  // namespace

bool SameNumberRecord(const uint8_t* a, const uint8_t* b) {
  return std::memcmp(a, b, kNumberRecordSize) == 0 || SameText(DecodeNumberRecord(a), DecodeNumberRecord(b));
}

std::optional<std::string> ComposeNumberPage(const TGrid& grid, int page, const TDevicePages* basis,
                                             uint8_t* out) {
  const bool known = basis && basis->Known(page);
  for (int r = 0; r < kNumbersPerPage; ++r) {
    const int row = (page - 1) * kNumbersPerPage + r + 1;
    uint8_t* record = out + r * kNumberRecordSize;
    if (auto bad = EncodeNumberRecord(NumberRowCells(grid, row), record)) return bad;
    if (known && SameNumberRecord(record, RecordOf(*basis, row)))
      std::memcpy(record, RecordOf(*basis, row), kNumberRecordSize);
  }
  return std::nullopt;
}

unsigned ChangedNumberColumns(const TGrid& grid, int row, const TDevicePages& device) {
  const int page = (row - 1) / kNumbersPerPage + 1;
  if (!device.Known(page)) return 0;
  const TNumberRowCells cells = NumberRowCells(grid, row);
  uint8_t record[kNumberRecordSize];
  // A cell that cannot be converted differs from anything the device holds.
  if (EncodeNumberRecord(cells, record))
    return 1u << kColNumber | 1u << kColStartDate | 1u << kColStartTime | 1u << kColEndDate |
           1u << kColEndTime;
  const uint8_t* held = RecordOf(device, row);
  if (SameNumberRecord(record, held)) return 0;
  const TNumberRecordText now = DecodeNumberRecord(record), was = DecodeNumberRecord(held);
  unsigned columns = 0;
  if (now.Number != was.Number) columns |= 1u << kColNumber;
  if (now.StartDate != was.StartDate) columns |= 1u << kColStartDate;
  if (now.StartTime != was.StartTime) columns |= 1u << kColStartTime;
  if (now.EndDate != was.EndDate) columns |= 1u << kColEndDate;
  if (now.EndTime != was.EndTime) columns |= 1u << kColEndTime;
  if (now.Always != was.Always) columns |= 1u << kColAlways;
  if (cells.Delete == kMarkYes) columns |= 1u << kColDelete;
  return columns;
}

TNumberListChanges CompareNumberPages(const std::vector<uint8_t>& before, const std::vector<uint8_t>& after) {
  TNumberListChanges c;
  const size_t records = std::min(before.size(), after.size()) / kNumberRecordSize;
  for (size_t i = 0; i < records; ++i) {
    const uint8_t* a = before.data() + i * kNumberRecordSize;
    const uint8_t* b = after.data() + i * kNumberRecordSize;
    if (SameNumberRecord(a, b)) continue;
    const bool had = !DecodeNumberRecord(a).Number.empty(), has = !DecodeNumberRecord(b).Number.empty();
    const int serial = static_cast<int>(i) + 1;
    if (!had && has)
      c.Added.push_back(serial);
    else if (had && !has)
      c.Deleted.push_back(serial);
    else
      c.Changed.push_back(serial);
  }
  return c;
}

TNumberChanges::TNumberChanges(TGrid& grid, TDevicePages& device)
    : grid_(grid), device_(device), columns_(kNumberRows + 1, 0) {
  listener_ = grid_.AddListener([this](int first, int last) { Update(first, last); });
  device_.OnChanged = [this](int firstPage, int lastPage) {
    Update((firstPage - 1) * kNumbersPerPage + 1, lastPage * kNumbersPerPage);
  };
  Update(1, kNumberRows);
}

TNumberChanges::~TNumberChanges() {
  grid_.RemoveListener(listener_);
  device_.OnChanged = nullptr;
}

void TNumberChanges::Update(int first, int last) {
  first = std::max(first, 1);
  last = std::min(last, kNumberRows);
  if (first > last) return;
  for (int row = first; row <= last; ++row) {
    const unsigned now = ChangedNumberColumns(grid_, row, device_);
    changedRows_ += (now != 0) - (columns_[row] != 0);
    columns_[row] = now;
  }
  if (OnChanged) OnChanged(first, last);
}

}  // namespace torvane
