// SPDX-License-Identifier: GPL-3.0-or-later
// The port list on a fake sysfs tree laid out like the kernel's (support/fake_sysfs.h).
#include "serial/port_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "support/fake_sysfs.h"

namespace torvane {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

using FakeSysfs = testing::TFakeSysfs;

TEST(PortList, ListsHardwarePortsInNaturalOrder) {
  FakeSysfs sys;
  sys.Add("ttyUSB10", "pci0000:00/usb1/1-10/ttyUSB10");
  sys.Add("ttyUSB1", "pci0000:00/usb1/1-2/ttyUSB1");
  sys.Add("ttyS0", "platform/serial8250", 4);  // a 16550A
  sys.Add("ttyUSB0", "pci0000:00/usb1/1-1/ttyUSB0");
  EXPECT_EQ(Trecognitionserial(sys.Root()).FillPortList(),
            (Names{"ttyS0", "ttyUSB0", "ttyUSB1", "ttyUSB10"}));
}

TEST(PortList, LeavesOutEmptyUartSlotsAndVirtualTerminals) {
  FakeSysfs sys;
  sys.Add("ttyS0", "platform/serial8250", 4);
  sys.Add("ttyS1", "platform/serial8250", 0);  // slot with no UART behind it
  sys.Add("ttyS2", "platform/serial8250", 0);
  sys.Add("ttyS3", "platform/serial8250", 0);
  sys.Add("ttyS4", "pnp/00:05", 4);
  sys.Add("ttyACM0", "pci0000:00/usb1/1-3/ttyACM0");
  sys.Add("tty0", "");  // virtual terminals, console, ptmx: no device link
  sys.Add("tty1", "");
  sys.Add("console", "");
  sys.Add("ptmx", "");
  sys.Add("ttyUSB3", "pci0000:00/usb1/1-4/ttyUSB3", -1, false);  // no /dev node: OpenPort cannot find it
  EXPECT_EQ(Trecognitionserial(sys.Root()).FillPortList(), (Names{"ttyACM0", "ttyS0", "ttyS4"}));
}

TEST(PortList, EmptyOrMissingTreeGivesAnEmptyList) {
  FakeSysfs sys;
  EXPECT_TRUE(Trecognitionserial(sys.Root()).FillPortList().empty());
  EXPECT_TRUE(Trecognitionserial(sys.Root() + "/nowhere").FillPortList().empty());
}

TEST(PortList, RealSystemListsOnlyNamesThatExistUnderDev) {
  for (const auto& name : Trecognitionserial().FillPortList()) {
    EXPECT_TRUE(fs::exists("/dev/" + name)) << name;
    EXPECT_TRUE(fs::exists("/sys/class/tty/" + name + "/device")) << name;
  }
}

TEST(PortList, NaturalOrder) {
  Names n{"ttyUSB10", "ttyS10", "ttyUSB2", "ttyS2", "ttyACM0", "ttyS0", "ttyUSB1", "ttyAMA0", "ttyS1"};
  std::sort(n.begin(), n.end(), Trecognitionserial::NaturalLess);
  EXPECT_EQ(n, (Names{"ttyACM0", "ttyAMA0", "ttyS0", "ttyS1", "ttyS2", "ttyS10", "ttyUSB1", "ttyUSB2",
                      "ttyUSB10"}));
  EXPECT_TRUE(Trecognitionserial::NaturalLess("tty9", "tty10"));
  EXPECT_FALSE(Trecognitionserial::NaturalLess("tty10", "tty9"));
  EXPECT_TRUE(Trecognitionserial::NaturalLess("tty1", "tty01"));
  EXPECT_FALSE(Trecognitionserial::NaturalLess("tty01", "tty1"));
  EXPECT_TRUE(Trecognitionserial::NaturalLess("tty", "tty0"));
  EXPECT_FALSE(Trecognitionserial::NaturalLess("ttyS1", "ttyS1"));
  EXPECT_TRUE(Trecognitionserial::NaturalLess("ttyS99999999999999999999", "ttyS100000000000000000000"));
}

}  // namespace
}  // namespace torvane
