// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/exchange.h"

#include <algorithm>
#include <cstring>

#include "protocol/protocol_texts.h"

namespace torvane {

void TExchange::Send(IExchangeClient& client, uint8_t command, int32_t address,
                     std::span<const uint8_t> payload, const std::string& statusText, bool anyAddress) {
  command_ = command;
  address_ = address;
  Build(payload);
  anyAddress_ = anyAddress;
  statusText_ = statusText;
  const bool wasBusy = Busy();
  client_ = &client;
  try_ = 0;
  Resend();
  if (!wasBusy) Notify();
}

void TExchange::Build(std::span<const uint8_t> payload) {
  TDataPackage p;
  p.SetCommand(command_);
  p.SetLength(static_cast<int32_t>(payload.size()));
  p.SetAddress(address_);
  if (!payload.empty()) p.SetPayload(payload.data());
  p.BuildFrame();
  std::memcpy(frame_.data(), p.Frame.data(), static_cast<size_t>(p.FrameLength));
  frameLength_ = static_cast<uint16_t>(p.FrameLength);
  payloadLength_ = static_cast<uint16_t>(payload.size());
  std::copy(payload.begin(), payload.end(), payload_.begin());
}

void TExchange::Resend() {
  if (try_ > 0 && client_) {
    const std::span<uint8_t> payload(payload_.data(), payloadLength_);
    if (client_->RefreshPayload(payload)) Build(std::span<const uint8_t>(payload));
  }
  ++try_;
  badThisTry_ = false;
  ++sendCount_;
  // With the port closed nothing goes out; the reply timer then tells the operator.
  Port.SendBytes(frame_.data(), frameLength_);
  if (OnFrameSent) OnFrameSent(std::span<const uint8_t>(frame_.data(), frameLength_));
  context_.Status.ShowStatus(statusText_);
  // Each try has the whole reply time; a timer still running from the try before would cut it short.
  ReplyTimer.Stop();
  ReplyTimer.Start();
}

void TExchange::OnFrame(uint8_t command, int32_t address, std::span<const uint8_t> payload) {
  if (!client_ || command != command_ || (!anyAddress_ && address != address_)) {
    // Late after a repeat, a second copy, another page's or nobody's: the timer keeps running for the
    // reply still awaited. With nothing awaited the line keeps saying why the last transfer ended.
    if (client_) context_.Status.ShowStatus(kReplyIgnored);
    return;
  }
  ReplyTimer.Stop();
  IExchangeClient* client = client_;
  client_ = nullptr;
  const uint64_t sentBefore = sendCount_;
  if (!client->OnReply(TReply{command, address, payload})) {
    // The reply was the awaited one but unusable: as good as a bad frame.
    client_ = client;
    badThisTry_ = true;
    if (try_ < kTries)
      Resend();
    else
      GiveUp(TExchangeFailure::InvalidData);
    return;
  }
  // A client that asked for the next page keeps the exchange going; anything else may end it.
  if (sendCount_ == sentBefore) Notify();
}

void TExchange::OnBadFrame(bool whole) {
  if (!client_) return;
  context_.Status.ShowStatus(kInvalidData);
  badThisTry_ = true;
  if (!whole) return;
  // The device has answered this try: asking again at once is quicker than waiting out the timer.
  if (try_ < kTries)
    Resend();
  else
    GiveUp(TExchangeFailure::InvalidData);
}

void TExchange::OnReplyTimeout() {
  ReplyTimer.Stop();
  if (!client_) return;
  if (try_ < kTries) {
    Resend();
    return;
  }
  GiveUp(badThisTry_ ? TExchangeFailure::InvalidData : TExchangeFailure::Timeout);
}

void TExchange::GiveUp(TExchangeFailure why) {
  ReplyTimer.Stop();
  IExchangeClient* client = client_;
  client_ = nullptr;
  const char* text = why == TExchangeFailure::InvalidData ? kInvalidData : kReceiveTimeout;
  // The reason stays on the status line until something else is shown there.
  context_.Status.ShowLasting(text);
  context_.Progress.SetProgress(100);
  if (client) client->OnFailed(why);
  Notify();
  context_.Operator.Message(text);
}

void TExchange::Abandon(TExchangeFailure why) {
  ReplyTimer.Stop();
  // A transfer between two pages (asking the operator something) holds the exchange without a request
  // outstanding: it ends too.
  std::vector<IExchangeClient*> ending = transfers_;
  if (client_ && std::find(ending.begin(), ending.end(), client_) == ending.end()) ending.push_back(client_);
  client_ = nullptr;
  transfers_.clear();
  context_.Progress.SetProgress(100);
  for (IExchangeClient* c : ending) c->OnFailed(why);
  Notify();
}

void TExchange::BeginTransfer(IExchangeClient& owner) {
  const bool wasBusy = Busy();
  if (std::find(transfers_.begin(), transfers_.end(), &owner) == transfers_.end())
    transfers_.push_back(&owner);
  if (!wasBusy) Notify();
}

void TExchange::EndTransfer(IExchangeClient& owner) {
  std::erase(transfers_, &owner);
  Notify();
}

void TExchange::Notify() {
  if (OnBusyChanged) OnBusyChanged();
}

}  // namespace torvane
