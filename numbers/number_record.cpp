// SPDX-License-Identifier: GPL-3.0-or-later
#include "numbers/number_record.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "core/codepage.h"

namespace torvane {

namespace {

constexpr uint8_t kAlwaysByte = 0x63;

std::string TwoDigits(int v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%.2d", v);
  return buf;
}

// Characters from 1-based position `from`, at most `count` of them; short or empty past the end.
std::string Part(const std::string& s, size_t from, size_t count) {
  if (from < 1 || from > s.size()) return {};
  return s.substr(from - 1, count);
}

std::string LastChars(const std::string& s, size_t count) {
  return s.substr(s.size() - std::min(count, s.size()));
}

// Plain decimal digits only: what is not a number must never reach the device as some other byte.
std::optional<int> ToInt(const std::string& s) {
  if (s.empty() || s.size() > 9) return std::nullopt;
  int v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return std::nullopt;
    v = v * 10 + (c - '0');
  }
  return v;
}

// Date cell "yyyy?MM?dd": month (6-7), day (last two), year's last two digits (3-4).
bool EncodeDate(const std::string& text, uint8_t& month, uint8_t& day, uint8_t& year, std::string& bad) {
  const std::string m = Part(text, 6, 2), d = LastChars(text, 2), y = Part(text, 3, 2);
  for (const std::string* s : {&m, &d, &y})
    if (!ToInt(*s)) {
      bad = *s;
      return false;
    }
  month = static_cast<uint8_t>(*ToInt(m));
  day = static_cast<uint8_t>(*ToInt(d));
  year = static_cast<uint8_t>(*ToInt(y));
  return true;
}

// Time cell "h:mm" or "hh:mm"; one-digit minutes are taken from the last character.
bool EncodeTime(const std::string& text, uint8_t& hour, uint8_t& minute, std::string& bad) {
  const size_t colon = text.find(':');
  const std::string h = colon == std::string::npos ? std::string() : text.substr(0, colon);
  const std::string m =
      (colon != std::string::npos && text.size() - colon - 1 == 2) ? LastChars(text, 2) : LastChars(text, 1);
  for (const std::string* s : {&h, &m})
    if (!ToInt(*s)) {
      bad = *s;
      return false;
    }
  hour = static_cast<uint8_t>(*ToInt(h));
  minute = static_cast<uint8_t>(*ToInt(m));
  return true;
}

bool IsAscii(const std::string& s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

}  // namespace

TNumberRecordText DecodeNumberRecord(const uint8_t* r) {
  TNumberRecordText t;
  for (int i = 0; i < kNumberFieldSize && (r[i] == '+' || (r[i] >= '0' && r[i] <= '9')); ++i)
    t.Number.push_back(static_cast<char>(r[i]));
  // A zero month or day means no date was stored. The cell is emptied rather than left holding what
  // an earlier read or edit put there, which a later save would write to this device.
  if (r[22] != 0 && r[23] != 0)
    t.StartDate = "20" + TwoDigits(r[30]) + "-" + TwoDigits(r[22]) + "-" + TwoDigits(r[23]);
  t.StartTime = TwoDigits(r[24]) + ":" + TwoDigits(r[25]);
  if (r[26] != 0 && r[27] != 0)
    t.EndDate = "20" + TwoDigits(r[31]) + "-" + TwoDigits(r[26]) + "-" + TwoDigits(r[27]);
  t.EndTime = TwoDigits(r[28]) + ":" + TwoDigits(r[29]);
  const bool always = std::all_of(r + 22, r + 30, [](uint8_t b) { return b == kAlwaysByte; });
  if (r[22] == 0xFF || t.Number.empty() || always) t.StartDate = t.StartTime = t.EndDate = t.EndTime = "";
  t.Always = always;
  return t;
}

TNumberRowCells NumberRowCells(const TGrid& grid, int row) {
  return {grid.Cell(kColNumber, row),  grid.Cell(kColStartDate, row), grid.Cell(kColStartTime, row),
          grid.Cell(kColEndDate, row), grid.Cell(kColEndTime, row),   grid.Cell(kColAlways, row),
          grid.Cell(kColDelete, row)};
}

std::optional<std::string> EncodeNumberRecord(const TNumberRowCells& row, uint8_t* r) {
  std::memset(r, 0, kNumberRecordSize);
  if (row.Delete == kMarkYes) {
    std::memset(r, 0xFF, kNumberRecordSize);
    return std::nullopt;
  }
  if (!row.Number.empty()) {
    // The device holds code-page bytes; numbers are plain ASCII, so the converter is rarely needed.
    const std::string bytes = IsAscii(row.Number) ? row.Number : TCodePage::System().FromUtf8(row.Number);
    std::memcpy(r, bytes.data(), std::min<size_t>(bytes.size(), kNumberFieldSize));
  }
  if (row.Always == kMarkYes) {
    std::memset(r + 22, kAlwaysByte, 8);
    r[30] = 0x00;
    r[31] = kAlwaysByte;
    return std::nullopt;
  }
  std::string bad;
  if (!row.StartDate.empty() && !EncodeDate(row.StartDate, r[22], r[23], r[30], bad)) return bad;
  if (!row.StartTime.empty() && !EncodeTime(row.StartTime, r[24], r[25], bad)) return bad;
  if (!row.EndDate.empty() && !EncodeDate(row.EndDate, r[26], r[27], r[31], bad)) return bad;
  if (!row.EndTime.empty() && !EncodeTime(row.EndTime, r[28], r[29], bad)) return bad;
  return std::nullopt;
}

bool NumberCellOutOfRange(int col, const std::string& text) {
  if (text.empty()) return false;
  std::optional<int> a, b;
  int maxA, maxB;
  if (col == kColStartDate || col == kColEndDate) {
    a = ToInt(Part(text, 6, 2)), b = ToInt(LastChars(text, 2)), maxA = 12, maxB = 31;
  } else if (col == kColStartTime || col == kColEndTime) {
    a = ToInt(Part(text, 1, 2)), b = ToInt(Part(text, 4, 2)), maxA = 23, maxB = 59;
  } else {
    return false;
  }
  return !a || !b || *a > maxA || *b > maxB;
}

std::optional<TPickerDate> ParseNumberDate(const std::string& text) {
  const auto y = ToInt(Part(text, 1, 4)), m = ToInt(Part(text, 6, 2)), d = ToInt(LastChars(text, 2));
  if (!y || !m || !d || *m < 1 || *m > 12 || *d < 1 || *d > 31 || *y < 1) return std::nullopt;
  static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (*y % 4 == 0 && *y % 100 != 0) || *y % 400 == 0;
  if (*d > kDays[*m - 1] || (*m == 2 && *d == 29 && !leap)) return std::nullopt;
  return TPickerDate{*y, *m, *d};
}

std::optional<TPickerTime> ParseNumberTime(const std::string& text) {
  const auto h = ToInt(Part(text, 1, 2)), m = ToInt(Part(text, 4, 2));
  if (!h || !m || *h > 23 || *m > 59) return std::nullopt;
  return TPickerTime{*h, *m};
}

std::optional<TPickerDate> ParseSavableDate(const std::string& text) {
  if (text.size() != 10) return std::nullopt;
  const auto separator = static_cast<unsigned char>(text[4]);
  if (text[7] != text[4] || separator >= 0x80 || !std::ispunct(separator)) return std::nullopt;
  const std::optional<TPickerDate> d = ParseNumberDate(text);
  if (!d || d->Year < 2000 || d->Year > 2099) return std::nullopt;
  return d;
}

std::optional<TPickerTime> ParseSavableTime(const std::string& text) {
  if (text.size() != 5 || text[2] != ':') return std::nullopt;
  return ParseNumberTime(text);
}

std::string FormatNumberDate(int year, int month, int day, char separator) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d%c%02d%c%02d", year, separator, month, separator, day);
  return buf;
}

std::string FormatNumberTime(int hour, int minute) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d:%02d", hour, minute);
  return buf;
}

}  // namespace torvane
