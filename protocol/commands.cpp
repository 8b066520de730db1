#include "protocol/commands.h"

#include <array>

#include "protocol/protocol_texts.h"

namespace torvane {

namespace {

struct TCommandTexts {
  const char* Reply;
  const char* Accepted;
  const char* Refused;
};

TCommandTexts TextsOf(uint8_t code) {
  switch (code) {
    case CMD_TIME_SYNC:
      return {kTimeSyncReply, kTimeSyncAccepted, kTimeSyncRefused};
    case CMD_CHECK_MODE:
      return {kCheckModeReply, kCheckModeAccepted, kCheckModeRefused};
    default:
      return {kDeleteHistoryReply, kDeleteHistoryAccepted, kDeleteHistoryRefused};
  }
}

}  // namespace

void Tsingalcmd::Send() {
  SendWith({}, kCommandRequest);
}

void Tsingalcmd::SendWith(std::span<const uint8_t> payload, const char* statusText) {
  // One request at a time: the buttons are disabled while an exchange is open, and this keeps a
  // stray call from starting a second one.
  if (exchange_.Busy()) return;
  // The device answers a single command at any address it likes: only the command is checked.
  exchange_.Send(*this, CommandCode, 0, payload, statusText, true);
}

bool Tsingalcmd::OnReply(const TReply& reply) {
  // Without its first byte the reply carries no verdict.
  if (reply.Payload.empty()) return false;
  const TCommandTexts t = TextsOf(CommandCode);
  const bool accepted = reply.Payload[0] == 1;
  exchange_.Status.ShowStatus(t.Reply);
  exchange_.Operator.Message(accepted ? t.Accepted : t.Refused);
  if (OnCommandEnded) OnCommandEnded(accepted);
  return true;
}

void Tsingalcmd::OnFailed(TExchangeFailure) {
  if (OnCommandEnded) OnCommandEnded(false);
}

void Tsynchronizationtime_sc::Send() {
  const TDateTime now = exchange_.Clock.Now();
  // The device takes the four-digit year modulo 256 (2026 goes out as 0xEA), not year - 2000.
  const std::array<uint8_t, 6> payload{
      static_cast<uint8_t>(now.Year % 256), static_cast<uint8_t>(now.Month),
      static_cast<uint8_t>(now.Day),        static_cast<uint8_t>(now.Hour),
      static_cast<uint8_t>(now.Minute),     static_cast<uint8_t>(now.Second)};
  SendWith(payload, kTimeSyncRequest);
}

}  // namespace torvane
