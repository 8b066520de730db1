// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "serial/comm.h"

namespace torvane {
namespace {

TEST(QueueNotifyTarget, DeliversInPostingOrderOnThePumpingThread) {
  TQueueNotifyTarget t;
  std::vector<int> seen;
  const auto pumper = std::this_thread::get_id();
  std::thread poster([&] {
    for (int i = 0; i < 1000; ++i)
      EXPECT_TRUE(t.Post([&seen, i, pumper] {
        EXPECT_EQ(std::this_thread::get_id(), pumper);
        seen.push_back(i);
      }));
  });
  poster.join();
  EXPECT_EQ(t.Queued(), 1000u);
  EXPECT_EQ(t.Pump(), 1000u);
  EXPECT_EQ(t.Queued(), 0u);
  ASSERT_EQ(seen.size(), 1000u);
  for (int i = 0; i < 1000; ++i) EXPECT_EQ(seen[i], i);
  EXPECT_EQ(t.Pump(), 0u);
}

TEST(QueueNotifyTarget, WhatADeliveryPostsWaitsForTheNextPump) {
  TQueueNotifyTarget t;
  int runs = 0;
  t.Post([&] {
    ++runs;
    t.Post([&] { ++runs; });
  });
  EXPECT_EQ(t.Pump(), 1u);
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(t.Pump(), 1u);
  EXPECT_EQ(runs, 2);
}

TEST(QueueNotifyTarget, WaitAndPumpWakesOnAPostAndTimesOutEmpty) {
  TQueueNotifyTarget t;
  EXPECT_EQ(t.WaitAndPump(20), 0u);
  std::atomic<bool> ran{false};
  std::thread poster([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    t.Post([&] { ran = true; });
  });
  EXPECT_EQ(t.WaitAndPump(5000), 1u);
  EXPECT_TRUE(ran);
  poster.join();
}

TEST(QueueNotifyTarget, UndeliveredNotificationsAreFreedWithTheTarget) {
  auto owned = std::make_shared<int>(5);
  {
    TQueueNotifyTarget t;
    t.Post([owned] {});
    EXPECT_EQ(owned.use_count(), 2);
  }
  EXPECT_EQ(owned.use_count(), 1);
}

}  // namespace
}  // namespace torvane
