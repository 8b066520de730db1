// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Running an exchange over a real serial port to its end from a test: the port's notifications are
// pumped on the test's thread, and the reply timer runs on the manual clock.
#include <chrono>

#include "core/timer.h"
#include "protocol/exchange.h"
#include "serial/comm.h"

namespace torvane::testing {

// Pumps until the exchange is over. A reply that does not come within quietMs of real time counts as
// missing: the reply timer is moved on, so repeats and the last try's timeout take no real time.
inline bool PumpUntilIdleAdvancing(TQueueNotifyTarget& target, const TExchange& exchange,
                                   TManualClock& timers, int timeoutMs, int quietMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (exchange.Busy()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    if (target.WaitAndPump(quietMs) == 0 && exchange.Outstanding()) timers.Advance(3000);
  }
  return true;
}

// Pumps until nothing more arrives for quietMs of real time.
inline void DrainFor(TQueueNotifyTarget& target, int quietMs) {
  while (target.WaitAndPump(quietMs) > 0) {
  }
}

}  // namespace torvane::testing
