// SPDX-License-Identifier: GPL-3.0-or-later
#include "device/dump.h"

#include <algorithm>
#include <cstdio>

#include "device/settings_layout.h"

namespace torvane::device {

namespace {

std::string Phone(const uint8_t* p, int size) {
  std::string s;
  for (int i = 0; i < size && (p[i] == '+' || (p[i] >= '0' && p[i] <= '9')); ++i)
    s += static_cast<char>(p[i]);
  return s;
}

std::string Format(const char* format, int a, int b, int c) {
  char text[64];
  std::snprintf(text, sizeof text, format, a, b, c);
  return text;
}

bool All(const uint8_t* p, size_t n, uint8_t v) {
  return std::all_of(p, p + n, [v](uint8_t b) { return b == v; });
}

}  // namespace

std::string DescribeNumberRecord(const TNumberRecord& r) {
  std::string s = Phone(r.data(), 22);
  if (All(r.data() + 22, 8, 0x63)) return s + " always";
  s += " from 20" + Format("%02d-%02d-%02d", r[30], r[22], r[23]) + Format(" %02d:%02d", r[24], r[25], 0);
  s += " to 20" + Format("%02d-%02d-%02d", r[31], r[26], r[27]) + Format(" %02d:%02d", r[28], r[29], 0);
  return s;
}

std::string DescribeHistoryRecord(const THistoryRecord& r) {
  static const char* sources[] = {"COM Port", "SMS", "GPRS", "Telephone"};
  static const char* actions[] = {"Add number", "Delete Number", "Relay ON", "Relay OFF", "DIN1 Alarm",
                                  "DIN2 Alarm", "Power failure", "Arm",      "Disarm",    "Power recovery"};
  const uint32_t number = r[0] | (r[1] << 8) | (r[2] << 16) | (uint32_t{r[3]} << 24);
  std::string s = All(r.data(), 4, 0xFF) ? std::string("no number") : "No. " + std::to_string(number);
  s += " 20" + Format("%02d-%02d-%02d", r[4], r[5], r[6]) + Format(" %02d:%02d:%02d", r[7], r[8], r[9]);
  s += " | " + std::string(r[10] < 4 ? sources[r[10]] : "?");
  s += " | " + std::string(r[11] < 10 ? actions[r[11]] : "?");
  s += " | " + Phone(r.data() + 12, 22) + " | ";
  for (int i = 34; i < 75 && r[i] != 0; ++i) {
    if (r[i] >= 0x20 && r[i] < 0x7F) {
      s += static_cast<char>(r[i]);
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", r[i]);
      s += hex;
    }
  }
  return s;
}

std::vector<std::string> DescribeMemory(const TDeviceMemory& m) {
  std::vector<std::string> lines;
  lines.push_back("Clock: " + std::to_string(m.Clock.Year) +
                  Format("-%02d-%02d", m.Clock.Month, m.Clock.Day, 0) +
                  Format(" %02d:%02d:%02d", m.Clock.Hour, m.Clock.Minute, m.Clock.Second));
  lines.push_back("Settings:");
  for (const std::string& line : DescribeSettings(m.Settings)) lines.push_back("  " + line);

  std::vector<std::string> numbers;
  for (int i = 0; i < kNumberRecords; ++i) {
    const TNumberRecord r = m.NumberRecord(i);
    if (All(r.data(), r.size(), 0xFF) || All(r.data(), r.size(), 0x00)) continue;
    numbers.push_back(Format("  %4d ", i + 1, 0, 0) + DescribeNumberRecord(r));
  }
  lines.push_back("Numbers in use: " + std::to_string(numbers.size()));
  lines.insert(lines.end(), numbers.begin(), numbers.end());

  std::vector<std::string> events;
  for (int i = 0; i < kHistoryRecords; ++i) {
    const THistoryRecord r = m.HistoryRecord(i);
    if (r[4] == 0 || All(r.data(), r.size(), 0xFF)) continue;
    events.push_back(Format("  %4d ", i + 1, 0, 0) + DescribeHistoryRecord(r));
  }
  lines.push_back("History records: " + std::to_string(events.size()));
  lines.insert(lines.end(), events.begin(), events.end());
  return lines;
}

}  // namespace torvane::device
