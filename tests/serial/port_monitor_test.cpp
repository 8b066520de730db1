// SPDX-License-Identifier: GPL-3.0-or-later
// The port list following hot-plug, with a fake event source over a fake sysfs tree: what the kernel
// and udev would do when an adapter is plugged in or pulled out.
#include "serial/port_monitor.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "support/fake_port_events.h"
#include "support/fake_sysfs.h"

namespace torvane {
namespace {

using Names = std::vector<std::string>;
using testing::TFakePortEvents;
using testing::TFakeSysfs;

TEST(PortMonitor, FollowsPlugAndUnplugInNaturalOrder) {
  TFakeSysfs sys;
  sys.Add("ttyS0", "platform/serial8250", 4);
  sys.AddUsb("ttyUSB1");
  auto events = std::make_shared<TFakePortEvents>();
  TPortMonitor monitor(Trecognitionserial(sys.Root()), events);
  ASSERT_TRUE(monitor.Live());
  EXPECT_EQ(monitor.Ports(), (Names{"ttyS0", "ttyUSB1"}));
  // The window's thread: each post of the source runs here, when pumped.
  TQueueNotifyTarget window;
  int ready = 0;
  monitor.Watch(window, [&] { ++ready; });

  struct TStep {
    const char* What;
    std::function<void()> Happen;
    bool Changed;
    Names After;
  };
  const std::vector<TStep> steps = {
      {"nothing waits", [] {}, false, {"ttyS0", "ttyUSB1"}},
      {"an adapter plugged in",
       [&] {
         sys.AddUsb("ttyUSB10");
         events->Added("ttyUSB10");
       },
       true,
       {"ttyS0", "ttyUSB1", "ttyUSB10"}},
      {"ttyUSB2 goes before ttyUSB10",
       [&] {
         sys.AddUsb("ttyUSB2");
         events->Added("ttyUSB2");
       },
       true,
       {"ttyS0", "ttyUSB1", "ttyUSB2", "ttyUSB10"}},
      {"a modem goes first",
       [&] {
         sys.AddUsb("ttyACM0");
         events->Added("ttyACM0");
       },
       true,
       {"ttyACM0", "ttyS0", "ttyUSB1", "ttyUSB2", "ttyUSB10"}},
      {"a virtual terminal is no port",
       [&] {
         sys.Add("tty7", "");
         events->Added("tty7");
       },
       false,
       {"ttyACM0", "ttyS0", "ttyUSB1", "ttyUSB2", "ttyUSB10"}},
      {"an adapter pulled out",
       [&] {
         sys.Remove("ttyUSB1");
         events->Removed("ttyUSB1");
       },
       true,
       {"ttyACM0", "ttyS0", "ttyUSB2", "ttyUSB10"}},
      {"a removal heard before its sysfs entry is gone",
       [&] { events->Removed("ttyUSB2"); },
       true,
       {"ttyACM0", "ttyS0", "ttyUSB10"}},
      {"out and in again in one batch",
       [&] {
         sys.Remove("ttyUSB2");
         sys.Remove("ttyUSB10");
         events->Removed("ttyUSB10");
         sys.AddUsb("ttyUSB10");
         events->Added("ttyUSB10");
       },
       false,
       {"ttyACM0", "ttyS0", "ttyUSB10"}},
      {"two at once",
       [&] {
         sys.Remove("ttyACM0");
         events->Removed("ttyACM0");
         sys.AddUsb("ttyUSB3");
         events->Added("ttyUSB3");
       },
       true,
       {"ttyS0", "ttyUSB3", "ttyUSB10"}},
  };
  for (const TStep& s : steps) {
    SCOPED_TRACE(s.What);
    ready = 0;
    s.Happen();
    // One post for the batch, however many events it holds.
    window.Pump();
    EXPECT_EQ(ready, events->Waiting() ? 1 : 0);
    EXPECT_EQ(monitor.Update(), s.Changed);
    EXPECT_EQ(monitor.Ports(), s.After);
    EXPECT_EQ(window.Pump(), 0u);
  }
}

// A post on its way when the watcher goes runs nothing; a new watch hears what waits at once.
TEST(PortMonitor, APostOfAnEndedWatchRunsNothing) {
  auto events = std::make_shared<TFakePortEvents>();
  TQueueNotifyTarget window;
  int ready = 0;
  {
    TFakeSysfs sys;
    TPortMonitor monitor(Trecognitionserial(sys.Root()), events);
    monitor.Watch(window, [&] { ++ready; });
    events->Added("ttyUSB0");
    EXPECT_EQ(window.Queued(), 1u);
  }
  EXPECT_EQ(window.Pump(), 1u);
  EXPECT_EQ(ready, 0);
  events->Added("ttyUSB1");
  EXPECT_EQ(window.Queued(), 0u);
  events->Watch(window, [&] { ++ready; });
  window.Pump();
  EXPECT_EQ(ready, 1);
  EXPECT_EQ(events->ReadEvents().size(), 2u);
}

TEST(PortMonitor, WithoutASourceTheListStaysAsFirstRead) {
  TFakeSysfs sys;
  sys.AddUsb("ttyUSB0");
  TPortMonitor monitor(Trecognitionserial(sys.Root()), nullptr);
  EXPECT_FALSE(monitor.Live());
  sys.AddUsb("ttyUSB1");
  EXPECT_FALSE(monitor.Update());
  EXPECT_EQ(monitor.Ports(), (Names{"ttyUSB0"}));
}

// Where udev runs its monitor is there and quiet until something is plugged in; where it does not
// (a container), there is none and the reason says why. A fake tree has no udev events at all.
TEST(PortMonitor, UdevMonitorWhereUdevRuns) {
  std::string why;
  EXPECT_EQ(OpenPortEvents(&why, "/tmp/torvane-fake-tree"), nullptr);
  EXPECT_NE(why.find("/tmp/torvane-fake-tree"), std::string::npos) << why;
  why.clear();
  const auto events = OpenPortEvents(&why);
  if (!events) {
    EXPECT_FALSE(why.empty());
    return;
  }
  TQueueNotifyTarget window;
  events->Watch(window, [] {});
  window.WaitAndPump(50);
  for (const TPortEvent& e : events->ReadEvents()) EXPECT_FALSE(e.Name.empty());
  events->StopWatching();
}

}  // namespace
}  // namespace torvane
