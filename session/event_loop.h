// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// TEventLoop: what runs a session without a window. One thread runs all logic, as in the window: the
// serial workers post their notifications here (a locked queue and a wake-up the poll sees), and the
// session's timers fall due here (real monotonic time). Run() waits between the two (ppoll on Linux,
// WaitForSingleObject on Windows) with the earliest timer as the wait's time-out, so a session waiting
// for a paced device costs nothing while it waits. Any number of sessions (one per port) may share one
// loop.
//
// A signal handler may call Wake() (it is async-signal-safe), and so may Windows' console control
// handler on its own thread; Run() then returns to look at its predicate, and the handler's flag can be
// acted on from the loop's own thread.
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "core/timer.h"
#include "serial/comm.h"

namespace torvane {

class TEventLoop : public ITimerFactory, public ICommNotifyTarget {
 public:
  using TClock = std::chrono::steady_clock;

  TEventLoop();  // raises std::system_error when the wake-up cannot be made
  ~TEventLoop() override;
  TEventLoop(const TEventLoop&) = delete;
  TEventLoop& operator=(const TEventLoop&) = delete;

  std::unique_ptr<ITimer> CreateTimer(int intervalMs) override;
  // From any thread: `deliver` runs on the loop's thread, after what was posted before it.
  bool Post(std::function<void()> deliver) override;
  // From any thread, a signal handler or a console control handler: the loop looks at its predicate
  // again.
  void Wake();

  // Runs posted work and due timers until `done` holds (checked after each round of them, so after
  // every wake-up) or `deadline` passes. True when `done` holds.
  bool Run(const std::function<bool()>& done, TClock::time_point deadline = TClock::time_point::max());
  // Runs what is posted and due now, without waiting.
  void RunPending();

 private:
  class TLoopTimer;
  friend class TLoopTimer;
  // Waits until something is posted or woken, or `until`; raises std::system_error when the wait fails.
  void WaitUntil(TClock::time_point until);
  // The due timers, in order of their due times; true when one ran.
  bool RunDueTimers();
  size_t RunPosted();
  TClock::time_point NextDue() const;

  struct TWake;  // the platform's wake-up (an eventfd, an event on Windows)
  std::unique_ptr<TWake> wake_;
  std::mutex lock_;
  std::deque<std::function<void()>> posted_;
  std::vector<TLoopTimer*> timers_;
};

}  // namespace torvane
