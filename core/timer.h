// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Timers as the logic sees them. The window uses QTimer behind this; tests and the benchmarks use a
// manual clock that they advance by hand, so no test ever sleeps to wait for a timer.
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace torvane {

class ITimer {
 public:
  virtual ~ITimer() = default;
  // Starting a timer that already runs does not restart its period.
  virtual void Start() = 0;
  virtual void Stop() = 0;
  virtual bool Enabled() const = 0;
  virtual void SetInterval(int ms) = 0;
  virtual int Interval() const = 0;
  std::function<void()> OnTimer;
};

class ITimerFactory {
 public:
  virtual ~ITimerFactory() = default;
  virtual std::unique_ptr<ITimer> CreateTimer(int intervalMs) = 0;
};

// A clock that only moves when told to. Timers created here fire from Advance(), in order of their
// due times, on the calling thread.
class TManualClock : public ITimerFactory {
 public:
  std::unique_ptr<ITimer> CreateTimer(int intervalMs) override;
  void Advance(int64_t ms);
  int64_t Now() const { return now_; }

 private:
  class TManualTimer;
  friend class TManualTimer;
  int64_t now_ = 0;
  std::vector<TManualTimer*> timers_;
};

}  // namespace torvane
