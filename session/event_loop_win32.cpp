// SPDX-License-Identifier: GPL-3.0-or-later
// TEventLoop on Windows: an auto-reset event is the wake-up, WaitForSingleObject the wait. The timers
// are the loop's own (event_loop.cpp), not one waitable timer each, so a provisioning run over many
// ports never meets the 64 handles a wait can take.
#include <windows.h>

#include <algorithm>
#include <system_error>

#include "session/event_loop.h"

namespace torvane {

struct TEventLoop::TWake {
  HANDLE Event = nullptr;
  TWake() {
    Event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (Event == nullptr)
      throw std::system_error(static_cast<int>(GetLastError()), std::system_category(), "CreateEventW");
  }
  ~TWake() { CloseHandle(Event); }
  TWake(const TWake&) = delete;
  TWake& operator=(const TWake&) = delete;
  // SetEvent fails only on a handle that is no event; this one is ours until the loop goes. It is safe
  // from any thread, the console's control handler among them.
  void Signal() const { SetEvent(Event); }
};

TEventLoop::TEventLoop() : wake_(std::make_unique<TWake>()) {}

TEventLoop::~TEventLoop() = default;

void TEventLoop::Wake() {
  wake_->Signal();
}

void TEventLoop::WaitUntil(TClock::time_point until) {
  DWORD wait = INFINITE;
  if (until != TClock::time_point::max()) {
    const auto left = std::max(TClock::duration::zero(), until - TClock::now());
    // Rounded up: a wait that ends a little early only comes round again, one that rounds down would
    // spin until the timer is due.
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
    wait = static_cast<DWORD>(std::min<long long>(ms, INFINITE - 1));
  }
  // The auto-reset event is cleared by the wait that sees it, as the eventfd is by its read.
  if (WaitForSingleObject(wake_->Event, wait) == WAIT_FAILED)
    throw std::system_error(static_cast<int>(GetLastError()), std::system_category(), "WaitForSingleObject");
}

}  // namespace torvane
