#include "protocol/login.h"

namespace torvane {

void Tpasswordverify::BeginLogin() {}
void Tpasswordverify::CheckPassword(const uint8_t*) {}

}  // namespace torvane
