// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/undo.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "core/cell_text.h"

namespace torvane {
namespace {

struct TUndoRig {
  TGrid Grid{3, 6};
  TUndoStack Undo{Grid};
  int Value = 0;  // kept beside the cells, as a list's choice is
  int ValueId = Undo.AddValue([this] { return Value; }, [this](int v) { Value = v; });
  void SetValue(int v) {
    TValueChange change(&Undo, ValueId);
    Value = v;
  }
  void Set(int col, int row, const std::string& text, uint64_t key) {
    TUndoStep step(Undo, key);
    Grid.SetCell(col, row, text);
  }
  std::vector<std::string> Snapshot() const {
    std::vector<std::string> cells{std::to_string(Grid.RowCount()), std::to_string(Value)};
    for (int r = 0; r < Grid.RowCount(); ++r)
      for (int c = 0; c < Grid.ColCount(); ++c) cells.push_back(Grid.Cell(c, r));
    return cells;
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

TEST_P(UndoGrouping, MakesItsStepsAndUndoesAndRedoesThemWhole) {
  TUndoRig rig;
  rig.Undo.StartAfter([&] {
    rig.Grid.SetCell(1, 1, "start");
    rig.Grid.SetCell(2, 5, "last row");
  });
  const auto before = rig.Snapshot();
  GetParam().Change(rig);
  const auto after = rig.Snapshot();
  ASSERT_EQ(rig.Undo.UndoCount(), GetParam().Steps);
  while (rig.Undo.Undo()) {
  }
  EXPECT_EQ(rig.Snapshot(), before);
  EXPECT_EQ(rig.Undo.RedoCount(), GetParam().Steps);
  while (rig.Undo.Redo()) {
  }
  EXPECT_EQ(rig.Snapshot(), after);
}

const TGroupingCase kGroupingCases[] = {
    {"EachChangeOnItsOwn", [](TUndoRig& r) { r.Grid.SetCell(0, 1, "a"), r.Grid.SetCell(0, 1, "b"); }, 2},
    {"TheSameTextAgainIsNone", [](TUndoRig& r) { r.Grid.SetCell(1, 1, "start"); }, 0},
    {"ABatch",
     [](TUndoRig& r) {
       TGridUpdate batch(r.Grid);
       for (int row = 0; row < 6; ++row) r.Grid.SetCell(2, row, "x");
     },
     1},
    {"AStepOverBatchesSingleChangesNestedStepsAndValues",
     [](TUndoRig& r) {
       TUndoStep outer(r.Undo);
       r.Grid.ClearRows(0, 5);
       r.Grid.SetCell(0, 2, "single");
       r.Set(0, 3, "inner", 0);
       r.SetValue(7);
     },
     1},
    {"TypedKeyByKeyAndBackIsNone",
     [](TUndoRig& r) {
       TUndoStep typing(r.Undo);
       for (const char* t : {"s", "st", "start"}) r.Grid.SetCell(1, 1, t);
     },
     0},
    {"FewerRowsThenMore",
     [](TUndoRig& r) {
       r.Grid.SetRowCount(2);
       r.Grid.SetRowCount(8);
       r.Grid.SetCell(0, 7, "new row");
     },
     3},
    {"FewerRowsThenMoreInOneStep",
     [](TUndoRig& r) {
       TUndoStep step(r.Undo);
       r.Grid.SetRowCount(2);
       r.Grid.SetRowCount(8);
     },
     1},
    {"ValuesOnTheirOwn", [](TUndoRig& r) { r.SetValue(3), r.SetValue(4); }, 2},
    {"TheSameKeyJoins", [](TUndoRig& r) { r.Set(2, 3, "03/07", 5), r.Set(2, 3, "03/08", 5); }, 1},
    {"AnotherKeyDoesNot", [](TUndoRig& r) { r.Set(2, 3, "03/07", 5), r.Set(2, 3, "03/08", 6); }, 2},
    {"JoinedBackToWhereItBeganIsNone",
     [](TUndoRig& r) { r.Grid.SetCell(0, 0, "a"), r.Set(2, 3, "x", 5), r.Set(2, 3, "", 5); }, 1},
    {"AnEchoJoinsTheNewest",
     [](TUndoRig& r) {
       r.Grid.SetCell(0, 0, "a"), r.SetValue(1), r.Set(1, 3, "1:Arm", TUndoStack::kFollowUp);
     },
     2},
};
INSTANTIATE_TEST_SUITE_P(Cases, UndoGrouping, ::testing::ValuesIn(kGroupingCases),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(Undo, ANewChangeAfterAnUndoDropsTheRedoButAnEchoDoesNot) {
  TUndoRig rig;
  rig.Grid.SetCell(0, 1, "a");
  rig.Grid.SetCell(0, 2, "b");
  ASSERT_TRUE(rig.Undo.Undo());
  rig.Set(1, 3, "copy", TUndoStack::kFollowUp);
  EXPECT_TRUE(rig.Undo.CanRedo());
  rig.Set(0, 3, "c", 9);
  rig.Set(0, 5, "e", 0);
  ASSERT_TRUE(rig.Undo.Undo());
  // The same key after an undo makes a step of its own.
  rig.Set(0, 4, "d", 9);
  EXPECT_FALSE(rig.Undo.Redo());
  EXPECT_EQ(rig.Grid.Cell(0, 2), "");
  EXPECT_EQ(rig.Undo.UndoCount(), 3);
}

TEST(Undo, IsOneGridChangeNotRecordedAndRefusedWhileAStepIsOpen) {
  TUndoRig rig;
  std::vector<std::pair<bool, bool>> heard;
  rig.Undo.AddListener([&] { heard.emplace_back(rig.Undo.CanUndo(), rig.Undo.CanRedo()); });
  {
    TGridUpdate batch(rig.Grid);
    for (int row = 0; row < 6; ++row) rig.Grid.SetCell(0, row, "x");
  }
  int reports = 0;
  rig.Grid.AddListener([&](int, int) { ++reports; });
  rig.Undo.BeginStep();
  EXPECT_FALSE(rig.Undo.Undo());
  rig.Undo.EndStep();
  ASSERT_TRUE(rig.Undo.Undo());
  EXPECT_EQ(reports, 1);
  EXPECT_EQ(rig.Undo.UndoCount(), 0);
  ASSERT_TRUE(rig.Undo.Redo());
  EXPECT_EQ(rig.Undo.UndoCount(), 1);
  rig.Undo.EndStep();  // one too many does no harm
  rig.Grid.SetCell(1, 1, "y");
  // Each new state is heard once; a change on its own does not turn the actions off and on again.
  EXPECT_EQ(heard, (std::vector<std::pair<bool, bool>>{
                       {true, false}, {false, false}, {true, false}, {false, true}, {true, false}}));
}

TEST(Undo, KeepsItsNewestStepsWithinItsBounds) {
  TGrid grid(1, 200);
  TUndoStack undo(grid, {.Steps = 100});
  for (int row = 0; row < 150; ++row) grid.SetCell(0, row, "x");
  while (undo.Undo()) {
  }
  EXPECT_EQ(grid.Cell(0, 49), "x");
  EXPECT_EQ(grid.Cell(0, 50), "");

  // Three reads of 3000 rows in 1 MiB: only the newest is kept, whatever its size.
  TGrid big(6, 3001);
  TUndoStack bounded(big, {.Steps = 100, .Bytes = 1u << 20});
  for (int read = 0; read < 3; ++read) {
    TGridUpdate batch(big);
    for (int row = 1; row <= 3000; ++row)
      for (int col = 0; col < 6; ++col)
        big.SetCell(col, row, "+8613800" + std::to_string(read * 10000 + row));
  }
  EXPECT_EQ(bounded.UndoCount(), 1);
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
  setVisible(false);
  EXPECT_EQ(rig.Undo.UndoCount(), 0);
  {
    TUndoStep read(rig.Undo);
    setVisible(true);
    rig.SetValue(2);
  }
  ASSERT_TRUE(rig.Undo.Undo());
  EXPECT_FALSE(visible);
  EXPECT_EQ(rig.Value, 0);
}

TEST(CellText, SplitsAndJoinsAsSpreadsheetsDo) {
  const std::pair<const char*, TCellRows> cases[] = {
      {"", {}},
      {"555\n", {{"555"}}},
      {"1\r\n2", {{"1"}, {"2"}}},
      {"a\tb\n\tc\n", {{"a", "b"}, {"", "c"}}},
      {"a\t\n\n", {{"a", ""}, {""}}},
  };
  for (const auto& [text, rows] : cases) {
    EXPECT_EQ(SplitCellText(text), rows) << text;
    EXPECT_EQ(SplitCellText(JoinCellText(rows)), rows) << text;
  }
  EXPECT_EQ(JoinCellText({{"a", "b"}, {"c"}}), "a\tb\nc\n");
  EXPECT_EQ(JoinCellText({{"555"}}), "555");
}

}  // namespace
}  // namespace torvane
