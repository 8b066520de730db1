// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/number_format.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <vector>

#include "files/date_serial.h"

namespace torvane {

namespace {

// One piece of a date/time format code.
struct TToken {
  enum TType {
    Literal,
    Year,
    Month,
    Day,
    Hour,
    Minute,
    Second,
    AmPm,
    ElapsedHour,
    ElapsedMinute,
    ElapsedSecond,
    Fraction
  };
  TType Type;
  int Count = 0;     // letters, or fraction digits
  std::string Text;  // Literal; AmPm: "AM/PM" or "A/P"
};

bool StartsWithNoCase(std::string_view text, size_t at, std::string_view word) {
  if (text.size() - at < word.size()) return false;
  for (size_t i = 0; i < word.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(text[at + i])) !=
        std::tolower(static_cast<unsigned char>(word[i])))
      return false;
  return true;
}

void AddLiteral(std::vector<TToken>& tokens, std::string_view text) {
  if (!tokens.empty() && tokens.back().Type == TToken::Literal)
    tokens.back().Text += text;
  else
    tokens.push_back({TToken::Literal, 0, std::string(text)});
}

// What stands between brackets: an elapsed time ([h], [mm], [ss]) or a currency with its locale
// ([$EUR-407] shows "EUR"); a colour or a condition shows nothing.
void AddBracket(std::vector<TToken>& tokens, std::string_view inner) {
  std::string lowered(inner);
  for (char& ch : lowered) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  auto all = [&](char letter) {
    return !lowered.empty() && lowered.find_first_not_of(letter) == std::string::npos;
  };
  if (all('h'))
    tokens.push_back({TToken::ElapsedHour, static_cast<int>(lowered.size()), {}});
  else if (all('m'))
    tokens.push_back({TToken::ElapsedMinute, static_cast<int>(lowered.size()), {}});
  else if (all('s'))
    tokens.push_back({TToken::ElapsedSecond, static_cast<int>(lowered.size()), {}});
  else if (!inner.empty() && inner[0] == '$')
    AddLiteral(tokens, inner.substr(1, inner.find('-') == std::string_view::npos ? std::string_view::npos
                                                                                 : inner.find('-') - 1));
}

bool IsDateLetter(char lower) {
  return lower == 'y' || lower == 'e' || lower == 'm' || lower == 'd' || lower == 'h' || lower == 's';
}

// A run of one date or time letter ("yyyy", "mm", "ss"), whatever its case; "e" is the four-digit
// year. Returns where the run ends.
size_t AddDatePart(std::vector<TToken>& tokens, std::string_view code, size_t i) {
  const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(code[i])));
  size_t run = i;
  while (run < code.size() && std::tolower(static_cast<unsigned char>(code[run])) == lower) ++run;
  int count = static_cast<int>(run - i);
  TToken::TType type = lower == 'y' || lower == 'e' ? TToken::Year
                       : lower == 'm'               ? TToken::Month
                       : lower == 'd'               ? TToken::Day
                       : lower == 'h'               ? TToken::Hour
                                                    : TToken::Second;
  tokens.push_back({type, lower == 'e' ? 4 : count, {}});
  return run;
}

// ".0", ".00" right after the seconds are fractions of a second, not literal text.
bool FractionFollows(const std::vector<TToken>& tokens, std::string_view code, size_t i) {
  return code[i] == '.' && i + 1 < code.size() && code[i + 1] == '0' && !tokens.empty() &&
         (tokens.back().Type == TToken::Second || tokens.back().Type == TToken::ElapsedSecond);
}

// The token that starts at code[i]; returns where the next one starts.
size_t AddToken(std::vector<TToken>& tokens, std::string_view code, size_t i) {
  const char c = code[i];
  if (c == '"') {
    size_t end = code.find('"', i + 1);
    if (end == std::string_view::npos) end = code.size();
    AddLiteral(tokens, code.substr(i + 1, end - i - 1));
    return end + 1;
  }
  if (c == '\\') {
    if (i + 1 < code.size()) AddLiteral(tokens, code.substr(i + 1, 1));
    return i + 2;
  }
  if (c == '_') {
    AddLiteral(tokens, " ");
    return i + 2;
  }
  if (c == '*') return i + 2;
  if (c == '[') {
    size_t end = code.find(']', i);
    if (end == std::string_view::npos) end = code.size();
    AddBracket(tokens, code.substr(i + 1, end - i - 1));
    return end + 1;
  }
  if (StartsWithNoCase(code, i, "AM/PM")) {
    tokens.push_back({TToken::AmPm, 0, "AM/PM"});
    return i + 5;
  }
  if (StartsWithNoCase(code, i, "A/P")) {
    tokens.push_back({TToken::AmPm, 0, "A/P"});
    return i + 3;
  }
  if (StartsWithNoCase(code, i, "General")) return i + 7;
  if (IsDateLetter(static_cast<char>(std::tolower(static_cast<unsigned char>(c)))))
    return AddDatePart(tokens, code, i);
  if (FractionFollows(tokens, code, i)) {
    size_t run = i + 1;
    while (run < code.size() && code[run] == '0') ++run;
    tokens.push_back({TToken::Fraction, static_cast<int>(run - i - 1), {}});
    return run;
  }
  AddLiteral(tokens, code.substr(i, 1));
  return i + 1;
}

// Month and minute share "m": the "m" right after an hour or right before a second is the minute.
void MarkMinutes(std::vector<TToken>& tokens) {
  for (size_t t = 0; t < tokens.size(); ++t) {
    if (tokens[t].Type != TToken::Month || tokens[t].Count > 2) continue;
    bool minute = false;
    for (size_t p = t; p-- > 0;) {
      if (tokens[p].Type == TToken::Literal) continue;
      minute = tokens[p].Type == TToken::Hour || tokens[p].Type == TToken::ElapsedHour;
      break;
    }
    for (size_t n = t + 1; !minute && n < tokens.size(); ++n) {
      if (tokens[n].Type == TToken::Literal) continue;
      minute = tokens[n].Type == TToken::Second;
      break;
    }
    if (minute) tokens[t].Type = TToken::Minute;
  }
}

// The first section of the code (up to an unquoted ';'), cut into tokens.
std::vector<TToken> Tokenize(std::string_view code) {
  std::vector<TToken> tokens;
  for (size_t i = 0; i < code.size() && code[i] != ';';) i = AddToken(tokens, code, i);
  MarkMinutes(tokens);
  return tokens;
}

const char* const kMonthNames[] = {"January", "February", "March",     "April",   "May",      "June",
                                   "July",    "August",   "September", "October", "November", "December"};
const char* const kDayNames[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                 "Thursday", "Friday", "Saturday"};

std::string Padded(long long value, int width) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%0*lld", width, value);
  return buffer;
}

// A month or a day by the count of its letters: 5, 05, the name cut to three letters, the whole
// name (a day's name is its weekday's).
std::string NumberOrName(int number, int count, const char* name) {
  if (count == 1) return std::to_string(number);
  if (count == 2) return Padded(number, 2);
  if (count == 3) return std::string(name, 3);
  return name;
}

}  // namespace

std::string GeneralNumberText(double value) {
  if (std::isnan(value)) return "#NUM!";
  if (std::isinf(value)) return "#NUM!";
  if (value == 0) return "0";
  char buffer[64];
  double magnitude = std::fabs(value);
  if (magnitude >= 1e15 || magnitude < 1e-9) {
    std::snprintf(buffer, sizeof buffer, "%.14E", value);
    // Mantissa without trailing zeros, exponent as E+20 / E-10.
    std::string text = buffer;
    size_t e = text.find('E');
    std::string mantissa = text.substr(0, e);
    std::string exponent = text.substr(e + 1);
    if (mantissa.find('.') != std::string::npos) {
      while (mantissa.back() == '0') mantissa.pop_back();
      if (mantissa.back() == '.') mantissa.pop_back();
    }
    char sign = exponent[0];
    std::string digits = exponent.substr(1);
    while (digits.size() > 2 && digits[0] == '0') digits.erase(0, 1);
    return mantissa + "E" + sign + digits;
  }
  std::snprintf(buffer, sizeof buffer, "%.15g", value);
  return buffer;
}

std::string FormatDateTime(double serial, std::string_view code, bool date1904) {
  if (!IsDateSerial(serial)) return GeneralNumberText(serial);
  std::vector<TToken> tokens = Tokenize(code);
  TDateParts parts = SplitSerial(serial, date1904);
  bool twelveHour =
      std::any_of(tokens.begin(), tokens.end(), [](const TToken& t) { return t.Type == TToken::AmPm; });
  std::string out;
  for (const TToken& token : tokens) {
    switch (token.Type) {
      case TToken::Literal:
        out += token.Text;
        break;
      case TToken::Year:
        out += token.Count <= 2 ? Padded(parts.Year % 100, 2) : Padded(parts.Year, 4);
        break;
      case TToken::Month:
        if (token.Count == 5)
          out += kMonthNames[parts.Month - 1][0];
        else
          out += NumberOrName(parts.Month, token.Count, kMonthNames[parts.Month - 1]);
        break;
      case TToken::Day:
        out += NumberOrName(parts.Day, token.Count, kDayNames[parts.Weekday]);
        break;
      case TToken::Hour: {
        int hour = parts.Hour;
        if (twelveHour) hour = hour % 12 == 0 ? 12 : hour % 12;
        out += token.Count >= 2 ? Padded(hour, 2) : std::to_string(hour);
        break;
      }
      case TToken::Minute:
        out += token.Count >= 2 ? Padded(parts.Minute, 2) : std::to_string(parts.Minute);
        break;
      case TToken::Second:
        out += token.Count >= 2 ? Padded(parts.Second, 2) : std::to_string(parts.Second);
        break;
      case TToken::AmPm:
        if (token.Text == "A/P")
          out += parts.Hour < 12 ? "A" : "P";
        else
          out += parts.Hour < 12 ? "AM" : "PM";
        break;
      case TToken::ElapsedHour:
        out += Padded(parts.TotalSeconds / 3600, token.Count);
        break;
      case TToken::ElapsedMinute:
        out += Padded(parts.TotalSeconds / 60, token.Count);
        break;
      case TToken::ElapsedSecond:
        out += Padded(parts.TotalSeconds, token.Count);
        break;
      case TToken::Fraction: {
        long long scale = 1;
        for (int d = 0; d < token.Count; ++d) scale *= 10;
        long long digits = std::min(scale - 1, static_cast<long long>(std::floor(parts.Fraction * scale)));
        out += '.';
        out += Padded(digits, token.Count);
        break;
      }
    }
  }
  return out;
}

TDateKind DateKindOfFormat(std::string_view code) {
  bool date = false, time = false;
  for (const TToken& token : Tokenize(code)) {
    switch (token.Type) {
      case TToken::Year:
      case TToken::Month:
      case TToken::Day:
        date = true;
        break;
      case TToken::Hour:
      case TToken::Minute:
      case TToken::Second:
      case TToken::ElapsedHour:
      case TToken::ElapsedMinute:
      case TToken::ElapsedSecond:
        time = true;
        break;
      default:
        break;
    }
  }
  return date && time ? TDateKind::DateTime
         : date       ? TDateKind::Date
         : time       ? TDateKind::Time
                      : TDateKind::None;
}

}  // namespace torvane
