#pragma once
// "Delete all": erases the event log on the device after the operator has confirmed a warning. The
// grid is left as it is; a following read shows the emptied log.
#include "core/operator.h"
#include "protocol/commands.h"

namespace torvane {

inline constexpr const char* kDeleteHistoryWarning =
    "Warning: Thie operation will DELETE all of the historical data on GSM device! ";

// True when the delete command was sent.
bool DeleteAllHistory(IOperator& op, Tsingalcmd& deleteHistory);

}  // namespace torvane
