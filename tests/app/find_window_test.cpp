// SPDX-License-Identifier: GPL-3.0-or-later
// The find bars of the Number List and Historical Data tabs and the number list's expired rows,
// through the real window offscreen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>
#include <fstream>
#include <sstream>

#include "app/app_texts.h"
#include "app/history_page.h"
#include "app/main_window.h"
#include "app/numbers_page.h"
#include "app/settings_page.h"
#include "app/status_bar.h"
#include "files/spreadsheet.h"
#include "history/history_record.h"
#include "numbers/number_editor.h"
#include "support/window_fixture.h"

namespace torvane {
namespace {

using testing::MakeFrame;

class FindWindow : public testing::TWindowFixture {
 protected:
  void SetUp() override {
    TWindowFixture::SetUp();
    if (HasFatalFailure()) return;
    QApplication::setActiveWindow(window_.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
  }
  TNumbersPage& Numbers() { return window_->NumbersPage(); }
  THistoryPage& History() { return window_->HistoryPage(); }
  int CurrentRow() { return Numbers().Editor()->currentIndex().row() + 1; }
  bool Found(int row) {
    return Numbers()
        .Editor()
        ->NumberModel()
        ->index(row - 1, kColNumber)
        .data(TNumberModel::kFoundRole)
        .toBool();
  }
  // The colour a row's number cell is filled with, as drawn on screen (a corner, clear of the text).
  QColor RowColour(int row) {
    TNumberEditor* e = Numbers().Editor();
    const QModelIndex at = e->NumberModel()->index(row - 1, kColNumber);
    e->scrollTo(at);
    return e->viewport()->grab().toImage().pixelColor(e->visualRect(at).topLeft() + QPoint(3, 3));
  }
  std::string Path(const char* name) { return dir_.filePath(name).toStdString(); }
  static std::vector<std::string> Lines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
};

TEST_F(FindWindow, NumberBarFindsStepsAndClosesWithEscWhileEscElsewhereStops) {
  window_->Pages().setCurrentWidget(&Numbers());
  TGrid& g = S().NumberGrid;
  g.SetCell(kColNumber, 25, "+49 170 1234567");
  g.SetCell(kColNumber, 40, "555");
  g.SetCell(kColNumber, 90, "0049-170-7654321");
  g.SetCell(kColNumber, 2500, "491709");
  TNumberEditor* editor = Numbers().Editor();
  TFindBar* bar = Numbers().FindBar();
  const QRect gridRoom = editor->geometry();
  editor->setFocus();

  QTest::keyClick(editor, Qt::Key_F, Qt::ControlModifier);
  ASSERT_TRUE(bar->isVisible());
  EXPECT_TRUE(bar->Edit()->hasFocus());
  EXPECT_EQ(editor->geometry().top(), gridRoom.top() + TFindBar::kHeight);
  EXPECT_EQ(editor->geometry().bottom(), gridRoom.bottom());

  QTest::keyClicks(bar->Edit(), "+49 170");
  EXPECT_EQ(bar->Result(), "1 of 3");
  EXPECT_EQ(CurrentRow(), 25);
  EXPECT_TRUE(Found(25) && Found(90) && Found(2500));
  EXPECT_FALSE(Found(40));
  // Drawn in a colour of its own: not the selection's, not the unsaved or the expired one.
  EXPECT_EQ(RowColour(90), TNumberModel::kFound);
  for (const QColor& other : {TNumberModel::kUnsaved, TNumberModel::kExpired, TNumberModel::kOutOfRange,
                              editor->palette().color(QPalette::Active, QPalette::Highlight)})
    EXPECT_NE(TNumberModel::kFound, other);

  // F3 and Enter step on, Shift with either steps back, both ways round the end.
  struct TStep {
    Qt::Key Key;
    Qt::KeyboardModifiers Modifiers;
    int Row;
    const char* Result;
  };
  const TStep steps[] = {{Qt::Key_F3, Qt::NoModifier, 90, "2 of 3"},
                         {Qt::Key_Return, Qt::NoModifier, 2500, "3 of 3"},
                         {Qt::Key_F3, Qt::NoModifier, 25, "1 of 3"},
                         {Qt::Key_F3, Qt::ShiftModifier, 2500, "3 of 3"},
                         {Qt::Key_Return, Qt::ShiftModifier, 90, "2 of 3"}};
  for (const TStep& s : steps) {
    QTest::keyClick(bar->Edit(), s.Key, s.Modifiers);
    EXPECT_EQ(CurrentRow(), s.Row) << s.Result;
    EXPECT_EQ(bar->Result(), s.Result);
  }
  QTest::keyClicks(bar->Edit(), "99");
  EXPECT_EQ(bar->Result(), "No row matches.");
  EXPECT_FALSE(Found(25));
  bar->Edit()->setText("#40");
  EXPECT_EQ(bar->Result(), "1 of 1");
  EXPECT_EQ(CurrentRow(), 40);

  // Esc in the bar closes it, and only it: the read goes on.
  S().Numbers.StartRead();
  QTest::keyClick(bar->Edit(), Qt::Key_Escape);
  EXPECT_FALSE(bar->isVisible());
  EXPECT_EQ(editor->geometry(), gridRoom);
  EXPECT_FALSE(Found(40));
  Feed(MakeFrame(CMD_READ, 0x1000, std::vector<uint8_t>(256, 0xFF)));
  EXPECT_TRUE(op_.Messages.empty());
  // Elsewhere Esc is still Stop.
  ASSERT_TRUE(editor->hasFocus());
  QTest::keyClick(editor, Qt::Key_Escape);
  Feed(MakeFrame(CMD_READ, 0x1100, std::vector<uint8_t>(256, 0xFF)));
  ASSERT_EQ(op_.Messages.size(), 1u);
  EXPECT_EQ(op_.Messages[0].rfind("Stopped after page 2 of 375.", 0), 0u) << op_.Messages[0];
}

TEST_F(FindWindow, HistoryBarHidesRowsInTheViewAndTheExportsWriteWhatIsShown) {
  window_->Pages().setCurrentWidget(&History());
  TGrid& g = S().HistoryGrid;
  for (int r = 1; r <= 6; ++r) {
    g.SetCell(kHisNumber, r, std::to_string(500 + r));
    g.SetCell(kHisDate, r, "2024-03-0" + std::to_string(r));
    g.SetCell(kHisTime, r, "12:00:00");
    g.SetCell(kHisExecutant, r, r % 2 ? "+49170111" : "+33622");
    g.SetCell(kHisContent, r, "Door " + std::to_string(r));
  }
  QTableView* table = History().View()->Table();
  const int allRows = table->height();
  TFindBar* bar = History().FindBar();
  QTest::keyClick(History().View(), Qt::Key_F, Qt::ControlModifier);
  ASSERT_TRUE(bar->isVisible());
  QTest::keyClicks(bar->Edit(), "0049 170");
  EXPECT_EQ(bar->Result(), "3 of 6 records shown");
  auto shown = [&] {
    std::vector<int> rows;
    for (int r = 0; r <= kHistoryRows; ++r)
      if (!table->isRowHidden(r)) rows.push_back(r);
    return rows;
  };
  EXPECT_EQ(shown(), (std::vector<int>{0, 1, 3, 5}));
  EXPECT_LT(table->height(), allRows / 100);
  // The grid keeps every record.
  EXPECT_EQ(g.Cell(kHisNumber, 2), "502");

  auto csvSerials = [&](const char* name) {
    op_.FileAnswers.push_back(Path(name));
    QTest::mouseClick(History().ExportCsvButton(), Qt::LeftButton);
    std::string serials;
    for (const std::string& line : Lines(Path(name))) serials += line.substr(0, line.find(',')) + " ";
    return serials;
  };
  S().UnlockControls();
  EXPECT_EQ(csvSerials("find.cvs"), "1 3 5 ");

  // The date filter and the find combine: the filter keeps the 3rd to the 5th, the find two of them.
  History().StartDate()->setDate(QDate(2024, 3, 3));
  History().EndDate()->setDate(QDate(2024, 3, 6));
  History().EndTime()->setTime(QTime(0, 0, 0));
  QTest::mouseClick(History().FilterButton(), Qt::LeftButton);
  EXPECT_EQ(bar->Result(), "2 of 3 records shown");
  EXPECT_EQ(shown(), (std::vector<int>{0, 1, 3}));
  EXPECT_EQ(g.Cell(kHisContent, 3), "Door 5");
  EXPECT_EQ(csvSerials("both.cvs"), "1 3 ");
  op_.FileAnswers.push_back(Path("both.xlsx"));
  QTest::mouseClick(History().ExportXlsButton(), Qt::LeftButton);
  ASSERT_TRUE(op_.Errors.empty()) << op_.Errors.front();
  {
    TExcelApplication excel;
    excel.WorkBooks().Open(Path("both.xlsx"));
    EXPECT_EQ(excel.Cells(1, 8).Text(), "Content");
    EXPECT_EQ(excel.Cells(2, 8).Text(), "Door 3");
    EXPECT_EQ(excel.Cells(3, 8).Text(), "Door 5");
    EXPECT_EQ(excel.Cells(4, 1).Text(), "");
    excel.Quit();
  }

  bar->Edit()->setText("nobody");
  EXPECT_EQ(bar->Result(), "No record matches.");
  EXPECT_EQ(shown(), (std::vector<int>{0}));
  // Closing the bar shows all rows again.
  QTest::keyClick(bar->Edit(), Qt::Key_Escape);
  EXPECT_FALSE(bar->isVisible());
  EXPECT_EQ(shown().size(), size_t{kHistoryRows + 1});
  EXPECT_EQ(table->height(), allRows);
  EXPECT_EQ(csvSerials("all.cvs"), "1 2 3 ");
}

TEST_F(FindWindow, ExpiredRowsAreDrawnCountedAndMarkedForDeletionInOneStep) {
  window_->Pages().setCurrentWidget(&Numbers());
  TGrid& g = S().NumberGrid;
  const std::pair<int, const char*> ends[] = {{30, "2026-12-01"}, {31, "2026-12-09"}, {32, "2027-01-01"}};
  for (const auto& [row, date] : ends) {
    g.SetCell(kColNumber, row, "100" + std::to_string(row));
    g.SetCell(kColStartDate, row, "2026-01-01");
    g.SetCell(kColStartTime, row, "00:00");
    g.SetCell(kColEndDate, row, date);
    g.SetCell(kColEndTime, row, "09:30");
  }
  g.SetCell(kColEndDate, 33, "2020-01-01");  // no number: never expired
  g.SetCell(kColEndTime, 33, "00:00");
  EXPECT_EQ(window_->StatusBar().PanelNote(), "2 expired");
  EXPECT_EQ(RowColour(30), TNumberModel::kExpired);
  EXPECT_EQ(RowColour(32), Numbers().Editor()->palette().color(QPalette::Active, QPalette::Base));
  window_->Pages().setCurrentWidget(&window_->SettingsPage());
  EXPECT_EQ(window_->StatusBar().PanelNote(), "");
  window_->Pages().setCurrentWidget(&Numbers());

  QPushButton* mark = Numbers().MarkExpiredButton();
  EXPECT_EQ(mark->text(), kMarkExpiredCaption);
  EXPECT_EQ(mark->accessibleName(), kMarkExpiredCaption);
  EXPECT_EQ(mark->geometry(), QRect(7, 552, 85, 30));
  EXPECT_TRUE(mark->isVisible());
  // Locked before the login and while a transfer runs, like the other buttons that change the grid.
  EXPECT_FALSE(mark->isEnabled());
  S().UnlockControls();
  EXPECT_TRUE(mark->isEnabled());
  S().Numbers.StartRead();
  EXPECT_FALSE(mark->isEnabled());
  S().Numbers.Stop();
  Feed(MakeFrame(CMD_READ, 0x1000, std::vector<uint8_t>(256, 0xFF)));
  EXPECT_TRUE(mark->isEnabled());

  const int steps = S().NumbersUndo.UndoCount();
  QTest::mouseClick(mark, Qt::LeftButton);
  for (int row = 30; row <= 33; ++row)
    EXPECT_EQ(g.Cell(kColDelete, row), row <= 31 ? kMarkYes : kMarkNo) << row;
  EXPECT_EQ(S().NumbersUndo.UndoCount(), steps + 1);
  ASSERT_TRUE(S().NumbersUndo.Undo());
  EXPECT_EQ(g.Cell(kColDelete, 30), kMarkNo);
  EXPECT_EQ(g.Cell(kColDelete, 31), kMarkNo);

  // The clock moves on: a minute later the window asks it again.
  wallClock_.Time = {2027, 1, 1, 9, 31, 0};
  clock_.Advance(60 * 1000);
  EXPECT_EQ(window_->StatusBar().PanelNote(), "3 expired");
}

}  // namespace
}  // namespace torvane
