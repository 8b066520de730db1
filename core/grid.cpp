// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/grid.h"

#include <algorithm>

namespace torvane {

namespace {
const std::string kEmpty;
}

TGrid::TGrid(int colCount, int rowCount)
    : cols_(colCount), rows_(rowCount), cells_(static_cast<size_t>(colCount) * rowCount) {}

const std::string& TGrid::Cell(int col, int row) const {
  if (col < 0 || row < 0 || col >= cols_ || row >= rows_) return kEmpty;
  return cells_[static_cast<size_t>(row) * cols_ + col];
}

void TGrid::SetCell(int col, int row, std::string text) {
  if (col < 0 || row < 0 || col >= cols_ || row >= rows_) return;
  std::string& cell = cells_[static_cast<size_t>(row) * cols_ + col];
  if (cell == text) return;
  if (recorder_) {
    // The recorder reads the new text once the change is made: a change on its own is a batch of one.
    BeginUpdate();
    recorder_->CellChanging(col, row, cell);
    cell = std::move(text);
    Changed(row, row);
    EndUpdate();
    return;
  }
  cell = std::move(text);
  Changed(row, row);
}

void TGrid::SetRowCount(int rows) {
  if (rows < 0 || rows == rows_) return;
  // One change, for the recorder as for the listeners.
  TGridUpdate batch(*this);
  if (recorder_) {
    for (int row = rows; row < rows_; ++row)
      for (int col = 0; col < cols_; ++col)
        if (const std::string& cell = Cell(col, row); !cell.empty()) recorder_->CellChanging(col, row, cell);
    recorder_->RowCountChanging(rows_);
  }
  cells_.resize(static_cast<size_t>(rows) * cols_);
  rows_ = rows;
  Changed(0, std::max(0, rows_ - 1));
}

void TGrid::ClearRows(int first, int last) {
  first = std::max(first, 0);
  last = std::min(last, rows_ - 1);
  if (first > last) return;
  TGridUpdate batch(*this);
  bool any = false;
  for (size_t i = static_cast<size_t>(first) * cols_; i < static_cast<size_t>(last + 1) * cols_; ++i)
    if (!cells_[i].empty()) {
      if (recorder_)
        recorder_->CellChanging(static_cast<int>(i % cols_), static_cast<int>(i / cols_), cells_[i]);
      cells_[i].clear();
      any = true;
    }
  if (any) Changed(first, last);
}

void TGrid::EndUpdate() {
  if (updating_ == 0 || --updating_ > 0) return;
  // The recorder closes its step before the views hear of the change, so they see it whole.
  if (recorder_) recorder_->BatchEnded();
  if (dirtyFirst_ >= 0) {
    const int f = dirtyFirst_, l = dirtyLast_;
    dirtyFirst_ = dirtyLast_ = -1;
    for (auto& [id, fn] : listeners_) fn(f, l);
  }
}

int TGrid::AddListener(TListener listener) {
  listeners_.emplace_back(nextId_, std::move(listener));
  return nextId_++;
}

void TGrid::RemoveListener(int id) {
  std::erase_if(listeners_, [id](const auto& p) { return p.first == id; });
}

void TGrid::Changed(int first, int last) {
  if (updating_ > 0) {
    dirtyFirst_ = dirtyFirst_ < 0 ? first : std::min(dirtyFirst_, first);
    dirtyLast_ = std::max(dirtyLast_, last);
    return;
  }
  for (auto& [id, fn] : listeners_) fn(first, last);
}

}  // namespace torvane
