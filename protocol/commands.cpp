// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/commands.h"

#include <array>

#include "core/message.h"
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
  context_.Status.ShowStatus(t.Reply);
  if (accepted)
    context_.Operator.Success(AcceptedText());
  else
    context_.Operator.Message(t.Refused);
  if (OnCommandEnded) OnCommandEnded(accepted);
  return true;
}

std::string Tsingalcmd::AcceptedText() const {
  return TextsOf(CommandCode).Accepted;
}

void Tsingalcmd::OnFailed(TExchangeFailure) {
  if (OnCommandEnded) OnCommandEnded(false);
}

void Tsynchronizationtime_sc::Send() {
  namingTheTime_ = false;
  std::array<uint8_t, 6> payload{};
  Now(payload);
  SendWith(payload, kTimeSyncRequest);
}

void Tsynchronizationtime_sc::SendNamingTheTime() {
  if (exchange_.Busy()) return;
  Send();
  namingTheTime_ = true;
}

std::string Tsynchronizationtime_sc::AcceptedText() const {
  if (!namingTheTime_) return Tsingalcmd::AcceptedText();
  return FillText(kDeviceClockSet, {DateTimeText(sent_)});
}

bool Tsynchronizationtime_sc::RefreshPayload(std::span<uint8_t> payload) {
  // A repeat three seconds after the first try must not set the device's clock three seconds slow.
  if (payload.size() != 6) return false;
  Now(payload);
  return true;
}

void Tsynchronizationtime_sc::Now(std::span<uint8_t> payload) {
  const TDateTime now = context_.Clock.Now();
  sent_ = now;
  // The device takes the four-digit year modulo 256 (2026 goes out as 0xEA), not year - 2000.
  payload[0] = static_cast<uint8_t>(now.Year % 256);
  payload[1] = static_cast<uint8_t>(now.Month);
  payload[2] = static_cast<uint8_t>(now.Day);
  payload[3] = static_cast<uint8_t>(now.Hour);
  payload[4] = static_cast<uint8_t>(now.Minute);
  payload[5] = static_cast<uint8_t>(now.Second);
}

}  // namespace torvane
