// SPDX-License-Identifier: GPL-3.0-or-later
// Starting, stopping and restarting virtual devices: state kept across a restart, many devices in one
// process, a PC end that stays open or comes and goes.
#include <dirent.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

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

int CountEntries(const char* dir) {
  int n = 0;
  DIR* d = ::opendir(dir);
  while (::readdir(d)) ++n;
  ::closedir(d);
  return n;
}

class LifecycleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = std::filesystem::temp_directory_path() / ("torvane-device-life-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
  }
  void TearDown() override { std::filesystem::remove_all(dir); }
  std::filesystem::path dir;
};

TEST_F(LifecycleTest, WhatWasWrittenIsThereAfterARestart) {
  TDeviceOptions options;
  options.StateFile = (dir / "device.state").string();
  std::vector<uint8_t> page(256);
  for (int i = 0; i < 256; ++i) page[i] = uint8_t(i);
  {
    TVirtualDevice device(options);
    ASSERT_TRUE(device.Start()) << device.Error();
    TPtyPort port(device.PortPath());
    ASSERT_TRUE(port.Write(Frame(130, 0x1100, page)));
    EXPECT_EQ(port.ReadFrame(), Frame(130, 0x1100, {1}));
    ASSERT_TRUE(port.Write(Hex("23 03 00 00 00 00 00 06 EA 0C 07 12 1E 05 ED")));
    EXPECT_EQ(port.ReadFrame(), Hex("23 03 00 00 00 00 00 01 01 03"));
    device.Stop();
  }
  TVirtualDevice again(options);
  ASSERT_TRUE(again.Start()) << again.Error();
  TPtyPort port(again.PortPath());
  ASSERT_TRUE(port.Write(Frame(131, 0x1100, {})));
  const std::vector<uint8_t> reply = port.ReadFrame();
  ASSERT_EQ(reply.size(), 265u);
  EXPECT_EQ(std::vector<uint8_t>(reply.begin() + 8, reply.end() - 1), page);
  EXPECT_EQ(again.Clock().Year, 2026);
  EXPECT_EQ(again.Clock().Second, 5);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1) << "no temporary file is left";
}

TEST_F(LifecycleTest, AStateFileThatIsNotOneStopsTheStart) {
  TDeviceOptions options;
  options.StateFile = (dir / "broken.state").string();
  std::ofstream(options.StateFile) << "garbage";
  TVirtualDevice device(options);
  EXPECT_FALSE(device.Start());
  EXPECT_NE(device.Error().find("not a device state"), std::string::npos);
}

TEST_F(LifecycleTest, TheLinkPointsAtThePortWhileServing) {
  TDeviceOptions options;
  options.LinkPath = (dir / "ttyVirtual").string();
  TVirtualDevice device(options);
  ASSERT_TRUE(device.Start());
  EXPECT_EQ(std::filesystem::read_symlink(options.LinkPath).string(), device.PortPath());
  TPtyPort port(options.LinkPath);
  ASSERT_TRUE(port.Write(kCheckMode));
  EXPECT_EQ(port.ReadFrame(), kCheckModeReply);
  device.Stop();
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(options.LinkPath)));
}

TEST(Lifecycle, StopsWhileThePcKeepsItsPortOpen) {
  TVirtualDevice device;
  ASSERT_TRUE(device.Start());
  TPtyPort port(device.PortPath());
  ASSERT_TRUE(port.Write(kCheckMode));
  EXPECT_EQ(port.ReadFrame(), kCheckModeReply);
  device.Stop();
  EXPECT_FALSE(device.Running());
  EXPECT_TRUE(port.HungUp());
  // Started again it serves on a new port.
  ASSERT_TRUE(device.Start());
  TPtyPort second(device.PortPath());
  ASSERT_TRUE(second.Write(kCheckMode));
  EXPECT_EQ(second.ReadFrame(), kCheckModeReply);
}

TEST(Lifecycle, StopsInTheMiddleOfALateReply) {
  TVirtualDevice device;
  auto fault = ParseFault("late:delay=600000");
  device.AddFault(*fault);
  ASSERT_TRUE(device.Start());
  TPtyPort port(device.PortPath());
  ASSERT_TRUE(port.Write(kCheckMode));
  ASSERT_TRUE(device.WaitFor([](const TDeviceCounters& c) { return c.Faults == 1; }));
  device.Stop();  // does not wait out the ten minutes
  EXPECT_EQ(device.Counters().Answered, 0u);
}

TEST(Lifecycle, ServesThePcAgainAfterItClosesAndReopensItsPort) {
  TVirtualDevice device;
  ASSERT_TRUE(device.Start());
  for (int round = 0; round < 3; ++round) {
    TPtyPort port(device.PortPath());
    ASSERT_TRUE(port.IsOpen());
    ASSERT_TRUE(port.Write(kCheckMode));
    EXPECT_EQ(port.ReadFrame(), kCheckModeReply) << "round " << round;
  }
  // The reply is on the line a moment before the device counts it.
  EXPECT_TRUE(device.WaitFor([](const TDeviceCounters& c) { return c.Answered == 3; }));
}

TEST(Lifecycle, ManyDevicesInOneProcessLeaveNoThreadsOrDescriptors) {
  const int fdsBefore = CountEntries("/proc/self/fd");
  const int threadsBefore = CountEntries("/proc/self/task");
  {
    std::vector<std::unique_ptr<TVirtualDevice>> devices;
    std::vector<std::unique_ptr<TPtyPort>> ports;
    for (int i = 0; i < 12; ++i) {
      TDeviceOptions options;
      options.Seed = static_cast<uint32_t>(i + 1);
      devices.push_back(std::make_unique<TVirtualDevice>(options));
      ASSERT_TRUE(devices.back()->Start());
      devices.back()->Populate(i + 1, 0, 9);
    }
    for (auto& d : devices) ports.push_back(std::make_unique<TPtyPort>(d->PortPath()));
    for (size_t i = 0; i < devices.size(); ++i) {
      // Each answers from its own memory: device i holds i + 1 numbers, so record i is in use.
      ASSERT_TRUE(ports[i]->Write(Frame(131, 0x1000 + static_cast<uint32_t>(i / 8) * 0x100, {})));
      const std::vector<uint8_t> reply = ports[i]->ReadFrame();
      ASSERT_EQ(reply.size(), 265u);
      EXPECT_NE(reply[8 + (i % 8) * 32], 0xFF) << "device " << i;
      if (i % 8 < 7) {
        EXPECT_EQ(reply[8 + (i % 8 + 1) * 32], 0xFF) << "device " << i;
      }
    }
    // Half are stopped with the PC side still open, the rest go with their destructors.
    for (size_t i = 0; i < devices.size(); i += 2) devices[i]->Stop();
  }
  EXPECT_EQ(CountEntries("/proc/self/fd"), fdsBefore);
  EXPECT_EQ(CountEntries("/proc/self/task"), threadsBefore);
}

}  // namespace
}  // namespace torvane::device
