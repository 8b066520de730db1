// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/history_view.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QCalendarWidget>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include "app/history_page.h"
#include "history/history_inf.h"
#include "support/fakes.h"
#include "support/qt_app.h"

namespace torvane {
namespace {

class HistoryView : public ::testing::Test {
 protected:
  void SetUp() override { testing::EnsureQtApp(); }
  testing::TFakeSession f;
  TGrid& g = f.Session->HistoryGrid;
};

// The cell (column, row) drawn by the delegate alone into an image of its size.
QImage PaintCell(THistoryView& view, int col, int row, QStyle::State state) {
  QTableView* t = view.Table();
  QStyleOptionViewItem opt;
  opt.initFrom(t);
  opt.rect = QRect(0, 0, 120, 25);
  opt.state = state;
  opt.font = t->font();
  QImage img(opt.rect.size(), QImage::Format_ARGB32);
  img.fill(Qt::magenta);
  QPainter p(&img);
  t->itemDelegate()->paint(&p, opt, view.Model()->index(row, col));
  p.end();
  return img;
}

TEST_F(HistoryView, ShowsTheGridCellsAndFollowsChanges) {
  THistoryView view(g);
  auto* m = view.Model();
  EXPECT_EQ(m->rowCount(), 1001);
  EXPECT_EQ(m->columnCount(), 8);
  EXPECT_EQ(m->index(0, 2).data().toString(), "Date");
  EXPECT_EQ(m->index(1000, 0).data().toString(), "1000");
  QSignalSpy spy(m, &QAbstractItemModel::dataChanged);
  g.SetCell(kHisContent, 5, "\xE9\x97\xA8");
  ASSERT_EQ(spy.count(), 1);
  EXPECT_EQ(spy[0][0].value<QModelIndex>().row(), 5);
  EXPECT_EQ(m->index(5, kHisContent).data().toString(), QString::fromUtf8("\xE9\x97\xA8"));
  EXPECT_FALSE(m->flags(m->index(5, 5)) & Qt::ItemIsEditable);
  EXPECT_FALSE(m->flags(m->index(5, 5)) & Qt::ItemIsSelectable);
}

TEST_F(HistoryView, NumberColumnIsHiddenAndAllRowsFitTheTable) {
  THistoryView view(g);
  QTableView* t = view.Table();
  EXPECT_TRUE(t->isColumnHidden(kHisNumber));
  for (int c : {0, 2, 3, 4, 5, 6, 7}) EXPECT_FALSE(t->isColumnHidden(c)) << c;
  EXPECT_LT(t->columnWidth(kHisDate), t->columnWidth(kHisContent));
  EXPECT_EQ(t->width(), THistoryView::kTableWidth);
  EXPECT_GE(t->height(), 1001 * t->rowHeight(5));
  // The box scrolls, not the table.
  EXPECT_EQ(t->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
  EXPECT_EQ(view.widget(), t);
  view.resize(900, 400);
  view.show();
  QApplication::processEvents();
  EXPECT_GT(view.verticalScrollBar()->maximum(), 20000);
  EXPECT_TRUE(view.verticalScrollBar()->hasTracking());
}

TEST_F(HistoryView, CellsAreCentredAndNeverHighlighted) {
  THistoryView view(g);
  g.SetCell(kHisAction, 3, "Relay ON");
  const QImage plain = PaintCell(view, kHisAction, 3, QStyle::State_Enabled);
  const QImage selected =
      PaintCell(view, kHisAction, 3, QStyle::State_Enabled | QStyle::State_Selected | QStyle::State_HasFocus);
  EXPECT_EQ(plain, selected);

  // The ink of the text sits around the middle of the cell.
  const QRgb background = plain.pixel(0, 0);
  EXPECT_NE(background, QColor(Qt::magenta).rgb());  // the whole cell is filled
  int left = plain.width(), right = -1, top = plain.height(), bottom = -1;
  for (int y = 0; y < plain.height(); ++y)
    for (int x = 0; x < plain.width(); ++x)
      if (plain.pixel(x, y) != background) {
        left = std::min(left, x), right = std::max(right, x);
        top = std::min(top, y), bottom = std::max(bottom, y);
      }
  ASSERT_GE(right, 0);
  EXPECT_NEAR((left + right) / 2.0, plain.width() / 2.0, 3);
  EXPECT_NEAR((top + bottom) / 2.0, plain.height() / 2.0, 4);

  // An empty cell is only background.
  const QImage empty = PaintCell(view, kHisAction, 4, QStyle::State_Enabled);
  for (int x = 0; x < empty.width(); ++x) ASSERT_EQ(empty.pixel(x, 12), empty.pixel(0, 0));

  // Clicking a cell selects nothing.
  view.resize(900, 400);
  view.show();
  QApplication::processEvents();
  QTableView* t = view.Table();
  QTest::mouseClick(t->viewport(), Qt::LeftButton, {},
                    t->visualRect(t->model()->index(3, kHisAction)).center());
  EXPECT_FALSE(t->selectionModel() && t->selectionModel()->hasSelection());
}

TEST_F(HistoryView, CellTextsReadThroughAccessibility) {
  THistoryView view(g);
  g.SetCell(kHisFrom, 2, "Power supply");
  view.resize(900, 400);
  view.show();
  QApplication::processEvents();
  QAccessibleInterface* table = QAccessible::queryAccessibleInterface(view.Table());
  ASSERT_TRUE(table && table->tableInterface());
  QAccessibleInterface* cell = table->tableInterface()->cellAt(2, kHisFrom);
  ASSERT_TRUE(cell);
  EXPECT_EQ(cell->text(QAccessible::Name), "Power supply");
}

class HistoryPageTest : public HistoryView {
 protected:
  void SetUp() override {
    HistoryView::SetUp();
    page = std::make_unique<THistoryPage>(*f.Session);
    for (auto* b : page->OperationButtons()) b->setEnabled(true);
    page->resize(1000, 600);
    page->show();
    QApplication::processEvents();
  }
  std::unique_ptr<THistoryPage> page;
};

TEST_F(HistoryPageTest, StripAndColumnAsDesigned) {
  EXPECT_EQ(page->ReadDataButton()->text(), "Read data");
  EXPECT_EQ(page->FilterButton()->text(), "Filter");
  EXPECT_EQ(page->ExportCsvButton()->text(), "Export.CSV");
  EXPECT_EQ(page->ExportXlsButton()->text(), "Export.XLS");
  EXPECT_EQ(page->DeleteAllButton()->text(), "Delete all");
  EXPECT_EQ(page->OperationButtons().size(), 6);  // with the never-shown clear button
  // Left to right along the strip.
  const QWidget* strip[] = {page->ReadDataButton(), page->StartDate(), page->StartTime(),
                            page->EndDate(),        page->EndTime(),   page->FilterButton()};
  for (int i = 1; i < 6; ++i) EXPECT_GT(strip[i]->x(), strip[i - 1]->x() + strip[i - 1]->width() - 1) << i;
  // The column sits left of the grid box, the strip above both.
  const QPoint csv = page->ExportCsvButton()->mapTo(page.get(), QPoint(0, 0));
  const QPoint grid = page->View()->mapTo(page.get(), QPoint(0, 0));
  EXPECT_EQ(grid.x(), 100);
  EXPECT_EQ(grid.y(), 47);
  EXPECT_EQ(csv.y(), 47 + 73);
  QStringList labels;
  for (auto* l : page->findChildren<QLabel*>()) labels << l->text();
  EXPECT_TRUE(labels.contains("Start:"));
  EXPECT_TRUE(labels.contains("End:"));
}

TEST_F(HistoryPageTest, PickersStartAtTheirValuesAndFormats) {
  EXPECT_EQ(page->StartDate()->displayFormat(), "yyyy-MM-dd");
  EXPECT_EQ(page->EndDate()->displayFormat(), "yyyy-MM-dd");
  EXPECT_EQ(page->StartTime()->displayFormat(), "H:mm:ss");
  EXPECT_EQ(page->EndTime()->displayFormat(), "H:mm:ss");
  EXPECT_EQ(page->StartDate()->date(), QDate(2015, 3, 3));
  EXPECT_EQ(page->StartTime()->time(), QTime(0, 0, 0));
  // The fake session's clock says the program started at 2026-12-07 18:30:05.
  EXPECT_EQ(page->EndDate()->date(), QDate(2026, 12, 7));
  EXPECT_EQ(page->EndTime()->time(), QTime(18, 30, 5));
  EXPECT_EQ(page->StartTime()->text(), "0:00:00");
  EXPECT_EQ(page->StartDate()->text(), "2015-03-03");
  // The date pickers open a calendar, as the number list's do.
  for (QDateEdit* picker : {page->StartDate(), page->EndDate()}) {
    EXPECT_TRUE(picker->calendarPopup());
    ASSERT_NE(picker->calendarWidget(), nullptr);
    EXPECT_EQ(picker->calendarWidget()->selectedDate(), picker->date());
  }
}

TEST_F(HistoryPageTest, ReadDataSendsAtOnce) {
  QTest::mouseClick(page->ReadDataButton(), Qt::LeftButton);
  ASSERT_EQ(f.Port.Sent.size(), 1u);
  EXPECT_EQ(f.Port.Sent[0], testing::MakeFrame(CMD_READ, 0x30000, {}));
  EXPECT_TRUE(f.Operator.Questions.empty());
}

TEST_F(HistoryPageTest, FilterUsesThePickers) {
  g.SetCell(kHisNumber, 1, "1"), g.SetCell(kHisDate, 1, "2024-03-02"), g.SetCell(kHisTime, 1, "10:00:00");
  g.SetCell(kHisNumber, 2, "2"), g.SetCell(kHisDate, 2, "2024-03-01"), g.SetCell(kHisTime, 2, "10:00:00");
  g.SetCell(kHisNumber, 3, "3"), g.SetCell(kHisDate, 3, "2024-03-05"), g.SetCell(kHisTime, 3, "10:00:00");
  page->StartDate()->setDate(QDate(2024, 3, 1));
  page->StartTime()->setTime(QTime(9, 0, 0));
  page->EndDate()->setDate(QDate(2024, 3, 3));
  QTest::mouseClick(page->FilterButton(), Qt::LeftButton);
  EXPECT_TRUE(f.Operator.Messages.empty());
  EXPECT_EQ(g.Cell(kHisNumber, 1), "2");
  EXPECT_EQ(g.Cell(kHisNumber, 2), "1");
  EXPECT_EQ(g.Cell(kHisNumber, 3), "");
  EXPECT_EQ(page->View()->Model()->index(1, kHisDate).data().toString(), "2024-03-01");

  page->EndDate()->setDate(QDate(2024, 2, 1));
  QTest::mouseClick(page->FilterButton(), Qt::LeftButton);
  EXPECT_EQ(f.Operator.LastMessage(), "Time selection error");
}

TEST_F(HistoryPageTest, DeleteAllWarnsFirst) {
  f.Operator.WarnAnswer = false;
  QTest::mouseClick(page->DeleteAllButton(), Qt::LeftButton);
  ASSERT_EQ(f.Operator.Questions.size(), 1u);
  EXPECT_EQ(f.Operator.Questions[0],
            "Warning: Thie operation will DELETE all of the historical data on GSM device! ");
  EXPECT_TRUE(f.Port.Sent.empty());
  f.Operator.WarnAnswer = true;
  QTest::mouseClick(page->DeleteAllButton(), Qt::LeftButton);
  ASSERT_EQ(f.Port.Sent.size(), 1u);
  EXPECT_EQ(f.Port.Sent[0], testing::MakeFrame(CMD_DELETE_HISTORY, 0, {}));
  EXPECT_EQ(f.Operator.Questions.size(), 2u);
}

}  // namespace
}  // namespace torvane
