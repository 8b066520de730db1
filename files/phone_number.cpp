// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/phone_number.h"

#include "core/message.h"
#include "files/import_texts.h"

namespace torvane {

namespace {

// The whole UTF-8 character at s[i], so that a refusal names what the operator sees.
std::string CharacterAt(const std::string& s, size_t i) {
  size_t n = 1;
  while (i + n < s.size() && (static_cast<unsigned char>(s[i + n]) & 0xC0) == 0x80) ++n;
  return s.substr(i, n);
}

}  // namespace

std::string CleanPhoneNumber(std::string_view text) {
  std::string out;
  for (char c : text)
    if (c != ' ' && c != '-' && c != '.' && c != '(' && c != ')') out += c;
  return out;
}

std::string PhoneNumberKey(std::string_view text) {
  std::string key = CleanPhoneNumber(text);
  if (key.starts_with('+'))
    key.erase(0, 1);
  else if (key.starts_with("00"))
    key.erase(0, 2);
  return key;
}

std::optional<std::string> PhoneNumberProblem(const std::string& cleaned, size_t fieldBytes) {
  for (size_t i = 0; i < cleaned.size(); ++i) {
    const char c = cleaned[i];
    if ((c >= '0' && c <= '9') || (c == '+' && i == 0)) continue;
    return FillText(kNumberNotDigits, {cleaned, CharacterAt(cleaned, i)});
  }
  if (cleaned.size() > fieldBytes)
    return FillText(kNumberTooLong, {cleaned, std::to_string(cleaned.size()), std::to_string(fieldBytes)});
  return std::nullopt;
}

}  // namespace torvane
