// SPDX-License-Identifier: GPL-3.0-or-later
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

TEventLoop::TEventLoop() : wake_(std::make_unique<TWake>()) {}

TEventLoop::~TEventLoop() = default;

void TEventLoop::Wake() {
  wake_->Signal();
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
  const int ready = ::ppoll(&fd, 1, wait, nullptr);
  if (ready < 0 && errno != EINTR) throw std::system_error(errno, std::generic_category(), "ppoll");
  if (ready > 0 && (fd.revents & POLLIN)) wake_->Drain();
}

}  // namespace torvane
