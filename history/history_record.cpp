// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/history_record.h"

#include <cstdio>

namespace torvane {

namespace {

// At least two digits, more when the byte needs them (a month byte of 171 stays "171").
std::string TwoDigits(uint8_t v) {
  char s[8];
  std::snprintf(s, sizeof s, "%.2d", v);
  return s;
}

}  // namespace

std::string HistorySourceText(uint8_t code) {
  switch (code) {
    case 0:
      return "COM Port";
    case 1:
      return "SMS";
    case 2:
      return "GPRS";
    case 3:
      return "Telephone";
    default:
      return "";
  }
}

std::string HistoryActionText(uint8_t code) {
  static const char* const kActions[] = {"Add number", "Delete Number", "Relay ON",      "Relay OFF",
                                         "DIN1 Alarm", "DIN2 Alarm",    "Power failure", "Arm",
                                         "Disarm",     "Power recovery"};
  return code < std::size(kActions) ? kActions[code] : "";
}

std::array<std::string, 7> DecodeHistoryRecord(const uint8_t* r, const TCodePage& codePage) {
  std::array<std::string, 7> c;
  if (r[4] == 0) return c;

  if (!(r[0] == 0xFF && r[1] == 0xFF && r[2] == 0xFF && r[3] == 0xFF)) {
    const uint32_t n = r[0] | (r[1] << 8) | (r[2] << 16) | (static_cast<uint32_t>(r[3]) << 24);
    c[0] = std::to_string(static_cast<int32_t>(n));
  }
  if (r[4] != 0xFF && r[5] != 0xFF && r[6] != 0xFF)
    c[1] = "20" + TwoDigits(r[4]) + "-" + TwoDigits(r[5]) + "-" + TwoDigits(r[6]);
  if (r[7] != 0xFF && r[8] != 0xFF && r[9] != 0xFF)
    c[2] = TwoDigits(r[7]) + ":" + TwoDigits(r[8]) + ":" + TwoDigits(r[9]);

  c[3] = HistorySourceText(r[10]);
  c[4] = HistoryActionText(r[11]);
  // Inputs and the power supply are events of the device itself: the place replaces the channel.
  switch (r[11]) {
    case 4:
      c[3] = "DIN1";
      break;
    case 5:
      c[3] = "DIN2";
      break;
    case 6:
    case 9:
      c[3] = "Power supply";
      break;
  }

  for (int i = 0; i < kHistoryExecutantSize; ++i) {
    const uint8_t b = r[kHistoryExecutantOffset + i];
    if (b != '+' && (b < '0' || b > '9')) break;
    c[5] += static_cast<char>(b);
  }

  std::string content;
  for (int i = 0; i < kHistoryContentSize; ++i) {
    const uint8_t b = r[kHistoryContentOffset + i];
    if (b == 0) break;
    content += static_cast<char>(b);
  }
  c[6] = codePage.ToUtf8(content);
  return c;
}

}  // namespace torvane
