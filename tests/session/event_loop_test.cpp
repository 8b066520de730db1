// SPDX-License-Identifier: GPL-3.0-or-later
// The window-less event loop: work posted from other threads runs on the loop's thread in order and
// wakes a loop that waits; timers fall due in order, keep their period, and stop when told.
#include "session/event_loop.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace torvane {
namespace {

TEST(EventLoop, PostedWorkRunsOnTheLoopsThreadInOrderAndWakesIt) {
  TEventLoop loop;
  std::vector<int> ran;
  std::vector<std::thread::id> threads;
  std::thread worker([&] {
    for (int i = 0; i < 1000; ++i)
      loop.Post([&, i] {
        ran.push_back(i);
        threads.push_back(std::this_thread::get_id());
      });
  });
  // No deadline: only the posts can end the wait.
  EXPECT_TRUE(loop.Run([&] { return ran.size() == 1000; }));
  worker.join();
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(ran[i], i);
  for (const auto& id : threads) ASSERT_EQ(id, std::this_thread::get_id());
}

TEST(EventLoop, TimersFallDueInOrderKeepTheirPeriodAndStop) {
  TEventLoop loop;
  std::vector<std::string> fired;
  auto slow = loop.CreateTimer(30), fast = loop.CreateTimer(2), stopped = loop.CreateTimer(1);
  slow->OnTimer = [&] {
    fired.push_back("slow");
    slow->Stop();
  };
  fast->OnTimer = [&] {
    fired.push_back("fast");
    if (std::count(fired.begin(), fired.end(), "fast") == 3) fast->Stop();
  };
  stopped->OnTimer = [&] { fired.push_back("stopped"); };
  slow->Start();
  fast->Start();
  stopped->Start();
  stopped->Stop();
  EXPECT_TRUE(loop.Run([&] { return !slow->Enabled() && !fast->Enabled(); }));
  ASSERT_FALSE(fired.empty());
  // However late the loop gets round to them, the earlier due time goes first.
  EXPECT_EQ(fired.front(), "fast");
  EXPECT_EQ(std::count(fired.begin(), fired.end(), "fast"), 3);
  EXPECT_EQ(std::count(fired.begin(), fired.end(), "slow"), 1);
  EXPECT_EQ(std::count(fired.begin(), fired.end(), "stopped"), 0);
}

TEST(EventLoop, RunEndsAtItsDeadlineWhenNothingHappens) {
  TEventLoop loop;
  bool never = false;
  EXPECT_FALSE(loop.Run([&] { return never; }, TEventLoop::TClock::now() + std::chrono::milliseconds(5)));
  // A wake-up alone (as from a signal handler) makes the loop look at its predicate again.
  std::thread waker([&] {
    loop.Post([&] { never = true; });
    loop.Wake();
  });
  EXPECT_TRUE(loop.Run([&] { return never; }));
  waker.join();
}

// More timers than a wait could take handles (64 on Windows), and a wake-up from a thread of its own as
// Windows' console control handler gives it: the loop keeps every timer itself and sees the wake-up.
TEST(EventLoop, ManyTimersCostTheWaitNothingAndAWakeFromAnyThreadIsSeen) {
  TEventLoop loop;
  std::vector<std::unique_ptr<ITimer>> timers;
  int fired = 0;
  for (int i = 0; i < 200; ++i) {
    timers.push_back(loop.CreateTimer(1 + i % 7));
    ITimer& t = *timers.back();
    t.OnTimer = [&fired, &t] {
      ++fired;
      t.Stop();
    };
    t.Start();
  }
  EXPECT_TRUE(loop.Run([&] { return fired == 200; }));
  std::atomic<bool> asked{false};
  std::thread handler([&] {
    asked = true;
    loop.Wake();
  });
  EXPECT_TRUE(loop.Run([&] { return asked.load(); }));
  handler.join();
}

}  // namespace
}  // namespace torvane
