// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The standard Edit actions of a grid view (Undo, Redo, Cut, Copy, Paste, Delete, and Select All where
// the view has it), with their desktop keys, active while the view or an editor in it has the focus,
// and their context menu. Undo and Redo go to the view's undo history; Cut is Copy then Delete as one
// step. The view says when each action applies through its own update function, which runs at once and
// whenever the history, the selection or the current cell changes.
#include <QAction>
#include <QList>
#include <functional>

class QAbstractItemView;
class QContextMenuEvent;

namespace torvane {

class TUndoStack;

class TEditActions {
 public:
  struct TCells {
    std::function<void()> Copy, Paste, Delete;
    std::function<void()> SelectAll;  // none: the view has no Select All
  };
  // `undo` may be null (no history: Undo and Redo stay disabled). The actions belong to `view`.
  TEditActions(QAbstractItemView* view, TUndoStack* undo, TCells cells,
               std::function<void(TEditActions&)> update);
  ~TEditActions();
  TEditActions(const TEditActions&) = delete;
  TEditActions& operator=(const TEditActions&) = delete;

  QAction *Undo, *Redo, *Cut, *Copy, *Paste, *Delete;
  QAction* SelectAll = nullptr;

  // Every action, in the order of the context menu.
  QList<QAction*> All() const;
  // Undo and Redo enabled as the history allows.
  void UpdateUndo();
  // The context menu at the event's position, after the view's update function has run.
  void ShowMenu(QContextMenuEvent* event);

 private:
  QAbstractItemView* view_;
  TUndoStack* undo_;
  std::function<void(TEditActions&)> update_;
  int listener_ = 0;
};

}  // namespace torvane
