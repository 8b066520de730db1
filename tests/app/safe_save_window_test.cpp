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
#include <algorithm>
#include <chrono>
#include <filesystem>

#include "app/history_page.h"
#include "app/main_window.h"
#include "app/numbers_page.h"
#include "app/options_dialog.h"
#include "app/settings_page.h"
#include "app/status_bar.h"
#include "files/backup_file.h"
#include "numbers/number_editor.h"
#include "numbers/number_record.h"
#include "settings/settings_changes.h"
#include "settings/settings_editor.h"
#include "support/window_fixture.h"

namespace torvane {
namespace {

using testing::MakeFrame;

class SafeSaveWindow : public testing::TWindowFixture {
 protected:
  QString Panel3() const { return window_->StatusBar().PanelText(3); }
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
  S().History.StartRead();
  QTest::mouseClick(window_->StopButton(), Qt::LeftButton);
  Feed(MakeFrame(CMD_READ, 0x30000, std::vector<uint8_t>(256, 0)));
  ASSERT_EQ(op_.Messages.size(), 1u);
  EXPECT_EQ(op_.Messages[0].rfind("Stopped after page 1 of 500.", 0), 0u) << op_.Messages[0];
}

// A read goes on decoding into its grid and a save has encoded it already: what would change a grid
// waits until the transfer ends, and exports (which only read the grid) do not.
TEST_F(SafeSaveWindow, ButtonsThatChangeAGridWaitWhileATransferRuns) {
  S().UnlockControls();
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

// What was typed is given up only when the operator says so, and only what was typed is asked about.
TEST_F(SafeSaveWindow, WhatWasTypedIsAskedAboutBeforeAnythingReplacesIt) {
  S().UnlockControls();
  struct TCase {
    const char* What;
    QPushButton* Button;
    bool Settings;
    bool AsksForAFile;
  };
  const TCase cases[] = {
      {"Read Settings", window_->SettingsPage().ReadButton(), true, false},
      {"Import profile", window_->SettingsPage().ImportButton(), true, true},
      {"Restore backup (settings)", window_->SettingsPage().RestoreButton(), true, true},
      {"Read", window_->NumbersPage().ReadButton(), false, false},
      {"Import .XLS", window_->NumbersPage().ImportXlsButton(), false, true},
      {"Restore backup (numbers)", window_->NumbersPage().RestoreButton(), false, true},
  };
  const std::string simBefore = S().SettingsGrid.Cell(kContentCol, 2);
  auto asked = [&] {
    return std::count_if(op_.Questions.begin(), op_.Questions.end(), [](const std::string& q) {
      return q.find("not saved to the device") != std::string::npos;
    });
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.What);
    if (c.Settings) {
      S().SettingsGrid.SetCell(kContentCol, 2, "13800138000");
    } else {
      S().NumberGrid.SetCell(kColNumber, 5, "555");
      S().NumberGrid.SetCell(kColNumber, 6, "666");
    }
    op_.Questions.clear();
    op_.FileFilters.clear();
    op_.WarnAnswer = false;
    QTest::mouseClick(c.Button, Qt::LeftButton);
    EXPECT_EQ(op_.Questions,
              std::vector<std::string>{c.Settings ? "1 parameter is not saved to the device. Discard it?"
                                                  : "2 rows are not saved to the device. Discard them?"});
    EXPECT_TRUE(op_.FileFilters.empty());
    EXPECT_FALSE(S().Exchange.Busy());

    // Typed back as it was: nothing to lose, nothing asked.
    if (c.Settings) {
      S().SettingsGrid.SetCell(kContentCol, 2, simBefore);
    } else {
      S().NumberGrid.SetCell(kColNumber, 5, "");
      S().NumberGrid.SetCell(kColNumber, 6, "");
    }
    op_.Questions.clear();
    QTest::mouseClick(c.Button, Qt::LeftButton);
    EXPECT_EQ(asked(), 0);
    if (c.AsksForAFile) {
      EXPECT_EQ(op_.FileFilters.size(), 1u);
    } else {
      EXPECT_TRUE(S().Exchange.Busy());
      S().PortLost();
    }
  }
}

TEST_F(SafeSaveWindow, ClosingWithWhatWasTypedAsksFirst) {
  window_->close();
  EXPECT_FALSE(window_->isVisible());
  EXPECT_TRUE(op_.Questions.empty());
  window_->show();

  S().NumberGrid.SetCell(kColNumber, 5, "555");
  S().SettingsGrid.SetCell(kContentCol, 2, "13800138000");
  op_.CloseAnswer = TCloseAnswer::Cancel;
  window_->close();
  EXPECT_TRUE(window_->isVisible());
  EXPECT_EQ(op_.Questions,
            std::vector<std::string>{"1 parameters and 1 rows are not saved to the device. Discard them?"});
  // Not logged in: nothing can be saved first, and a Save is taken as Cancel.
  EXPECT_EQ(op_.CloseCouldSave, std::vector<bool>{false});
  op_.CloseAnswer = TCloseAnswer::Save;
  window_->close();
  EXPECT_TRUE(window_->isVisible());
  EXPECT_FALSE(S().Exchange.Busy());
  op_.CloseAnswer = TCloseAnswer::Discard;
  window_->close();
  EXPECT_FALSE(window_->isVisible());
}

TEST_F(SafeSaveWindow, RestoreBackupListsTheControllerOnTheLeadFirstThenNewestFirst) {
  S().BackupDir = dir_.filePath("kept").toStdString();
  auto keep = [&](const char* table, const char* sim, int numbers, int minutesAgo) {
    const int pages = std::string(table) == "numbers" ? 375 : 3;
    std::vector<uint8_t> bytes(pages * 256, 0);
    for (int i = 0; i < numbers; ++i) std::copy_n("+4917012345", 11, bytes.begin() + i * kNumberRecordSize);
    const std::string path = KeepBackup(S().BackupDir, {.Table = table,
                                                        .PageCount = pages,
                                                        .Taken = {2026, 12, 9, 10, 59 - minutesAgo, 0},
                                                        .Port = "/dev/ttyUSB0",
                                                        .Sim = sim,
                                                        .Pages = bytes});
    std::filesystem::last_write_time(
        path, std::filesystem::file_time_type::clock::now() - std::chrono::minutes(minutesAgo));
    return path;
  };
  const std::string otherNew = keep("numbers", "+222", 1, 1);
  const std::string thisOld = keep("numbers", "+111", 3, 30);
  const std::string thisNew = keep("numbers", "+111", 2, 10);
  keep("settings", "+111", 0, 0);
  S().SimNumber = "+111";
  QTest::mouseClick(window_->NumbersPage().RestoreButton(), Qt::LeftButton);
  ASSERT_EQ(op_.BackupLists.size(), 1u);
  const std::vector<TBackupEntry>& list = op_.BackupLists[0];
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ((std::vector<std::string>{list[0].Path, list[1].Path, list[2].Path}),
            (std::vector<std::string>{thisNew, thisOld, otherNew}));
  EXPECT_EQ((std::vector<bool>{list[0].ThisDevice, list[1].ThisDevice, list[2].ThisDevice}),
            (std::vector<bool>{true, true, false}));
  EXPECT_EQ(list[0].Contents, "2 numbers");
  EXPECT_EQ(list[2].Contents, "1 number");
  EXPECT_EQ(list[0].Taken, "2026-12-09 10:49:00");
  EXPECT_EQ(list[2].Sim, "+222");
}

}  // namespace
}  // namespace torvane
