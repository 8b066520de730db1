// SPDX-License-Identifier: GPL-3.0-or-later
// The number-list page decoder fed arbitrary pages of eight records. Properties: the cells are
// well-formed UTF-8; and for records whose date and time bytes are two-digit values (all the device
// can mean), saving what was read and reading it back shows exactly what was read.
#include <algorithm>
#include <array>
#include <cstring>

#include "fuzz/fuzz_util.h"
#include "numbers/number_record.h"

using namespace torvane;
using torvane::fuzz::Require;

namespace {

bool Same(const TNumberRecordText& a, const TNumberRecordText& b) {
  return a.Number == b.Number && a.StartDate == b.StartDate && a.StartTime == b.StartTime &&
         a.EndDate == b.EndDate && a.EndTime == b.EndTime && a.Always == b.Always;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::array<uint8_t, kNumberPageSize> page{};
  std::memcpy(page.data(), data, std::min(size, page.size()));
  for (int r = 0; r < kNumbersPerPage; ++r) {
    const uint8_t* record = page.data() + r * kNumberRecordSize;
    const TNumberRecordText t = DecodeNumberRecord(record);
    for (const std::string* s : {&t.Number, &t.StartDate, &t.StartTime, &t.EndDate, &t.EndTime})
      Require(fuzz::ValidUtf8(*s), "cell not UTF-8");

    const TNumberRowCells cells{
        t.Number, t.StartDate, t.StartTime, t.EndDate, t.EndTime, t.Always ? kMarkYes : kMarkNo, kMarkNo};
    std::array<uint8_t, kNumberRecordSize> saved{};
    const auto bad = EncodeNumberRecord(cells, saved.data());
    const bool twoDigits = std::all_of(record + 22, record + 32, [](uint8_t b) { return b <= 99; });
    if (!twoDigits) continue;
    Require(!bad.has_value(), "a record read from the device cannot be saved");
    Require(Same(DecodeNumberRecord(saved.data()), t), "a saved record reads back differently");
  }
  return 0;
}
