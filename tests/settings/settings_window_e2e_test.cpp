// SPDX-License-Identifier: GPL-3.0-or-later
// The Basic Settings tab against the virtual device: an installer logs in, types into the grid,
// picks from a list, saves, and reads back what was saved.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QTest>

#include "app/settings_page.h"
#include "settings/settings_table.h"
#include "support/e2e_harness.h"
#include "support/qt_app.h"

namespace torvane::testing {
namespace {

struct SettingsWindowE2e : ::testing::Test {
  TE2eHarness H;
  std::unique_ptr<TSettingsPage> page;
  TSettingsEditor* editor = nullptr;

  void SetUp() override {
    EnsureQtApp();
    ASSERT_TRUE(H.Start()) << H.Problem();
    ASSERT_TRUE(H.LogIn("6853"));
    page = std::make_unique<TSettingsPage>(H.Session());
    page->resize(987, 612);
    for (QPushButton* b : page->OperationButtons()) b->setEnabled(true);
    page->show();
    page->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(page.get()));
    editor = page->Editor();
    H.Operator.Messages.clear();
  }
  void TearDown() override { page.reset(); }

  QLineEdit* OpenEditor() const {
    for (QLineEdit* e : editor->viewport()->findChildren<QLineEdit*>())
      if (e->isVisible()) return e;
    return nullptr;
  }
  // Selects the cell and types the text, as at the keyboard.
  void TypeInto(int row, const QString& text) {
    const QModelIndex cell = editor->CellIndex(kContentCol, row);
    editor->scrollTo(cell);
    // A click on the cell already selected would open its editor only after the double-click time.
    if (editor->currentIndex() != cell)
      QTest::mouseClick(editor->viewport(), Qt::LeftButton, {}, editor->visualRect(cell).center());
    for (QChar ch : text) {
      QWidget* target = OpenEditor();
      QTest::keyClick(target ? target : static_cast<QWidget*>(editor), ch.toLatin1());
    }
    // Leave the cell (a typed value that did not reach its limit stays in the open editor).
    if (QLineEdit* e = OpenEditor()) QTest::keyClick(e, Qt::Key_Return);
  }
  std::string Content(int row) { return H.Session().SettingsGrid.Cell(kContentCol, row); }
};

TEST_F(SettingsWindowE2e, TypedValuesAndListChoicesAreSavedAndReadBack) {
  TypeInto(1, "2468");
  TypeInto(2, "+4915112345678");
  ASSERT_EQ(Content(2), "4915112345678");  // a typed plus sign is dropped like any non-digit
  TypeInto(7, "45");
  TypeInto(18, "10.1.2.3");
  TypeInto(19, "1883");
  TypeInto(24, "gate-7");
  editor->ListBox(8)->setFocus();
  editor->ListBox(8)->setCurrentIndex(1);
  editor->ListBox(11)->setFocus();  // leaving the arm list copies its text into the cell
  editor->ListBox(11)->setCurrentIndex(0);
  QTest::mouseClick(page->SaveButton(), Qt::LeftButton);
  ASSERT_TRUE(H.PumpUntilIdle());
  ASSERT_EQ(H.Operator.Messages, std::vector<std::string>{"Basic setting saved success"});
  EXPECT_EQ(Content(8), "1:Arm");
  const auto mem = H.Device.Settings();
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(mem.data()), 4), "2468");
  EXPECT_EQ(mem[111], 1);
  EXPECT_EQ(mem[116], 0);
  EXPECT_EQ(mem[236] + 256 * mem[237], 1883);

  SetUpSettingsGrid(H.Session().SettingsGrid, H.Session().SettingsLists);
  EXPECT_EQ(editor->ListBox(8)->currentIndex(), 0);
  H.Operator.Messages.clear();
  QTest::mouseClick(page->ReadButton(), Qt::LeftButton);
  ASSERT_TRUE(H.PumpUntilIdle());
  ASSERT_EQ(H.Operator.Messages, std::vector<std::string>{"Basic settings read to PC software success."});
  EXPECT_EQ(Content(1), "2468");
  EXPECT_EQ(Content(2), "4915112345678");
  EXPECT_EQ(Content(7), "45");
  EXPECT_EQ(Content(18), "10.1.2.3");
  EXPECT_EQ(Content(19), "1883");
  EXPECT_EQ(Content(24), "gate-7");
  EXPECT_EQ(editor->ListBox(8)->currentText(), "1:Arm");
  EXPECT_EQ(editor->ListBox(11)->currentText(), "0:None");
  EXPECT_EQ(editor->ListBox(12)->currentText(), "3:Admin Number;Caller Number");
}

}  // namespace
}  // namespace torvane::testing
