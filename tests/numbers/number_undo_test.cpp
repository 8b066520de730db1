// Undo and redo in the number grid, through the real tab offscreen: every kind of change the operator
// makes (or starts) is one step that Ctrl+Z takes back whole and Ctrl+Y brings back.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <array>
#include <functional>

#include "app/numbers_page.h"
#include "numbers/number_files.h"
#include "numbers/number_record.h"
#include "support/file_session.h"
#include "support/qt_app.h"

namespace torvane {
namespace {

using testing::MakeFrame;
using testing::TFakeSession;

class NumbersUndo : public testing::TFileSessionTest {
 public:
  NumbersUndo() {
    testing::EnsureQtApp();
    page = std::make_unique<TNumbersPage>(S());
    page->resize(1062, 612);
    for (QPushButton* b : page->OperationButtons()) b->setEnabled(true);
    page->show();
    page->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(page.get()));
    editor = page->Editor();
    editor->SetDateSeparator(QLatin1Char('/'));
  }

  // For the cases of the table below.
  testing::TFakeSession& Fake() { return fake_; }
  testing::TFakeOperator& Operator() { return Op(); }
  TSession& Session() { return S(); }
  std::string Path(const std::string& name) const { return dir_ / name; }

  TGrid& Grid() { return S().NumberGrid; }
  TUndoStack& Undo() { return S().NumbersUndo; }
  std::string Cell(int col, int row) { return Grid().Cell(col, row); }
  std::vector<std::string> Snapshot() {
    std::vector<std::string> cells;
    for (int r = 0; r < Grid().RowCount(); ++r)
      for (int c = 0; c < Grid().ColCount(); ++c) cells.push_back(Grid().Cell(c, r));
    return cells;
  }
  QModelIndex At(int row, int col) const { return editor->NumberModel()->index(row - 1, col); }
  void Click(int row, int col) {
    editor->scrollTo(At(row, col));
    QTest::mouseClick(editor->viewport(), Qt::LeftButton, {}, editor->visualRect(At(row, col)).center());
  }
  QLineEdit* OpenEditor() const {
    for (QLineEdit* e : editor->viewport()->findChildren<QLineEdit*>())
      if (e->isVisible() && e->parentWidget() == editor->viewport()) return e;
    return nullptr;
  }
  void Window(int row) {
    TGridUpdate batch(Grid());
    Grid().SetCell(kColNumber, row, "123");
    Grid().SetCell(kColStartDate, row, "2024-05-06");
    Grid().SetCell(kColStartTime, row, "07:05");
    Grid().SetCell(kColEndDate, row, "2025-12-31");
    Grid().SetCell(kColEndTime, row, "23:59");
  }
  // The keys as the operator presses them, with the grid in focus.
  void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::ControlModifier) {
    editor->setFocus();
    QTest::keyClick(editor, key, modifiers);
  }
  void StartRead() {
    QTest::mouseClick(page->ReadButton(), Qt::LeftButton);
    ASSERT_EQ(Fake().Port.Sent.size(), 1u);
  }
  // The device's page: in each record a number made of the page and record, no window.
  void Reply(int page) {
    std::vector<uint8_t> bytes(kNumberPageSize, 0);
    for (int r = 0; r < kNumbersPerPage; ++r) {
      const std::string number = "139" + std::to_string(page * 10 + r);
      std::copy(number.begin(), number.end(), bytes.begin() + r * kNumberRecordSize);
    }
    Fake().Feed(MakeFrame(CMD_READ, TtelephoneSend::PageAddressOf(page), bytes));
  }

  std::unique_ptr<TNumbersPage> page;
  TNumberEditor* editor = nullptr;
};

struct TStepCase {
  const char* Name;
  std::function<void(NumbersUndo&)> Change;
};

void PrintTo(const TStepCase& c, std::ostream* os) {
  *os << c.Name;
}

class NumbersUndoSteps : public NumbersUndo, public ::testing::WithParamInterface<TStepCase> {};

TEST_P(NumbersUndoSteps, EachIsOneStepThatCtrlZTakesBackAndCtrlYBringsBack) {
  // Something before, which must stay where it is.
  Window(2);
  Grid().SetCell(kColNumber, 3000, "555");
  const int stepsBefore = Undo().UndoCount();
  const auto before = Snapshot();
  GetParam().Change(*this);
  QApplication::processEvents();
  const auto after = Snapshot();
  ASSERT_NE(after, before);
  EXPECT_EQ(Undo().UndoCount(), stepsBefore + 1);
  EXPECT_FALSE(Undo().CanRedo());
  EXPECT_TRUE(editor->UndoAction()->isEnabled());

  Key(Qt::Key_Z);
  EXPECT_EQ(Snapshot(), before);
  EXPECT_TRUE(editor->RedoAction()->isEnabled());
  Key(Qt::Key_Y);
  EXPECT_EQ(Snapshot(), after);
  Key(Qt::Key_Z);
  Key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(Snapshot(), after);
  Key(Qt::Key_Z);
  Key(Qt::Key_Z);
  EXPECT_EQ(Cell(kColNumber, 3000), "");
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, NumbersUndoSteps,
    ::testing::Values(TStepCase{"TypingANumber",
                                [](NumbersUndo& t) {
                                  t.Click(5, kColNumber);
                                  QTest::keyClicks(t.editor, "1");
                                  ASSERT_NE(t.OpenEditor(), nullptr);
                                  QTest::keyClicks(t.OpenEditor(), "3800138000");
                                  QTest::keyClick(t.OpenEditor(), Qt::Key_Return);
                                  QApplication::processEvents();
                                  EXPECT_EQ(t.Cell(kColNumber, 5), "13800138000");
                                }},
                      TStepCase{"ClickingAMarkThatEmptiesTheWindow",
                                [](NumbersUndo& t) {
                                  t.Click(2, kColAlways);
                                  EXPECT_EQ(t.Cell(kColAlways, 2), "yes");
                                  EXPECT_EQ(t.Cell(kColStartDate, 2), "");
                                }},
                      TStepCase{"SpaceOnAMark",
                                [](NumbersUndo& t) {
                                  t.Click(2, kColNumber);
                                  QTest::keyClick(t.editor, Qt::Key_Right, Qt::NoModifier);
                                  for (int i = 0; i < 5; ++i)
                                    QTest::keyClick(t.editor, Qt::Key_Right, Qt::NoModifier);
                                  ASSERT_EQ(t.editor->currentIndex().column(), kColDelete);
                                  QTest::keyClick(t.editor, Qt::Key_Space, Qt::NoModifier);
                                  EXPECT_EQ(t.Cell(kColDelete, 2), "yes");
                                }},
                      TStepCase{"PicksOfTheStartDateUntilThePickerIsLeft",
                                [](NumbersUndo& t) {
                                  t.Click(2, kColStartDate);
                                  QDateEdit* picker = t.editor->StartDatePicker();
                                  ASSERT_TRUE(picker->isVisible());
                                  picker->setFocus();
                                  for (int day : {7, 8, 9}) picker->setDate(QDate(2024, 3, day));
                                  EXPECT_EQ(t.Cell(kColStartDate, 2), "2024/03/09");
                                  t.editor->setFocus();
                                  EXPECT_EQ(t.Cell(kColStartDate, 2), "2024/03/09");
                                }},
                      TStepCase{"TheEndTimeWrittenWhenItsPickerIsLeft",
                                [](NumbersUndo& t) {
                                  t.Click(2, kColEndTime);
                                  QTimeEdit* picker = t.editor->EndTimePicker();
                                  ASSERT_TRUE(picker->isVisible());
                                  picker->setFocus();
                                  picker->setTime(QTime(7, 5));
                                  t.editor->setFocus();
                                  EXPECT_EQ(t.Cell(kColEndTime, 2), "07:05");
                                }},
                      TStepCase{"AllAlways",
                                [](NumbersUndo& t) {
                                  QTest::mouseClick(t.page->AllAlwaysButton(), Qt::LeftButton);
                                  EXPECT_EQ(t.Cell(kColAlways, 3000), "yes");
                                }},
                      TStepCase{"DeleteAll",
                                [](NumbersUndo& t) {
                                  QTest::mouseClick(t.page->DeleteAllButton(), Qt::LeftButton);
                                  EXPECT_EQ(t.Cell(kColDelete, 1), "yes");
                                }},
                      TStepCase{"AnImport",
                                [](NumbersUndo& t) {
                                  TFakeSession source;
                                  const std::string path = t.Path("list.xlsx");
                                  source.Session->NumberGrid.SetCell(kColNumber, 1, "8613912345678");
                                  source.Session->NumberGrid.SetCell(kColAlways, 1, kMarkYes);
                                  source.Operator.FileAnswers.push_back(path);
                                  ExportNumbersXls(source.Session->Exchange, source.Session->NumberGrid, "");
                                  t.Operator().FileAnswers.push_back(path);
                                  QTest::mouseClick(t.page->ImportXlsButton(), Qt::LeftButton);
                                  EXPECT_TRUE(t.Operator().Messages.empty());
                                  EXPECT_EQ(t.Cell(kColNumber, 1), "8613912345678");
                                }},
                      TStepCase{"ARead",
                                [](NumbersUndo& t) {
                                  t.StartRead();
                                  for (int p = 1; p <= kNumberPageCount; ++p) t.Reply(p);
                                  EXPECT_EQ(t.Operator().LastMessage(),
                                            "Authorized number list read to PC software success.");
                                  EXPECT_EQ(t.Cell(kColNumber, 3000), "1393757");
                                }},
                      TStepCase{"AReadCutShortByTheDevice",
                                [](NumbersUndo& t) {
                                  t.StartRead();
                                  t.Reply(1);
                                  t.Reply(2);
                                  t.Fake().Timers.Advance(3 * 3000);
                                  EXPECT_FALSE(t.Session().Exchange.Busy());
                                  EXPECT_EQ(t.Cell(kColNumber, 16), "13927");
                                  EXPECT_EQ(t.Cell(kColNumber, 17), "");
                                }},
                      TStepCase{"PastingAColumnOfNumbers",
                                [](NumbersUndo& t) {
                                  QApplication::clipboard()->setText("111\r\n222\r\n333\r\n");
                                  t.Click(2, kColNumber);
                                  t.Key(Qt::Key_V);
                                  EXPECT_EQ(t.Cell(kColNumber, 2), "111");
                                  EXPECT_EQ(t.Cell(kColNumber, 4), "333");
                                }},
                      TStepCase{"CuttingANumber",
                                [](NumbersUndo& t) {
                                  t.Click(2, kColNumber);
                                  t.Key(Qt::Key_X);
                                  EXPECT_EQ(QApplication::clipboard()->text(), "123\n");
                                  EXPECT_EQ(t.Cell(kColNumber, 2), "");
                                }},
                      TStepCase{"DeletingANumber",
                                [](NumbersUndo& t) {
                                  t.Click(2, kColNumber);
                                  t.Key(Qt::Key_Delete, Qt::NoModifier);
                                  EXPECT_EQ(t.Cell(kColNumber, 2), "");
                                }}),
    [](const ::testing::TestParamInfo<TStepCase>& info) { return std::string(info.param.Name); });

TEST_F(NumbersUndo, CtrlZInAnOpenNumberEditorUndoesTheTypingThereAndNoStep) {
  Window(2);
  Click(2, kColNumber);
  QTest::keyClick(editor, Qt::Key_F2);
  QLineEdit* edit = OpenEditor();
  ASSERT_NE(edit, nullptr);
  QTest::keyClicks(edit, "99");
  const QString typed = edit->text();
  EXPECT_FALSE(editor->UndoAction()->isEnabled());
  QTest::keyClick(edit, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_NE(edit->text(), typed);
  EXPECT_EQ(Undo().UndoCount(), 1);
  EXPECT_EQ(Cell(kColNumber, 2), "123");
  // Marks, pickers and numbers other than the selected one are not touched by the grid's actions.
  // Leaving the editor commits it; the cell is as it was, so there is no step.
  editor->setFocus();
  QApplication::processEvents();
  EXPECT_EQ(Undo().UndoCount(), 1);
  Click(2, kColAlways);
  Key(Qt::Key_Delete, Qt::NoModifier);
  EXPECT_EQ(Cell(kColAlways, 2), "yes");
  EXPECT_FALSE(editor->DeleteAction()->isEnabled());
  EXPECT_FALSE(editor->PasteAction()->isEnabled());
}

TEST_F(NumbersUndo, TheContextMenuHoldsUndoAndRedoEnabledAsTheyApply) {
  auto menuActions = [this] {
    const QPoint at = editor->visualRect(At(3, kColNumber)).center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, editor->viewport()->mapToGlobal(at));
    QApplication::sendEvent(editor->viewport(), &event);
    QMenu* menu = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* m = qobject_cast<QMenu*>(w); m && m->isVisible()) menu = m;
    std::vector<std::pair<QString, bool>> seen;
    if (!menu) return seen;
    for (QAction* a : menu->actions())
      seen.emplace_back(a->isSeparator() ? QString("-") : a->text(), a->isEnabled());
    menu->close();
    QApplication::processEvents();
    page->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(page.get()));
    return seen;
  };
  using TSeen = std::vector<std::pair<QString, bool>>;
  EXPECT_EQ(menuActions(), (TSeen{{"&Undo", false},
                                  {"&Redo", false},
                                  {"-", true},
                                  {"Cu&t", false},
                                  {"&Copy", false},
                                  {"&Paste", false},
                                  {"Delete", false}}));
  Click(3, kColAlways);
  EXPECT_EQ(menuActions(), (TSeen{{"&Undo", true},
                                  {"&Redo", false},
                                  {"-", true},
                                  {"Cu&t", false},
                                  {"&Copy", true},
                                  {"&Paste", false},
                                  {"Delete", false}}));
  Key(Qt::Key_Z);
  Click(3, kColNumber);
  EXPECT_EQ(menuActions(), (TSeen{{"&Undo", false},
                                  {"&Redo", true},
                                  {"-", true},
                                  {"Cu&t", true},
                                  {"&Copy", true},
                                  {"&Paste", true},
                                  {"Delete", true}}));
  EXPECT_EQ(Cell(kColAlways, 3), "no");
  EXPECT_TRUE(editor->RedoAction()->shortcuts().contains(QKeySequence(Qt::CTRL | Qt::Key_Y)));
}

}  // namespace
}  // namespace torvane
