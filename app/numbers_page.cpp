// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/numbers_page.h"

#include <QResizeEvent>
#include <QShortcut>
#include <QWheelEvent>
#include <algorithm>

#include "app/app_texts.h"
#include "core/message.h"
#include "files/import_result.h"
#include "numbers/number_files.h"
#include "numbers/number_merge.h"
#include "numbers/number_record.h"
#include "numbers/number_texts.h"

namespace torvane {

namespace {
constexpr int kButtonColumnWidth = 100;
}

TNumbersPage::TNumbersPage(TSession& session, QWidget* parent)
    : TTabPage(parent), session_(session), find_(session.NumberGrid) {
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
  markExpired_ = WrapCaption(ChangesGrid(AddButton(kMarkExpiredCaption, 7, 552, 85, 30, false)));
  markExpired_->setAccessibleName(kMarkExpiredCaption);
  editor_ = new TNumberEditor(session_.NumberGrid, &session_.NumbersUndo, this);
  findBar_ = new TFindBar(true, this);
  findBar_->SetPlaceholder(kNumberFindPlaceholder);
  PlaceGrid();

  connect(read_, &QPushButton::clicked, this, [this] {
    if (session_.MayDiscardNumbers()) session_.Numbers.StartRead();
  });
  connect(restore_, &QPushButton::clicked, this, [this] { session_.RestoreNumbersBackup(); });
  connect(save_, &QPushButton::clicked, this, [this] { session_.Numbers.StartSave(); });
  connect(importXls_, &QPushButton::clicked, this, [this] {
    if (!session_.MayDiscardNumbers()) return;
    TUndoStep step(session_.NumbersUndo);
    const TImportResult result = ImportNumbersXls(session_.Context, session_.NumberGrid, session_.ConfigDir);
    if (result.Loaded()) session_.NumberEdits.Take();
    ShowImportResult(session_.Context.Operator, result);
  });
  connect(addFromFile_, &QPushButton::clicked, this, [this] {
    TUndoStep step(session_.NumbersUndo);
    AddNumbersFromFile(session_.Context.Operator, session_.NumberGrid, session_.ConfigDir);
  });
  connect(exportXls_, &QPushButton::clicked, this,
          [this] { ExportNumbersXls(session_.Context, session_.NumberGrid, session_.ConfigDir); });
  connect(exportCsv_, &QPushButton::clicked, this,
          [this] { ExportNumbersCsv(session_.Context, session_.NumberGrid, session_.ConfigDir); });
  connect(allAlways_, &QPushButton::clicked, this, [this] {
    allAlwaysOn_ = !allAlwaysOn_;
    SetNumberMarks(session_.NumberGrid, kColAlways, allAlwaysOn_);
  });
  connect(deleteAll_, &QPushButton::clicked, this, [this] {
    deleteAllOn_ = !deleteAllOn_;
    SetNumberMarks(session_.NumberGrid, kColDelete, deleteAllOn_);
  });
  connect(markExpired_, &QPushButton::clicked, this, [this] {
    TUndoStep step(session_.NumbersUndo);
    MarkExpiredForDeletion(session_.NumberGrid, session_.NumberExpiry);
  });

  // Only while this tab is shown: the history tab has a find of its own.
  auto* ctrlF = new QShortcut(QKeySequence::Find, this);
  ctrlF->setContext(Qt::WindowShortcut);
  connect(ctrlF, &QShortcut::activated, this, &TNumbersPage::OpenFind);
  connect(findBar_, &TFindBar::QueryChanged, this, [this] { Find(true); });
  connect(findBar_, &TFindBar::Next, this, [this] { Step(1); });
  connect(findBar_, &TFindBar::Previous, this, [this] { Step(-1); });
  connect(findBar_, &TFindBar::Closed, this, &TNumbersPage::FindClosed);
  connect(editor_->selectionModel(), &QItemSelectionModel::currentChanged, this, [this] {
    if (!findBar_->isHidden()) ShowFindResult();
  });
  // A number typed, read or imported while the bar is open: the highlight follows, the cell stays.
  gridListener_ = session_.NumberGrid.AddListener([this](int, int) {
    if (!findBar_->isHidden()) Find(false);
  });
}

TNumbersPage::~TNumbersPage() {
  session_.NumberGrid.RemoveListener(gridListener_);
}

void TNumbersPage::PlaceGrid() {
  const int top = !findBar_->isHidden() ? TFindBar::kHeight : 0;
  const int w = std::max(0, width() - kButtonColumnWidth);
  findBar_->setGeometry(kButtonColumnWidth, 0, w, TFindBar::kHeight);
  editor_->setGeometry(kButtonColumnWidth, top, w, std::max(0, height() - top));
}

void TNumbersPage::OpenFind() {
  const bool wasOpen = !findBar_->isHidden();
  findBar_->Open();
  if (wasOpen) return;
  PlaceGrid();
  Find(true);
}

void TNumbersPage::FindClosed() {
  matches_.clear();
  editor_->ShowFound(matches_);
  findBar_->SetResult({});
  PlaceGrid();
  editor_->setFocus(Qt::OtherFocusReason);
}

void TNumbersPage::Find(bool jump) {
  matches_ = find_.Find(findBar_->Edit()->text().toStdString());
  editor_->ShowFound(matches_);
  if (jump && !matches_.empty()) editor_->GoToRow(matches_.front());
  ShowFindResult();
}

void TNumbersPage::Step(int direction) {
  if (matches_.empty()) return;
  // From the current cell's row, so that stepping goes on from wherever the operator has moved to.
  const int row = editor_->currentIndex().isValid() ? editor_->currentIndex().row() + 1 : 0;
  auto at = std::lower_bound(matches_.begin(), matches_.end(), row);
  int next;
  if (direction > 0) {
    if (at != matches_.end() && *at == row) ++at;
    next = at == matches_.end() ? matches_.front() : *at;
  } else {
    next = at == matches_.begin() ? matches_.back() : *(at - 1);
  }
  editor_->GoToRow(next);
  ShowFindResult();
}

void TNumbersPage::ShowFindResult() {
  QString text;
  if (!matches_.empty()) {
    const int row = editor_->currentIndex().isValid() ? editor_->currentIndex().row() + 1 : 0;
    const auto at = std::lower_bound(matches_.begin(), matches_.end(), row);
    const std::string count = std::to_string(matches_.size());
    text = QString::fromStdString(
        at != matches_.end() && *at == row
            ? FillText(kNumberFindResult, {std::to_string(at - matches_.begin() + 1), count})
            : FillText(kNumberFindMatches, {count}));
  } else if (!findBar_->Edit()->text().isEmpty()) {
    text = kNumberFindNoMatch;
  }
  findBar_->SetResult(text);
}

void TNumbersPage::resizeEvent(QResizeEvent* event) {
  TTabPage::resizeEvent(event);
  PlaceGrid();
}

// The wheel turned anywhere on the tab (over the buttons too) moves the list.
void TNumbersPage::wheelEvent(QWheelEvent* event) {
  editor_->WheelScroll(event);
}

}  // namespace torvane
