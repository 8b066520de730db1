#include "history/history_inf.h"

namespace torvane {

void THistoryInf::DecodePage() {}
void SetUpHistoryGrid(TGrid&) {}

}  // namespace torvane
