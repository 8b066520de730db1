// Undo and redo in the settings grid, through the real tab offscreen: every kind of change the
// operator makes (or starts) is one step that Ctrl+Z takes back whole and Ctrl+Y brings back.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <functional>

#include "app/settings_page.h"
#include "settings/settings_table.h"
#include "support/file_session.h"
#include "support/qt_app.h"

namespace torvane {
namespace {

using testing::MakeFrame;
using testing::TFakeSession;

std::vector<uint8_t> Page(const std::vector<std::pair<int, std::string>>& fields) {
  std::vector<uint8_t> p(kSettingsPageSize, 0);
  for (const auto& [offset, bytes] : fields) std::copy(bytes.begin(), bytes.end(), p.begin() + offset);
  return p;
}

class SettingsUndo : public testing::TFileSessionTest {
 public:
  SettingsUndo() {
    testing::EnsureQtApp();
    page = std::make_unique<TSettingsPage>(S());
    page->resize(1062 - 75, 612);
    for (QPushButton* b : page->OperationButtons()) b->setEnabled(true);
    page->show();
    page->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(page.get()));
    editor = page->Editor();
    QApplication::processEvents();
  }

  // For the cases of the table below.
  testing::TFakeSession& Fake() { return fake_; }
  testing::TFakeOperator& Operator() { return Op(); }
  TSession& Session() { return S(); }
  std::string Path(const std::string& name) const { return dir_ / name; }

  TGrid& Grid() { return S().SettingsGrid; }
  TSettingsLists& Lists() { return S().SettingsLists; }
  TUndoStack& Undo() { return S().SettingsUndo; }
  std::string Content(int row) { return Grid().Cell(kContentCol, row); }
  std::vector<std::string> Snapshot() {
    std::vector<std::string> cells;
    for (int r = 0; r < Grid().RowCount(); ++r)
      for (int c = 0; c < Grid().ColCount(); ++c) cells.push_back(Grid().Cell(c, r));
    for (TListChoice* list : Lists().All()) cells.push_back(std::to_string(list->ItemIndex));
    return cells;
  }
  QLineEdit* OpenEditor() const {
    for (QLineEdit* e : editor->viewport()->findChildren<QLineEdit*>())
      if (e->isVisible()) return e;
    return nullptr;
  }
  void Click(int row, int col) {
    QTest::mouseClick(editor->viewport(), Qt::LeftButton, {},
                      editor->visualRect(editor->CellIndex(col, row)).center());
  }
  void Type(const QString& text) {
    for (QChar ch : text) {
      QWidget* target = OpenEditor();
      QTest::keyClick(target ? target : static_cast<QWidget*>(editor), ch.toLatin1());
    }
  }
  // The keys as the operator presses them, with the grid in focus.
  void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::ControlModifier) {
    editor->setFocus();
    QTest::keyClick(editor, key, modifiers);
  }
  // Return in a cell editor commits once the event loop runs, as it does between two keys.
  void Commit() {
    QTest::keyClick(OpenEditor(), Qt::Key_Return);
    QApplication::processEvents();
  }
  void Reply(int32_t address, const std::vector<uint8_t>& payload) {
    fake_.Feed(MakeFrame(CMD_READ, static_cast<uint32_t>(address), payload));
  }
  void StartRead() {
    QTest::mouseClick(page->ReadButton(), Qt::LeftButton);
    ASSERT_EQ(fake_.Port.Sent.size(), 1u);
  }

  std::unique_ptr<TSettingsPage> page;
  TSettingsEditor* editor = nullptr;
};

struct TStepCase {
  const char* Name;
  std::function<void(SettingsUndo&)> Change;
};

void PrintTo(const TStepCase& c, std::ostream* os) {
  *os << c.Name;
}

class SettingsUndoSteps : public SettingsUndo, public ::testing::WithParamInterface<TStepCase> {};

TEST_P(SettingsUndoSteps, EachIsOneStepThatCtrlZTakesBackAndCtrlYBringsBack) {
  // Something before, which must stay where it is.
  Grid().SetCell(kContentCol, 13, "Open");
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
  // The lists on screen follow their indexes back and forth.
  for (TListChoice* list : Lists().All())
    EXPECT_EQ(editor->ListBox(list->Row)->currentIndex(), list->ItemIndex);
  Key(Qt::Key_Z);
  Key(Qt::Key_Z);
  EXPECT_EQ(Content(13), "Relay ON");
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, SettingsUndoSteps,
    ::testing::Values(
        TStepCase{"TypingACellUntilItsEditorCloses",
                  [](SettingsUndo& t) {
                    t.Click(2, kContentCol);
                    t.Type("13800138");
                    t.Commit();
                    EXPECT_EQ(t.Content(2), "13800138");
                  }},
        TStepCase{"TypingUpToTheLimitThatMovesOn",
                  [](SettingsUndo& t) {
                    t.Click(1, kContentCol);
                    t.Type("987x");
                    EXPECT_EQ(t.Content(1), "987");
                    EXPECT_EQ(t.editor->CurrentGridRow(), 2);
                  }},
        TStepCase{"AListChoiceAndItsCopyIntoTheCell",
                  [](SettingsUndo& t) {
                    QComboBox* arm = t.editor->ListBox(8);
                    arm->setFocus();
                    QTest::keyClick(arm, Qt::Key_Down);
                    ASSERT_EQ(t.Lists().Arm.ItemIndex, 1);
                    t.editor->setFocus();  // leaving the list copies its text
                    EXPECT_EQ(t.Content(8), "1:Arm");
                  }},
        TStepCase{"AProfileImport",
                  [](SettingsUndo& t) {
                    TFakeSession source;
                    const std::string path = t.Path("p.xlsx");
                    source.Session->SettingsGrid.SetCell(kContentCol, 5, "Gate forced");
                    source.Session->SettingsLists.SetItemIndex(source.Session->SettingsLists.NotifyOn, 0);
                    source.Operator.FileAnswers.push_back(path);
                    source.Session->Profiles.ExportProfile();
                    t.Operator().FileAnswers.push_back(path);
                    QTest::mouseClick(t.page->ImportButton(), Qt::LeftButton);
                    EXPECT_EQ(t.Content(5), "Gate forced");
                    EXPECT_EQ(t.Lists().NotifyOn.ItemIndex, 0);
                  }},
        TStepCase{"ARead",
                  [](SettingsUndo& t) {
                    t.StartRead();
                    t.Reply(0x000, Page({{0, "1234"}, {4, "13800138000"}, {26, std::string(2, '\0')}}));
                    t.Reply(0x100, Page({{46, "user"}}));
                    t.Reply(0x200, Page({{16, "pub"}}));
                    EXPECT_EQ(t.Operator().LastMessage(), "Basic settings read to PC software success.");
                    EXPECT_EQ(t.Lists().Din1.ItemIndex, 0);
                  }},
        TStepCase{"AReadCutShortByTheDevice",
                  [](SettingsUndo& t) {
                    t.StartRead();
                    t.Reply(0x000, Page({{0, "4321"}, {111, "\x01"}}));
                    t.Fake().Timers.Advance(3 * 3000);
                    EXPECT_FALSE(t.Session().Exchange.Busy());
                    EXPECT_EQ(t.Content(1), "4321");
                  }},
        TStepCase{"PastingCells",
                  [](SettingsUndo& t) {
                    QApplication::clipboard()->setText("1111\n13900139000\n");
                    t.Click(1, kContentCol);
                    t.Key(Qt::Key_V);
                    EXPECT_EQ(t.Content(1), "1111");
                    EXPECT_EQ(t.Content(2), "13900139000");
                  }},
        TStepCase{"CuttingAndDeletingCells",
                  [](SettingsUndo& t) {
                    t.Click(5, kContentCol);
                    QTest::mouseClick(t.editor->viewport(), Qt::LeftButton, Qt::ShiftModifier,
                                      t.editor->visualRect(t.editor->CellIndex(kContentCol, 6)).center());
                    t.Key(Qt::Key_X);
                    EXPECT_EQ(QApplication::clipboard()->text(), "Unauthorized door opened\nDIN2 Alarm\n");
                    EXPECT_EQ(t.Content(5), "");
                    EXPECT_EQ(t.Content(6), "");
                  }}),
    [](const ::testing::TestParamInfo<TStepCase>& info) { return std::string(info.param.Name); });

TEST_F(SettingsUndo, CtrlZInAnOpenCellEditorUndoesTheTypingThereAndNoStep) {
  Click(2, kContentCol);
  Type("555");
  Commit();
  const std::string before = Content(5);
  Click(5, kContentCol);
  QTest::keyClick(editor, Qt::Key_F2);
  QLineEdit* edit = OpenEditor();
  ASSERT_NE(edit, nullptr);
  QTest::keyClicks(edit, "xyz");
  const QString typed = edit->text();
  ASSERT_TRUE(typed.endsWith("xyz"));
  EXPECT_FALSE(editor->UndoAction()->isEnabled());
  EXPECT_FALSE(editor->RedoAction()->isEnabled());
  QTest::keyClick(edit, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_NE(edit->text(), typed);
  EXPECT_EQ(Content(2), "555");
  EXPECT_EQ(Undo().UndoCount(), 1);
  QTest::keyClicks(edit, "q");
  Commit();
  EXPECT_EQ(Content(5), (edit->text()).toStdString());
  ASSERT_NE(Content(5), before);
  // One undo takes back the whole edit of row 5, and nothing of row 2.
  EXPECT_EQ(Undo().UndoCount(), 2);
  Key(Qt::Key_Z);
  EXPECT_EQ(Content(5), before);
  EXPECT_EQ(Content(2), "555");
}

TEST_F(SettingsUndo, TheContextMenuHoldsTheEditActionsEnabledAsTheyApply) {
  auto menuActions = [this] {
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(300, 60),
                            editor->viewport()->mapToGlobal(QPoint(300, 60)));
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
                                  {"Delete", false},
                                  {"-", true},
                                  {"Select All", true}}));
  Click(2, kContentCol);
  Type("1");
  Commit();
  auto seen = menuActions();
  ASSERT_EQ(seen.size(), 9u);
  EXPECT_TRUE(seen[0].second);   // Undo
  EXPECT_FALSE(seen[1].second);  // Redo
  EXPECT_TRUE(seen[3].second);   // Cut: a value is selected
  EXPECT_TRUE(seen[5].second);   // Paste
  Key(Qt::Key_Z);
  seen = menuActions();
  EXPECT_FALSE(seen[0].second);
  EXPECT_TRUE(seen[1].second);
  EXPECT_EQ(editor->UndoAction()->icon().name(), QIcon::fromTheme("edit-undo").name());
  EXPECT_TRUE(editor->RedoAction()->shortcuts().contains(QKeySequence(Qt::CTRL | Qt::Key_Y)));
  EXPECT_EQ(editor->UndoAction()->shortcutContext(), Qt::WidgetWithChildrenShortcut);
}

TEST_F(SettingsUndo, NothingIsUndoneWhileAReadRuns) {
  Click(2, kContentCol);
  Type("555");
  Commit();
  StartRead();
  Reply(0x000, Page({{0, "1234"}}));
  EXPECT_FALSE(editor->UndoAction()->isEnabled());
  Key(Qt::Key_Z);
  EXPECT_EQ(Content(1), "1234");
  Reply(0x100, Page({}));
  Reply(0x200, Page({}));
  EXPECT_TRUE(editor->UndoAction()->isEnabled());
  Key(Qt::Key_Z);
  EXPECT_EQ(Content(1), "6853");
  EXPECT_EQ(Content(2), "555");
}

}  // namespace
}  // namespace torvane
