// SPDX-License-Identifier: GPL-3.0-or-later
// TQueueNotifyTarget: the workers' notifications queued under a lock, delivered by whoever pumps.
#include <condition_variable>
#include <deque>
#include <mutex>

#include "serial/comm.h"

namespace torvane {

struct TQueueNotifyTarget::TState {
  std::mutex Lock;
  std::condition_variable Posted;
  std::deque<std::function<void()>> Queue;
};

TQueueNotifyTarget::TQueueNotifyTarget() : state_(std::make_unique<TState>()) {}

TQueueNotifyTarget::~TQueueNotifyTarget() = default;

bool TQueueNotifyTarget::Post(std::function<void()> deliver) {
  bool wasEmpty;
  {
    std::lock_guard<std::mutex> lock(state_->Lock);
    wasEmpty = state_->Queue.empty();
    state_->Queue.push_back(std::move(deliver));
  }
  // Whoever waits, waits for an empty queue to fill: a byte added to a queue not yet drained needs no
  // wake-up of its own (at 115200 baud one each would be a system call every 87 microseconds).
  if (wasEmpty) state_->Posted.notify_one();
  return true;
}

size_t TQueueNotifyTarget::Pump() {
  size_t due;
  {
    std::lock_guard<std::mutex> lock(state_->Lock);
    due = state_->Queue.size();
  }
  // One at a time, outside the lock: a delivery may post, close the port or pump again. What it
  // posts waits for the next Pump.
  size_t ran = 0;
  while (ran < due) {
    std::function<void()> next;
    {
      std::lock_guard<std::mutex> lock(state_->Lock);
      if (state_->Queue.empty()) break;
      next = std::move(state_->Queue.front());
      state_->Queue.pop_front();
    }
    ++ran;
    if (next) next();
  }
  return ran;
}

size_t TQueueNotifyTarget::Queued() const {
  std::lock_guard<std::mutex> lock(state_->Lock);
  return state_->Queue.size();
}

size_t TQueueNotifyTarget::WaitAndPump(int timeoutMs) {
  {
    std::unique_lock<std::mutex> lock(state_->Lock);
    state_->Posted.wait_for(lock, std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs),
                            [this] { return !state_->Queue.empty(); });
  }
  return Pump();
}

}  // namespace torvane
