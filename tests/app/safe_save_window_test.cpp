// SPDX-License-Identifier: GPL-3.0-or-later
// The safe save's parts of the window, on the offscreen platform: the marks of unsaved cells and their
// count, Stop and Esc, the Options dialog kept between runs, the Restore backup buttons.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "app/history_page.h"
#include "app/main_window.h"
#include "app/numbers_page.h"
#include "app/options_dialog.h"
#include "app/settings_page.h"
#include "app/status_bar.h"
#include "numbers/number_editor.h"
#include "settings/settings_changes.h"
#include "settings/settings_editor.h"
#include "support/fakes.h"
#include "support/qt_app.h"

namespace torvane {
namespace {

using testing::MakeFrame;

class SafeSaveWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::EnsureQtApp();
    ASSERT_TRUE(dir_.isValid());
    window_ = MakeWindow();
  }
  std::unique_ptr<TForm1> MakeWindow() {
    TForm1Options o;
    o.Operator = &op_;
    o.Timers = &clock_;
    o.Clock = &wallClock_;
    o.ProgramDir = dir_.path();
    o.SettingsFile = dir_.filePath("options.ini");
    auto w = std::make_unique<TForm1>(o);
    w->show();
    return w;
  }
  TSession& S() { return window_->Session(); }
  QString Panel3() const { return window_->StatusBar().PanelText(3); }
  void Feed(const std::vector<uint8_t>& bytes) {
    for (uint8_t b : bytes) S().cm1ReceiveData(&b, 1);
  }

  QTemporaryDir dir_;
  testing::TFakeOperator op_;
  TManualClock clock_;
  TFixedClock wallClock_{{2026, 12, 9, 10, 0, 0}};
  std::unique_ptr<TForm1> window_;
};

TEST_F(SafeSaveWindow, CellsTheDeviceDoesNotHoldAreMarkedAndCounted) {
  TNumberModel* model = window_->NumbersPage().Editor()->NumberModel();
  window_->Pages().setCurrentWidget(&window_->NumbersPage());
  S().NumberGrid.SetCell(kColNumber, 5, "555");
  // Nothing is known of the device yet: nothing to compare with, no marks.
  EXPECT_FALSE(model->index(4, kColNumber).data(TNumberModel::kUnsavedRole).toBool());
  EXPECT_EQ(Panel3(), "");

  S().Numbers.Device.SetAll(std::vector<uint8_t>(375 * 256, 0xFF));
  EXPECT_TRUE(model->index(4, kColNumber).data(TNumberModel::kUnsavedRole).toBool());
  EXPECT_EQ(model->index(4, kColNumber).data(Qt::AccessibleDescriptionRole).toString(),
            "not saved to the device");
  EXPECT_FALSE(model->index(5, kColNumber).data(TNumberModel::kUnsavedRole).toBool());
  EXPECT_EQ(Panel3(), "1 rows not yet saved");
  S().NumberGrid.SetCell(kColNumber, 6, "666");
  EXPECT_EQ(Panel3(), "2 rows not yet saved");
  S().NumberGrid.SetCell(kColNumber, 5, "");
  EXPECT_EQ(Panel3(), "1 rows not yet saved");

  // The settings tab counts parameters.
  std::array<uint8_t, kSettingsBytes> pages{};
  ASSERT_FALSE(
      ComposeSettingsPages(S().SettingsGrid, S().SettingsLists, TCodePage::System(), nullptr, pages));
  S().Settings.Device.SetAll(pages);
  window_->Pages().setCurrentWidget(&window_->SettingsPage());
  EXPECT_EQ(Panel3(), "");
  S().SettingsGrid.SetCell(kContentCol, 2, "13800138000");
  S().SettingsLists.SetItemIndex(S().SettingsLists.Arm, 1);
  EXPECT_EQ(Panel3(), "2 parameters not yet saved");
  TSettingsModel* settings = window_->SettingsPage().Editor()->SettingsModel();
  EXPECT_TRUE(settings->index(1, kContentCol).data(Qt::BackgroundRole).isValid());
  EXPECT_FALSE(settings->index(2, kContentCol).data(Qt::BackgroundRole).isValid());
  EXPECT_EQ(window_->SettingsPage().Editor()->ListBox(8)->accessibleDescription(), "not saved to the device");
  // A closed port says nothing about the next device: the marks go.
  S().PortLost();
  EXPECT_EQ(Panel3(), "");
}

TEST_F(SafeSaveWindow, StopAndEscapeEndAReadAfterThePageInFlight) {
  EXPECT_FALSE(window_->StopButton()->isEnabled());
  S().Numbers.StartRead();
  ASSERT_TRUE(window_->StopButton()->isEnabled());
  QApplication::setActiveWindow(window_.get());
  ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
  QTest::keyClick(window_.get(), Qt::Key_Escape);
  EXPECT_TRUE(op_.Messages.empty());  // the page in flight is still awaited
  Feed(MakeFrame(CMD_READ, 0x1000, std::vector<uint8_t>(256, 0xFF)));
  ASSERT_EQ(op_.Messages.size(), 1u);
  EXPECT_EQ(op_.Messages[0].rfind("Stopped after page 1 of 375.", 0), 0u) << op_.Messages[0];
  EXPECT_FALSE(window_->StopButton()->isEnabled());

  op_.Messages.clear();
  S().History.ReadData();
  QTest::mouseClick(window_->StopButton(), Qt::LeftButton);
  Feed(MakeFrame(CMD_READ, 0x30000, std::vector<uint8_t>(256, 0)));
  ASSERT_EQ(op_.Messages.size(), 1u);
  EXPECT_EQ(op_.Messages[0].rfind("Stopped after page 1 of 500.", 0), 0u) << op_.Messages[0];
}

// A read goes on decoding into its grid and a save has encoded it already: what would change a grid
// waits until the transfer ends, and exports (which only read the grid) do not.
TEST_F(SafeSaveWindow, ButtonsThatChangeAGridWaitWhileATransferRuns) {
  S().Exchange.UnlockControls();
  const std::vector<QPushButton*> grid = {
      window_->SettingsPage().RestoreButton(),  window_->NumbersPage().RestoreButton(),
      window_->NumbersPage().ImportXlsButton(), window_->NumbersPage().AddFromFileButton(),
      window_->NumbersPage().AllAlwaysButton(), window_->NumbersPage().DeleteAllButton(),
      window_->HistoryPage().FilterButton()};
  for (QPushButton* b : grid) EXPECT_TRUE(b->isEnabled()) << b->text().toStdString();
  S().Numbers.StartRead();
  for (QPushButton* b : grid) EXPECT_FALSE(b->isEnabled()) << b->text().toStdString();
  EXPECT_TRUE(window_->NumbersPage().ExportXlsButton()->isEnabled());
  QTest::mouseClick(window_->NumbersPage().AllAlwaysButton(), Qt::LeftButton);
  EXPECT_EQ(S().NumberGrid.Cell(kColAlways, 9), kMarkNo);
  for (int page = 1; page <= 375; ++page)
    Feed(MakeFrame(CMD_READ, 0x1000 + (page - 1) * 0x100, std::vector<uint8_t>(256, 0xFF)));
  for (QPushButton* b : grid) EXPECT_TRUE(b->isEnabled()) << b->text().toStdString();
}

TEST_F(SafeSaveWindow, OptionsAreChosenInTheirDialogAndKeptBetweenRuns) {
  EXPECT_FALSE(S().SaveOptions().WriteAllPages);
  EXPECT_TRUE(S().SaveOptions().Verify);
  QTimer::singleShot(0, [] {
    auto* dialog = qobject_cast<TOptionsDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    dialog->WriteAllPages()->setChecked(true);
    dialog->VerifyAfterSaving()->setChecked(false);
    dialog->accept();
  });
  QTest::mouseClick(window_->OptionsButton(), Qt::LeftButton);
  EXPECT_TRUE(S().SaveOptions().WriteAllPages);
  EXPECT_FALSE(S().SaveOptions().Verify);
  EXPECT_TRUE(S().Numbers.Options.WriteAllPages);

  window_.reset();
  window_ = MakeWindow();
  EXPECT_TRUE(S().SaveOptions().WriteAllPages);
  EXPECT_FALSE(S().SaveOptions().Verify);

  // Cancel changes nothing.
  QTimer::singleShot(0, [] {
    auto* dialog = qobject_cast<TOptionsDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    dialog->VerifyAfterSaving()->setChecked(true);
    dialog->reject();
  });
  QTest::mouseClick(window_->OptionsButton(), Qt::LeftButton);
  EXPECT_FALSE(S().SaveOptions().Verify);
}

TEST_F(SafeSaveWindow, RestoreBackupOpensTheBackupFolderBeforeAnyLogin) {
  for (QPushButton* b : {window_->SettingsPage().RestoreButton(), window_->NumbersPage().RestoreButton()}) {
    EXPECT_EQ(b->text(), "Restore backup");
    EXPECT_TRUE(b->isEnabled());
    QTest::mouseClick(b, Qt::LeftButton);  // the fake operator cancels the dialog
  }
  ASSERT_EQ(op_.FileFolders.size(), 2u);
  EXPECT_EQ(op_.FileFolders[0], S().BackupDirectory());
  EXPECT_EQ(op_.FileFilters[0], "Backup|*.tvbackup|(*.*)|*.*");
  EXPECT_EQ(std::filesystem::path(S().BackupDirectory()).parent_path().filename(), "backups");
}

}  // namespace
}  // namespace torvane
