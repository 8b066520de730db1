#include "settings/basic_inf.h"

namespace torvane {

void TBasicInf::RequestPage(int page) {
  link_.SendFrame(CMD_READ, (page - 1) * kPageSpan, 0, nullptr, "Read settings");
}

void TBasicInf::DecodePage() {}
void TBasicInf::WriteNextPage() {}

void SetUpSettingsGrid(TGrid&, TSettingsLists&) {}

}  // namespace torvane
