// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The login: settings page 1 is read and the password in its first four bytes is compared on the PC
// with what the operator typed.
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "protocol/exchange.h"

namespace torvane {

class Tpasswordverify : protected IExchangeClient {
 public:
  // passwordText gives the current text of the password box.
  Tpasswordverify(TExchange& exchange, TContext& context, std::function<std::string()> passwordText)
      : exchange_(exchange), context_(context), passwordText_(std::move(passwordText)) {}
  bool Verified = false;
  bool Verifying = false;
  std::string DevicePassword;
  std::string EnteredPassword;
  // The device answered the last login's read (a wrong password, not a silent device).
  bool Answered = false;

  void BeginLogin();
  void CheckPassword(const uint8_t* bytes);

  // Told when a login starts, and at its end: true when the password matched.
  std::function<void()> OnLoginStarted;
  std::function<void(bool verified)> OnLoginEnded;
  // The settings page the login read (it names the device: its SIM number is there too).
  std::function<void(std::span<const uint8_t, 256> page)> OnPageRead;

 private:
  bool OnReply(const TReply& reply) override;
  void OnFailed(TExchangeFailure why) override;
  TExchange& exchange_;
  TContext& context_;
  std::function<std::string()> passwordText_;
};

}  // namespace torvane
