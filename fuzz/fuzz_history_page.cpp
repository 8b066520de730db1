// SPDX-License-Identifier: GPL-3.0-or-later
// The history page decoder fed arbitrary pages of two records into any rows a page may fill (and
// rows outside the log), now and then the compaction of the grid that ends a read. Properties: every
// cell is well-formed UTF-8, and the grid keeps its serial column.
#include <algorithm>
#include <cstring>

#include "fuzz/fuzz_util.h"
#include "support/fakes.h"

using namespace torvane;
using torvane::fuzz::Require;
using torvane::testing::TFakeSession;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static TFakeSession* fake = [] {
    auto* f = new TFakeSession;
    f->StatusView.KeepHistory = false;  // texts of millions of pages would only pile up
    return f;
  }();
  TSession& s = *fake->Session;
  if (size < 4) return 0;
  // The address as the reply carried it: mostly within the log, sometimes anywhere above its base.
  const uint32_t pick = (uint32_t{data[0]} << 8) | data[1];
  const int32_t address = data[2] & 1 ? static_cast<int32_t>((uint32_t{data[3]} << 24) | (pick << 8))
                                      : kHistoryBase + static_cast<int32_t>(pick % 520) * kPageSpan;
  // The compaction walks the whole grid; now and then is enough.
  const bool compact = (data[2] & 0x1E) == 0x1E;
  data += 4, size -= 4;

  uint8_t page[256] = {};
  std::memcpy(page, data, std::min<size_t>(size, 256));
  const int64_t offset = static_cast<int64_t>(address) - kHistoryBase;
  const int64_t first = offset / kPageSpan * 2 + 1;
  DecodeHistoryPage(s.HistoryGrid, first, page, TCodePage::System());
  if (compact) s.History.CompactRows();

  for (int64_t row = first; row < first + 2; ++row) {
    if (offset < 0 || row < 1 || row > kHistoryRows) continue;
    for (int col = 0; col < kHisColumnCount; ++col)
      Require(fuzz::ValidUtf8(s.HistoryGrid.Cell(col, static_cast<int>(row))), "cell not UTF-8");
    Require(s.HistoryGrid.Cell(kHisSerial, static_cast<int>(row)) == std::to_string(row), "serial changed");
  }
  return 0;
}
