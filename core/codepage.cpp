// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/codepage.h"

#include <stdexcept>
#include <utility>

#include "core/codepage_converter.h"
#include "core/environment.h"

namespace torvane {

namespace {

bool IsAscii(std::string_view s) {
  for (unsigned char c : s)
    if (c >= 0x80) return false;
  return true;
}

// Length of the UTF-8 sequence starting at s[i] (1 for a stray byte).
size_t Utf8Length(std::string_view s, size_t i) {
  unsigned char c = s[i];
  size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 1;
  return i + n <= s.size() ? n : 1;
}

unsigned DecodeUtf8(std::string_view s, size_t i, size_t n) {
  unsigned char c = s[i];
  if (n == 1) return c;
  unsigned cp = c & (0x3F >> (n - 1));
  for (size_t k = 1; k < n; ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
  return cp;
}

}  // namespace

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

TCodePage::TCodePage(std::string name) : name_(std::move(name)), converter_(TCodePageConverter::Open(name_)) {
  if (!converter_) {
    name_ = "CP1252";
    converter_ = TCodePageConverter::Open(name_);
  }
  if (!converter_) throw std::runtime_error("the system converts no texts to or from CP1252");
}

TCodePage::~TCodePage() = default;

const TCodePage& TCodePage::System() {
  static TCodePage cp([] {
    const std::string chosen = EnvironmentVariable("TORVANE_CODEPAGE");
    return chosen.empty() ? SystemCodePageName() : chosen;
  }());
  return cp;
}

std::string TCodePage::ForLocale(std::string_view locale) {
  std::string_view lang = locale.substr(0, locale.find_first_of("_.@"));
  std::string_view region;
  if (auto u = locale.find('_'); u != std::string_view::npos)
    region = locale.substr(u + 1, locale.find_first_of(".@", u) - u - 1);
  if (lang == "zh") return (region == "TW" || region == "HK" || region == "MO") ? "CP950" : "CP936";
  if (lang == "ja") return "CP932";
  if (lang == "ko") return "CP949";
  if (lang == "th") return "CP874";
  if (lang == "vi") return "CP1258";
  if (lang == "el") return "CP1253";
  if (lang == "tr" || lang == "az") return "CP1254";
  if (lang == "he" || lang == "yi") return "CP1255";
  if (lang == "ar" || lang == "fa" || lang == "ur") return "CP1256";
  if (lang == "et" || lang == "lv" || lang == "lt") return "CP1257";
  for (const char* l : {"ru", "uk", "be", "bg", "mk", "sr", "kk", "ky", "tt", "mn", "tg"})
    if (lang == l) return "CP1251";
  for (const char* l : {"pl", "cs", "sk", "hu", "hr", "ro", "sl", "sq", "bs"})
    if (lang == l) return "CP1250";
  return "CP1252";
}

std::string TCodePage::ToUtf8(std::string_view bytes) const {
  if (IsAscii(bytes)) return std::string(bytes);
  std::lock_guard lock(mutex_);
  std::string out;
  out.reserve(bytes.size() * 3);
  while (!bytes.empty()) {
    bytes.remove_prefix(converter_->ToUtf8Defined(bytes, out));
    if (bytes.empty()) break;
    // An undefined byte or a lead byte without its trail: keep the byte's value.
    AppendUtf8(out, static_cast<unsigned char>(bytes.front()));
    bytes.remove_prefix(1);
  }
  return out;
}

std::string TCodePage::FromUtf8(std::string_view utf8) const {
  if (IsAscii(utf8)) return std::string(utf8);
  std::lock_guard lock(mutex_);
  std::string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) {
    size_t n = Utf8Length(utf8, i);
    if ((n > 1 || static_cast<unsigned char>(utf8[i]) < 0x80) &&
        converter_->FromUtf8Character(utf8.substr(i, n), out)) {
      i += n;
      continue;
    }
    unsigned cp = n > 1 ? DecodeUtf8(utf8, i, n) : static_cast<unsigned char>(utf8[i]);
    // U+0080..U+00FF that the code page does not define came from such a byte (see ToUtf8).
    out += (cp >= 0x80 && cp <= 0xFF) ? static_cast<char>(cp) : '?';
    i += n;
  }
  return out;
}

}  // namespace torvane
