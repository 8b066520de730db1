// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The settings grid on screen: a table view over the settings TGrid with the six drop-down lists laid
// over their Content cells, the heading row on the classic light blue, the keystroke check run on
// every edit of a value, and the Edit actions (undo and redo over the settings' history, the
// clipboard) in its context menu.
#include <QAbstractTableModel>
#include <QAction>
#include <QComboBox>
#include <QStyledItemDelegate>
#include <QTableView>
#include <array>
#include <memory>
#include <optional>

#include "core/codepage.h"
#include "core/edit_actions_view.h"
#include "core/grid.h"
#include "core/undo.h"
#include "settings/settings_changes.h"
#include "settings/settings_lists.h"

namespace torvane {

// The grid as Qt sees it: row 0 of the TGrid is the horizontal header, view row r is grid row r + 1.
class TSettingsModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  TSettingsModel(TGrid& grid, QObject* parent = nullptr);
  ~TSettingsModel() override;
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  static int GridRow(const QModelIndex& index) { return index.row() + 1; }
  // The marks of what is not yet saved (none when not set).
  void SetChanges(const TSettingsChanges* changes) { changes_ = changes; }
  void MarksChanged();
  bool Unsaved(int gridRow) const { return changes_ && changes_->Active() && changes_->Changed(gridRow); }

 private:
  const TSettingsChanges* changes_ = nullptr;
  TGrid& grid_;
  int listener_ = 0;
};

class TSettingsEditor : public QTableView {
  Q_OBJECT
 public:
  // undo: the history of this grid and its lists (nullptr: none, the actions stay disabled).
  TSettingsEditor(TGrid& grid, TSettingsLists& lists, TUndoStack* undo,
                  const TCodePage& codePage = TCodePage::System(), QWidget* parent = nullptr);
  ~TSettingsEditor() override;

  // The cell of a grid column and row (row 1..28).
  QModelIndex CellIndex(int col, int gridRow) const;
  // The selected grid row (0 when nothing is selected).
  int CurrentGridRow() const;
  // The drop-down list over a list row's Content cell, or nullptr.
  QComboBox* ListBox(int gridRow) const;
  TSettingsModel* SettingsModel() const { return model_; }
  // Marks the values that differ from what the device holds, the lists' too.
  void SetChanges(const TSettingsChanges* changes);
  void MarksChanged();

  // The Edit actions, in the order of the context menu.
  QAction* UndoAction() const { return edit_->Undo; }
  QAction* RedoAction() const { return edit_->Redo; }
  QAction* CutAction() const { return edit_->Cut; }
  QAction* CopyAction() const { return edit_->Copy; }
  QAction* PasteAction() const { return edit_->Paste; }
  QAction* DeleteAction() const { return edit_->Delete; }
  QAction* SelectAllAction() const { return edit_->SelectAll; }
  QList<QAction*> EditActions() const;

  // On the selected cells: the texts to the clipboard (a list row's as its list shows it); the clipboard
  // into the values from the first selected one on, through the keystroke check as if typed, and into
  // a list by its first character as a profile gives it; the typed values emptied. Each is one step.
  void CopyCells();
  void PasteCells();
  void DeleteCells();

 signals:
  // A horizontal scroll by the operator: the window shows the position the grid had before it.
  void ScrollCaption(const QString& caption);

 protected:
  void paintEvent(QPaintEvent* event) override;
  QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  friend class TSettingsDelegate;
  void EditTextChanged(const QModelIndex& index, const QString& text, QWidget* editor);
  void SyncList(TListChoice& list);
  void PlaceList(TListChoice& list);
  void HorizontalScrollAction();
  void CreateEditActions();
  void UpdateEditActions(TEditActions& actions);
  // The typing in a cell is one step, from its editor opening to its closing.
  void EditorOpened();
  void EditorClosed();
  // The list over a Content cell, or nullptr; whether a cell takes typed text (not a list's).
  TListChoice* ListOver(const QModelIndex& index) const;
  bool TypedValue(const QModelIndex& index) const;
  std::string CellText(const QModelIndex& index) const;

  TGrid& grid_;
  TSettingsLists& lists_;
  const TCodePage& codePage_;
  TSettingsModel* model_;
  std::array<QComboBox*, 6> boxes_{};
  bool syncing_ = false;
  TUndoStack* undo_;
  std::optional<TUndoStep> editStep_;
  std::unique_ptr<TEditActions> edit_;
};

}  // namespace torvane
