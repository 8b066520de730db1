// SPDX-License-Identifier: GPL-3.0-or-later
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

#include "device/device_memory.h"

namespace torvane::device {

namespace {

// std::mt19937 is the same everywhere; the standard distributions are not, so ranges are taken by hand
// to keep a seed's contents identical between builds.
class TSampleRandom {
 public:
  explicit TSampleRandom(uint32_t seed) : engine_(seed) {}
  int Between(int lo, int hi) {
    return lo + static_cast<int>(engine_() % static_cast<uint32_t>(hi - lo + 1));
  }
  bool OneIn(int n) { return engine_() % static_cast<uint32_t>(n) == 0; }
  std::string Digits(int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += static_cast<char>('0' + Between(0, 9));
    return s;
  }

 private:
  std::mt19937 engine_;
};

std::string SamplePhone(TSampleRandom& r) {
  switch (r.Between(0, 3)) {
    case 0:
      return "+447" + r.Digits(9);
    case 1:
      return "13" + r.Digits(9);
    case 2:
      return "+86139" + r.Digits(8);
    default:
      return "0" + r.Digits(9);
  }
}

void PutText(uint8_t* field, size_t size, const std::string& text) {
  std::memcpy(field, text.data(), text.size() < size ? text.size() : size);
}

void AddMinutes(TDateTime& t, int minutes) {
  t.Minute += minutes;
  while (t.Minute >= 60) {
    t.Minute -= 60;
    if (++t.Hour < 24) continue;
    t.Hour = 0;
    ++t.Day;
    if (ValidDateTime({t.Year, t.Month, t.Day, 0, 0, 0})) continue;
    t.Day = 1;
    if (++t.Month > 12) {
      t.Month = 1;
      ++t.Year;
    }
  }
}

TNumberRecord SampleNumber(TSampleRandom& r) {
  TNumberRecord rec{};
  PutText(rec.data(), 22, SamplePhone(r));
  if (r.OneIn(3)) {
    std::memset(rec.data() + 22, 0x63, 8);
    rec[30] = 0x00;
    rec[31] = 0x63;
    return rec;
  }
  const int startYear = r.Between(24, 26);
  rec[22] = static_cast<uint8_t>(r.Between(1, 12));
  rec[23] = static_cast<uint8_t>(r.Between(1, 28));
  rec[24] = static_cast<uint8_t>(r.Between(0, 23));
  rec[25] = static_cast<uint8_t>(r.Between(0, 59));
  rec[26] = static_cast<uint8_t>(r.Between(1, 12));
  rec[27] = static_cast<uint8_t>(r.Between(1, 28));
  rec[28] = static_cast<uint8_t>(r.Between(0, 23));
  rec[29] = static_cast<uint8_t>(r.Between(0, 59));
  rec[30] = static_cast<uint8_t>(startYear);
  rec[31] = static_cast<uint8_t>(startYear + r.Between(1, 3));
  return rec;
}

THistoryRecord SampleEvent(TSampleRandom& r, uint32_t number, const TDateTime& when) {
  THistoryRecord rec{};
  rec[0] = number & 0xFF;
  rec[1] = (number >> 8) & 0xFF;
  rec[2] = (number >> 16) & 0xFF;
  rec[3] = (number >> 24) & 0xFF;
  rec[4] = static_cast<uint8_t>(when.Year - 2000);
  rec[5] = static_cast<uint8_t>(when.Month);
  rec[6] = static_cast<uint8_t>(when.Day);
  rec[7] = static_cast<uint8_t>(when.Hour);
  rec[8] = static_cast<uint8_t>(when.Minute);
  rec[9] = static_cast<uint8_t>(when.Second);
  // Mostly calls switching the relay, now and then an alarm, a power event or list maintenance.
  static constexpr int actions[] = {2, 3, 2, 3, 2, 3, 0, 1, 4, 5, 6, 9, 7, 8};
  const int action = actions[r.Between(0, static_cast<int>(std::size(actions)) - 1)];
  int source = action == 2 || action == 3 ? (r.OneIn(4) ? 1 : 3) : r.Between(0, 2);
  rec[10] = static_cast<uint8_t>(source);
  rec[11] = static_cast<uint8_t>(action);
  const bool caused = action != 4 && action != 5 && action != 6 && action != 9;
  const std::string phone = caused ? SamplePhone(r) : std::string();
  PutText(rec.data() + 12, 22, phone);
  std::string content;
  switch (action) {
    case 0:
      content = "Add " + SamplePhone(r);
      break;
    case 1:
      content = "Delete " + SamplePhone(r);
      break;
    case 2:
      content = "Relay ON";
      break;
    case 3:
      content = "Relay OFF";
      break;
    case 4:
      content = "Unauthorized door opened";
      break;
    case 5:
      content = "DIN2 Alarm";
      break;
    case 6:
      content = "Power failure";
      break;
    case 7:
      content = "System armed";
      break;
    case 8:
      content = "System disarmed";
      break;
    default:
      content = "Power recovery";
      break;
  }
  PutText(rec.data() + 34, 40, content);
  return rec;
}

}  // namespace

void Populate(TDeviceMemory& memory, int numbers, int history, uint32_t seed) {
  TSampleRandom r(seed);
  numbers = numbers < 0 ? 0 : (numbers > kNumberRecords ? kNumberRecords : numbers);
  history = history < 0 ? 0 : (history > kHistoryRecords ? kHistoryRecords : history);
  for (int i = 0; i < numbers; ++i) memory.SetNumberRecord(i, SampleNumber(r));

  TDateTime when{2025, r.Between(1, 6), r.Between(1, 28), r.Between(0, 23), r.Between(0, 59), 0};
  int slot = 0;
  int gap = 0;
  for (int n = 1; n <= history && slot < kHistoryRecords; ++n) {
    // A slot left empty (year 0) or erased now and then, while there is room for every record.
    if (kHistoryRecords - slot > history - n + 1 && r.OneIn(20)) {
      THistoryRecord hole{};
      if (gap++ % 2 == 1) hole.fill(0xFF);
      memory.SetHistoryRecord(slot++, hole);
    }
    AddMinutes(when, r.Between(3, 900));
    when.Second = r.Between(0, 59);
    memory.SetHistoryRecord(slot++, SampleEvent(r, static_cast<uint32_t>(n), when));
  }
}

}  // namespace torvane::device
