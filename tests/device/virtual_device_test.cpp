// SPDX-License-Identifier: GPL-3.0-or-later
// The virtual device over its pty, driven byte by byte from the PC's end.
#include "device/virtual_device.h"

#include <gtest/gtest.h>

#include <cstring>

#include "tests/device/pty_port.h"
#include "tests/device/requests.h"

namespace torvane::device {
namespace {

using testing::Frame;
using testing::Hex;
using testing::TPtyPort;

class VirtualDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(device.Start()) << device.Error();
    port = std::make_unique<TPtyPort>(device.PortPath());
    ASSERT_TRUE(port->IsOpen());
  }

  // Sends a request and waits until the device has finished with it.
  void Send(const std::vector<uint8_t>& bytes) {
    const uint64_t before = device.Counters().Handled;
    ASSERT_TRUE(port->Write(bytes));
    ASSERT_TRUE(device.WaitForHandled(before + 1));
  }
  std::vector<uint8_t> Exchange(const std::vector<uint8_t>& bytes) {
    Send(bytes);
    return port->ReadFrame();
  }
  std::vector<uint8_t> ReadPage(uint32_t address) {
    const std::vector<uint8_t> reply = Exchange(Frame(131, address, {}));
    if (reply.size() != 265) return {};
    return std::vector<uint8_t>(reply.begin() + 8, reply.begin() + 264);
  }

  TVirtualDevice device;
  std::unique_ptr<TPtyPort> port;
};

TEST_F(VirtualDeviceTest, AnswersTheReadOfSettingsPageOneWithTheFactoryPage) {
  const std::vector<uint8_t> reply = Exchange(Hex("23 83 00 00 00 00 00 00 83"));
  ASSERT_EQ(reply.size(), 265u);
  EXPECT_EQ(std::vector<uint8_t>(reply.begin(), reply.begin() + 8), Hex("23 83 00 00 00 00 01 00"));
  uint8_t x = 0;
  for (size_t i = 1; i < 264; ++i) x ^= reply[i];
  EXPECT_EQ(reply[264], x);
  const uint8_t* page = reply.data() + 8;
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(page), 4), "6853");
  EXPECT_EQ(page[26], 1);
  EXPECT_EQ(page[27], 1);
  EXPECT_STREQ(reinterpret_cast<const char*>(page + 28), "Unauthorized door opened");
  EXPECT_STREQ(reinterpret_cast<const char*>(page + 68), "DIN2 Alarm");
  EXPECT_EQ(page[108] + 256 * page[109], 10);
  EXPECT_EQ(page[110], 1);  // authorization list
  EXPECT_EQ(page[111], 0);  // arm list
  EXPECT_EQ(page[116], 3);
  EXPECT_EQ(page[117], 3);
  EXPECT_STREQ(reinterpret_cast<const char*>(page + 118), "Relay ON");
  EXPECT_STREQ(reinterpret_cast<const char*>(page + 158), "Relay OFF");
  EXPECT_EQ(page[198] + 256 * page[199], 9999);
  EXPECT_EQ(page[200] + 256 * page[201], 999);
  EXPECT_EQ(page[204], 0xFF);  // server address erased
}

TEST_F(VirtualDeviceTest, AnswersEachRegionAtTheAddressOfTheRequest) {
  const std::vector<uint8_t> settings2 = Exchange(Hex("23 83 00 00 01 00 00 00 82"));
  ASSERT_EQ(settings2.size(), 265u);
  EXPECT_EQ(std::vector<uint8_t>(settings2.begin(), settings2.begin() + 8), Hex("23 83 00 00 01 00 01 00"));
  EXPECT_EQ(settings2[8 + 78], 60);  // heartbeat interval

  const std::vector<uint8_t> numbers1 = Exchange(Hex("23 83 00 00 10 00 00 00 93"));
  ASSERT_EQ(numbers1.size(), 265u);
  EXPECT_EQ(std::vector<uint8_t>(numbers1.begin(), numbers1.begin() + 8), Hex("23 83 00 00 10 00 01 00"));
  EXPECT_EQ(std::vector<uint8_t>(numbers1.begin() + 8, numbers1.begin() + 264),
            std::vector<uint8_t>(256, 0xFF));
  // Checksum of 83 00 00 10 00 01 00 and 256 bytes of FF (an even count cancels out).
  EXPECT_EQ(numbers1[264], 0x83 ^ 0x10 ^ 0x01);

  const std::vector<uint8_t> history1 = Exchange(Hex("23 83 00 03 00 00 00 00 80"));
  ASSERT_EQ(history1.size(), 265u);
  EXPECT_EQ(std::vector<uint8_t>(history1.begin(), history1.begin() + 8), Hex("23 83 00 03 00 00 01 00"));
  EXPECT_EQ(history1[264], 0x83 ^ 0x03 ^ 0x01);
}

TEST_F(VirtualDeviceTest, PagesThroughEveryRegionInOrder) {
  TDeviceMemory m = TDeviceMemory::Factory();
  for (size_t i = 0; i < m.Numbers.size(); ++i) m.Numbers[i] = uint8_t(i * 7 + i / 256);
  for (size_t i = 0; i < m.History.size(); ++i) m.History[i] = uint8_t(i * 13 + i / 256);
  device.SetMemory(m);
  for (int p = 1; p <= kSettingsPages; ++p) {
    EXPECT_EQ(ReadPage(PageAddress(TRegion::Settings, p)),
              std::vector<uint8_t>(m.Settings.begin() + (p - 1) * 256, m.Settings.begin() + p * 256));
  }
  for (int p = 1; p <= kNumberPages; ++p) {
    ASSERT_EQ(ReadPage(0x1000 + (p - 1) * 0x100),
              std::vector<uint8_t>(m.Numbers.begin() + (p - 1) * 256, m.Numbers.begin() + p * 256))
        << "number page " << p;
  }
  for (int p = 1; p <= kHistoryPages; ++p) {
    ASSERT_EQ(ReadPage(0x30000 + (p - 1) * 0x100),
              std::vector<uint8_t>(m.History.begin() + (p - 1) * 256, m.History.begin() + p * 256))
        << "history page " << p;
  }
}

TEST_F(VirtualDeviceTest, StoresAWrittenPageAndReadsItBack) {
  std::vector<uint8_t> page(256);
  for (int i = 0; i < 256; ++i) page[i] = uint8_t(255 - i);
  page[5] = 0x23;                                 // a start byte inside the payload is plain data
  const uint32_t address = 0x1000 + 374 * 0x100;  // the last number page
  const std::vector<uint8_t> reply = Exchange(Frame(130, address, page));
  EXPECT_EQ(reply, Hex("23 82 00 01 86 00 00 01 01 05"));
  EXPECT_EQ(ReadPage(address), page);
  const TNumberRecord last = device.NumberRecord(kNumberRecords - 1);
  EXPECT_TRUE(std::equal(last.begin(), last.end(), page.begin() + 224));

  EXPECT_EQ(Exchange(Frame(130, 0x200, page)), Frame(130, 0x200, {1}));
  EXPECT_EQ(ReadPage(0x200), page);
  EXPECT_TRUE(std::equal(page.begin(), page.end(), device.Settings().begin() + 512));
}

TEST_F(VirtualDeviceTest, RefusesAWriteThatIsNotAWholePageAtAPageStart) {
  const std::vector<uint8_t> page(256, 0x42);
  EXPECT_EQ(Exchange(Frame(130, 0x1010, page)), Frame(130, 0x1010, {0}));
  EXPECT_EQ(Exchange(Frame(130, 0x1000, std::vector<uint8_t>(100, 0x42))), Frame(130, 0x1000, {0}));
  const std::vector<uint8_t> numbers = device.Numbers();
  EXPECT_EQ(std::count(numbers.begin(), numbers.end(), 0x42), 0);
}

TEST_F(VirtualDeviceTest, DeleteHistoryErasesTheLog) {
  device.Populate(0, 50, 7);
  const std::vector<uint8_t> before = device.History();
  ASSERT_NE(std::count(before.begin(), before.end(), 0xFF), static_cast<long>(before.size()));
  EXPECT_EQ(Exchange(Hex("23 85 00 00 00 00 00 00 85")), Hex("23 85 00 00 00 00 00 01 01 85"));
  const std::vector<uint8_t> history = device.History();
  EXPECT_EQ(history, std::vector<uint8_t>(kHistoryRecords * kHistoryRecordSize, 0xFF));
  EXPECT_EQ(ReadPage(0x30000), std::vector<uint8_t>(256, 0xFF));
}

TEST_F(VirtualDeviceTest, TimeSyncSetsTheClock) {
  EXPECT_EQ(Exchange(Hex("23 03 00 00 00 00 00 06 EA 0C 07 12 1E 05 ED")),
            Hex("23 03 00 00 00 00 00 01 01 03"));
  const TDateTime c = device.Clock();
  EXPECT_EQ(c.Year, 2026);
  EXPECT_EQ(c.Month, 12);
  EXPECT_EQ(c.Day, 7);
  EXPECT_EQ(c.Hour, 18);
  EXPECT_EQ(c.Minute, 30);
  EXPECT_EQ(c.Second, 5);
}

TEST_F(VirtualDeviceTest, TimeSyncRefusesAnImpossibleDate) {
  device.SetClock({2024, 1, 2, 3, 4, 5});
  // 2025-02-29 does not exist; 2024-02-29 does.
  EXPECT_EQ(Exchange(Frame(3, 0, {0xE9, 2, 29, 10, 0, 0})), Frame(3, 0, {0}));
  EXPECT_EQ(Exchange(Frame(3, 0, {0xEA, 13, 1, 0, 0, 0})), Frame(3, 0, {0}));
  EXPECT_EQ(Exchange(Frame(3, 0, {0xEA, 1, 1, 24, 0, 0})), Frame(3, 0, {0}));
  EXPECT_EQ(Exchange(Frame(3, 0, {0xEA, 1, 1, 0, 60, 0})), Frame(3, 0, {0}));
  EXPECT_EQ(device.Clock().Year, 2024);
  EXPECT_EQ(device.Clock().Month, 1);
  EXPECT_EQ(Exchange(Frame(3, 0, {0xE8, 2, 29, 23, 59, 59})), Frame(3, 0, {1}));
  EXPECT_EQ(device.Clock().Year, 2024);
  EXPECT_EQ(device.Clock().Day, 29);
}

TEST_F(VirtualDeviceTest, CheckingModeIsAcknowledged) {
  EXPECT_EQ(Exchange(Hex("23 04 00 00 00 00 00 00 04")), Hex("23 04 00 00 00 00 00 01 01 04"));
}

TEST_F(VirtualDeviceTest, StaysSilentOnWhatItCannotTake) {
  Send(Hex("23 83 00 00 00 00 00 00 84"));  // bad checksum
  Send(Frame(0x99, 0, {}));                 // unknown command
  Send(Frame(131, 0x300, {}));              // between the settings and the number list
  Send(Frame(131, 0x18700, {}));            // past the last number page
  Send(Frame(131, 0x4F400, {}));            // past the last history page
  Send(Frame(130, 0x2000000, std::vector<uint8_t>(256, 1)));
  EXPECT_TRUE(port->Pending().empty());
  EXPECT_EQ(device.Counters().Answered, 0u);
  // Still listening afterwards.
  EXPECT_EQ(Exchange(Hex("23 04 00 00 00 00 00 00 04")), Hex("23 04 00 00 00 00 00 01 01 04"));
}

TEST_F(VirtualDeviceTest, SkipsNoiseAndAnOversizedRequestBeforeARealOne) {
  std::vector<uint8_t> bytes = Hex("00 FF 55 23 83 00 00 00 00 FF FF");  // declares 65535 bytes
  const std::vector<uint8_t> request = Hex("23 04 00 00 00 00 00 00 04");
  bytes.insert(bytes.end(), request.begin(), request.end());
  ASSERT_TRUE(port->Write(bytes));
  EXPECT_EQ(port->ReadFrame(), Hex("23 04 00 00 00 00 00 01 01 04"));
}

}  // namespace
}  // namespace torvane::device
