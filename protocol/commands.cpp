#include "protocol/commands.h"

namespace torvane {

void Tsingalcmd::Send() {}
void Tsynchronizationtime_sc::Send() {}

}  // namespace torvane
