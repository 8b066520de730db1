// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The controller's memory as the virtual device keeps it: the settings region, the number list, the
// event log and the clock, with the address map the protocol uses to reach them.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/clock.h"

namespace torvane::device {

constexpr int kPageSize = 256;
constexpr int kSettingsSize = 768;
constexpr int kSettingsPages = 3;
constexpr int kNumberRecordSize = 32;
constexpr int kNumberRecords = 3000;
constexpr int kNumberPages = 375;
constexpr int kHistoryRecordSize = 128;
constexpr int kHistoryRecords = 1000;
constexpr int kHistoryPages = 500;

constexpr uint32_t kSettingsAddress = 0x000;
constexpr uint32_t kNumbersAddress = 0x1000;
constexpr uint32_t kHistoryAddress = 0x30000;

enum class TRegion { None, Settings, Numbers, History };

// Where an address falls: its region, the 1-based page and the offset inside the page.
struct TLocation {
  TRegion Region = TRegion::None;
  int Page = 0;
  int Offset = 0;
  bool PageStart() const { return Region != TRegion::None && Offset == 0; }
};

TLocation Locate(uint32_t address);
uint32_t PageAddress(TRegion region, int page);
const char* RegionName(TRegion region);

using TNumberRecord = std::array<uint8_t, kNumberRecordSize>;
using THistoryRecord = std::array<uint8_t, kHistoryRecordSize>;

struct TDeviceMemory {
  std::array<uint8_t, kSettingsSize> Settings{};
  std::vector<uint8_t> Numbers = std::vector<uint8_t>(kNumberRecords * kNumberRecordSize, 0xFF);
  std::vector<uint8_t> History = std::vector<uint8_t>(kHistoryRecords * kHistoryRecordSize, 0xFF);
  TDateTime Clock{2000, 1, 1, 0, 0, 0};

  // Settings at their factory values, the number list deleted and the log erased.
  static TDeviceMemory Factory();

  // The bytes of a region from the located position to the end of its page; nullptr outside.
  uint8_t* At(const TLocation& at);
  const uint8_t* At(const TLocation& at) const;

  TNumberRecord NumberRecord(int index) const;  // 0-based
  void SetNumberRecord(int index, const TNumberRecord& record);
  THistoryRecord HistoryRecord(int index) const;  // 0-based
  void SetHistoryRecord(int index, const THistoryRecord& record);

  bool operator==(const TDeviceMemory& other) const;
};

// The clock as the device takes it from a time-sync payload: the year byte is the year modulo 256,
// read as a year from 2000 on. False for a date or time that cannot exist.
bool ClockFromPayload(const uint8_t* payload, TDateTime& out);
bool ValidDateTime(const TDateTime& t);

// Fills the first `numbers` number records and `history` log records with sample contents that
// depend only on the seed. Log records are laid out with a few empty and erased slots among them.
void Populate(TDeviceMemory& memory, int numbers, int history, uint32_t seed);

// State files: a fixed header followed by the whole memory. Save writes a temporary file next to the
// target and renames it over, so a reader never sees half a state.
bool SaveState(const TDeviceMemory& memory, const std::string& path, std::string* error = nullptr);
bool LoadState(TDeviceMemory& memory, const std::string& path, std::string* error = nullptr);

}  // namespace torvane::device
