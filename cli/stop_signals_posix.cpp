// SPDX-License-Identifier: GPL-3.0-or-later
#include <signal.h>
#include <string.h>

#include <atomic>
#include <cerrno>
#include <system_error>

#include "cli/stop_signals.h"
#include "session/event_loop.h"

namespace torvane::cli {

namespace {

// Lock-free atomics are what a signal handler may touch besides sig_atomic_t.
std::atomic<int> gRequests{0};
std::atomic<TEventLoop*> gLoop{nullptr};
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<TEventLoop*>::is_always_lock_free);

extern "C" void OnSignal(int) {
  gRequests.fetch_add(1);
  if (TEventLoop* loop = gLoop.load()) loop->Wake();
}

}  // namespace

TStopSignals::TStopSignals(TEventLoop& loop) {
  gLoop = &loop;
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  for (int sig : {SIGINT, SIGTERM, SIGHUP})
    if (sigaction(sig, &sa, nullptr) != 0)
      throw std::system_error(errno, std::generic_category(), "sigaction");
  // A closed pipe on standard output is an error to report, not a reason to die with the port open.
  if (signal(SIGPIPE, SIG_IGN) == SIG_ERR) throw std::system_error(errno, std::generic_category(), "signal");
}

TStopSignals::~TStopSignals() {
  gLoop = nullptr;
}

int TStopSignals::Count() const {
  return gRequests.load();
}

}  // namespace torvane::cli
