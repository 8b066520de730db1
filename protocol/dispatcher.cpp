#include "protocol/dispatcher.h"

namespace torvane {

void TReceiveDispatcher::cm1ReceiveData(const uint8_t*, uint16_t) {}

void TReceiveDispatcher::ResetAssembler() {
  rec_.RawCount = 0;
  rec_.Receiving = false;
}

}  // namespace torvane
