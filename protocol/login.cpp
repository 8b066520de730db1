#include "protocol/login.h"

#include <locale>
#include <string_view>

#include "core/codepage.h"
#include "protocol/frame.h"

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
  if (link_.Busy()) return;
  Verifying = true;
  // The same request the settings read sends for its first page: the password is in its first bytes.
  link_.SendFrame(CMD_READ, kSettingsBase, 0, nullptr, "Read settings");
  link_.Status.ShowStatus("Password verifing");
}

void Tpasswordverify::CheckPassword(const uint8_t* bytes) {
  // Four characters whatever their values: a zero byte counts too, so a shorter entry never matches.
  DevicePassword = TCodePage::System().ToUtf8(std::string_view(reinterpret_cast<const char*>(bytes), 4));
  EnteredPassword = passwordText_();
  if (SameIgnoringCase(DevicePassword, EnteredPassword)) {
    Verified = true;
    link_.Operator.Message("Password confirmed!");
    link_.UnlockControls();
  } else {
    Verified = false;
    link_.Operator.Message("Password Error!");
    link_.LockControls();
  }
  Verifying = false;
}

}  // namespace torvane
