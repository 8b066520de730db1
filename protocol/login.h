#pragma once
// The login: settings page 1 is read and the password in its first four bytes is compared on the PC
// with what the operator typed.
#include <cstdint>
#include <functional>
#include <string>

#include "protocol/link.h"

namespace torvane {

class Tpasswordverify {
 public:
  // passwordText gives the current text of the password box.
  Tpasswordverify(TLink& link, std::function<std::string()> passwordText)
      : link_(link), passwordText_(std::move(passwordText)) {}
  bool Verified = false;
  bool Verifying = false;
  std::string DevicePassword;
  std::string EnteredPassword;

  void BeginLogin();
  void CheckPassword(const uint8_t* bytes);

 private:
  TLink& link_;
  std::function<std::string()> passwordText_;
};

}  // namespace torvane
