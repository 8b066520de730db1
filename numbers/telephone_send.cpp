// SPDX-License-Identifier: GPL-3.0-or-later
#include "numbers/telephone_send.h"

#include <algorithm>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/conversion_error.h"
#include "core/message.h"
#include "files/phone_number.h"
#include "numbers/number_changes.h"
#include "numbers/number_texts.h"

namespace torvane {

namespace {

const char* const kHeadings[kNumberColCount] = {"Serial",   "Authorized number", "Start Date", "Start Time ",
                                                "End Date", "End Time",          "Always(V)",  "Delete(V)"};

const TPagedTexts kTexts{.ReadRequest = kNumbersReadRequest,
                         .ReadReply = kNumbersReadReply,
                         .WriteRequest = kNumbersWriteRequest,
                         .WriteReply = kNumbersWriteReply,
                         .BackupRequest = kNumbersBackupRequest,
                         .BackupReply = kNumbersBackupReply,
                         .VerifyRequest = kNumbersVerifyRequest,
                         .VerifyReply = kNumbersVerifyReply,
                         .ProbeRequest = kNumbersProbeRequest,
                         .ProbeReply = kNumbersProbeReply,
                         .ReadDone = kNumbersReadDone,
                         .WriteDone = kNumbersWriteDone,
                         .WriteRefused = kNumbersWriteRefused,
                         .Table = kNumbersTable,
                         .Counted = true};

// Up to this many serials are named in a summary; the rest are counted.
constexpr size_t kSerialsNamed = 5;
// A save that changes more rows than this asks first.
constexpr int kQuietChanges = 20;

std::string Serials(const std::vector<int>& rows) {
  return JoinFirst(rows, kSerialsNamed, ", ", "%1, ...");
}

}  // namespace

TtelephoneSend::TtelephoneSend(TExchange& exchange, TContext& context, TGrid& grid)
    : Tsend_rec_command(exchange, context, kNumbersBase, kNumberPageCount, kTexts), grid_(grid) {}

void TtelephoneSend::StartRead() {
  if (exchange_.Busy()) return;
  if (!context_.Operator.Confirm(kNumbersReadQuestion)) return;
  BeginRead();
}

void TtelephoneSend::StartSave() {
  if (exchange_.Busy()) return;
  if (!CheckBeforeSave()) return;
  BeginSave();
}

void TtelephoneSend::DecodePage(int page, std::span<const uint8_t, kPageBytes> bytes) {
  DecodeNumberPage(grid_, page, bytes.data());
}

bool TtelephoneSend::EncodePage(int page, std::span<uint8_t, kPageBytes> out, const TDevicePages* basis) {
  if (auto bad = ComposeNumberPage(grid_, page, basis, out.data())) {
    context_.Operator.Error(NotAnIntegerMessage(*bad));
    return false;
  }
  return true;
}

void TtelephoneSend::LoadPages(const std::vector<uint8_t>& pages) {
  TGridUpdate batch(grid_);
  for (int page = 1; page <= kNumberPageCount; ++page)
    DecodeNumberPage(grid_, page, pages.data() + (page - 1) * kPageBytes);
  // A backup holds no delete marks: the grid shows the list as it was, and a mark left from before
  // would delete what the backup brings back.
  SetNumberMarks(grid_, kColDelete, false);
}

bool TtelephoneSend::ConfirmSave(const std::vector<uint8_t>& before, const std::vector<uint8_t>& after) {
  const TNumberListChanges c = CompareNumberPages(before, after);
  if (c.Total() <= kQuietChanges && c.Deleted.empty()) return true;
  std::string text = kNumbersSaveSummary;
  const std::pair<const char*, const std::vector<int>*> parts[] = {{kNumbersSummaryAdded, &c.Added},
                                                                   {kNumbersSummaryChanged, &c.Changed},
                                                                   {kNumbersSummaryDeleted, &c.Deleted}};
  for (const auto& [what, rows] : parts) {
    if (rows->empty()) continue;
    text += "\n" + FillText(what, {std::to_string(rows->size()), Serials(*rows)});
  }
  return context_.Operator.Confirm(text + "\n" + kNumbersSummaryQuestion);
}

std::string TtelephoneSend::NotKeptText(const std::vector<uint8_t>& sent, const std::vector<uint8_t>& held) {
  std::vector<int> rows;
  for (int i = 0; i < kNumberRows; ++i)
    if (!std::equal(sent.begin() + i * kNumberRecordSize, sent.begin() + (i + 1) * kNumberRecordSize,
                    held.begin() + i * kNumberRecordSize))
      rows.push_back(i + 1);
  // Every row is named up to a screenful; beyond that they are counted.
  constexpr size_t kNamed = 40;
  return FillText(kNumbersNotKept, {JoinFirst(rows, kNamed, ", ", "%1 and %2 more")});
}

bool TtelephoneSend::CheckBeforeSave() {
  std::vector<std::string> wrong;
  for (int row = 1; row <= kNumberRows; ++row) {
    if (grid_.Cell(kColNumber, row).empty() || grid_.Cell(kColDelete, row) != kMarkNo ||
        grid_.Cell(kColAlways, row) != kMarkNo)
      continue;
    if (!grid_.Cell(kColStartDate, row).empty() && !grid_.Cell(kColStartTime, row).empty() &&
        !grid_.Cell(kColEndDate, row).empty() && !grid_.Cell(kColEndTime, row).empty())
      continue;
    wrong.push_back(grid_.Cell(kColSerial, row));
  }
  if (!wrong.empty()) {
    context_.Operator.Message(kNumbersWrongRows + std::to_string(wrong.size()) + kNumbersWrongSerials +
                              JoinFirst(wrong, 3, ",", "%1,...."));
    return false;
  }
  const std::string duplicates = DuplicateNumbersText(grid_);
  return duplicates.empty() || context_.Operator.Confirm(duplicates);
}

std::string DuplicateNumbersText(const TGrid& grid) {
  // Rows marked for deletion leave the device and count for nothing; the first row of each number
  // keeps the order the operator reads the list in.
  std::unordered_map<std::string, size_t> index;
  std::vector<std::pair<std::string, std::vector<std::string>>> numbers;
  for (int row = 1; row < grid.RowCount(); ++row) {
    const std::string& number = grid.Cell(kColNumber, row);
    if (number.empty() || grid.Cell(kColDelete, row) == kMarkYes) continue;
    const auto [at, added] = index.try_emplace(PhoneNumberKey(number), numbers.size());
    if (added) numbers.push_back({number, {}});
    numbers[at->second].second.push_back(grid.Cell(kColSerial, row));
  }
  std::vector<std::string> twice;
  for (const auto& [number, serials] : numbers)
    if (serials.size() > 1)
      twice.push_back(
          FillText(kNumbersDuplicateRows, {number, JoinFirst(serials, serials.size(), ", ", "")}));
  if (twice.empty()) return std::string();
  const std::string list = JoinFirst(twice, 5, "; ", kNumbersMoreDuplicates);
  return FillText(kNumbersDuplicates, {list});
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
