// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/settings_editor.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include "app/settings_page.h"
#include "settings/settings_table.h"
#include "support/fakes.h"
#include "support/qt_app.h"

namespace torvane {
namespace {

using testing::TFakeSession;

class SettingsEditorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::EnsureQtApp();
    page = std::make_unique<TSettingsPage>(*s.Session);
    page->resize(1062 - 75, 612);
    for (QPushButton* b : page->OperationButtons()) b->setEnabled(true);
    page->show();
    page->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(page.get()));
    editor = page->Editor();
    QApplication::processEvents();
  }

  TGrid& Grid() { return s.Session->SettingsGrid; }
  std::string Content(int row) { return Grid().Cell(kContentCol, row); }
  QLineEdit* OpenEditor() const {
    for (QLineEdit* e : editor->viewport()->findChildren<QLineEdit*>())
      if (e->isVisible()) return e;
    return nullptr;
  }
  void Click(int row, int col) {
    QTest::mouseClick(editor->viewport(), Qt::LeftButton, {},
                      editor->visualRect(editor->CellIndex(col, row)).center());
  }
  // Types as a person does: into the cell's editor once it is open, else into the grid.
  void Type(const QString& text) {
    for (QChar ch : text) {
      QWidget* target = OpenEditor();
      QTest::keyClick(target ? target : static_cast<QWidget*>(editor), ch.toLatin1());
    }
  }

  TFakeSession s;
  std::unique_ptr<TSettingsPage> page;
  TSettingsEditor* editor = nullptr;
};

TEST_F(SettingsEditorTest, LooksAsDesigned) {
  EXPECT_EQ(editor->columnWidth(0), 275);
  EXPECT_EQ(editor->columnWidth(1), 201);
  EXPECT_EQ(editor->columnWidth(2), 391);
  EXPECT_EQ(editor->rowHeight(0), 20);
  EXPECT_EQ(editor->rowHeight(27), 20);
  EXPECT_EQ(editor->horizontalHeader()->height(), 20);
  EXPECT_EQ(editor->model()->rowCount(), 28);
  EXPECT_EQ(editor->model()->headerData(1, Qt::Horizontal).toString(), "Content");
  EXPECT_EQ(editor->model()->index(0, 0).data().toString(), "1.Password");
  EXPECT_EQ(editor->CurrentGridRow(), 0);
  EXPECT_EQ(editor->geometry(), QRect(100, 0, page->width() - 100, page->height()));
  EXPECT_EQ(editor->focusPolicy() & Qt::TabFocus, 0);

  // The heading row is drawn on the light blue, its text centred.
  const QImage heading = editor->horizontalHeader()->grab().toImage();
  EXPECT_EQ(QColor(heading.pixel(5, 10)), QColor(166, 202, 240));
  EXPECT_EQ(editor->horizontalHeader()->defaultAlignment(), Qt::AlignCenter);
}

TEST_F(SettingsEditorTest, PasswordStopsAtFourDigitsAndSelectsRowTwo) {
  Click(1, kContentCol);
  Type("1234");
  EXPECT_EQ(Content(1), "1234");
  EXPECT_EQ(editor->CurrentGridRow(), 2);
  QApplication::processEvents();
  EXPECT_EQ(OpenEditor(), nullptr);

  Click(1, kContentCol);
  Type("987x");
  EXPECT_EQ(Content(1), "987");
  EXPECT_EQ(editor->CurrentGridRow(), 2);
}

TEST_F(SettingsEditorTest, LetterInTheAutoArmCellIsRemovedAndThreeDigitsMoveOn) {
  Click(7, kContentCol);
  Type("a");
  EXPECT_EQ(Content(7), "");
  ASSERT_NE(OpenEditor(), nullptr);
  EXPECT_EQ(OpenEditor()->text(), "");
  Type("12");
  EXPECT_EQ(Content(7), "12");
  EXPECT_EQ(editor->CurrentGridRow(), 7);
  Type("3");
  EXPECT_EQ(Content(7), "123");
  EXPECT_EQ(editor->CurrentGridRow(), 8);
}

TEST_F(SettingsEditorTest, SeventyCharactersPastedIntoTheMqttClientId) {
  Click(24, kContentCol);
  QTest::keyClick(editor, Qt::Key_F2);
  QLineEdit* edit = OpenEditor();
  ASSERT_NE(edit, nullptr);
  QApplication::clipboard()->setText(QString(70, QLatin1Char('m')));
  QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(Content(24), std::string(63, 'm') + std::string(1, '\0'));
  EXPECT_EQ(editor->CurrentGridRow(), 23);
}

TEST_F(SettingsEditorTest, GprsPasswordMovesBackToTheUserName) {
  Click(22, kContentCol);
  Type("abcdefghijklmnop");
  EXPECT_EQ(Content(22), "abcdefghijklmnop");
  EXPECT_EQ(editor->CurrentGridRow(), 21);
}

TEST_F(SettingsEditorTest, TypingIntoAListRowEmptiesItAndMovesOn) {
  Click(7, kContentCol);
  QTest::keyClick(editor, Qt::Key_Down);
  ASSERT_EQ(editor->CurrentGridRow(), 8);
  Type("x");
  EXPECT_EQ(Content(8), "");
  EXPECT_EQ(editor->CurrentGridRow(), 9);
  EXPECT_EQ(s.Session->SettingsLists.Arm.ItemIndex, 0);  // the list keeps its choice
}

TEST_F(SettingsEditorTest, DescriptionsAndLabelsAreNotEditable) {
  const std::string before = Grid().Cell(kDescriptionCol, 5);
  Click(5, kDescriptionCol);
  Type("zz");
  QTest::keyClick(editor, Qt::Key_F2);
  EXPECT_EQ(OpenEditor(), nullptr);
  EXPECT_EQ(Grid().Cell(kDescriptionCol, 5), before);
  EXPECT_FALSE(editor->model()->flags(editor->CellIndex(kLabelCol, 5)) & Qt::ItemIsEditable);
  EXPECT_FALSE(editor->model()->flags(editor->CellIndex(kLabelCol, 5)) & Qt::ItemIsSelectable);
}

TEST_F(SettingsEditorTest, ListsLieOverTheirCellsAndFollowTheChoices) {
  TSettingsLists& lists = s.Session->SettingsLists;
  for (TListChoice* l : lists.All()) {
    QComboBox* box = editor->ListBox(l->Row);
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->isVisible()) << l->Row;
    EXPECT_TRUE(l->Visible);
    EXPECT_EQ(box->geometry(), editor->visualRect(editor->CellIndex(kContentCol, l->Row))) << l->Row;
    EXPECT_EQ(box->currentIndex(), l->ItemIndex);
  }
  QComboBox* arm = editor->ListBox(8);
  EXPECT_EQ(arm->count(), 2);
  arm->setFocus();
  arm->setCurrentIndex(1);
  EXPECT_EQ(lists.Arm.ItemIndex, 1);
  EXPECT_EQ(Content(8), "0:Disarm");  // copied only on leaving the list
  editor->ListBox(9)->setFocus();
  QApplication::processEvents();
  EXPECT_EQ(Content(8), "1:Arm");

  // A read from the device moves the list on screen.
  lists.SetItemIndex(lists.NotifyOff, 0);
  EXPECT_EQ(editor->ListBox(12)->currentText(), "0:None");
  lists.SetItemIndex(lists.NotifyOff, 7);
  EXPECT_EQ(editor->ListBox(12)->currentIndex(), -1);
}

TEST_F(SettingsEditorTest, HorizontalScrollChangesTheCaptionAndTheListsFollowTheirCells) {
  page->resize(500, 612);
  QApplication::processEvents();
  QScrollBar* bar = editor->horizontalScrollBar();
  ASSERT_GT(bar->maximum(), 0);
  QSignalSpy caption(editor, &TSettingsEditor::ScrollCaption);
  QSignalSpy forwarded(page.get(), &TSettingsPage::ScrollCaption);
  const int before = bar->value();
  bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  ASSERT_EQ(caption.count(), 1);
  EXPECT_EQ(caption[0][0].toString(), QString::fromUtf8("滚动条位置:") + QString::number(before));
  EXPECT_NE(bar->value(), before);
  ASSERT_EQ(forwarded.count(), 1);
  EXPECT_EQ(forwarded[0][0], caption[0][0]);
  QApplication::processEvents();
  for (TListChoice* l : s.Session->SettingsLists.All()) {
    const QRect cell = editor->visualRect(editor->CellIndex(kContentCol, l->Row));
    if (!cell.isValid()) continue;
    EXPECT_TRUE(editor->ListBox(l->Row)->isVisible()) << l->Row;
    EXPECT_EQ(editor->ListBox(l->Row)->geometry(), cell) << l->Row;
  }
}

TEST_F(SettingsEditorTest, ButtonsStartTheReadAndTheSave) {
  s.Operator.ConfirmAnswer = false;
  QTest::mouseClick(page->ReadButton(), Qt::LeftButton);
  ASSERT_EQ(s.Operator.Questions.size(), 1u);
  EXPECT_TRUE(s.Port.Sent.empty());
  QTest::mouseClick(page->SaveButton(), Qt::LeftButton);
  // The device's pages are not known yet: the save reads them first.
  ASSERT_EQ(s.Port.Sent.size(), 1u);
  EXPECT_EQ(s.Port.Sent[0], testing::MakeFrame(CMD_READ, 0, {}));
}

}  // namespace
}  // namespace torvane
