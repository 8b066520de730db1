// SPDX-License-Identifier: GPL-3.0-or-later
#include "device/device_memory.h"

#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "device/settings_layout.h"

namespace torvane::device {

TLocation Locate(uint32_t address) {
  struct TSpan {
    TRegion Region;
    uint32_t Base;
    int Pages;
  };
  static constexpr TSpan spans[] = {{TRegion::Settings, kSettingsAddress, kSettingsPages},
                                    {TRegion::Numbers, kNumbersAddress, kNumberPages},
                                    {TRegion::History, kHistoryAddress, kHistoryPages}};
  for (const TSpan& s : spans) {
    if (address >= s.Base && address < s.Base + static_cast<uint32_t>(s.Pages) * kPageSize) {
      const uint32_t rel = address - s.Base;
      return {s.Region, static_cast<int>(rel / kPageSize) + 1, static_cast<int>(rel % kPageSize)};
    }
  }
  return {};
}

uint32_t PageAddress(TRegion region, int page) {
  switch (region) {
    case TRegion::Settings:
      return kSettingsAddress + (page - 1) * kPageSize;
    case TRegion::Numbers:
      return kNumbersAddress + (page - 1) * kPageSize;
    case TRegion::History:
      return kHistoryAddress + (page - 1) * kPageSize;
    case TRegion::None:
      break;
  }
  return 0;
}

const char* RegionName(TRegion region) {
  switch (region) {
    case TRegion::Settings:
      return "settings";
    case TRegion::Numbers:
      return "numbers";
    case TRegion::History:
      return "history";
    case TRegion::None:
      break;
  }
  return "none";
}

TDeviceMemory TDeviceMemory::Factory() {
  TDeviceMemory m;
  m.Settings = FactorySettings();
  return m;
}

uint8_t* TDeviceMemory::At(const TLocation& at) {
  return const_cast<uint8_t*>(static_cast<const TDeviceMemory*>(this)->At(at));
}

const uint8_t* TDeviceMemory::At(const TLocation& at) const {
  const size_t pos = static_cast<size_t>(at.Page - 1) * kPageSize + at.Offset;
  switch (at.Region) {
    case TRegion::Settings:
      return Settings.data() + pos;
    case TRegion::Numbers:
      return Numbers.data() + pos;
    case TRegion::History:
      return History.data() + pos;
    case TRegion::None:
      break;
  }
  return nullptr;
}

TNumberRecord TDeviceMemory::NumberRecord(int index) const {
  TNumberRecord r;
  std::memcpy(r.data(), Numbers.data() + index * kNumberRecordSize, kNumberRecordSize);
  return r;
}

void TDeviceMemory::SetNumberRecord(int index, const TNumberRecord& record) {
  std::memcpy(Numbers.data() + index * kNumberRecordSize, record.data(), kNumberRecordSize);
}

THistoryRecord TDeviceMemory::HistoryRecord(int index) const {
  THistoryRecord r;
  std::memcpy(r.data(), History.data() + index * kHistoryRecordSize, kHistoryRecordSize);
  return r;
}

void TDeviceMemory::SetHistoryRecord(int index, const THistoryRecord& record) {
  std::memcpy(History.data() + index * kHistoryRecordSize, record.data(), kHistoryRecordSize);
}

bool TDeviceMemory::operator==(const TDeviceMemory& o) const {
  const TDateTime &a = Clock, &b = o.Clock;
  return Settings == o.Settings && Numbers == o.Numbers && History == o.History && a.Year == b.Year &&
         a.Month == b.Month && a.Day == b.Day && a.Hour == b.Hour && a.Minute == b.Minute &&
         a.Second == b.Second;
}

bool ValidDateTime(const TDateTime& t) {
  static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (t.Month < 1 || t.Month > 12 || t.Day < 1) return false;
  const bool leap = (t.Year % 4 == 0 && t.Year % 100 != 0) || t.Year % 400 == 0;
  const int last = days[t.Month - 1] + (t.Month == 2 && leap ? 1 : 0);
  return t.Day <= last && t.Hour >= 0 && t.Hour < 24 && t.Minute >= 0 && t.Minute < 60 && t.Second >= 0 &&
         t.Second < 60;
}

bool ClockFromPayload(const uint8_t* p, TDateTime& out) {
  // 2000 is 0xD0 modulo 256; the byte names one of the 256 years from there.
  TDateTime t;
  t.Year = 2000 + ((p[0] - 0xD0) & 0xFF);
  t.Month = p[1];
  t.Day = p[2];
  t.Hour = p[3];
  t.Minute = p[4];
  t.Second = p[5];
  if (!ValidDateTime(t)) return false;
  out = t;
  return true;
}

// ---- State files ----

namespace {
constexpr char kMagic[8] = {'T', 'V', 'D', 'E', 'V', 'M', '0', '1'};
constexpr size_t kClockBytes = 7;
constexpr size_t kStateSize = sizeof kMagic + kSettingsSize + kNumberRecords * kNumberRecordSize +
                              kHistoryRecords * kHistoryRecordSize + kClockBytes;

void SetError(std::string* error, const std::string& text) {
  if (error) *error = text;
}
}  // namespace

bool SaveState(const TDeviceMemory& m, const std::string& path, std::string* error) {
  std::vector<uint8_t> image;
  image.reserve(kStateSize);
  image.insert(image.end(), kMagic, kMagic + sizeof kMagic);
  image.insert(image.end(), m.Settings.begin(), m.Settings.end());
  image.insert(image.end(), m.Numbers.begin(), m.Numbers.end());
  image.insert(image.end(), m.History.begin(), m.History.end());
  const TDateTime& c = m.Clock;
  image.insert(image.end(),
               {static_cast<uint8_t>(c.Year & 0xFF), static_cast<uint8_t>(c.Year >> 8),
                static_cast<uint8_t>(c.Month), static_cast<uint8_t>(c.Day), static_cast<uint8_t>(c.Hour),
                static_cast<uint8_t>(c.Minute), static_cast<uint8_t>(c.Second)});
  // Unique per process and per save, so two devices sharing a file never write the same temporary.
  static std::atomic<unsigned> saves{0};
  const std::string temp = path + ".tmp" + std::to_string(::getpid()) + "." + std::to_string(saves++);
  FILE* f = std::fopen(temp.c_str(), "wb");
  if (!f) {
    SetError(error, "cannot create " + temp + ": " + std::strerror(errno));
    return false;
  }
  const bool written = std::fwrite(image.data(), 1, image.size(), f) == image.size();
  const bool closed = std::fclose(f) == 0;
  if (!written || !closed || std::rename(temp.c_str(), path.c_str()) != 0) {
    SetError(error, "cannot write " + path + ": " + std::strerror(errno));
    std::remove(temp.c_str());
    return false;
  }
  return true;
}

bool LoadState(TDeviceMemory& m, const std::string& path, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    SetError(error, "cannot open " + path);
    return false;
  }
  std::vector<uint8_t> image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (image.size() != kStateSize || std::memcmp(image.data(), kMagic, sizeof kMagic) != 0) {
    SetError(error, path + " is not a device state file");
    return false;
  }
  TDeviceMemory loaded;
  const uint8_t* p = image.data() + sizeof kMagic;
  std::memcpy(loaded.Settings.data(), p, kSettingsSize);
  p += kSettingsSize;
  std::memcpy(loaded.Numbers.data(), p, loaded.Numbers.size());
  p += loaded.Numbers.size();
  std::memcpy(loaded.History.data(), p, loaded.History.size());
  p += loaded.History.size();
  loaded.Clock = {p[0] + 256 * p[1], p[2], p[3], p[4], p[5], p[6]};
  m = std::move(loaded);
  return true;
}

}  // namespace torvane::device
