// SPDX-License-Identifier: GPL-3.0-or-later
// TEventLoop's own part: posted work, timers kept by the loop itself, and the rounds between waits.
// The wait and its wake-up are the platform's (event_loop_posix.cpp, event_loop_win32.cpp).
#include "session/event_loop.h"

#include <algorithm>

namespace torvane {

class TEventLoop::TLoopTimer : public ITimer {
 public:
  TLoopTimer(TEventLoop& loop, int interval) : loop_(loop), interval_(interval) {
    loop_.timers_.push_back(this);
  }
  ~TLoopTimer() override { std::erase(loop_.timers_, this); }
  void Start() override {
    if (enabled_) return;
    enabled_ = true;
    due_ = TClock::now() + std::chrono::milliseconds(interval_);
  }
  void Stop() override { enabled_ = false; }
  bool Enabled() const override { return enabled_; }
  void SetInterval(int ms) override {
    if (ms == interval_) return;
    interval_ = ms;
    if (enabled_) due_ = TClock::now() + std::chrono::milliseconds(interval_);
  }
  int Interval() const override { return interval_; }

  TEventLoop& loop_;
  int interval_;
  bool enabled_ = false;
  TClock::time_point due_{};
};

std::unique_ptr<ITimer> TEventLoop::CreateTimer(int intervalMs) {
  return std::make_unique<TLoopTimer>(*this, intervalMs);
}

bool TEventLoop::Post(std::function<void()> deliver) {
  bool wasEmpty;
  {
    std::lock_guard<std::mutex> lock(lock_);
    wasEmpty = posted_.empty();
    posted_.push_back(std::move(deliver));
  }
  // Only an empty queue that fills needs a wake-up: the loop drains everything queued before it
  // waits again, so a burst of bytes costs one system call, not one a byte.
  if (wasEmpty) Wake();
  return true;
}

size_t TEventLoop::RunPosted() {
  std::deque<std::function<void()>> batch;
  {
    std::lock_guard<std::mutex> lock(lock_);
    batch.swap(posted_);
  }
  // Outside the lock: a delivery may post again (that waits for the next round) or close a port.
  for (auto& deliver : batch)
    if (deliver) deliver();
  return batch.size();
}

TEventLoop::TClock::time_point TEventLoop::NextDue() const {
  auto next = TClock::time_point::max();
  for (const TLoopTimer* t : timers_)
    if (t->enabled_) next = std::min(next, t->due_);
  return next;
}

bool TEventLoop::RunDueTimers() {
  bool ran = false;
  // Each pass looks again: a handler may stop, start or destroy timers.
  for (;;) {
    const auto now = TClock::now();
    TLoopTimer* next = nullptr;
    for (TLoopTimer* t : timers_)
      if (t->enabled_ && t->due_ <= now && (!next || t->due_ < next->due_)) next = t;
    if (!next) return ran;
    // A periodic timer: the next period starts now; the handler may stop it.
    next->due_ = now + std::chrono::milliseconds(std::max(1, next->interval_));
    ran = true;
    if (next->OnTimer) next->OnTimer();
  }
}

void TEventLoop::RunPending() {
  RunPosted();
  RunDueTimers();
}

bool TEventLoop::Run(const std::function<bool()>& done, TClock::time_point deadline) {
  for (;;) {
    RunPosted();
    RunDueTimers();
    if (done && done()) return true;
    if (TClock::now() >= deadline) return false;
    WaitUntil(std::min(NextDue(), deadline));
  }
}

}  // namespace torvane
