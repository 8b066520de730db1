// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The options of a window made for a test or a screenshot, kept away from the user's own.
#include <QTemporaryDir>

#include "app/main_window.h"
#include "core/clock.h"
#include "core/timer.h"
#include "support/fakes.h"

namespace torvane::testing {

// A window's options for a test: its folder and options file in `dir`, the given operator and clocks.
inline TForm1Options WindowOptions(const QTemporaryDir& dir, TFakeOperator& op, TManualClock& timers,
                                   TFixedClock& clock) {
  TForm1Options o;
  o.Operator = &op;
  o.Timers = &timers;
  o.Clock = &clock;
  o.ProgramDir = dir.path();
  o.SettingsFile = dir.filePath("options.ini");
  return o;
}

}  // namespace torvane::testing
