#pragma once
// The settings transfer: three 256-byte pages at 0x000, 0x100, 0x200.
#include "app/grid.h"
#include "protocol/frame.h"
#include "protocol/link.h"
#include "settings/settings_lists.h"

namespace torvane {

class TBasicInf : public Tsend_rec_command {
 public:
  TBasicInf(TLink& link, TGrid& grid, TSettingsLists& lists) : link_(link), grid_(grid), lists_(lists) {}
  int32_t WritePageAddress = 0;

  void RequestPage(int page);
  void DecodePage() override;
  void WriteNextPage() override;

 private:
  TLink& link_;
  TGrid& grid_;
  TSettingsLists& lists_;
};

// Headings, labels, descriptions and defaults of the settings grid, and the lists' defaults.
void SetUpSettingsGrid(TGrid& grid, TSettingsLists& lists);

}  // namespace torvane
