// SPDX-License-Identifier: GPL-3.0-or-later
#include "numbers/number_editor.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QAccessibleTableInterface>
#include <QApplication>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <cstring>

#include "app/numbers_page.h"
#include "support/fakes.h"
#include "support/qt_app.h"

namespace torvane {
namespace {

using testing::TFakeSession;

class NumberEditorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::EnsureQtApp();
    page = std::make_unique<TNumbersPage>(s);
    page->resize(1062, 612);
    for (QPushButton* b : page->OperationButtons()) b->setEnabled(true);
    page->show();
    page->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(page.get()));
    editor = page->Editor();
    editor->SetDateSeparator(QLatin1Char('/'));
  }

  QModelIndex At(int row, int col) const { return editor->NumberModel()->index(row - 1, col); }
  QPoint Centre(int row, int col) const { return editor->visualRect(At(row, col)).center(); }
  void Click(int row, int col) {
    editor->scrollTo(At(row, col));
    QTest::mouseClick(editor->viewport(), Qt::LeftButton, {}, Centre(row, col));
  }
  void Window(int row) {
    grid.SetCell(kColNumber, row, "123");
    grid.SetCell(kColStartDate, row, "2024-05-06");
    grid.SetCell(kColStartTime, row, "07:05");
    grid.SetCell(kColEndDate, row, "2025-12-31");
    grid.SetCell(kColEndTime, row, "23:59");
  }
  std::string WindowText(int row) const {
    return grid.Cell(kColStartDate, row) + grid.Cell(kColStartTime, row) + grid.Cell(kColEndDate, row) +
           grid.Cell(kColEndTime, row);
  }
  QColor PixelNearCorner(int row, int col) {
    const QImage img = editor->viewport()->grab().toImage();
    return img.pixelColor(editor->visualRect(At(row, col)).topLeft() + QPoint(3, 3));
  }

  TFakeSession f;
  TSession& s = *f.Session;
  TGrid& grid = s.NumberGrid;
  std::unique_ptr<TNumbersPage> page;
  TNumberEditor* editor = nullptr;
};

TEST_F(NumberEditorTest, LaysOutTheGridAsDesigned) {
  EXPECT_EQ(editor->model()->rowCount(), 3000);
  EXPECT_EQ(editor->model()->columnCount(), 8);
  EXPECT_EQ(editor->model()->headerData(3, Qt::Horizontal).toString(), QStringLiteral("Start Time "));
  const int widths[] = {45, 145, 83, 91, 89, 86, 78, 76};
  for (int c = 0; c < 8; ++c) EXPECT_EQ(editor->columnWidth(c), widths[c]) << c;
  EXPECT_EQ(editor->rowHeight(0), 24);
  EXPECT_EQ(editor->geometry().left(), 100);
  EXPECT_FALSE(editor->currentIndex().isValid());
  EXPECT_FALSE(editor->model()->flags(At(1, kColSerial)) & Qt::ItemIsSelectable);
  EXPECT_EQ(At(3000, kColSerial).data().toString(), QStringLiteral("3000"));
}

TEST_F(NumberEditorTest, ClickingAMarkTogglesItAndTickingEmptiesTheWindow) {
  Window(2);
  Click(2, kColAlways);
  EXPECT_EQ(grid.Cell(kColAlways, 2), "yes");
  EXPECT_EQ(WindowText(2), "");
  EXPECT_EQ(grid.Cell(kColNumber, 2), "123");
  Click(2, kColAlways);
  EXPECT_EQ(grid.Cell(kColAlways, 2), "no");
  EXPECT_EQ(WindowText(2), "");

  Window(3);
  Click(3, kColDelete);
  EXPECT_EQ(grid.Cell(kColDelete, 3), "yes");
  EXPECT_EQ(WindowText(3), "");
  // Clicks elsewhere leave the marks alone.
  Click(3, kColNumber);
  EXPECT_EQ(grid.Cell(kColDelete, 3), "yes");
}

TEST_F(NumberEditorTest, MarksReadAsYesAndNoAndAreDrawnAsUnhighlightedBoxes) {
  grid.SetCell(kColAlways, 4, "yes");
  EXPECT_EQ(At(4, kColAlways).data(Qt::DisplayRole).toString(), QStringLiteral("yes"));
  EXPECT_EQ(At(4, kColAlways).data(Qt::AccessibleTextRole).toString(), QStringLiteral("yes"));
  EXPECT_EQ(At(4, kColAlways).data(Qt::CheckStateRole).toInt(), Qt::Checked);
  EXPECT_EQ(At(5, kColDelete).data(Qt::AccessibleTextRole).toString(), QStringLiteral("no"));

  QAccessibleInterface* table = QAccessible::queryAccessibleInterface(editor);
  ASSERT_TRUE(table && table->tableInterface());
  QAccessibleInterface* cell = table->tableInterface()->cellAt(3, kColAlways);
  ASSERT_TRUE(cell);
  EXPECT_EQ(cell->text(QAccessible::Name), QStringLiteral("yes"));

  // Selected, the mark cell keeps the window colour; a selected number cell is highlighted.
  editor->setCurrentIndex(At(4, kColAlways));
  const QColor base = editor->palette().color(QPalette::Active, QPalette::Base);
  EXPECT_EQ(PixelNearCorner(4, kColAlways), base);
  editor->setCurrentIndex(At(4, kColNumber));
  EXPECT_NE(PixelNearCorner(4, kColNumber), base);
}

TEST_F(NumberEditorTest, AllAlwaysTwiceTicksThenUnticksEveryRowInOneChange) {
  Window(7);
  QSignalSpy changes(editor->model(), &QAbstractItemModel::dataChanged);
  QTest::mouseClick(page->AllAlwaysButton(), Qt::LeftButton);
  EXPECT_EQ(changes.count(), 1);
  for (int row : {1, 7, 1500, 3000}) EXPECT_EQ(grid.Cell(kColAlways, row), "yes") << row;
  EXPECT_EQ(grid.Cell(kColStartDate, 7), "2024-05-06");

  grid.SetCell(kColAlways, 9, "no");  // a single mark changed between presses does not reset the toggle
  QTest::mouseClick(page->AllAlwaysButton(), Qt::LeftButton);
  for (int row : {1, 7, 9, 3000}) EXPECT_EQ(grid.Cell(kColAlways, row), "no") << row;
  EXPECT_EQ(WindowText(7), "2024-05-0607:052025-12-3123:59");

  QTest::mouseClick(page->DeleteAllButton(), Qt::LeftButton);
  EXPECT_EQ(grid.Cell(kColDelete, 3000), "yes");
  QTest::mouseClick(page->DeleteAllButton(), Qt::LeftButton);
  EXPECT_EQ(grid.Cell(kColDelete, 1), "no");
}

TEST_F(NumberEditorTest, PickersLieOverTheSelectedWindowCellOfRowsNotMarkedAlways) {
  Window(5);
  Click(5, kColStartDate);
  EXPECT_TRUE(editor->StartDatePicker()->isVisible());
  EXPECT_FALSE(editor->StartTimePicker()->isVisible());
  EXPECT_TRUE(
      editor->visualRect(At(5, kColStartDate)).contains(editor->StartDatePicker()->geometry().center()));
  EXPECT_EQ(editor->StartDatePicker()->date(), QDate(2024, 5, 6));

  Click(5, kColEndTime);
  EXPECT_FALSE(editor->StartDatePicker()->isVisible());
  EXPECT_TRUE(editor->EndTimePicker()->isVisible());
  EXPECT_EQ(editor->EndTimePicker()->time(), QTime(23, 59));

  Click(5, kColNumber);
  EXPECT_FALSE(editor->EndTimePicker()->isVisible());

  grid.SetCell(kColAlways, 6, "yes");
  Click(6, kColStartDate);
  EXPECT_FALSE(editor->StartDatePicker()->isVisible());
  Click(6, kColEndDate);
  EXPECT_FALSE(editor->EndDatePicker()->isVisible());

  // A cell holding no real date leaves the picker at its previous value.
  grid.SetCell(kColEndDate, 8, "2024-02-30");
  editor->EndDatePicker()->setDate(QDate(2020, 1, 2));
  Click(8, kColEndDate);
  EXPECT_TRUE(editor->EndDatePicker()->isVisible());
  EXPECT_EQ(editor->EndDatePicker()->date(), QDate(2020, 1, 2));
  EXPECT_EQ(grid.Cell(kColEndDate, 8), "2024-02-30");
}

TEST_F(NumberEditorTest, PickersWriteTheirFormatsBackIntoTheCurrentRow) {
  grid.SetCell(kColNumber, 10, "555");
  Click(10, kColStartDate);
  // Picking a start date writes it at once, with the system's date separator.
  editor->StartDatePicker()->setDate(QDate(2024, 3, 6));
  EXPECT_EQ(grid.Cell(kColStartDate, 10), "2024/03/06");
  editor->SetDateSeparator(QLatin1Char('-'));
  editor->StartDatePicker()->setDate(QDate(2024, 3, 7));
  EXPECT_EQ(grid.Cell(kColStartDate, 10), "2024-03-07");

  // The time is written when the operator leaves its picker.
  Click(10, kColStartTime);
  QTimeEdit* time = editor->StartTimePicker();
  time->setFocus();
  ASSERT_TRUE(time->hasFocus());
  time->setTime(QTime(7, 5));
  EXPECT_EQ(grid.Cell(kColStartTime, 10), "");
  Click(10, kColEndDate);
  EXPECT_EQ(grid.Cell(kColStartTime, 10), "07:05");
  EXPECT_EQ(grid.Cell(kColEndDate, 10), "");  // selecting a cell alone writes nothing

  // From the keyboard: Enter goes into the picker, Enter again comes back and writes.
  editor->setFocus();
  QTest::keyClick(editor, Qt::Key_Return);
  ASSERT_TRUE(editor->EndDatePicker()->hasFocus());
  editor->EndDatePicker()->setDate(QDate(2025, 12, 31));
  QTest::keyClick(editor->EndDatePicker(), Qt::Key_Return);
  EXPECT_TRUE(editor->hasFocus());
  EXPECT_EQ(grid.Cell(kColEndDate, 10), "2025-12-31");
}

TEST_F(NumberEditorTest, OnlyTheNumberIsTyped) {
  Click(11, kColNumber);
  QTest::keyClick(editor, '+');  // the first key opens the cell's editor
  ASSERT_TRUE(QApplication::focusWidget());
  QTest::keyClicks(QApplication::focusWidget(), "8613");
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
  QCoreApplication::processEvents();  // the view commits a line edit's text on its next turn
  EXPECT_EQ(grid.Cell(kColNumber, 11), "+8613");

  Click(11, kColStartTime);
  editor->setFocus();
  QTest::keyClicks(editor, "12");
  EXPECT_EQ(grid.Cell(kColStartTime, 11), "");

  Click(11, kColAlways);
  ASSERT_EQ(grid.Cell(kColAlways, 11), "yes");
  QTest::keyClicks(editor, "x");
  EXPECT_EQ(grid.Cell(kColAlways, 11), "yes");
  QTest::keyClick(editor, Qt::Key_Space);
  EXPECT_EQ(grid.Cell(kColAlways, 11), "no");
}

TEST_F(NumberEditorTest, OutOfRangeDatesAndTimesArePaleGreen) {
  const QColor green(192, 220, 192);
  grid.SetCell(kColStartDate, 1, "2024-13-01");
  grid.SetCell(kColEndDate, 1, "2024-12-31");
  grid.SetCell(kColStartTime, 1, "24:00");
  grid.SetCell(kColEndTime, 1, "23:59");
  EXPECT_EQ(At(1, kColStartDate).data(Qt::BackgroundRole).value<QColor>(), green);
  EXPECT_FALSE(At(1, kColEndDate).data(Qt::BackgroundRole).isValid());
  EXPECT_EQ(At(1, kColStartTime).data(Qt::BackgroundRole).value<QColor>(), green);
  EXPECT_FALSE(At(1, kColEndTime).data(Qt::BackgroundRole).isValid());
  EXPECT_EQ(PixelNearCorner(1, kColStartDate), green);
  EXPECT_EQ(PixelNearCorner(1, kColStartTime), green);
  EXPECT_NE(PixelNearCorner(1, kColEndDate), green);
  EXPECT_NE(PixelNearCorner(1, kColEndTime), green);
}

TEST_F(NumberEditorTest, OneWheelNotchIsOneRowAnywhereOnTheTab) {
  QScrollBar* bar = editor->verticalScrollBar();
  const int start = bar->value();
  auto turn = [](QWidget* w, int delta) {
    const QPointF pos(10, 10);
    QWheelEvent e(pos, w->mapToGlobal(pos), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                  Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &e);
  };
  turn(editor->viewport(), -120);
  EXPECT_EQ(bar->value(), start + 1);
  turn(page.get(), -120);
  EXPECT_EQ(bar->value(), start + 2);
  turn(editor->viewport(), 120);
  EXPECT_EQ(bar->value(), start + 1);

  // Over a picker the operator is not in, the wheel scrolls the list and leaves the date alone.
  Click(2, kColStartDate);
  ASSERT_TRUE(editor->StartDatePicker()->isVisible());
  const int here = bar->value();
  turn(editor->StartDatePicker(), -120);
  EXPECT_EQ(bar->value(), here + 1);
  EXPECT_EQ(grid.Cell(kColStartDate, 2), "");
}

TEST_F(NumberEditorTest, AReadPageIsOneChangeOfTheView) {
  QSignalSpy changes(editor->model(), &QAbstractItemModel::dataChanged);
  uint8_t page[kNumberPageSize] = {'7', '7', '7'};
  DecodeNumberPage(s.NumberGrid, 2, page);
  ASSERT_EQ(changes.count(), 1);
  EXPECT_EQ(changes[0][0].value<QModelIndex>().row(), 8);  // grid row 9
  EXPECT_EQ(changes[0][1].value<QModelIndex>().row(), 8);
  EXPECT_EQ(At(9, kColNumber).data().toString(), QStringLiteral("777"));
}

}  // namespace
}  // namespace torvane
