// SPDX-License-Identifier: GPL-3.0-or-later
// The device's memory model: factory image, address map, clock, sample contents, state files, fault
// descriptions and the readable dump.
#include "device/device_memory.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>

#include "device/dump.h"
#include "device/fault.h"
#include "device/settings_layout.h"
#include "tests/device/pty_port.h"

namespace torvane::device {
namespace {

using testing::Hex;

std::vector<uint8_t> Bytes(const uint8_t* p, size_t n) {
  return std::vector<uint8_t>(p, p + n);
}

TEST(FactorySettings, PageOneHoldsTheDefaultsInPlace) {
  const auto s = TDeviceMemory::Factory().Settings;
  EXPECT_EQ(Bytes(&s[0], 4), Hex("36 38 35 33"));
  EXPECT_EQ(Bytes(&s[4], 22), std::vector<uint8_t>(22, 0x00));
  EXPECT_EQ(Bytes(&s[26], 2), Hex("01 01"));
  std::vector<uint8_t> alarm(40, 0);
  const std::string text = "Unauthorized door opened";
  std::copy(text.begin(), text.end(), alarm.begin());
  EXPECT_EQ(Bytes(&s[28], 40), alarm);
  EXPECT_EQ(Bytes(&s[108], 10), Hex("0A 00 01 00 00 00 00 00 03 03"));
  EXPECT_EQ(Bytes(&s[118], 9), Hex("52 65 6C 61 79 20 4F 4E 00"));
  EXPECT_EQ(Bytes(&s[198], 6), Hex("0F 27 E7 03 00 00"));
  EXPECT_EQ(Bytes(&s[204], 32), std::vector<uint8_t>(32, 0xFF));
  EXPECT_EQ(Bytes(&s[236], 20), std::vector<uint8_t>(20, 0xFF));
}

TEST(FactorySettings, PagesTwoAndThreeAreErasedButForTheHeartbeat) {
  const auto s = TDeviceMemory::Factory().Settings;
  EXPECT_EQ(Bytes(&s[256], 78), std::vector<uint8_t>(78, 0xFF));
  EXPECT_EQ(Bytes(&s[256 + 78], 2), Hex("3C 00"));
  EXPECT_EQ(Bytes(&s[256 + 80], 176), std::vector<uint8_t>(176, 0xFF));
  EXPECT_EQ(Bytes(&s[512], 256), std::vector<uint8_t>(256, 0xFF));
}

TEST(FactorySettings, LayoutCoversEveryParameterWithoutOverlap) {
  std::array<int, 768> owner{};
  std::set<int> params;
  for (const TSettingsField& f : SettingsLayout()) {
    params.insert(f.Param);
    for (int i = 0; i < f.Size; ++i) {
      const int at = (f.Page - 1) * 256 + f.Offset + i;
      ASSERT_LT(f.Offset + i, 256) << f.Name;
      EXPECT_EQ(owner[at], 0) << f.Name << " overlaps parameter " << owner[at];
      owner[at] = f.Param;
    }
  }
  EXPECT_EQ(params.size(), 28u);
  EXPECT_EQ(std::count(owner.begin(), owner.begin() + 512, 0), 0);  // pages 1 and 2 are full
  EXPECT_EQ(std::count(owner.begin() + 512, owner.end(), 0), 256 - 144);
}

TEST(FactoryMemory, NumbersAreDeletedAndTheLogErased) {
  const TDeviceMemory m = TDeviceMemory::Factory();
  EXPECT_EQ(m.Numbers, std::vector<uint8_t>(3000 * 32, 0xFF));
  EXPECT_EQ(m.History, std::vector<uint8_t>(1000 * 128, 0xFF));
}

TEST(AddressMap, LocatesPagesAndTheGapsBetweenRegions) {
  struct TCase {
    uint32_t Address;
    TRegion Region;
    int Page, Offset;
  };
  const TCase cases[] = {
      {0x000, TRegion::Settings, 1, 0},    {0x100, TRegion::Settings, 2, 0},
      {0x2FF, TRegion::Settings, 3, 255},  {0x300, TRegion::None, 0, 0},
      {0xFFF, TRegion::None, 0, 0},        {0x1000, TRegion::Numbers, 1, 0},
      {0x18600, TRegion::Numbers, 375, 0}, {0x18700, TRegion::None, 0, 0},
      {0x2FFFF, TRegion::None, 0, 0},      {0x30000, TRegion::History, 1, 0},
      {0x30110, TRegion::History, 2, 16},  {0x4F300, TRegion::History, 500, 0},
      {0x4F400, TRegion::None, 0, 0},      {0xFFFFFFFF, TRegion::None, 0, 0},
  };
  for (const TCase& c : cases) {
    const TLocation at = Locate(c.Address);
    EXPECT_EQ(at.Region, c.Region) << std::hex << c.Address;
    if (c.Region == TRegion::None) continue;
    EXPECT_EQ(at.Page, c.Page) << std::hex << c.Address;
    EXPECT_EQ(at.Offset, c.Offset) << std::hex << c.Address;
    if (c.Offset == 0) {
      EXPECT_EQ(PageAddress(c.Region, c.Page), c.Address);
    }
  }
}

TEST(DeviceClock, ReadsTheYearByteAsTheYearModulo256) {
  TDateTime t;
  const uint8_t y2026[] = {0xEA, 12, 7, 18, 30, 5};
  ASSERT_TRUE(ClockFromPayload(y2026, t));
  EXPECT_EQ(t.Year, 2026);
  const uint8_t y2025[] = {0xE9, 1, 31, 0, 0, 59};
  ASSERT_TRUE(ClockFromPayload(y2025, t));
  EXPECT_EQ(t.Year, 2025);
  EXPECT_EQ(t.Second, 59);
  const uint8_t y2000[] = {0xD0, 2, 29, 0, 0, 0};  // 2000 is a leap year
  ASSERT_TRUE(ClockFromPayload(y2000, t));
  EXPECT_EQ(t.Year, 2000);
  const uint8_t y2100[] = {0x34, 2, 29, 0, 0, 0};  // 2100 is not
  EXPECT_FALSE(ClockFromPayload(y2100, t));
  const uint8_t april31[] = {0xEA, 4, 31, 0, 0, 0};
  EXPECT_FALSE(ClockFromPayload(april31, t));
  const uint8_t day0[] = {0xEA, 4, 0, 0, 0, 0};
  EXPECT_FALSE(ClockFromPayload(day0, t));
  const uint8_t second60[] = {0xEA, 4, 1, 0, 0, 60};
  EXPECT_FALSE(ClockFromPayload(second60, t));
}

TEST(Populate, TheSameSeedGivesTheSameContents) {
  TDeviceMemory a = TDeviceMemory::Factory(), b = TDeviceMemory::Factory(), c = TDeviceMemory::Factory();
  Populate(a, 120, 300, 42);
  Populate(b, 120, 300, 42);
  Populate(c, 120, 300, 43);
  EXPECT_TRUE(a == b);
  EXPECT_NE(a.Numbers, c.Numbers);
  EXPECT_NE(a.History, c.History);
}

TEST(Populate, FillsTheAskedNumberOfRecordsWithAMixOfKinds) {
  TDeviceMemory m = TDeviceMemory::Factory();
  Populate(m, 60, 200, 5);
  int always = 0, windows = 0;
  for (int i = 0; i < kNumberRecords; ++i) {
    const TNumberRecord r = m.NumberRecord(i);
    if (i >= 60) {
      EXPECT_EQ(std::count(r.begin(), r.end(), 0xFF), 32) << i;
      continue;
    }
    EXPECT_TRUE(r[0] == '+' || (r[0] >= '0' && r[0] <= '9')) << i;
    if (std::all_of(r.begin() + 22, r.begin() + 30, [](uint8_t b) { return b == 0x63; })) {
      EXPECT_EQ(r[30], 0x00);
      EXPECT_EQ(r[31], 0x63);
      ++always;
    } else {
      EXPECT_GE(r[22], 1);
      EXPECT_LE(r[22], 12);
      EXPECT_LT(r[30], r[31]);  // the window ends after it starts
      ++windows;
    }
  }
  EXPECT_GT(always, 0);
  EXPECT_GT(windows, 0);

  int events = 0, empty = 0, erased = 0, last = -1;
  uint32_t previous = 0;
  for (int i = 0; i < kHistoryRecords; ++i) {
    const THistoryRecord r = m.HistoryRecord(i);
    if (std::count(r.begin(), r.end(), 0xFF) == 128) {
      ++erased;
      continue;
    }
    if (r[4] == 0) {
      ++empty;
      continue;
    }
    const uint32_t number = r[0] | r[1] << 8 | r[2] << 16 | r[3] << 24;
    EXPECT_EQ(number, previous + 1);
    previous = number;
    EXPECT_LE(r[11], 9);
    EXPECT_LE(r[10], 3);
    EXPECT_EQ(std::count(r.begin() + 34, r.begin() + 75, 0) > 0, true) << "content ends within its field";
    ++events;
    last = i;
  }
  EXPECT_EQ(events, 200);
  EXPECT_GT(empty, 0);
  EXPECT_GT(erased - (kHistoryRecords - 1 - last), 0) << "an erased slot lies between records";
}

class StateFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = std::filesystem::temp_directory_path() / ("torvane-device-state-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
  }
  void TearDown() override { std::filesystem::remove_all(dir); }
  std::filesystem::path dir;
};

TEST_F(StateFileTest, SavesAndLoadsTheWholeMemory) {
  TDeviceMemory m = TDeviceMemory::Factory();
  Populate(m, 10, 20, 3);
  m.Settings[300] = 0x12;
  m.Clock = {2031, 2, 3, 4, 5, 6};
  const std::string path = (dir / "dev.state").string();
  ASSERT_TRUE(SaveState(m, path));
  TDeviceMemory back;
  ASSERT_TRUE(LoadState(back, path));
  EXPECT_TRUE(back == m);
  // Only the state itself is left behind, no temporary file.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);
}

TEST_F(StateFileTest, RefusesAFileThatIsNotAState) {
  const std::string path = (dir / "other").string();
  std::ofstream(path) << "not a device";
  TDeviceMemory m = TDeviceMemory::Factory();
  std::string error;
  EXPECT_FALSE(LoadState(m, path, &error));
  EXPECT_NE(error.find("not a device state"), std::string::npos);
  EXPECT_TRUE(m == TDeviceMemory::Factory());
  EXPECT_FALSE(LoadState(m, (dir / "missing").string(), &error));
}

TEST(FaultSyntax, ParsesKindAndSelectors) {
  auto f = ParseFault("silence:cmd=read,region=numbers,page=3");
  ASSERT_TRUE(f);
  EXPECT_EQ(f->Kind, TFaultKind::Silence);
  EXPECT_EQ(f->Command, 131);
  EXPECT_EQ(f->Region, TRegion::Numbers);
  EXPECT_EQ(f->Page, 3);
  EXPECT_EQ(f->Nth, 1);
  EXPECT_EQ(f->Count, 1);

  f = ParseFault("late:cmd=sync,nth=4,count=all,delay=5000");
  ASSERT_TRUE(f);
  EXPECT_EQ(f->Kind, TFaultKind::Late);
  EXPECT_EQ(f->Command, 3);
  EXPECT_EQ(f->Nth, 4);
  EXPECT_EQ(f->Count, 0);
  EXPECT_EQ(f->DelayMs, 5000);

  f = ParseFault("hangup");
  ASSERT_TRUE(f);
  EXPECT_EQ(f->Kind, TFaultKind::Hangup);
  EXPECT_EQ(f->Command, -1);

  f = ParseFault("oversize:cmd=0x83,length=4000");
  ASSERT_TRUE(f);
  EXPECT_EQ(f->Command, 0x83);
  EXPECT_EQ(f->DeclaredLength, 4000);
  for (const char* k : {"bad-checksum", "refuse", "cut:keep=5", "noise:bytes=7", "duplicate"}) {
    EXPECT_TRUE(ParseFault(k)) << k;
  }
}

TEST(FaultSyntax, NamesWhatIsWrong) {
  std::string error;
  EXPECT_FALSE(ParseFault("explode", &error));
  EXPECT_NE(error.find("unknown kind"), std::string::npos);
  EXPECT_FALSE(ParseFault("silence:cmd=launch", &error));
  EXPECT_NE(error.find("cmd"), std::string::npos);
  EXPECT_FALSE(ParseFault("silence:page=0", &error));
  EXPECT_FALSE(ParseFault("oversize:length=256", &error));
  EXPECT_FALSE(ParseFault("silence:colour=red", &error));
  EXPECT_NE(error.find("unknown key"), std::string::npos);
  EXPECT_FALSE(ParseFault("silence:page", &error));
}

TEST(Dump, ShowsSettingsNumbersAndEventsInUse) {
  TDeviceMemory m = TDeviceMemory::Factory();
  TNumberRecord always{};
  const std::string phone = "+8613900001111";
  std::copy(phone.begin(), phone.end(), always.begin());
  std::fill(always.begin() + 22, always.begin() + 30, 0x63);
  always[31] = 0x63;
  m.SetNumberRecord(4, always);
  TNumberRecord window{};
  std::copy(phone.begin(), phone.end(), window.begin());
  const auto tail = Hex("05 06 07 05 0C 1F 17 3B 18 19");
  std::copy(tail.begin(), tail.end(), window.begin() + 22);
  m.SetNumberRecord(9, window);
  THistoryRecord event{};
  event[0] = 0x01;
  event[1] = 0x02;
  event[4] = 24;
  event[5] = 3;
  event[6] = 7;
  event[10] = 1;
  event[11] = 6;
  m.SetHistoryRecord(2, event);
  THistoryRecord empty{};
  m.SetHistoryRecord(3, empty);

  const std::vector<std::string> lines = DescribeMemory(m);
  auto has = [&](const std::string& text) {
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return l == text; });
  };
  EXPECT_TRUE(has("   1 Password: 6853"));
  EXPECT_TRUE(has("   5 DIN1 Alarm Content: Unauthorized door opened"));
  EXPECT_TRUE(has("  19 Server Port: 65535"));
  EXPECT_TRUE(has("Numbers in use: 2"));
  EXPECT_TRUE(has("     5 +8613900001111 always"));
  EXPECT_TRUE(has("    10 +8613900001111 from 2024-05-06 07:05 to 2025-12-31 23:59"));
  EXPECT_TRUE(has("History records: 1"));
  EXPECT_TRUE(has("     3 No. 513 2024-03-07 00:00:00 | SMS | Power failure |  | "));
}

TEST(Dump, JoinsATextSplitOverTwoPages) {
  TDeviceMemory m = TDeviceMemory::Factory();
  const std::string apn = "internet.example.com";  // 20 bytes: 18 on page 1, 2 on page 2
  std::copy(apn.begin(), apn.begin() + 18, m.Settings.begin() + 238);
  std::copy(apn.begin() + 18, apn.end(), m.Settings.begin() + 256);
  const std::vector<std::string> lines = DescribeSettings(m.Settings);
  EXPECT_NE(std::find(lines.begin(), lines.end(), "20 GPRS APN: internet.example.com"), lines.end());
}

}  // namespace
}  // namespace torvane::device
