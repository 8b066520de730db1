// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/numbers_page.h"

#include <QResizeEvent>
#include <QWheelEvent>

#include "app/app_texts.h"
#include "files/import_result.h"
#include "numbers/number_files.h"
#include "numbers/number_merge.h"
#include "numbers/number_record.h"

namespace torvane {

namespace {
constexpr int kButtonColumnWidth = 100;
}

TNumbersPage::TNumbersPage(TSession& session, QWidget* parent) : TTabPage(parent), session_(session) {
  read_ = AddButton("Read", 7, 45, 85, 30, true);
  save_ = AddButton("Save", 7, 101, 85, 30, true);
  importXls_ = ChangesGrid(AddButton("Import .XLS", 7, 158, 85, 30, false));
  exportXls_ = AddButton("Export .XLS", 7, 214, 85, 30, false);
  exportCsv_ = AddButton("Export .CSV", 7, 271, 85, 30, false);
  allAlways_ = ChangesGrid(AddButton("All Always", 7, 330, 85, 30, false));
  deleteAll_ = ChangesGrid(AddButton("Delete all", 7, 385, 85, 30, false));
  // Kept under the login lock like the others but never shown.
  ChangesGrid(AddButton("清空界面信息", 7, 440, 85, 30, false))->setVisible(false);
  // Not under the login lock: it only fills the grid, as an import does.
  restore_ = ChangesGrid(new QPushButton(kRestoreBackupCaption, this));
  restore_->setGeometry(7, 440, 85, 30);
  restore_->setAccessibleName(kRestoreBackupCaption);
  addFromFile_ = ChangesGrid(AddButton(kNumbersAddFromFileCaption, 7, 496, 85, 30, false));
  editor_ = new TNumberEditor(session_.NumberGrid, &session_.NumbersUndo, this);
  editor_->setGeometry(kButtonColumnWidth, 0, std::max(0, width() - kButtonColumnWidth), height());

  connect(read_, &QPushButton::clicked, this, [this] {
    if (session_.MayDiscardNumbers()) session_.Numbers.StartRead();
  });
  connect(restore_, &QPushButton::clicked, this, [this] { session_.RestoreNumbersBackup(); });
  connect(save_, &QPushButton::clicked, this, [this] { session_.Numbers.StartSave(); });
  connect(importXls_, &QPushButton::clicked, this, [this] {
    if (!session_.MayDiscardNumbers()) return;
    TUndoStep step(session_.NumbersUndo);
    const TImportResult result = ImportNumbersXls(session_.Exchange, session_.NumberGrid, session_.ConfigDir);
    if (result.Loaded()) session_.NumberEdits.Take();
    ShowImportResult(session_.Exchange.Operator, result);
  });
  connect(addFromFile_, &QPushButton::clicked, this, [this] {
    TUndoStep step(session_.NumbersUndo);
    AddNumbersFromFile(session_.Exchange.Operator, session_.NumberGrid, session_.ConfigDir);
  });
  connect(exportXls_, &QPushButton::clicked, this,
          [this] { ExportNumbersXls(session_.Exchange, session_.NumberGrid, session_.ConfigDir); });
  connect(exportCsv_, &QPushButton::clicked, this,
          [this] { ExportNumbersCsv(session_.Exchange, session_.NumberGrid, session_.ConfigDir); });
  connect(allAlways_, &QPushButton::clicked, this, [this] {
    allAlwaysOn_ = !allAlwaysOn_;
    SetNumberMarks(session_.NumberGrid, kColAlways, allAlwaysOn_);
  });
  connect(deleteAll_, &QPushButton::clicked, this, [this] {
    deleteAllOn_ = !deleteAllOn_;
    SetNumberMarks(session_.NumberGrid, kColDelete, deleteAllOn_);
  });
}

void TNumbersPage::resizeEvent(QResizeEvent* event) {
  TTabPage::resizeEvent(event);
  editor_->setGeometry(kButtonColumnWidth, 0, std::max(0, width() - kButtonColumnWidth), height());
}

// The wheel turned anywhere on the tab (over the buttons too) moves the list.
void TNumbersPage::wheelEvent(QWheelEvent* event) {
  editor_->WheelScroll(event);
}

}  // namespace torvane
