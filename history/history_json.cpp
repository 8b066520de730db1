// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/history_json.h"

#include <nlohmann/json.hpp>

#include "history/history_record.h"

namespace torvane {

std::string HistoryToJson(const TGrid& grid) {
  using TJson = nlohmann::ordered_json;
  TJson records = TJson::array();
  for (int row = 1; row <= kHistoryRows && row < grid.RowCount(); ++row) {
    if (grid.Cell(kHisNumber, row).empty()) continue;
    records.push_back({{"no", grid.Cell(kHisNumber, row)},
                       {"date", grid.Cell(kHisDate, row)},
                       {"time", grid.Cell(kHisTime, row)},
                       {"from", grid.Cell(kHisFrom, row)},
                       {"action", grid.Cell(kHisAction, row)},
                       {"executant", grid.Cell(kHisExecutant, row)},
                       {"content", grid.Cell(kHisContent, row)}});
  }
  const TJson doc{{"format", kHistoryJsonFormat}, {"version", 1}, {"records", records}};
  return doc.dump(2, ' ', false, TJson::error_handler_t::replace) + "\n";
}

}  // namespace torvane
