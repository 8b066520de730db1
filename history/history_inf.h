// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The history transfer: 500 pages of two 128-byte records from 0x30000, decoded into the history
// grid, which is compacted once the last page is in.
#include <cstdint>
#include <span>

#include "core/codepage.h"
#include "core/grid.h"
#include "history/history_record.h"
#include "protocol/exchange.h"
#include "protocol/paged_transfer.h"

namespace torvane {

constexpr uint16_t kHistoryPageCount = 500;

class THistoryInf : public Tsend_rec_command {
 public:
  THistoryInf(TExchange& exchange, TContext& context, TGrid& grid,
              const TCodePage& codePage = TCodePage::System());

  // The "Read data" button: the whole log from page 1, without asking and without clearing the grid.
  void StartRead();
  // Gathers the readable records at the top of the grid, in page order.
  void CompactRows();

 protected:
  void DecodePage(int page, std::span<const uint8_t, kPageBytes> bytes) override;
  void ReadFinished() override;

 private:
  TGrid& grid_;
  const TCodePage& codePage_;
};

// Headings and the serial numbers 1..1000 of the history grid.
void SetUpHistoryGrid(TGrid& grid);

// The two records of a page into rows firstRow and firstRow + 1 (rows outside the log are skipped):
// one grid change for the whole page.
void DecodeHistoryPage(TGrid& grid, int64_t firstRow, const uint8_t* bytes, const TCodePage& codePage);
// Columns 1..7 of a grid row, and back.
historyinf_r ReadHistoryRow(const TGrid& grid, int row);
void WriteHistoryRow(TGrid& grid, int row, const historyinf_r& r);

}  // namespace torvane
