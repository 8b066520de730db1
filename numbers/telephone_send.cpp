#include "numbers/telephone_send.h"

#include <array>
#include <cstring>
#include <string>

namespace torvane {

namespace {
const char* const kHeadings[kNumberColCount] = {"Serial",   "Authorized number", "Start Date", "Start Time ",
                                                "End Date", "End Time",          "Always(V)",  "Delete(V)"};
}

void TtelephoneSend::StartRead() {
  if (!link_.Operator.ConfirmRead("Read the Authorized number list from GSM device to PC software?")) return;
  PageCount = kNumberPageCount;
  NextPage = 1;
  ReadNextPage();
}

void TtelephoneSend::StartSave() {
  if (!CheckBeforeSave()) return;
  PageCount = kNumberPageCount;
  NextPage = 1;
  WriteNextPage();
}

void TtelephoneSend::RequestPage(int page) {
  link_.SendFrame(CMD_READ, PageAddress(page), 0, nullptr, "Reading telephone number information");
}

void TtelephoneSend::ReadNextPage() {
  // A page reply with no read ever started must not ask for "page 0", which lies in the settings
  // region.
  if (NextPage == 0) return;
  if (NextPage <= PageCount) {
    RequestPage(NextPage);
    ++NextPage;
  } else if (NextPage == PageCount + 1) {
    link_.EndExchange();
    link_.Operator.Message("Authorized number list read to PC software success.");
  }
}

void TtelephoneSend::DecodePage() {
  const int page = (Address - kNumbersBase) / kPageSpan + 1;
  // The region the dispatcher routes here is far larger than the list; a page past the last record
  // has no rows to fill, and asking for "the next" one would only walk further off the end.
  if (Address < kNumbersBase || page > kNumberPageCount) {
    link_.EndExchange();
    return;
  }
  DecodeNumberPage(grid_, page, Buffer.data());
  // The dispatcher copies only the bytes a reply carries; emptying the page after use makes a short
  // reply end in empty records instead of repeating the previous page's numbers in these rows.
  std::memset(Buffer.data(), 0, kNumberPageSize);
  ReadNextPage();
}

bool TtelephoneSend::SendPage(int page) {
  std::array<uint8_t, kNumberPageSize> payload{};
  for (int r = 0; r < kNumbersPerPage; ++r) {
    const int row = (page - 1) * kNumbersPerPage + r + 1;
    if (auto bad = EncodeNumberRecord(NumberRowCells(grid_, row), payload.data() + r * kNumberRecordSize)) {
      // The pages before this one are stored already; this one and the rest are not sent.
      link_.EndExchange();
      link_.Operator.Error(NotAnIntegerMessage(*bad));
      return false;
    }
  }
  link_.SendFrame(CMD_WRITE, PageAddress(page), kNumberPageSize, payload.data(), "Save list");
  return true;
}

void TtelephoneSend::WriteNextPage() {
  if (NextPage <= PageCount) {
    if (SendPage(NextPage)) ++NextPage;
  } else if (NextPage == PageCount + 1) {
    link_.EndExchange();
    link_.Operator.Message("Authorized number list saved success");
  }
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
  link_.Operator.Message(
      "Wrong operation:please select \"Always\" or setting the Start-End date and time.Total:" +
      std::to_string(wrong) + "\rWrong serial number:" + serials);
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
