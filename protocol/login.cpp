// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/login.h"

#include <locale>
#include <string_view>

#include "core/codepage.h"
#include "protocol/frame.h"
#include "protocol/protocol_texts.h"

namespace torvane {
namespace {

// UTF-8 to code points; a malformed byte stands for itself so that nothing is lost in the compare.
std::u32string DecodeUtf8(std::string_view s) {
  std::u32string out;
  size_t i = 0;
  while (i < s.size()) {
    const auto lead = static_cast<unsigned char>(s[i]);
    const int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
    char32_t cp = extra == 0 ? lead : lead & (0x3F >> extra);
    bool ok = i + extra < s.size();
    for (int k = 1; ok && k <= extra; ++k) {
      const auto next = static_cast<unsigned char>(s[i + k]);
      ok = (next & 0xC0) == 0x80;
      cp = (cp << 6) | (next & 0x3F);
    }
    if (!ok) {
      out.push_back(lead);
      ++i;
      continue;
    }
    out.push_back(cp);
    i += 1 + extra;
  }
  return out;
}

// Letter case is ignored the way the operator expects in any language, not only for ASCII.
const std::ctype<wchar_t>& CaseFolding() {
  static const std::locale loc = [] {
    try {
      return std::locale("C.UTF-8");
    } catch (const std::exception&) {
      return std::locale::classic();
    }
  }();
  return std::use_facet<std::ctype<wchar_t>>(loc);
}

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  const std::u32string x = DecodeUtf8(a), y = DecodeUtf8(b);
  if (x.size() != y.size()) return false;
  const auto& ct = CaseFolding();
  for (size_t i = 0; i < x.size(); ++i) {
    if (x[i] == y[i]) continue;
    if (ct.tolower(static_cast<wchar_t>(x[i])) != ct.tolower(static_cast<wchar_t>(y[i]))) return false;
  }
  return true;
}

}  // namespace

void Tpasswordverify::BeginLogin() {
  if (exchange_.Busy()) return;
  Verifying = true;
  Answered = false;
  if (OnLoginStarted) OnLoginStarted();
  // The same request the settings read sends for its first page: the password is in its first bytes.
  exchange_.Send(*this, CMD_READ, kSettingsBase, {}, kLoginRequest);
  context_.Status.ShowStatus(kLoginWaiting);
}

bool Tpasswordverify::OnReply(const TReply& reply) {
  // The whole page or nothing: four bytes of a short answer are no password.
  if (reply.Payload.size() != kMaxPayload) return false;
  context_.Status.ShowStatus(kLoginReply);
  Answered = true;
  if (OnPageRead) OnPageRead(std::span<const uint8_t, kMaxPayload>(reply.Payload.data(), kMaxPayload));
  CheckPassword(reply.Payload.data());
  return true;
}

void Tpasswordverify::OnFailed(TExchangeFailure) {
  // A login that got no answer is over: a later settings reply is no password check.
  Verifying = false;
  if (OnLoginEnded) OnLoginEnded(false);
}

void Tpasswordverify::CheckPassword(const uint8_t* bytes) {
  // Four characters whatever their values: a zero byte counts too, so a shorter entry never matches.
  DevicePassword = TCodePage::System().ToUtf8(std::string_view(reinterpret_cast<const char*>(bytes), 4));
  EnteredPassword = passwordText_();
  Verifying = false;
  if (SameIgnoringCase(DevicePassword, EnteredPassword)) {
    Verified = true;
    context_.Operator.Success(kPasswordConfirmed);
  } else {
    Verified = false;
    context_.Operator.Message(kPasswordError);
  }
  if (OnLoginEnded) OnLoginEnded(Verified);
}

}  // namespace torvane
