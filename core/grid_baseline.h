// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What was typed into a grid since it was last loaded (a read, a file, a backup) or saved: the grid
// as it stood then, compared row by row with the grid now. It knows nothing of the device, so it
// counts edits whether or not the device's pages are known (before any read, after a new login).
// A change typed and typed back, or undone, is no edit.
#include <functional>
#include <string>
#include <vector>

#include "core/grid.h"

namespace torvane {

class TGridBaseline {
 public:
  // What a row holds besides its cells (a list's choice over the row), as text.
  using TRowExtra = std::function<std::string(int row)>;

  // Rows from firstRow on are compared (the rows above hold headings).
  TGridBaseline(const TGrid& grid, int firstRow, TRowExtra extra = {});

  // The grid as it stands is what was loaded or saved.
  void Take();
  // The rows that differ from what was taken.
  int EditedRows() const;
  bool Edited() const { return EditedRows() > 0; }

 private:
  std::string Row(int row) const;
  const TGrid& grid_;
  int firstRow_;
  TRowExtra extra_;
  std::vector<std::string> rows_;
};

}  // namespace torvane
