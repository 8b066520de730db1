// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/settings_page.h"

#include <QResizeEvent>

#include "app/app_texts.h"
#include "files/import_result.h"

namespace torvane {

namespace {
constexpr int kPanelWidth = 100;
}

TSettingsPage::TSettingsPage(TSession& session, QWidget* parent) : TTabPage(parent), session_(session) {
  read_ = AddButton("Read Settings", 7, 47, 85, 31, true);
  save_ = AddButton("Save Settings", 7, 113, 85, 31, true);
  import_ = ChangesGrid(AddButton("Import profile", 7, 179, 85, 31, false));
  export_ = AddButton("Export profile", 7, 246, 85, 31, false);
  // Not under the login lock: it only fills the grid, as an import does.
  restore_ = ChangesGrid(new QPushButton(kRestoreBackupCaption, this));
  restore_->setGeometry(7, 312, 85, 31);
  restore_->setAccessibleName(kRestoreBackupCaption);
  editor_ = new TSettingsEditor(session_.SettingsGrid, session_.SettingsLists, &session_.SettingsUndo,
                                TCodePage::System(), this);
  editor_->setGeometry(kPanelWidth, 0, std::max(0, width() - kPanelWidth), height());
  connect(editor_, &TSettingsEditor::ScrollCaption, this, &TSettingsPage::ScrollCaption);
  connect(read_, &QPushButton::clicked, this, [this] {
    if (session_.MayDiscardSettings()) session_.Settings.StartRead();
  });
  connect(save_, &QPushButton::clicked, this, [this] { session_.Settings.StartSave(); });
  connect(import_, &QPushButton::clicked, this, [this] {
    if (!session_.MayDiscardSettings()) return;
    // The cells and then the lists: one step.
    TUndoStep step(session_.SettingsUndo);
    const TImportResult result = session_.Profiles.ImportProfile();
    if (result.Loaded()) session_.SettingsEdits.Take();
    ShowImportResult(session_.Context.Operator, result);
  });
  connect(export_, &QPushButton::clicked, this, [this] { session_.Profiles.ExportProfile(); });
  connect(restore_, &QPushButton::clicked, this, [this] { session_.RestoreSettingsBackup(); });
}

void TSettingsPage::resizeEvent(QResizeEvent* event) {
  TTabPage::resizeEvent(event);
  editor_->setGeometry(kPanelWidth, 0, std::max(0, width() - kPanelWidth), height());
}

}  // namespace torvane
