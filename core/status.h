// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The status helper and the progress helper through which every transfer reports.
#include <cstdint>
#include <string>

#include "core/timer.h"

namespace torvane {

// What the status bar offers the helpers: panel 2's text and the progress bar over panel 3.
class IStatusView {
 public:
  virtual ~IStatusView() = default;
  virtual void SetStatusText(const std::string& text) = 0;
  virtual void SetProgressVisible(bool visible) = 0;
  virtual void SetProgressPosition(int position) = 0;  // the bar's range is 0..100
};

class Tstatusbar_ctrl {
 public:
  // clearTimer is the window's status-clear timer (3000 ms).
  Tstatusbar_ctrl(IStatusView& view, ITimer& clearTimer) : view_(view), timer_(clearTimer) {}
  // Writes the text and arms the clear timer. A timer already running keeps its period, so the text
  // is cleared 3000 ms after the first text shown while the timer was stopped.
  void ShowStatus(const std::string& text);
  // Writes the panel without arming the timer (the page texts of a settings read, the timeout).
  void SetPanelText(const std::string& text) { view_.SetStatusText(text); }
  // Writes the panel and stops a running clear timer: the text stays until another one replaces it
  // (why a transfer ended, which the operator may look at after closing the box).
  void ShowLasting(const std::string& text) {
    timer_.Stop();
    view_.SetStatusText(text);
  }

 private:
  IStatusView& view_;
  ITimer& timer_;
};

class Tprogressbar_ctrl {
 public:
  explicit Tprogressbar_ctrl(IStatusView& view) : view_(view) {}
  // Not 0: show the bar. Exactly 100: hide it. Values above 100 (a settings save reaches 150) show a
  // full bar.
  void SetProgress(uint16_t value);

 private:
  IStatusView& view_;
};

}  // namespace torvane
