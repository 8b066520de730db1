#include "core/undo.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "core/cell_text.h"

namespace torvane {
namespace {

std::vector<std::string> Snapshot(const TGrid& g) {
  std::vector<std::string> cells{std::to_string(g.RowCount())};
  for (int r = 0; r < g.RowCount(); ++r)
    for (int c = 0; c < g.ColCount(); ++c) cells.push_back(g.Cell(c, r));
  return cells;
}

struct TUndoRig {
  TGrid Grid{3, 6};
  TUndoStack Undo{Grid};
  int Value = 0;  // a value kept beside the cells, as a list's choice is
  int ValueId = Undo.AddValue([this] { return Value; }, [this](int v) { Value = v; });
  void SetValue(int v) {
    TValueChange change(&Undo, ValueId);
    Value = v;
  }
};

struct TGroupingCase {
  const char* Name;
  std::function<void(TUndoRig&)> Change;
  int Steps;
};

void PrintTo(const TGroupingCase& c, std::ostream* os) {
  *os << c.Name;
}

// However the changes are grouped, undoing every step gives back the grid as it was, and redoing
// them all the grid as it became.
class UndoGrouping : public ::testing::TestWithParam<TGroupingCase> {};

TEST_P(UndoGrouping, MakesTheStepsItShouldAndUndoesAndRedoesThemWhole) {
  TUndoRig rig;
  rig.Grid.SetCell(1, 1, "start");
  rig.Grid.SetCell(2, 5, "last row");
  rig.Undo.Clear();
  const auto before = Snapshot(rig.Grid);
  const int valueBefore = rig.Value;
  GetParam().Change(rig);
  const auto after = Snapshot(rig.Grid);
  const int valueAfter = rig.Value;
  ASSERT_EQ(rig.Undo.UndoCount(), GetParam().Steps);
  while (rig.Undo.Undo()) {
  }
  EXPECT_EQ(Snapshot(rig.Grid), before);
  EXPECT_EQ(rig.Value, valueBefore);
  EXPECT_EQ(rig.Undo.RedoCount(), GetParam().Steps);
  while (rig.Undo.Redo()) {
  }
  EXPECT_EQ(Snapshot(rig.Grid), after);
  EXPECT_EQ(rig.Value, valueAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UndoGrouping,
    ::testing::Values(TGroupingCase{"EachChangeOnItsOwnIsAStep",
                                    [](TUndoRig& r) {
                                      r.Grid.SetCell(0, 1, "a");
                                      r.Grid.SetCell(0, 2, "b");
                                      r.Grid.SetCell(0, 1, "c");
                                    },
                                    3},
                      TGroupingCase{"AWriteOfTheSameTextIsNoStep",
                                    [](TUndoRig& r) { r.Grid.SetCell(1, 1, "start"); }, 0},
                      TGroupingCase{"ABatchIsOneStep",
                                    [](TUndoRig& r) {
                                      TGridUpdate batch(r.Grid);
                                      for (int row = 0; row < 6; ++row)
                                        r.Grid.SetCell(2, row, "x" + std::to_string(row));
                                    },
                                    1},
                      TGroupingCase{"ConsecutiveBatchesAreStepsOfTheirOwn",
                                    [](TUndoRig& r) {
                                      for (int row = 0; row < 3; ++row) {
                                        TGridUpdate batch(r.Grid);
                                        r.Grid.SetCell(0, row, "p");
                                        r.Grid.SetCell(1, row, "q");
                                      }
                                    },
                                    3},
                      TGroupingCase{"AnExplicitStepSpansBatchesSingleChangesAndNestedSteps",
                                    [](TUndoRig& r) {
                                      TUndoStep outer(r.Undo);
                                      {
                                        TGridUpdate batch(r.Grid);
                                        r.Grid.SetCell(0, 1, "page 1");
                                      }
                                      r.Grid.SetCell(0, 2, "single");
                                      {
                                        TUndoStep inner(r.Undo);
                                        r.Grid.SetCell(0, 3, "inner");
                                      }
                                      r.SetValue(7);
                                    },
                                    1},
                      TGroupingCase{"ACellTypedKeyByKeyAndBackLeavesNoStep",
                                    [](TUndoRig& r) {
                                      TUndoStep typing(r.Undo);
                                      r.Grid.SetCell(1, 1, "s");
                                      r.Grid.SetCell(1, 1, "st");
                                      r.Grid.SetCell(1, 1, "start");
                                    },
                                    0},
                      TGroupingCase{"ACellTypedKeyByKeyIsOneStep",
                                    [](TUndoRig& r) {
                                      TUndoStep typing(r.Undo);
                                      for (const char* t : {"1", "12", "123"}) r.Grid.SetCell(1, 1, t);
                                    },
                                    1},
                      TGroupingCase{"ClearingRowsIsOneStep", [](TUndoRig& r) { r.Grid.ClearRows(0, 5); }, 1},
                      TGroupingCase{"FewerRowsAndMoreAgain",
                                    [](TUndoRig& r) {
                                      r.Grid.SetRowCount(2);
                                      r.Grid.SetRowCount(8);
                                      r.Grid.SetCell(0, 7, "new row");
                                    },
                                    3},
                      TGroupingCase{"FewerRowsAndMoreInOneStep",
                                    [](TUndoRig& r) {
                                      TUndoStep step(r.Undo);
                                      r.Grid.SetRowCount(2);
                                      r.Grid.SetRowCount(8);
                                      r.Grid.SetCell(1, 1, "kept");
                                    },
                                    1},
                      TGroupingCase{"AValueOnItsOwnIsAStep",
                                    [](TUndoRig& r) {
                                      r.SetValue(3);
                                      r.SetValue(4);
                                    },
                                    2},
                      TGroupingCase{"ChangesWithTheSameKeyJoinOneStep",
                                    [](TUndoRig& r) {
                                      for (const char* t : {"2024/03/06", "2024/03/07", "2024/03/08"}) {
                                        TUndoStep pick(r.Undo, 5);
                                        r.Grid.SetCell(2, 3, t);
                                      }
                                    },
                                    1},
                      TGroupingCase{"ChangesWithAnotherKeyDoNot",
                                    [](TUndoRig& r) {
                                      for (uint64_t key : {5, 6}) {
                                        TUndoStep pick(r.Undo, key);
                                        r.Grid.SetCell(2, 3, std::to_string(key));
                                      }
                                    },
                                    2},
                      TGroupingCase{"AJoinedStepBackWhereItBeganIsGone",
                                    [](TUndoRig& r) {
                                      r.Grid.SetCell(0, 0, "earlier");
                                      for (const char* t : {"x", ""}) {
                                        TUndoStep pick(r.Undo, 5);
                                        r.Grid.SetCell(2, 3, t);
                                      }
                                    },
                                    1},
                      TGroupingCase{"AnEchoJoinsTheNewestStep",
                                    [](TUndoRig& r) {
                                      r.Grid.SetCell(0, 0, "earlier");
                                      r.SetValue(1);
                                      TUndoStep echo(r.Undo, TUndoStack::kFollowUp);
                                      r.Grid.SetCell(1, 3, "1:Arm");
                                    },
                                    2}),
    [](const ::testing::TestParamInfo<TGroupingCase>& info) { return std::string(info.param.Name); });

TEST(Undo, ANewChangeAfterAnUndoDropsWhatCouldBeRedone) {
  TUndoRig rig;
  rig.Grid.SetCell(0, 1, "a");
  rig.Grid.SetCell(0, 2, "b");
  ASSERT_TRUE(rig.Undo.Undo());
  EXPECT_TRUE(rig.Undo.CanRedo());
  rig.Grid.SetCell(0, 3, "c");
  EXPECT_FALSE(rig.Undo.CanRedo());
  EXPECT_FALSE(rig.Undo.Redo());
  EXPECT_EQ(rig.Grid.Cell(0, 2), "");
  EXPECT_EQ(rig.Undo.UndoCount(), 2);

  // Picks under the same key after an undo make a new step rather than join an old one.
  ASSERT_TRUE(rig.Undo.Undo());
  {
    TUndoStep pick(rig.Undo, 9);
    rig.Grid.SetCell(1, 1, "p");
  }
  EXPECT_EQ(rig.Undo.UndoCount(), 2);
  EXPECT_FALSE(rig.Undo.CanRedo());
}

TEST(Undo, AnEchoAfterAnUndoOrWithNoHistoryIsNotKept) {
  TUndoRig rig;
  {
    TUndoStep echo(rig.Undo, TUndoStack::kFollowUp);
    rig.Grid.SetCell(1, 3, "copy");
  }
  EXPECT_EQ(rig.Undo.UndoCount(), 0);
  rig.SetValue(1);
  ASSERT_TRUE(rig.Undo.Undo());
  {
    TUndoStep echo(rig.Undo, TUndoStack::kFollowUp);
    rig.Grid.SetCell(1, 3, "other copy");
  }
  EXPECT_TRUE(rig.Undo.CanRedo());
  ASSERT_TRUE(rig.Undo.Redo());
  EXPECT_EQ(rig.Value, 1);
  EXPECT_EQ(rig.Grid.Cell(1, 3), "other copy");
}

TEST(Undo, UndoAndRedoAreOneGridChangeAndAreNotRecorded) {
  TUndoRig rig;
  {
    TGridUpdate batch(rig.Grid);
    for (int row = 0; row < 6; ++row) rig.Grid.SetCell(0, row, "x");
  }
  int reports = 0;
  rig.Grid.AddListener([&](int, int) { ++reports; });
  ASSERT_TRUE(rig.Undo.Undo());
  EXPECT_EQ(reports, 1);
  EXPECT_EQ(rig.Undo.UndoCount(), 0);
  EXPECT_EQ(rig.Undo.RedoCount(), 1);
  ASSERT_TRUE(rig.Undo.Redo());
  EXPECT_EQ(reports, 2);
  EXPECT_EQ(rig.Undo.UndoCount(), 1);
  EXPECT_EQ(rig.Undo.RedoCount(), 0);
}

TEST(Undo, NothingIsUndoneWhileAStepIsOpenAndListenersHearWhenThatChanges) {
  TUndoRig rig;
  std::vector<std::pair<bool, bool>> heard;
  rig.Undo.AddListener([&] { heard.emplace_back(rig.Undo.CanUndo(), rig.Undo.CanRedo()); });
  rig.Grid.SetCell(0, 1, "a");
  rig.Undo.BeginStep();
  EXPECT_FALSE(rig.Undo.CanUndo());
  EXPECT_FALSE(rig.Undo.Undo());
  rig.Grid.SetCell(0, 2, "b");
  rig.Undo.EndStep();
  ASSERT_TRUE(rig.Undo.Undo());
  EXPECT_EQ(rig.Grid.Cell(0, 2), "");
  EXPECT_EQ(rig.Grid.Cell(0, 1), "a");
  // Each new state is heard once: something to undo, a step open, something to undo, both.
  EXPECT_EQ(heard,
            (std::vector<std::pair<bool, bool>>{{true, false}, {false, false}, {true, false}, {true, true}}));
  // A change on its own does not turn the actions off and on again.
  heard.clear();
  rig.Grid.SetCell(0, 3, "c");
  EXPECT_EQ(heard, (std::vector<std::pair<bool, bool>>{{true, false}}));
  // An EndStep too many does no harm.
  rig.Undo.EndStep();
  EXPECT_TRUE(rig.Undo.CanUndo());
}

TEST(Undo, TheHistoryKeepsItsNewestStepsUpToItsBounds) {
  TGrid grid(1, 200);
  TUndoStack undo(grid, {.Steps = 100});
  for (int row = 0; row < 150; ++row) grid.SetCell(0, row, "x");
  EXPECT_EQ(undo.UndoCount(), 100);
  while (undo.Undo()) {
  }
  EXPECT_EQ(grid.Cell(0, 49), "x");
  EXPECT_EQ(grid.Cell(0, 50), "");

  // A bound on bytes drops old steps too, but never the newest one.
  TGrid big(6, 3001);
  TUndoStack bounded(big, {.Steps = 100, .Bytes = 1u << 20});
  for (int read = 0; read < 3; ++read) {
    TGridUpdate batch(big);
    for (int row = 1; row <= 3000; ++row)
      for (int col = 0; col < 6; ++col)
        big.SetCell(col, row, "+8613800" + std::to_string(read * 10000 + row));
  }
  EXPECT_EQ(bounded.UndoCount(), 1);
  EXPECT_GT(bounded.Bytes(), 1u << 20);
  EXPECT_LT(bounded.Bytes(), 4u << 20);
  ASSERT_TRUE(bounded.Undo());
  EXPECT_EQ(big.Cell(5, 3000), "+861380013000");
}

TEST(Undo, AValueThatMakesNoStepsIsKeptOnlyWithinOne) {
  TUndoRig rig;
  bool visible = false;
  const int id = rig.Undo.AddValue([&] { return visible ? 1 : 0; }, [&](int v) { visible = v != 0; }, false);
  auto setVisible = [&](bool v) {
    TValueChange change(&rig.Undo, id);
    visible = v;
  };
  setVisible(true);
  EXPECT_EQ(rig.Undo.UndoCount(), 0);
  setVisible(false);
  {
    TUndoStep read(rig.Undo);
    setVisible(true);
    rig.SetValue(2);
  }
  ASSERT_TRUE(rig.Undo.Undo());
  EXPECT_FALSE(visible);
  EXPECT_EQ(rig.Value, 0);
}

TEST(Undo, WhatComesBeforeTheHistoryStartsIsNoStep) {
  TUndoRig rig;
  rig.Grid.SetCell(0, 1, "a");
  rig.Undo.StartAfter([&] {
    TGridUpdate batch(rig.Grid);
    rig.Grid.SetCell(0, 1, "start-up");
    rig.SetValue(5);
  });
  EXPECT_EQ(rig.Undo.UndoCount(), 0);
  EXPECT_FALSE(rig.Undo.CanUndo());
  rig.Grid.SetCell(0, 1, "typed");
  ASSERT_TRUE(rig.Undo.Undo());
  EXPECT_EQ(rig.Grid.Cell(0, 1), "start-up");
  EXPECT_EQ(rig.Value, 5);
}

TEST(Undo, TheGridGoesOnWithoutItsHistory) {
  TGrid grid(2, 2);
  {
    TUndoStack undo(grid);
    EXPECT_NE(grid.Recorder(), nullptr);
    grid.SetCell(0, 0, "a");
    EXPECT_EQ(undo.UndoCount(), 1);
  }
  EXPECT_EQ(grid.Recorder(), nullptr);
  grid.SetCell(0, 0, "b");
  grid.ClearRows(0, 1);
  grid.SetRowCount(1);
  EXPECT_EQ(grid.RowCount(), 1);
}

struct TCellTextCase {
  const char* Text;
  TCellRows Rows;
};

TEST(CellText, SplitsAndJoinsAsSpreadsheetsDo) {
  const TCellTextCase cases[] = {
      {"", {}},
      {"555", {{"555"}}},
      {"555\n", {{"555"}}},
      {"1\r\n2\r\n", {{"1"}, {"2"}}},
      {"a\tb\n\tc\n", {{"a", "b"}, {"", "c"}}},
      {"a\t\n\n", {{"a", ""}, {""}}},
  };
  for (const TCellTextCase& c : cases) {
    EXPECT_EQ(SplitCellText(c.Text), c.Rows) << c.Text;
    EXPECT_EQ(SplitCellText(JoinCellText(c.Rows)), c.Rows) << c.Text;
  }
  EXPECT_EQ(JoinCellText({{"a", "b"}, {"c"}}), "a\tb\nc\n");
}

}  // namespace
}  // namespace torvane
