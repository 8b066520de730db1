// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/grid_baseline.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace torvane {
namespace {

TEST(GridBaseline, CountsTheRowsThatDifferFromWhatWasTaken) {
  struct TCase {
    const char* What;
    std::function<void(TGrid&, std::string& extra)> Change;
    int Edited;
  };
  const std::vector<TCase> cases = {
      {"nothing", [](TGrid&, std::string&) {}, 0},
      {"one cell", [](TGrid& g, std::string&) { g.SetCell(1, 2, "x"); }, 1},
      {"two cells of one row", [](TGrid& g, std::string&) { g.SetCell(0, 2, "x"), g.SetCell(1, 2, "y"); }, 1},
      {"typed and typed back", [](TGrid& g, std::string&) { g.SetCell(1, 2, "x"), g.SetCell(1, 2, "b2"); },
       0},
      // Text moved between two cells of a row is still an edit.
      {"moved within a row", [](TGrid& g, std::string&) { g.SetCell(0, 1, "a1b"), g.SetCell(1, 1, "1"); }, 1},
      {"the headings", [](TGrid& g, std::string&) { g.SetCell(0, 0, "x"); }, 0},
      {"a row more", [](TGrid& g, std::string&) { g.SetRowCount(5); }, 1},
      {"a row less", [](TGrid& g, std::string&) { g.SetRowCount(3); }, 1},
      {"what lies over a row", [](TGrid&, std::string& extra) { extra = "2"; }, 1},
  };
  for (const TCase& c : cases) {
    TGrid grid(2, 4);
    for (int row = 0; row < 4; ++row)
      for (int col = 0; col < 2; ++col)
        grid.SetCell(col, row, std::string(1, 'a' + col) + std::to_string(row));
    std::string extra;
    TGridBaseline baseline(grid, 1, [&](int row) { return row == 3 ? extra : std::string(); });
    c.Change(grid, extra);
    EXPECT_EQ(baseline.EditedRows(), c.Edited) << c.What;
    baseline.Take();
    EXPECT_FALSE(baseline.Edited()) << c.What;
  }
}

}  // namespace
}  // namespace torvane
