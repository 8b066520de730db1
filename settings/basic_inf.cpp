// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/basic_inf.h"

#include "core/conversion_error.h"
#include "core/message.h"
#include "settings/settings_changes.h"
#include "settings/settings_texts.h"

namespace torvane {

namespace {

const TPagedTexts kTexts{.ReadRequest = kSettingsReadRequest,
                         .ReadReply = kSettingsReadReply,
                         .WriteRequest = kSettingsWriteRequest,
                         .WriteReply = kSettingsWriteReply,
                         .BackupRequest = kSettingsBackupRequest,
                         .BackupReply = kSettingsBackupReply,
                         .VerifyRequest = kSettingsVerifyRequest,
                         .VerifyReply = kSettingsVerifyReply,
                         .ReadDone = kSettingsReadDone,
                         .WriteDone = kSettingsWriteDone,
                         .WriteRefused = kSettingsWriteRefused,
                         .Table = kSettingsTable,
                         .Counted = false};

}  // namespace

TBasicInf::TBasicInf(TExchange& exchange, TContext& context, TGrid& grid, TSettingsLists& lists,
                     const TCodePage& codePage)
    : Tsend_rec_command(exchange, context, kSettingsBase, kSettingsPageCount, kTexts),
      grid_(grid),
      lists_(lists),
      codePage_(codePage) {
  // Three pages: the save reads them all rather than trusting what it remembers.
  ProbeRemembered = false;
}

bool PasswordSavable(const std::string& cell) {
  if (cell.size() != 4) return false;
  for (char c : cell)
    if (c < '0' || c > '9') return false;
  return true;
}

void TBasicInf::StartRead() {
  if (exchange_.Busy()) return;
  if (!context_.Operator.Confirm(kSettingsReadQuestion)) return;
  BeginRead();
}

void TBasicInf::StartSave() {
  if (exchange_.Busy()) return;
  if (!CheckBeforeSave()) return;
  BeginSave();
}

bool TBasicInf::CheckBeforeSave() {
  if (PasswordSavable(grid_.Cell(kContentCol, 1))) return true;
  context_.Operator.Error(kPasswordNotFourDigits);
  return false;
}

void TBasicInf::BeforeWritePage() {
  // 50, 100, 150: the bar shows full for the third page and is hidden only by exactly 100.
  context_.Progress.SetProgress(static_cast<uint16_t>(NextPage() * 50));
}

bool TBasicInf::EncodePage(int page, std::span<uint8_t, kPageBytes> out, const TDevicePages* basis) {
  // A parameter may run on from one page into the next, so the three pages are made together.
  std::array<uint8_t, kSettingsBytes> all{};
  if (const auto fault = ComposeSettingsPages(grid_, lists_, codePage_, basis, all)) {
    ReportFault(*fault);
    return false;
  }
  std::copy_n(all.begin() + (page - 1) * kSettingsPageSize, kSettingsPageSize, out.begin());
  return true;
}

void TBasicInf::ReportFault(const TEncodeFault& fault) {
  if (fault.Reason == TEncodeFault::NotAnInteger)
    context_.Operator.Error(NotAnIntegerMessage(fault.Text));
  else
    context_.Operator.Error(FillText(kNumberOutOfRange, {fault.Text, fault.Param->Label}));
}

std::string TBasicInf::NotKeptText(const std::vector<uint8_t>& sent, const std::vector<uint8_t>& held) {
  const std::span<const uint8_t, kSettingsBytes> a(sent.data(), kSettingsBytes),
      b(held.data(), kSettingsBytes);
  std::string names;
  for (int row : ChangedSettingRows(a, b, codePage_))
    names += (names.empty() ? "" : ", ") + std::string(SettingForRow(row)->Label);
  return FillText(kSettingsNotKept, {names.empty() ? std::string(kSettingsNotKeptUnused) : names});
}

void TBasicInf::LoadPages(const std::vector<uint8_t>& pages) {
  DecodeSettingsPages(std::span<const uint8_t, kSettingsBytes>(pages.data(), kSettingsBytes), grid_, lists_,
                      codePage_);
}

void TBasicInf::DecodePage(int page, std::span<const uint8_t, kPageBytes> bytes) {
  TGridUpdate batch(grid_);
  if (page == 1) {
    context_.Progress.SetProgress(25);
    context_.Status.SetPanelText(kSettingsFirstPage);
  } else {
    context_.Status.SetPanelText(page == 2 ? kSettingsSecondPage : kSettingsThirdPage);
  }
  for (const TSettingDef& param : SettingsTable()) {
    if (page == 1 && param.Row == 12) context_.Progress.SetProgress(40);
    DecodeSettingOnPage(param, page, bytes, grid_, lists_, codePage_);
  }
  if (page == 3) {
    context_.Progress.SetProgress(100);
    context_.Status.SetPanelText("");
  } else {
    context_.Progress.SetProgress(50);
  }
}

std::vector<TSecretRange> SettingsSecrets() {
  // 1.Password, 22.GPRS Password, 26.MQTT Password.
  std::vector<TSecretRange> ranges;
  for (int row : {1, 22, 26})
    for (const TFieldPart& part : SettingForRow(row)->Parts())
      ranges.push_back({kSettingsBase + (part.Page - 1) * kPageSpan, part.Offset, part.Size});
  return ranges;
}

void SetUpSettingsGrid(TGrid& grid, TSettingsLists& lists) {
  TGridUpdate batch(grid);
  for (int c = 0; c < static_cast<int>(kSettingsHeadings.size()); ++c)
    grid.SetCell(c, 0, kSettingsHeadings[c]);
  for (const TSettingDef& param : SettingsTable()) {
    grid.SetCell(kLabelCol, param.Row, param.Label);
    grid.SetCell(kContentCol, param.Row, param.Default);
    grid.SetCell(kDescriptionCol, param.Row, param.Description);
    if (TListChoice* list = lists.ForRow(param.Row)) {
      lists.SetItemIndex(*list, param.DefaultIndex);
      lists.SetVisible(*list, false);
    }
  }
}

}  // namespace torvane
