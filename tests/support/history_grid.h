// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The history grid a whole read of the device's event log should leave: the program's own compaction
// of the records' decoding.
#include <gtest/gtest.h>

#include <cstdint>

#include "history/history_record.h"
#include "support/fakes.h"

namespace torvane::testing {

// `records` holds the 1000 records of 128 bytes each.
inline void ExpectCompactedHistory(const TGrid& g, const uint8_t* records) {
  TFakeSession ref;
  TGrid& want = ref.Session->HistoryGrid;
  for (int row = 1; row <= 1000; ++row) {
    const auto cells = DecodeHistoryRecord(records + (row - 1) * 128, TCodePage::System());
    for (int c = 0; c < 7; ++c) want.SetCell(c + 1, row, cells[c]);
  }
  ref.Session->History.CompactRows();
  int kept = 0;
  for (int row = 1; row <= 1000; ++row) {
    kept += !want.Cell(kHisNumber, row).empty();
    for (int c = 1; c < 8; ++c) ASSERT_EQ(g.Cell(c, row), want.Cell(c, row)) << "row " << row << " col " << c;
  }
  EXPECT_GT(kept, 0);
}

}  // namespace torvane::testing
