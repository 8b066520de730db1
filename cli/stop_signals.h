// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The operator's requests to stop a run: Ctrl+C everywhere; SIGTERM and SIGHUP on POSIX; Ctrl+Break and
// the console window's closing on Windows. Each request is counted and wakes the loop; what a count
// means (stop after the page in flight, or at once) is the run's to decide.
namespace torvane {
class TEventLoop;
}

namespace torvane::cli {

class TStopSignals {
 public:
  // From now on the requests are caught, and each wakes `loop`. One run at a time.
  explicit TStopSignals(TEventLoop& loop);
  // The loop is no longer woken. The requests stay caught: one that comes between the last port and
  // the report must not end the program before the report is written.
  ~TStopSignals();
  TStopSignals(const TStopSignals&) = delete;
  TStopSignals& operator=(const TStopSignals&) = delete;

  // The requests since the program started.
  int Count() const;
};

}  // namespace torvane::cli
