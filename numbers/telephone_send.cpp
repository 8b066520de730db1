#include "numbers/telephone_send.h"

namespace torvane {

void TtelephoneSend::DecodePage() {}
void TtelephoneSend::WriteNextPage() {}
void SetUpNumberGrid(TGrid&) {}

}  // namespace torvane
