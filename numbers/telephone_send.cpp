#include "numbers/telephone_send.h"

#include <algorithm>
#include <string>

#include "core/conversion_error.h"
#include "numbers/number_texts.h"

namespace torvane {

namespace {

const char* const kHeadings[kNumberColCount] = {"Serial",   "Authorized number", "Start Date", "Start Time ",
                                                "End Date", "End Time",          "Always(V)",  "Delete(V)"};

const TPagedTexts kTexts{.ReadRequest = kNumbersReadRequest,
                         .ReadReply = kNumbersReadReply,
                         .WriteRequest = kNumbersWriteRequest,
                         .WriteReply = kNumbersWriteReply,
                         .ReadDone = kNumbersReadDone,
                         .WriteDone = kNumbersWriteDone,
                         .WriteRefused = kNumbersWriteRefused,
                         .Counted = true};

}  // namespace

TtelephoneSend::TtelephoneSend(TExchange& exchange, TGrid& grid)
    : Tsend_rec_command(exchange, kNumbersBase, kNumberPageCount, kTexts), grid_(grid) {}

void TtelephoneSend::StartRead() {
  if (exchange_.Busy()) return;
  if (!exchange_.Operator.ConfirmRead(kNumbersReadQuestion)) return;
  BeginRead();
}

void TtelephoneSend::StartSave() {
  if (exchange_.Busy()) return;
  if (!CheckBeforeSave()) return;
  BeginWrite();
}

void TtelephoneSend::DecodePage(int page, std::span<const uint8_t, kPageBytes> bytes) {
  DecodeNumberPage(grid_, page, bytes.data());
}

bool TtelephoneSend::EncodePage(int page, std::span<uint8_t, kPageBytes> out) {
  std::fill(out.begin(), out.end(), 0);
  for (int r = 0; r < kNumbersPerPage; ++r) {
    const int row = (page - 1) * kNumbersPerPage + r + 1;
    if (auto bad = EncodeNumberRecord(NumberRowCells(grid_, row), out.data() + r * kNumberRecordSize)) {
      exchange_.Operator.Error(NotAnIntegerMessage(*bad));
      return false;
    }
  }
  return true;
}

bool TtelephoneSend::CheckBeforeSave() {
  int wrong = 0;
  std::string serials;
  for (int row = 1; row <= kNumberRows; ++row) {
    if (grid_.Cell(kColNumber, row).empty() || grid_.Cell(kColDelete, row) != kMarkNo ||
        grid_.Cell(kColAlways, row) != kMarkNo)
      continue;
    if (!grid_.Cell(kColStartDate, row).empty() && !grid_.Cell(kColStartTime, row).empty() &&
        !grid_.Cell(kColEndDate, row).empty() && !grid_.Cell(kColEndTime, row).empty())
      continue;
    ++wrong;
    if (wrong <= 3) serials += (wrong > 1 ? "," : "") + grid_.Cell(kColSerial, row);
  }
  if (wrong == 0) return true;
  if (wrong > 3) serials += ",....";
  exchange_.Operator.Message(kNumbersWrongRows + std::to_string(wrong) + kNumbersWrongSerials + serials);
  return false;
}

void DecodeNumberPage(TGrid& grid, int page, const uint8_t* bytes) {
  TGridUpdate batch(grid);
  for (int r = 0; r < kNumbersPerPage; ++r) {
    const int row = (page - 1) * kNumbersPerPage + r + 1;
    const TNumberRecordText t = DecodeNumberRecord(bytes + r * kNumberRecordSize);
    grid.SetCell(kColNumber, row, t.Number);
    grid.SetCell(kColStartDate, row, t.StartDate);
    grid.SetCell(kColStartTime, row, t.StartTime);
    grid.SetCell(kColEndDate, row, t.EndDate);
    grid.SetCell(kColEndTime, row, t.EndTime);
    grid.SetCell(kColAlways, row, t.Always ? kMarkYes : kMarkNo);
  }
}

void SetUpNumberGrid(TGrid& grid) {
  TGridUpdate batch(grid);
  grid.SetRowCount(kNumberRows + 1);
  for (int c = 0; c < kNumberColCount; ++c) grid.SetCell(c, 0, kHeadings[c]);
  for (int row = 1; row <= kNumberRows; ++row) {
    grid.SetCell(kColSerial, row, std::to_string(row));
    grid.SetCell(kColAlways, row, kMarkNo);
    grid.SetCell(kColDelete, row, kMarkNo);
  }
}

void SetNumberMarks(TGrid& grid, int col, bool yes) {
  TGridUpdate batch(grid);
  for (int row = 1; row <= kNumberRows; ++row) grid.SetCell(col, row, yes ? kMarkYes : kMarkNo);
}

void ToggleNumberMark(TGrid& grid, int col, int row) {
  if (grid.Cell(col, row) == kMarkYes) {
    grid.SetCell(col, row, kMarkNo);
    return;
  }
  TGridUpdate batch(grid);
  grid.SetCell(col, row, kMarkYes);
  for (int c : {kColStartDate, kColStartTime, kColEndDate, kColEndTime}) grid.SetCell(c, row, "");
}

}  // namespace torvane
