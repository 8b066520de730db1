// SPDX-License-Identifier: GPL-3.0-or-later
#include <windows.h>

#include <atomic>
#include <system_error>

#include "cli/stop_signals.h"
#include "session/event_loop.h"

namespace torvane::cli {

namespace {

std::atomic<int> gRequests{0};
std::atomic<TEventLoop*> gLoop{nullptr};

// The system calls this on a thread of its own.
BOOL WINAPI OnControl(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
      gRequests.fetch_add(1);
      if (TEventLoop* loop = gLoop.load()) loop->Wake();
      return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      gRequests.fetch_add(1);
      if (TEventLoop* loop = gLoop.load()) loop->Wake();
      // The system ends the process as soon as this returns, with a port perhaps half-way through a
      // page. Held here, the main thread finishes the page in flight, releases the ports and ends the
      // program itself, unless the system's grace (some seconds) runs out first.
      Sleep(INFINITE);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

TStopSignals::TStopSignals(TEventLoop& loop) {
  gLoop = &loop;
  if (!SetConsoleCtrlHandler(OnControl, TRUE))
    throw std::system_error(static_cast<int>(GetLastError()), std::system_category(),
                            "SetConsoleCtrlHandler");
}

TStopSignals::~TStopSignals() {
  gLoop = nullptr;
}

int TStopSignals::Count() const {
  return gRequests.load();
}

}  // namespace torvane::cli
