// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What every sender and every file operation shares: the operator, the status line, the progress bar
// and the clock. The session owns one and hands it to whoever needs it; nothing here sends a frame.
#include "core/clock.h"
#include "core/operator.h"
#include "core/status.h"

namespace torvane {

struct TContext {
  IOperator& Operator;
  Tstatusbar_ctrl& Status;
  Tprogressbar_ctrl& Progress;
  const IClock& Clock;
};

}  // namespace torvane
