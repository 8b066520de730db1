#include "protocol/commands.h"

#include <array>

namespace torvane {

void Tsingalcmd::Send() {
  // One request at a time: the buttons are disabled while an exchange is open, and this keeps a
  // stray call from starting a second one.
  if (link_.Busy()) return;
  // The device firmware's own wording; both single commands show it.
  link_.SendFrame(CommandCode, 0, 0, nullptr, "Password verifying");
}

void Tsynchronizationtime_sc::Send() {
  if (link_.Busy()) return;
  const TDateTime now = link_.Clock.Now();
  // The device takes the four-digit year modulo 256 (2026 goes out as 0xEA), not year - 2000.
  const std::array<uint8_t, 6> payload{
      static_cast<uint8_t>(now.Year % 256), static_cast<uint8_t>(now.Month),
      static_cast<uint8_t>(now.Day),        static_cast<uint8_t>(now.Hour),
      static_cast<uint8_t>(now.Minute),     static_cast<uint8_t>(now.Second)};
  link_.SendFrame(CommandCode, 0, static_cast<int32_t>(payload.size()), payload.data(), "发送同步时间命令");
}

}  // namespace torvane
