// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/history_delete.h"

namespace torvane {

bool DeleteAllHistory(IOperator& op, Tsingalcmd& deleteHistory) {
  if (!op.WarnOkCancel(kDeleteHistoryWarning)) return false;
  deleteHistory.Send();
  return true;
}

}  // namespace torvane
