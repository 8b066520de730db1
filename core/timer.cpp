// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/timer.h"

#include <algorithm>
#include <limits>

namespace torvane {

class TManualClock::TManualTimer : public ITimer {
 public:
  TManualTimer(TManualClock& clock, int interval) : clock_(clock), interval_(interval) {
    clock_.timers_.push_back(this);
  }
  ~TManualTimer() override { std::erase(clock_.timers_, this); }
  void Start() override {
    if (enabled_) return;
    enabled_ = true;
    due_ = clock_.now_ + interval_;
  }
  void Stop() override { enabled_ = false; }
  bool Enabled() const override { return enabled_; }
  void SetInterval(int ms) override {
    if (ms == interval_) return;
    interval_ = ms;
    if (enabled_) due_ = clock_.now_ + interval_;
  }
  int Interval() const override { return interval_; }

  TManualClock& clock_;
  int interval_;
  bool enabled_ = false;
  int64_t due_ = 0;
};

std::unique_ptr<ITimer> TManualClock::CreateTimer(int intervalMs) {
  return std::make_unique<TManualTimer>(*this, intervalMs);
}

void TManualClock::Advance(int64_t ms) {
  const int64_t end = now_ + ms;
  for (;;) {
    TManualTimer* next = nullptr;
    for (TManualTimer* t : timers_)
      if (t->enabled_ && t->due_ <= end && (!next || t->due_ < next->due_)) next = t;
    if (!next) break;
    now_ = next->due_;
    // A periodic timer: the next period starts now; the handler may stop it.
    next->due_ = now_ + std::max(1, next->interval_);
    if (next->OnTimer) next->OnTimer();
  }
  now_ = end;
}

}  // namespace torvane
