// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The "Filter" button: keeps the history rows strictly between two moments, sorted by date and time.
#include <cstdint>
#include <optional>
#include <string>

#include "core/clock.h"
#include "core/grid.h"
#include "core/operator.h"
#include "core/status.h"
#include "history/history_record.h"

namespace torvane {

// The four pickers: only the date part of the date pickers and the time part of the time pickers count.
struct THistoryFilterRange {
  TDateTime StartDate, StartTime, EndDate, EndTime;
};

enum class TFilterResult { Filtered, TimeSelectionError, NoCorrectRecords, NoRecords };

// A row's keys from its "20YY-MM-DD" and "HH:MM:SS" texts (YYMMDD and HHMMSS); nothing when a cell
// is not in exactly that shape (a field above 99 is written with three digits).
std::optional<int32_t> HistoryDateKey(const std::string& date);
std::optional<int32_t> HistoryTimeKey(const std::string& time);

TFilterResult FilterRows(TGrid& grid, const THistoryFilterRange& range, IOperator& op,
                         Tstatusbar_ctrl& status);

}  // namespace torvane
