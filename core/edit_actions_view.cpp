// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/edit_actions_view.h"

#include <QAbstractItemView>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QIcon>
#include <QItemSelectionModel>
#include <QKeySequence>
#include <QMenu>

#include "core/undo.h"

namespace torvane {

namespace {

QString Tr(const char* text) {
  return QCoreApplication::translate("TEditActions", text);
}

QAction* Add(QAbstractItemView* view, const char* icon, const QString& text, QList<QKeySequence> keys,
             std::function<void()> slot) {
  auto* a = new QAction(QIcon::fromTheme(QString::fromLatin1(icon)), text, view);
  a->setShortcuts(keys);
  // Only while the grid or a list, picker or cell editor in it has the focus; an open editor takes its
  // own keys first, so Ctrl+Z there undoes the typing in it.
  a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
  QObject::connect(a, &QAction::triggered, view, std::move(slot));
  view->addAction(a);
  return a;
}

QList<QKeySequence> Keys(QKeySequence::StandardKey key) {
  return QKeySequence::keyBindings(key);
}

}  // namespace

TEditActions::TEditActions(QAbstractItemView* view, TUndoStack* undo, TCells cells,
                           std::function<void(TEditActions&)> update)
    : view_(view), undo_(undo), update_(std::move(update)) {
  QList<QKeySequence> redoKeys = Keys(QKeySequence::Redo);
  // Ctrl+Y as well, where the desktop's own redo key is Ctrl+Shift+Z.
  if (!redoKeys.contains(QKeySequence(Qt::CTRL | Qt::Key_Y))) redoKeys << QKeySequence(Qt::CTRL | Qt::Key_Y);
  Undo = Add(view, "edit-undo", Tr("&Undo"), Keys(QKeySequence::Undo), [this] {
    if (undo_) undo_->Undo();
  });
  Redo = Add(view, "edit-redo", Tr("&Redo"), redoKeys, [this] {
    if (undo_) undo_->Redo();
  });
  Cut = Add(view, "edit-cut", Tr("Cu&t"), Keys(QKeySequence::Cut),
            [this, copy = cells.Copy, del = cells.Delete] {
              TUndoStep step(undo_);
              copy();
              del();
            });
  Copy = Add(view, "edit-copy", Tr("&Copy"), Keys(QKeySequence::Copy), cells.Copy);
  Paste = Add(view, "edit-paste", Tr("&Paste"), Keys(QKeySequence::Paste), cells.Paste);
  Delete = Add(view, "edit-delete", Tr("Delete"), Keys(QKeySequence::Delete), cells.Delete);
  if (cells.SelectAll)
    SelectAll =
        Add(view, "edit-select-all", Tr("Select All"), Keys(QKeySequence::SelectAll), cells.SelectAll);
  if (undo_) listener_ = undo_->AddListener([this] { update_(*this); });
  QObject::connect(view->selectionModel(), &QItemSelectionModel::selectionChanged, view,
                   [this] { update_(*this); });
  QObject::connect(view->selectionModel(), &QItemSelectionModel::currentChanged, view,
                   [this] { update_(*this); });
  update_(*this);
}

TEditActions::~TEditActions() {
  if (undo_) undo_->RemoveListener(listener_);
}

QList<QAction*> TEditActions::All() const {
  QList<QAction*> all{Undo, Redo, Cut, Copy, Paste, Delete};
  if (SelectAll) all << SelectAll;
  return all;
}

void TEditActions::UpdateUndo() {
  Undo->setEnabled(undo_ && undo_->CanUndo());
  Redo->setEnabled(undo_ && undo_->CanRedo());
}

void TEditActions::ShowMenu(QContextMenuEvent* event) {
  update_(*this);
  auto* menu = new QMenu(view_);
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->addActions({Undo, Redo});
  menu->addSeparator();
  menu->addActions({Cut, Copy, Paste, Delete});
  if (SelectAll) {
    menu->addSeparator();
    menu->addAction(SelectAll);
  }
  menu->popup(event->globalPos());
  event->accept();
}

}  // namespace torvane
