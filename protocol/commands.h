// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The single commands: checking mode (4), delete history (133) and time sync (3). Each is one request
// answered on its own command, with the device's verdict in the first payload byte.
#include <functional>

#include "protocol/exchange.h"
#include "protocol/frame.h"

namespace torvane {

class Tsingalcmd : public TTemplate, protected IExchangeClient {
 public:
  Tsingalcmd(TExchange& exchange, uint8_t code) : CommandCode(code), exchange_(exchange) {}
  uint8_t CommandCode;
  virtual void Send();

  // Told at the end of every run of the command: true when the device said yes.
  std::function<void(bool accepted)> OnCommandEnded;

 protected:
  void SendWith(std::span<const uint8_t> payload, const char* statusText);
  TExchange& exchange_;

 private:
  bool OnReply(const TReply& reply) override;
  void OnFailed(TExchangeFailure why) override;
};

class Tsynchronizationtime_sc : public Tsingalcmd {
 public:
  explicit Tsynchronizationtime_sc(TExchange& exchange) : Tsingalcmd(exchange, CMD_TIME_SYNC) {}
  void Send() override;

 protected:
  bool RefreshPayload(std::span<uint8_t> payload) override;

 private:
  // The PC's clock at this moment, as the payload carries it.
  void Now(std::span<uint8_t> payload) const;
};

}  // namespace torvane
