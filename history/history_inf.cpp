#include "history/history_inf.h"

#include <cstring>
#include <vector>

namespace torvane {

namespace {

constexpr int kPageBytes = 256;

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

void THistoryInf::ReadData() {
  PageCount = kHistoryPageCount;
  NextPage = 1;
  std::memset(Buffer.data(), 0, kPageBytes);
  ReadNextPage();
}

void THistoryInf::RequestPage(int page) {
  link_.SendFrame(CMD_READ, kHistoryBase + (page - 1) * kPageSpan, 0, nullptr, "Reading historical data");
}

void THistoryInf::ReadNextPage() {
  // NextPage 0: no read was ever started, so a stray history reply must not ask for "page 0",
  // which would lie in the number list.
  if (NextPage == 0) return;
  if (NextPage < PageCount + 1) {
    RequestPage(NextPage);
    ++NextPage;
  } else if (NextPage == PageCount + 1) {
    CompactRows();
    link_.EndExchange();
  }
}

void THistoryInf::DecodePage() {
  const int64_t offset = static_cast<int64_t>(Address) - kHistoryBase;
  const int64_t firstRow = offset / kPageSpan * 2 + 1;
  // An address outside the log has no row to go to.
  if (offset >= 0) DecodeHistoryPage(grid_, firstRow, Buffer.data(), codePage_);
  // The dispatcher copies only the bytes a reply carries. Emptying the page after use makes a short
  // reply end in zeros (an empty slot) instead of in the previous page's records.
  std::memset(Buffer.data(), 0, kPageBytes);
  ReadNextPage();
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
