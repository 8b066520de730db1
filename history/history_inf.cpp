// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/history_inf.h"

#include <vector>

#include "history/history_texts.h"

namespace torvane {

namespace {

const TPagedTexts kTexts{.ReadRequest = kHistoryReadRequest,
                         .ReadReply = kHistoryReadReply,
                         .ReadDone = kHistoryReadDone,
                         .Table = kHistoryTable,
                         .Counted = true};

// The year at the front of a "Date" cell, or -1 when the cell does not start with four digits.
int LeadingYear(const std::string& date) {
  if (date.size() < 4) return -1;
  int y = 0;
  for (int i = 0; i < 4; ++i) {
    if (date[i] < '0' || date[i] > '9') return -1;
    y = y * 10 + (date[i] - '0');
  }
  return y;
}

}  // namespace

THistoryInf::THistoryInf(TExchange& exchange, TContext& context, TGrid& grid, const TCodePage& codePage)
    : Tsend_rec_command(exchange, context, kHistoryBase, kHistoryPageCount, kTexts),
      grid_(grid),
      codePage_(codePage) {}

void THistoryInf::StartRead() {
  BeginRead();
}

void THistoryInf::DecodePage(int page, std::span<const uint8_t, kPageBytes> bytes) {
  DecodeHistoryPage(grid_, (page - 1) * 2 + 1, bytes.data(), codePage_);
}

void THistoryInf::ReadFinished() {
  CompactRows();
  Tsend_rec_command::ReadFinished();
}

void DecodeHistoryPage(TGrid& grid, int64_t firstRow, const uint8_t* bytes, const TCodePage& codePage) {
  TGridUpdate update(grid);
  for (int r = 0; r < 2; ++r) {
    const int64_t row = firstRow + r;
    if (row < 1 || row > kHistoryRows) continue;
    const auto cells = DecodeHistoryRecord(bytes + r * kHistoryRecordSize, codePage);
    for (int c = 0; c < 7; ++c) grid.SetCell(c + 1, static_cast<int>(row), cells[c]);
  }
}

void THistoryInf::CompactRows() {
  std::vector<historyinf_r> kept;
  kept.reserve(kHistoryRows + 1);
  for (int row = 1; row <= kHistoryRows; ++row) {
    if (grid_.Cell(kHisNumber, row).empty()) continue;
    // A date of 2080 or later is no event the device can have logged. A numbered record whose date
    // could not be read is still a record, so it stays.
    const int year = LeadingYear(grid_.Cell(kHisDate, row));
    if (year >= 2080) continue;
    kept.push_back(ReadHistoryRow(grid_, row));
  }
  TGridUpdate update(grid_);
  for (int row = 1; row <= kHistoryRows; ++row)
    for (int c = kHisNumber; c < kHisColumnCount; ++c) grid_.SetCell(c, row, "");
  for (size_t i = 0; i < kept.size(); ++i) WriteHistoryRow(grid_, static_cast<int>(i) + 1, kept[i]);
}

historyinf_r ReadHistoryRow(const TGrid& grid, int row) {
  historyinf_r r;
  for (int c = 0; c < 7; ++c) r.Cells[c] = grid.Cell(c + 1, row);
  return r;
}

void WriteHistoryRow(TGrid& grid, int row, const historyinf_r& r) {
  for (int c = 0; c < 7; ++c) grid.SetCell(c + 1, row, r.Cells[c]);
}

void SetUpHistoryGrid(TGrid& grid) {
  static const char* const kHeadings[kHisColumnCount] = {"Serial", "No.",    "Date",      "Time",
                                                         "From",   "Action", "Executant", "Content"};
  TGridUpdate update(grid);
  for (int c = 0; c < kHisColumnCount; ++c) grid.SetCell(c, 0, kHeadings[c]);
  for (int row = 1; row <= kHistoryRows; ++row) grid.SetCell(kHisSerial, row, std::to_string(row));
}

}  // namespace torvane
