// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The event log as JSON, for scripts and the command-line tool:
//
//   {"format": "torvane-history", "version": 1,
//    "records": [{"no": "17", "date": "2026-12-07", "time": "18:30:05", "from": "...",
//                 "action": "...", "executant": "+4917012345678", "content": "..."}, ...]}
//
// The rows of the history grid that hold a record, in the grid's order, as the comma-separated
// export writes them; every field is the grid's text.
#include <string>

#include "core/grid.h"

namespace torvane {

inline constexpr char kHistoryJsonFormat[] = "torvane-history";

std::string HistoryToJson(const TGrid& grid);

}  // namespace torvane
