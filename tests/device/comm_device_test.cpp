// SPDX-License-Identifier: GPL-3.0-or-later
// The serial component against the virtual device: the road every end-to-end test takes.
#include <gtest/gtest.h>

#include <chrono>

#include "device/virtual_device.h"
#include "serial/comm.h"
#include "tests/device/pty_port.h"

namespace torvane::device {
namespace {

using testing::Hex;

class CommDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(device.Start()) << device.Error();
    comm.SetCommName(device.PortPath());
    comm.SetBaudRate(115200);
    comm.OnReceiveData = [this](TComm&, const char* bytes, uint16_t n) {
      received.insert(received.end(), bytes, bytes + n);
    };
    comm.OpenPort();
    ASSERT_TRUE(comm.PortOpen()) << comm.PortOpenError();
  }
  void TearDown() override { comm.ClosePort(); }

  // Pumps the component's notifications until `count` bytes have come or ten seconds have passed.
  std::vector<uint8_t> Receive(size_t count) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (received.size() < count && std::chrono::steady_clock::now() < end) target.WaitAndPump(100);
    std::vector<uint8_t> got;
    got.swap(received);
    return got;
  }
  bool Send(const std::vector<uint8_t>& bytes) {
    return comm.SendBytes(bytes.data(), static_cast<uint16_t>(bytes.size()));
  }

  TVirtualDevice device;
  TQueueNotifyTarget target;
  TComm comm{target};
  std::vector<uint8_t> received;
};

TEST_F(CommDeviceTest, ReadsAndWritesPagesThroughTheSerialComponent) {
  ASSERT_TRUE(Send(Hex("23 83 00 00 00 00 00 00 83")));
  const std::vector<uint8_t> page1 = Receive(265);
  ASSERT_EQ(page1.size(), 265u);
  EXPECT_EQ(std::vector<uint8_t>(page1.begin(), page1.begin() + 12),
            Hex("23 83 00 00 00 00 01 00 36 38 35 33"));

  std::vector<uint8_t> write = Hex("23 82 00 00 12 00 01 00");
  for (int i = 0; i < 256; ++i) write.push_back(uint8_t(i ^ 0x5A));
  uint8_t x = 0;
  for (size_t i = 1; i < write.size(); ++i) x ^= write[i];
  write.push_back(x);
  ASSERT_TRUE(Send(write));
  EXPECT_EQ(Receive(10), Hex("23 82 00 00 12 00 00 01 01 90"));
  const std::vector<uint8_t> numbers = device.Numbers();
  EXPECT_EQ(std::vector<uint8_t>(numbers.begin() + 0x200, numbers.begin() + 0x300),
            std::vector<uint8_t>(write.begin() + 8, write.end() - 1));
}

}  // namespace
}  // namespace torvane::device
