#include "settings/basic_inf.h"

#include <cstring>
#include <span>

namespace torvane {

namespace {
constexpr const char* kReadQuestion = "Read the GSM device basic parameters to PC software?";
constexpr const char* kReadDone = "Basic settings read to PC software success.";
constexpr const char* kSaveDone = "Basic setting saved success";
}  // namespace

void TBasicInf::ReadSettings() {
  if (link_.Busy()) return;
  if (!link_.Operator.ConfirmRead(kReadQuestion)) return;
  PageCount = kSettingsPageCount;
  NextPage = 1;
  reading_ = true;
  ReadNextPage();
}

void TBasicInf::SaveSettings() {
  if (link_.Busy()) return;
  PageCount = kSettingsPageCount;
  NextPage = 1;
  reading_ = false;
  WriteNextPage();
}

void TBasicInf::RequestPage(int page) {
  link_.SendFrame(CMD_READ, kSettingsBase + (page - 1) * kPageSpan, 0, nullptr, "Read settings");
}

void TBasicInf::ReadNextPage() {
  // A settings reply that arrives with no read ever started (a login reply after its timeout) must
  // not ask for "page 0", an address below the settings region.
  if (NextPage == 0) return;
  if (NextPage < PageCount + 1) {
    RequestPage(NextPage);
    ++NextPage;
  } else if (NextPage == PageCount + 1) {
    reading_ = false;
    link_.EndExchange();
    link_.Operator.Message(kReadDone);
  }
}

bool TBasicInf::SendPage(int page) {
  if (!EncodePage(page)) return false;
  link_.SendFrame(CMD_WRITE, kSettingsBase + (page - 1) * kPageSpan, kSettingsPageSize, Buffer.data(),
                  "Save settings");
  return true;
}

void TBasicInf::WriteNextPage() {
  if (NextPage < PageCount + 1) {
    link_.Progress.SetProgress(static_cast<uint16_t>(NextPage * 50));
    if (!SendPage(NextPage)) {
      StopAfterFault();
      return;
    }
    ++NextPage;
  } else if (NextPage == PageCount + 1) {
    link_.EndExchange();
    link_.Operator.Message(kSaveDone);
  }
}

bool TBasicInf::EncodePage(int page) {
  WritePageAddress = kSettingsBase + (page - 1) * kPageSpan;
  const std::optional<TEncodeFault> fault =
      EncodeSettingsPage(page, grid_, lists_, codePage_,
                         std::span<uint8_t, kSettingsPageSize>(Buffer.data(), kSettingsPageSize));
  if (!fault) return true;
  if (fault->Reason == TEncodeFault::NotAnInteger)
    link_.Operator.Error("'" + fault->Text + "' is not a valid integer value");
  else
    link_.Operator.Error("The value " + fault->Text + " of " + fault->Param->Label +
                         " is outside 0 to 65535; saving stopped.");
  return false;
}

void TBasicInf::StopAfterFault() {
  // The save ends here; NextPage stays on the page that was not sent. The exchange must be closed or
  // the buttons would stay locked waiting for a reply that will never come.
  link_.EndExchange();
  link_.Progress.SetProgress(100);
}

void TBasicInf::DecodePage() {
  int pageNo = 0;
  if (Address == kSettingsBase) pageNo = 1;
  if (Address == kSettingsBase + kPageSpan) pageNo = 2;
  if (Address == kSettingsBase + 2 * kPageSpan) pageNo = 3;
  // A page nobody is waiting for (the second copy of a login reply or of a page, a login reply after
  // its timeout, a read reply in the middle of a save) must neither overwrite what the operator is
  // editing nor end or restart the read.
  if (!reading_ || (pageNo != 0 && pageNo != NextPage - 1)) {
    std::memset(Buffer.data(), 0, kSettingsPageSize);
    return;
  }
  const std::span<const uint8_t, kSettingsPageSize> page(Buffer.data(), kSettingsPageSize);
  if (pageNo != 0) {
    TGridUpdate batch(grid_);
    if (pageNo == 1) {
      link_.Progress.SetProgress(25);
      link_.Status.SetPanelText("The first page");
    } else {
      link_.Status.SetPanelText(pageNo == 2 ? "The second page" : "The third page");
    }
    for (const TSettingDef& param : SettingsTable()) {
      if (pageNo == 1 && param.Row == 12) link_.Progress.SetProgress(40);
      DecodeSettingOnPage(param, pageNo, page, grid_, lists_, codePage_);
    }
    if (pageNo == 3) {
      link_.Progress.SetProgress(100);
      link_.Status.SetPanelText("");
    } else {
      link_.Progress.SetProgress(50);
    }
  }
  // The dispatcher copies only the bytes a reply carries: a short reply must leave zeros behind it,
  // not the previous page's bytes decoded as this page's parameters.
  std::memset(Buffer.data(), 0, kSettingsPageSize);
  ReadNextPage();
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
