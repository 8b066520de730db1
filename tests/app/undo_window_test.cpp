// SPDX-License-Identifier: GPL-3.0-or-later
// Undo and redo in the two grids, through the real tabs offscreen: every kind of change the operator
// makes (or starts) is one step that Ctrl+Z takes back whole and Ctrl+Y brings back.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <functional>

#include "app/numbers_page.h"
#include "app/settings_page.h"
#include "numbers/number_files.h"
#include "settings/settings_table.h"
#include "support/file_session.h"
#include "support/qt_app.h"

namespace torvane {
namespace {

using testing::MakeFrame;
using testing::TFakeSession;

class UndoWindow : public testing::TFileSessionTest {
 public:
  UndoWindow() {
    testing::EnsureQtApp();
    settings = std::make_unique<TSettingsPage>(S());
    numbers = std::make_unique<TNumbersPage>(S());
    settings->resize(987, 612);
    numbers->resize(1062, 612);
    for (TTabPage* page : {static_cast<TTabPage*>(settings.get()), static_cast<TTabPage*>(numbers.get())})
      for (QPushButton* b : page->OperationButtons()) b->setEnabled(true);
    numbers->Editor()->SetDateSeparator(QLatin1Char('/'));
  }
  void Show(QWidget* page) {
    page->show();
    page->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(page));
  }

  // For the cases of the tables below.
  testing::TFakeSession& Fake() { return fake_; }
  std::string Path(const std::string& name) const { return dir_ / name; }
  TGrid& Settings() { return S().SettingsGrid; }
  TGrid& Numbers() { return S().NumberGrid; }
  TSettingsEditor* SettingsEditor() const { return settings->Editor(); }
  TNumberEditor* NumberEditor() const { return numbers->Editor(); }

  std::vector<std::string> Snapshot() {
    std::vector<std::string> cells;
    for (TGrid* g : {&Settings(), &Numbers()})
      for (int r = 0; r < g->RowCount(); ++r)
        for (int c = 0; c < g->ColCount(); ++c) cells.push_back(g->Cell(c, r));
    for (TListChoice* list : S().SettingsLists.All()) cells.push_back(std::to_string(list->ItemIndex));
    return cells;
  }
  void Click(QTableView* view, const QModelIndex& at, Qt::KeyboardModifiers modifiers = {}) {
    view->scrollTo(at);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, modifiers, view->visualRect(at).center());
  }
  void ClickSetting(int row) { Click(SettingsEditor(), SettingsEditor()->CellIndex(kContentCol, row)); }
  void ClickNumber(int row, int col) {
    Click(NumberEditor(), NumberEditor()->NumberModel()->index(row - 1, col));
  }
  static QLineEdit* OpenEditor(QTableView* view) {
    for (QLineEdit* e : view->viewport()->findChildren<QLineEdit*>())
      if (e->isVisible() && e->parentWidget() == view->viewport()) return e;
    return nullptr;
  }
  // As a person types: into the cell's editor once it is open, else into the grid; Return commits
  // once the event loop runs, as it does between two keys.
  void Type(QTableView* view, const QString& text, bool commit) {
    for (QChar ch : text) {
      QWidget* edit = OpenEditor(view);
      QTest::keyClick(edit ? edit : view, ch.toLatin1());
    }
    if (!commit) return;
    QTest::keyClick(OpenEditor(view), Qt::Key_Return);
    QApplication::processEvents();
  }
  void Key(QTableView* view, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::ControlModifier) {
    view->setFocus();
    QTest::keyClick(view, key, modifiers);
  }
  void StartRead(QPushButton* read) {
    QTest::mouseClick(read, Qt::LeftButton);
    ASSERT_EQ(fake_.Port.Sent.size(), 1u);
  }
  void SettingsReply(int32_t address, const std::vector<std::pair<int, std::string>>& fields) {
    std::vector<uint8_t> p(kSettingsPageSize, 0);
    for (const auto& [offset, bytes] : fields) std::copy(bytes.begin(), bytes.end(), p.begin() + offset);
    fake_.Feed(MakeFrame(CMD_READ, static_cast<uint32_t>(address), p));
  }
  // A page of the number list whose records hold "139", the page and the record's place in it.
  void NumbersReply(int page) {
    std::vector<uint8_t> bytes(kNumberPageSize, 0);
    for (int r = 0; r < kNumbersPerPage; ++r) {
      const std::string number = "139" + std::to_string(page * 10 + r);
      std::copy(number.begin(), number.end(), bytes.begin() + r * kNumberRecordSize);
    }
    fake_.Feed(MakeFrame(CMD_READ, TtelephoneSend::PageAddressOf(page), bytes));
  }

  std::unique_ptr<TSettingsPage> settings;
  std::unique_ptr<TNumbersPage> numbers;
};

struct TStepCase {
  const char* Name;
  bool Numbers;  // else the settings
  std::function<void(UndoWindow&)> Change;
};
void PrintTo(const TStepCase& c, std::ostream* os) {
  *os << c.Name;
}

class UndoSteps : public UndoWindow, public ::testing::WithParamInterface<TStepCase> {};

TEST_P(UndoSteps, EachIsOneStepThatCtrlZTakesBackAndCtrlYBringsBack) {
  const bool numbers = GetParam().Numbers;
  TUndoStack& undo = numbers ? S().NumbersUndo : S().SettingsUndo;
  QTableView* view = numbers ? static_cast<QTableView*>(NumberEditor()) : SettingsEditor();
  Show(numbers ? static_cast<QWidget*>(this->numbers.get()) : settings.get());
  // Something before, which stays: a number with a window in row 2, an SMS text.
  {
    TGridUpdate batch(Numbers());
    for (int c = kColNumber; c <= kColEndTime; ++c)
      Numbers().SetCell(c, 2,
                        std::vector<std::string>{"", "123", "2024-05-06", "07:05", "2025-12-31", "23:59"}[c]);
  }
  Settings().SetCell(kContentCol, 13, "Open");
  const int stepsBefore = undo.UndoCount();
  const auto before = Snapshot();
  GetParam().Change(*this);
  QApplication::processEvents();
  const auto after = Snapshot();
  ASSERT_NE(after, before);
  EXPECT_EQ(undo.UndoCount(), stepsBefore + 1);
  EXPECT_FALSE(undo.CanRedo());

  Key(view, Qt::Key_Z);
  EXPECT_EQ(Snapshot(), before);
  Key(view, Qt::Key_Y);
  EXPECT_EQ(Snapshot(), after);
  Key(view, Qt::Key_Z);
  Key(view, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(Snapshot(), after);
  // The lists on screen follow their indexes back and forth.
  for (TListChoice* list : S().SettingsLists.All())
    EXPECT_EQ(SettingsEditor()->ListBox(list->Row)->currentIndex(), list->ItemIndex);
}

const TStepCase kStepCases[] = {
    {"TypingASettingUntilItsEditorCloses", false,
     [](UndoWindow& t) {
       t.ClickSetting(2);
       t.Type(t.SettingsEditor(), "13800138", true);
       EXPECT_EQ(t.Settings().Cell(kContentCol, 2), "13800138");
     }},
    {"TypingASettingUpToTheLimitThatMovesOn", false,
     [](UndoWindow& t) {
       t.ClickSetting(1);
       t.Type(t.SettingsEditor(), "987x", false);
       EXPECT_EQ(t.Settings().Cell(kContentCol, 1), "987");
       EXPECT_EQ(t.SettingsEditor()->CurrentGridRow(), 2);
     }},
    {"AListChoiceWithItsCopyIntoTheCell", false,
     [](UndoWindow& t) {
       QComboBox* arm = t.SettingsEditor()->ListBox(8);
       arm->setFocus();
       QTest::keyClick(arm, Qt::Key_Down);
       t.SettingsEditor()->setFocus();  // leaving the list copies its text
       EXPECT_EQ(t.Settings().Cell(kContentCol, 8), "1:Arm");
     }},
    {"AProfileImport", false,
     [](UndoWindow& t) {
       TFakeSession source;
       source.Session->SettingsGrid.SetCell(kContentCol, 5, "Gate forced");
       source.Session->SettingsLists.SetItemIndex(source.Session->SettingsLists.NotifyOn, 0);
       source.Operator.FileAnswers.push_back(t.Path("p.xlsx"));
       source.Session->Profiles.ExportProfile();
       t.Fake().Operator.FileAnswers.push_back(t.Path("p.xlsx"));
       QTest::mouseClick(t.settings->ImportButton(), Qt::LeftButton);
       EXPECT_EQ(t.Settings().Cell(kContentCol, 5), "Gate forced");
     }},
    {"ASettingsRead", false,
     [](UndoWindow& t) {
       t.StartRead(t.settings->ReadButton());
       t.SettingsReply(0x000, {{0, "1234"}, {26, std::string(2, '\0')}});
       t.SettingsReply(0x100, {{46, "user"}});
       t.SettingsReply(0x200, {{16, "pub"}});
       EXPECT_EQ(t.Fake().Operator.LastMessage(), "Basic settings read to PC software success.");
     }},
    {"PastingSettings", false,
     [](UndoWindow& t) {
       QApplication::clipboard()->setText("1111\n13900139000\n");
       t.ClickSetting(1);
       t.Key(t.SettingsEditor(), Qt::Key_V);
       EXPECT_EQ(t.Settings().Cell(kContentCol, 2), "13900139000");
     }},
    {"TypingANumber", true,
     [](UndoWindow& t) {
       t.ClickNumber(5, kColNumber);
       t.Type(t.NumberEditor(), "13800138000", true);
       EXPECT_EQ(t.Numbers().Cell(kColNumber, 5), "13800138000");
     }},
    {"AMarkThatEmptiesTheWindow", true,
     [](UndoWindow& t) {
       t.ClickNumber(2, kColAlways);
       EXPECT_EQ(t.Numbers().Cell(kColStartDate, 2), "");
     }},
    {"PicksOfTheStartDateUntilThePickerIsLeft", true,
     [](UndoWindow& t) {
       t.ClickNumber(2, kColStartDate);
       QDateEdit* picker = t.NumberEditor()->StartDatePicker();
       ASSERT_TRUE(picker->isVisible());
       picker->setFocus();
       for (int day : {7, 8, 9}) picker->setDate(QDate(2024, 3, day));
       t.NumberEditor()->setFocus();
       EXPECT_EQ(t.Numbers().Cell(kColStartDate, 2), "2024/03/09");
     }},
    {"TheEndTimeWrittenWhenItsPickerIsLeft", true,
     [](UndoWindow& t) {
       t.ClickNumber(2, kColEndTime);
       t.NumberEditor()->EndTimePicker()->setFocus();
       t.NumberEditor()->EndTimePicker()->setTime(QTime(7, 5));
       t.NumberEditor()->setFocus();
       EXPECT_EQ(t.Numbers().Cell(kColEndTime, 2), "07:05");
     }},
    {"AllAlways", true,
     [](UndoWindow& t) { QTest::mouseClick(t.numbers->AllAlwaysButton(), Qt::LeftButton); }},
    {"DeleteAll", true,
     [](UndoWindow& t) { QTest::mouseClick(t.numbers->DeleteAllButton(), Qt::LeftButton); }},
    {"ANumberListImport", true,
     [](UndoWindow& t) {
       TFakeSession source;
       source.Session->NumberGrid.SetCell(kColNumber, 1, "8613912345678");
       source.Session->NumberGrid.SetCell(kColAlways, 1, kMarkYes);
       source.Operator.FileAnswers.push_back(t.Path("list.xlsx"));
       ExportNumbersXls(source.Session->Context, source.Session->NumberGrid, "");
       t.Fake().Operator.FileAnswers.push_back(t.Path("list.xlsx"));
       QTest::mouseClick(t.numbers->ImportXlsButton(), Qt::LeftButton);
       EXPECT_EQ(t.Numbers().Cell(kColNumber, 1), "8613912345678");
     }},
    {"ANumberListRead", true,
     [](UndoWindow& t) {
       t.StartRead(t.numbers->ReadButton());
       for (int p = 1; p <= kNumberPageCount; ++p) t.NumbersReply(p);
       EXPECT_EQ(t.Numbers().Cell(kColNumber, 3000), "1393757");
     }},
    {"ANumberListReadCutShortByTheDevice", true,
     [](UndoWindow& t) {
       t.StartRead(t.numbers->ReadButton());
       t.NumbersReply(1);
       t.NumbersReply(2);
       t.Fake().Timers.Advance(3 * 3000);
       EXPECT_FALSE(t.Fake().Session->Exchange.Busy());
       EXPECT_EQ(t.Numbers().Cell(kColNumber, 16), "13927");
     }},
    {"PastingAColumnOfNumbers", true,
     [](UndoWindow& t) {
       QApplication::clipboard()->setText("111\r\n222\r\n333\r\n");
       t.ClickNumber(2, kColNumber);
       t.Key(t.NumberEditor(), Qt::Key_V);
       EXPECT_EQ(t.Numbers().Cell(kColNumber, 4), "333");
     }},
    {"CuttingANumber", true,
     [](UndoWindow& t) {
       t.ClickNumber(2, kColNumber);
       t.Key(t.NumberEditor(), Qt::Key_X);
       EXPECT_EQ(QApplication::clipboard()->text(), "123");
     }},
};
INSTANTIATE_TEST_SUITE_P(Kinds, UndoSteps, ::testing::ValuesIn(kStepCases),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST_F(UndoWindow, CtrlZInAnOpenCellEditorUndoesTheTypingThereAndNoStep) {
  Show(settings.get());
  TSettingsEditor* view = SettingsEditor();
  ClickSetting(2);
  Type(view, "555", true);
  const std::string before = Settings().Cell(kContentCol, 5);
  ClickSetting(5);
  QTest::keyClick(view, Qt::Key_F2);
  QLineEdit* edit = OpenEditor(view);
  ASSERT_NE(edit, nullptr);
  QTest::keyClicks(edit, "xyz");
  const QString typed = edit->text();
  EXPECT_FALSE(view->UndoAction()->isEnabled());
  QTest::keyClick(edit, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_NE(edit->text(), typed);
  EXPECT_EQ(S().SettingsUndo.UndoCount(), 1);
  Type(view, "q", true);
  ASSERT_NE(Settings().Cell(kContentCol, 5), before);
  // One undo takes back the whole edit of row 5, and nothing of row 2.
  Key(view, Qt::Key_Z);
  EXPECT_EQ(Settings().Cell(kContentCol, 5), before);
  EXPECT_EQ(Settings().Cell(kContentCol, 2), "555");
}

TEST_F(UndoWindow, NothingIsUndoneWhileAReadRuns) {
  Show(settings.get());
  ClickSetting(2);
  Type(SettingsEditor(), "555", true);
  StartRead(settings->ReadButton());
  SettingsReply(0x000, {{0, "1234"}});
  EXPECT_FALSE(SettingsEditor()->UndoAction()->isEnabled());
  Key(SettingsEditor(), Qt::Key_Z);
  SettingsReply(0x100, {});
  SettingsReply(0x200, {});
  Key(SettingsEditor(), Qt::Key_Z);
  EXPECT_EQ(Settings().Cell(kContentCol, 1), "6853");
  EXPECT_EQ(Settings().Cell(kContentCol, 2), "555");
}

TEST_F(UndoWindow, EachContextMenuHoldsTheEditActionsAndUndoAndRedoEnabledAsTheyApply) {
  if (QGuiApplication::platformName() == "minimal")
    GTEST_SKIP() << "no window is ever active on Qt's minimal platform";
  auto menu = [this](QTableView* view) {
    const QPoint at = view->visualRect(view->model()->index(2, 1)).center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, view->viewport()->mapToGlobal(at));
    QApplication::sendEvent(view->viewport(), &event);
    QStringList seen;
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* m = qobject_cast<QMenu*>(w); m && m->isVisible()) {
        for (QAction* a : m->actions())
          seen << (a->isSeparator() ? QString("-") : a->text() + (a->isEnabled() ? "" : " (off)"));
        m->close();
      }
    QApplication::processEvents();
    Show(view->window());
    return seen.join(", ");
  };
  Show(numbers.get());
  EXPECT_EQ(menu(NumberEditor()),
            "&Undo (off), &Redo (off), -, Cu&t (off), &Copy (off), &Paste (off), Delete (off)");
  ClickNumber(3, kColAlways);
  EXPECT_EQ(menu(NumberEditor()), "&Undo, &Redo (off), -, Cu&t (off), &Copy, &Paste (off), Delete (off)");
  Key(NumberEditor(), Qt::Key_Z);
  ClickNumber(3, kColNumber);
  EXPECT_EQ(menu(NumberEditor()), "&Undo (off), &Redo, -, Cu&t, &Copy, &Paste, Delete");

  Show(settings.get());
  EXPECT_EQ(
      menu(SettingsEditor()),
      "&Undo (off), &Redo (off), -, Cu&t (off), &Copy (off), &Paste (off), Delete (off), -, Select All");
  for (QAction* redo :
       {NumberEditor()->RedoAction(), static_cast<QAction*>(SettingsEditor()->RedoAction())}) {
    EXPECT_TRUE(redo->shortcuts().contains(QKeySequence(Qt::CTRL | Qt::Key_Y)));
    EXPECT_EQ(redo->shortcutContext(), Qt::WidgetWithChildrenShortcut);
  }
}

}  // namespace
}  // namespace torvane
