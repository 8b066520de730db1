#pragma once
// The settings transfer: three 256-byte pages at 0x000, 0x100, 0x200, read into and written from the
// settings grid and its six lists one page per reply.
#include <string>

#include "core/codepage.h"
#include "core/grid.h"
#include "protocol/frame.h"
#include "protocol/link.h"
#include "settings/settings_codec.h"
#include "settings/settings_lists.h"

namespace torvane {

class TBasicInf : public Tsend_rec_command {
 public:
  TBasicInf(TLink& link, TGrid& grid, TSettingsLists& lists, const TCodePage& codePage = TCodePage::System())
      : link_(link), grid_(grid), lists_(lists), codePage_(codePage) {}
  // The address of the page the last encoder built.
  int32_t WritePageAddress = 0;

  // "Read Settings": asks first; a yes reads the three pages.
  void ReadSettings();
  // "Save Settings": writes the three pages, each encoded from the grid as it is sent.
  void SaveSettings();

  void RequestPage(int page);
  void ReadNextPage();
  // False when the page could not be built from the grid; the operator has been told and nothing was
  // sent.
  bool SendPage(int page);
  void WriteNextPage() override;
  bool EncodePage1() { return EncodePage(1); }
  bool EncodePage2() { return EncodePage(2); }
  bool EncodePage3() { return EncodePage(3); }
  // Decodes the reply in Buffer by its Address, then asks for the next page.
  void DecodePage() override;

 private:
  bool EncodePage(int page);
  void StopAfterFault();
  // A read is running: from "Read Settings" until its last page or a save.
  bool reading_ = false;
  TLink& link_;
  TGrid& grid_;
  TSettingsLists& lists_;
  const TCodePage& codePage_;
};

// Headings, labels, descriptions and defaults of the settings grid, and the lists' defaults.
void SetUpSettingsGrid(TGrid& grid, TSettingsLists& lists);

}  // namespace torvane
