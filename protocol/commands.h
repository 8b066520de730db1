// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The single commands: checking mode (4), delete history (133) and time sync (3). Each is one request
// answered on its own command, with the device's verdict in the first payload byte.
#include <functional>
#include <string>

#include "core/clock.h"
#include "protocol/exchange.h"
#include "protocol/frame.h"

namespace torvane {

class Tsingalcmd : public TTemplate, protected IExchangeClient {
 public:
  Tsingalcmd(TExchange& exchange, TContext& context, uint8_t code)
      : CommandCode(code), exchange_(exchange), context_(context) {}
  uint8_t CommandCode;
  virtual void Send();

  // Told at the end of every run of the command: true when the device said yes.
  std::function<void(bool accepted)> OnCommandEnded;

 protected:
  void SendWith(std::span<const uint8_t> payload, const char* statusText);
  // The box when the device says yes.
  virtual std::string AcceptedText() const;
  TExchange& exchange_;
  TContext& context_;

 private:
  bool OnReply(const TReply& reply) override;
  void OnFailed(TExchangeFailure why) override;
};

class Tsynchronizationtime_sc : public Tsingalcmd {
 public:
  Tsynchronizationtime_sc(TExchange& exchange, TContext& context)
      : Tsingalcmd(exchange, context, CMD_TIME_SYNC) {}
  void Send() override;
  // The same request, ending in a box that names the time sent instead of the device's own words.
  void SendNamingTheTime();
  // The time the last try carried.
  const TDateTime& Sent() const { return sent_; }

 protected:
  bool RefreshPayload(std::span<uint8_t> payload) override;
  std::string AcceptedText() const override;

 private:
  // The PC's clock at this moment, as the payload carries it.
  void Now(std::span<uint8_t> payload);
  TDateTime sent_;
  bool namingTheTime_ = false;
};

}  // namespace torvane
