// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// History records as the device stores them, for feeding the decoder.
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace torvane::testing {

struct TRecordFields {
  uint32_t Number = 1;
  uint8_t Year = 24, Month = 3, Day = 7, Hour = 8, Minute = 15, Second = 0;
  uint8_t Source = 1, Action = 2;
  std::string Executant = "+123";
  std::string Content = "Door";  // code-page bytes
};

inline std::array<uint8_t, 128> MakeRecord(const TRecordFields& s) {
  std::array<uint8_t, 128> r{};
  r[0] = s.Number & 0xFF;
  r[1] = (s.Number >> 8) & 0xFF;
  r[2] = (s.Number >> 16) & 0xFF;
  r[3] = (s.Number >> 24) & 0xFF;
  r[4] = s.Year;
  r[5] = s.Month;
  r[6] = s.Day;
  r[7] = s.Hour;
  r[8] = s.Minute;
  r[9] = s.Second;
  r[10] = s.Source;
  r[11] = s.Action;
  std::memcpy(&r[12], s.Executant.data(), std::min<size_t>(s.Executant.size(), 22));
  std::memcpy(&r[34], s.Content.data(), std::min<size_t>(s.Content.size(), 41));
  return r;
}

inline std::vector<uint8_t> MakePage(const std::array<uint8_t, 128>& a, const std::array<uint8_t, 128>& b) {
  std::vector<uint8_t> p(a.begin(), a.end());
  p.insert(p.end(), b.begin(), b.end());
  return p;
}

inline std::array<uint8_t, 128> EmptySlot() {
  return {};
}

}  // namespace torvane::testing
