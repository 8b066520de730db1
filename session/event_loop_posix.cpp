// TEventLoop on POSIX (Linux): an eventfd is the wake-up, ppoll the wait.
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <system_error>

#include "session/event_loop.h"

namespace torvane {

struct TEventLoop::TWake {
  int Fd = -1;
  TWake() {
    Fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (Fd < 0) throw std::system_error(errno, std::generic_category(), "eventfd");
  }
  ~TWake() {
    if (Fd >= 0) ::close(Fd);
  }
  void Signal() const {
    const uint64_t one = 1;
    // A full counter (never reached in practice) still wakes the loop, which is all that is needed.
    (void)!::write(Fd, &one, sizeof one);
  }
  void Drain() const {
    uint64_t count;
    (void)!::read(Fd, &count, sizeof count);
  }
};

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

TEventLoop::TEventLoop() : wake_(std::make_unique<TWake>()) {}

TEventLoop::~TEventLoop() = default;

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
  if (wasEmpty) wake_->Signal();
  return true;
}

void TEventLoop::Wake() {
  wake_->Signal();
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

void TEventLoop::WaitUntil(TClock::time_point until) {
  pollfd fd{wake_->Fd, POLLIN, 0};
  timespec timeout{};
  timespec* wait = nullptr;
  if (until != TClock::time_point::max()) {
    const auto left = std::max(TClock::duration::zero(), until - TClock::now());
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
    timeout.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
    timeout.tv_nsec = static_cast<long>(ns % 1'000'000'000);
    wait = &timeout;
  }
  // A signal (EINTR) ends the wait like a wake-up: the caller looks at its predicate again.
  if (::ppoll(&fd, 1, wait, nullptr) > 0 && (fd.revents & POLLIN)) wake_->Drain();
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
