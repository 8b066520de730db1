// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/cell_text.h"

namespace torvane {

std::string JoinCellText(const TCellRows& rows) {
  // One cell is its text alone, to paste into a line of text elsewhere.
  if (rows.size() == 1 && rows[0].size() == 1) return rows[0][0];
  std::string out;
  for (const auto& row : rows) {
    for (size_t c = 0; c < row.size(); ++c) {
      if (c > 0) out += '\t';
      out += row[c];
    }
    out += '\n';
  }
  return out;
}

TCellRows SplitCellText(std::string_view text) {
  TCellRows rows;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    auto& fields = rows.emplace_back();
    for (;;) {
      const size_t tab = line.find('\t');
      fields.emplace_back(line.substr(0, tab));
      if (tab == std::string_view::npos) break;
      line.remove_prefix(tab + 1);
    }
  }
  return rows;
}

}  // namespace torvane
