// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// "Delete all": erases the event log on the device after the operator has confirmed a warning. The
// grid is left as it is; a following read shows the emptied log.
#include "core/operator.h"
#include "history/history_texts.h"
#include "protocol/commands.h"

namespace torvane {

// True when the delete command was sent.
bool DeleteAllHistory(IOperator& op, Tsingalcmd& deleteHistory);

}  // namespace torvane
