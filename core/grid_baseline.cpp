// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/grid_baseline.h"

#include <algorithm>
#include <cstdlib>

namespace torvane {

TGridBaseline::TGridBaseline(const TGrid& grid, int firstRow, TRowExtra extra)
    : grid_(grid), firstRow_(firstRow), extra_(std::move(extra)) {
  Take();
}

// The cells joined with a separator no cell holds (the unit separator), so that "a" + "bc" and
// "ab" + "c" stay two rows.
std::string TGridBaseline::Row(int row) const {
  std::string text;
  for (int col = 0; col < grid_.ColCount(); ++col) {
    text += grid_.Cell(col, row);
    text += '\x1f';
  }
  if (extra_) text += extra_(row);
  return text;
}

void TGridBaseline::Take() {
  rows_.clear();
  for (int row = firstRow_; row < grid_.RowCount(); ++row) rows_.push_back(Row(row));
}

int TGridBaseline::EditedRows() const {
  const int now = std::max(0, grid_.RowCount() - firstRow_);
  const int then = static_cast<int>(rows_.size());
  // Rows that came or went count as edited.
  int edited = std::abs(now - then);
  for (int i = 0; i < std::min(now, then); ++i)
    if (Row(firstRow_ + i) != rows_[i]) ++edited;
  return edited;
}

}  // namespace torvane
