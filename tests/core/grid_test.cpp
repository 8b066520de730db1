// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/grid.h"

#include <gtest/gtest.h>

namespace torvane {
namespace {

TEST(Grid, BatchedChangesAreReportedOnceWithTheirRowSpan) {
  TGrid g(3, 10);
  std::vector<std::pair<int, int>> seen;
  g.AddListener([&](int f, int l) { seen.emplace_back(f, l); });
  g.SetCell(1, 2, "a");
  g.SetCell(1, 2, "a");  // unchanged: no report
  {
    TGridUpdate u(g);
    g.SetCell(0, 7, "x");
    g.SetCell(2, 4, "y");
  }
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0], std::make_pair(2, 2));
  EXPECT_EQ(seen[1], std::make_pair(4, 7));
  EXPECT_EQ(g.Cell(2, 4), "y");
}

TEST(Grid, OutOfRangeCellsReadEmptyAndIgnoreWrites) {
  TGrid g(2, 2);
  g.SetCell(5, 0, "x");
  g.SetCell(0, -1, "x");
  EXPECT_EQ(g.Cell(5, 0), "");
  EXPECT_EQ(g.Cell(0, 2), "");
  g.SetCell(1, 1, std::string("a\0b", 3));
  EXPECT_EQ(g.Cell(1, 1).size(), 3u);  // texts may hold zero characters
  g.ClearRows(0, 5);
  EXPECT_EQ(g.Cell(1, 1), "");
}

}  // namespace
}  // namespace torvane
