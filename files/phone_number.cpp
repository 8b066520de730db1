#include "files/phone_number.h"

#include "files/import_texts.h"

namespace torvane {

namespace {

std::string Replace(std::string text, const std::string& mark, const std::string& value) {
  const size_t at = text.find(mark);
  return at == std::string::npos ? text : text.replace(at, mark.size(), value);
}

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

std::optional<std::string> PhoneNumberProblem(const std::string& cleaned, size_t fieldBytes) {
  for (size_t i = 0; i < cleaned.size(); ++i) {
    const char c = cleaned[i];
    if ((c >= '0' && c <= '9') || (c == '+' && i == 0)) continue;
    return Replace(Replace(kNumberNotDigits, "%1", cleaned), "%2", CharacterAt(cleaned, i));
  }
  if (cleaned.size() > fieldBytes)
    return Replace(Replace(Replace(kNumberTooLong, "%1", cleaned), "%2", std::to_string(cleaned.size())),
                   "%3", std::to_string(fieldBytes));
  return std::nullopt;
}

}  // namespace torvane
