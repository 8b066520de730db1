// SPDX-License-Identifier: GPL-3.0-or-later
// Each named fault of the virtual device, fired on the request it was aimed at and on no other.
#include <gtest/gtest.h>

#include <chrono>

#include "device/virtual_device.h"
#include "tests/device/pty_port.h"
#include "tests/device/requests.h"

namespace torvane::device {
namespace {

using testing::Frame;
using testing::Hex;
using testing::kCheckMode;
using testing::kCheckModeReply;
using testing::TPtyPort;

class FaultTest : public ::testing::Test {
 protected:
  void Begin(const std::string& text) {
    auto fault = ParseFault(text);
    ASSERT_TRUE(fault) << text;
    device.AddFault(*fault);
    ASSERT_TRUE(device.Start()) << device.Error();
    port = std::make_unique<TPtyPort>(device.PortPath());
    ASSERT_TRUE(port->IsOpen());
  }
  // Sends and waits until the device has finished with the request; returns whatever it sent.
  std::vector<uint8_t> Exchange(const std::vector<uint8_t>& bytes) {
    const uint64_t before = device.Counters().Handled;
    EXPECT_TRUE(port->Write(bytes));
    EXPECT_TRUE(device.WaitForHandled(before + 1));
    return port->Pending();
  }
  std::vector<uint8_t> ReadNumbers(int page) { return Exchange(Frame(131, 0x1000 + (page - 1) * 0x100, {})); }

  TVirtualDevice device;
  std::unique_ptr<TPtyPort> port;
};

TEST_F(FaultTest, SilenceDropsOnlyTheChosenRequest) {
  Begin("silence:cmd=read,region=numbers,page=3");
  EXPECT_EQ(ReadNumbers(2).size(), 265u);
  EXPECT_TRUE(ReadNumbers(3).empty());
  EXPECT_EQ(ReadNumbers(3).size(), 265u);  // fired once, by default
  EXPECT_EQ(Exchange(Frame(131, 0x200, {})).size(), 265u);
  EXPECT_EQ(device.Counters().Faults, 1u);
}

TEST_F(FaultTest, SilenceOnAWriteLeavesMemoryUntouched) {
  Begin("silence:cmd=write");
  EXPECT_TRUE(Exchange(Frame(130, 0x1000, std::vector<uint8_t>(256, 0x31))).empty());
  EXPECT_EQ(device.NumberRecord(0)[0], 0xFF);
}

TEST_F(FaultTest, BadChecksumSpoilsOnlyTheChecksumByte) {
  Begin("bad-checksum:cmd=check");
  std::vector<uint8_t> expected = kCheckModeReply;
  expected.back() ^= 0xFF;
  EXPECT_EQ(Exchange(kCheckMode), expected);
  EXPECT_EQ(Exchange(kCheckMode), kCheckModeReply);
}

TEST_F(FaultTest, RefuseAnswersZeroAndStoresNothing) {
  Begin("refuse:cmd=write,region=settings,page=2");
  const std::vector<uint8_t> page(256, 0x41);
  EXPECT_EQ(Exchange(Frame(130, 0x000, page)), Frame(130, 0x000, {1}));
  EXPECT_EQ(Exchange(Frame(130, 0x100, page)), Frame(130, 0x100, {0}));
  const auto settings = device.Settings();
  EXPECT_EQ(settings[0], 0x41);
  EXPECT_EQ(settings[256 + 78], 60);  // page 2 kept its heartbeat
}

TEST_F(FaultTest, CutSendsOnlyTheFirstBytes) {
  Begin("cut:cmd=read,region=history,keep=20");
  const std::vector<uint8_t> got = Exchange(Frame(131, 0x30000, {}));
  ASSERT_EQ(got.size(), 20u);
  EXPECT_EQ(std::vector<uint8_t>(got.begin(), got.begin() + 8), Hex("23 83 00 03 00 00 01 00"));
}

TEST_F(FaultTest, CutDefaultsToHalfTheFrame) {
  Begin("cut:cmd=check");
  EXPECT_EQ(Exchange(kCheckMode), Hex("23 04 00 00 00"));
}

TEST_F(FaultTest, NoiseComesBeforeAnIntactReply) {
  Begin("noise:cmd=check,bytes=5");
  const std::vector<uint8_t> got = Exchange(kCheckMode);
  ASSERT_EQ(got.size(), 5 + kCheckModeReply.size());
  EXPECT_EQ(std::count(got.begin(), got.begin() + 5, 0x23), 0);
  EXPECT_EQ(std::vector<uint8_t>(got.begin() + 5, got.end()), kCheckModeReply);
}

TEST_F(FaultTest, OversizeDeclaresMoreThanTheDeviceSends) {
  Begin("oversize:cmd=check,length=300");
  // Declared length 0x012C, the one payload byte, and a checksum that agrees with the header sent.
  EXPECT_EQ(Exchange(kCheckMode), Hex("23 04 00 00 00 00 01 2C 01 28"));
}

TEST_F(FaultTest, LateReplyComesAfterTheDelay) {
  Begin("late:cmd=check,delay=400");
  const auto sent = std::chrono::steady_clock::now();
  ASSERT_TRUE(port->Write(kCheckMode));
  ASSERT_TRUE(device.WaitFor([](const TDeviceCounters& c) { return c.Faults == 1; }));
  EXPECT_TRUE(port->Pending().empty());
  EXPECT_EQ(port->ReadFrame(), kCheckModeReply);
  EXPECT_GE(std::chrono::steady_clock::now() - sent, std::chrono::milliseconds(400));
}

TEST_F(FaultTest, DuplicateSendsTheReplyTwice) {
  Begin("duplicate:cmd=check");
  std::vector<uint8_t> twice = kCheckModeReply;
  twice.insert(twice.end(), kCheckModeReply.begin(), kCheckModeReply.end());
  EXPECT_EQ(Exchange(kCheckMode), twice);
  EXPECT_EQ(device.Counters().Answered, 1u);
}

TEST_F(FaultTest, HangupClosesThePort) {
  Begin("hangup:cmd=read,region=settings");
  EXPECT_EQ(Exchange(kCheckMode), kCheckModeReply);
  ASSERT_TRUE(port->Write(Frame(131, 0, {})));
  EXPECT_TRUE(port->HungUp());
  EXPECT_TRUE(device.HungUp());
  EXPECT_FALSE(device.Running());
  device.Stop();
}

TEST_F(FaultTest, WrongPageCarriesTheRequestOutButAnswersForTheNextPage) {
  Begin("wrong-page:cmd=write,region=numbers");
  const std::vector<uint8_t> page(256, 0x31);
  EXPECT_EQ(Exchange(Frame(130, 0x1200, page)), Frame(130, 0x1300, {1}));
  EXPECT_EQ(device.NumberRecord(16)[0], 0x31);
  EXPECT_EQ(Exchange(Frame(130, 0x1200, page)), Frame(130, 0x1200, {1}));  // fired once
}

TEST_F(FaultTest, ForgetAcknowledgesAWriteItDoesNotKeep) {
  Begin("forget:cmd=write,region=numbers,page=2");
  const std::vector<uint8_t> page(256, 0x31);
  EXPECT_EQ(Exchange(Frame(130, 0x1100, page)), Frame(130, 0x1100, {1}));
  EXPECT_EQ(device.NumberRecord(8)[0], 0xFF);
  EXPECT_EQ(Exchange(Frame(130, 0x1000, page)), Frame(130, 0x1000, {1}));
  EXPECT_EQ(device.NumberRecord(0)[0], 0x31);
}

TEST_F(FaultTest, NthAndCountChooseWhichMatchesFire) {
  Begin("silence:cmd=check,nth=2,count=2");
  EXPECT_EQ(Exchange(kCheckMode), kCheckModeReply);
  EXPECT_TRUE(Exchange(kCheckMode).empty());
  EXPECT_TRUE(Exchange(kCheckMode).empty());
  EXPECT_EQ(Exchange(kCheckMode), kCheckModeReply);
  EXPECT_EQ(device.Counters().Faults, 2u);
}

TEST_F(FaultTest, CountAllKeepsFiring) {
  Begin("refuse:cmd=sync,count=all");
  for (int i = 0; i < 3; ++i) EXPECT_EQ(Exchange(Frame(3, 0, {0xEA, 1, 1, 0, 0, 0})), Frame(3, 0, {0}));
  EXPECT_EQ(device.Clock().Year, 2000);
}

TEST_F(FaultTest, RegionSelectsOnlyPagedRequests) {
  Begin("silence:region=settings,count=all");
  EXPECT_EQ(Exchange(kCheckMode), kCheckModeReply);  // address 0, but not a page request
  EXPECT_TRUE(Exchange(Frame(131, 0x100, {})).empty());
  EXPECT_EQ(ReadNumbers(1).size(), 265u);
}

}  // namespace
}  // namespace torvane::device
