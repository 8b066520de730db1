// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The number grid as the operator sees it: a table view over TSession::NumberGrid, check boxes for
// the two mark columns, date and time pickers laid over the selected window cell, the pale-green
// highlight of dates and times the device cannot hold, the rows the find names and the rows whose
// window has ended, and the Edit actions (undo and redo over the number list's history, the
// clipboard) in its context menu.
#include <QAbstractTableModel>
#include <QAction>
#include <QDateEdit>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTimeEdit>
#include <memory>
#include <optional>
#include <vector>

#include "core/edit_actions_view.h"
#include "core/grid.h"
#include "core/undo.h"
#include "numbers/number_changes.h"
#include "numbers/number_expiry.h"

namespace torvane {

// Rows of the model are grid rows 1..3000; grid row 0 is the horizontal header. A change of the grid
// reaches the view as one signal per batch (a page of a read, a whole column), never per cell.
class TNumberModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  static const QColor kOutOfRange;
  // Cells that differ from what the device holds: a colour of its own, neither the selection's nor the
  // out-of-range highlight. Read by tools as the cell's accessible description.
  static const QColor kUnsaved;
  static constexpr int kUnsavedRole = Qt::UserRole + 1;
  static const QString kUnsavedDescription;
  // Rows the find names, and rows whose validity window has ended: each a colour of its own, apart
  // from the selection's, the unsaved and the out-of-range ones. Where marks meet, an unsaved cell
  // shows unsaved, then a found row found, then an expired row expired.
  static const QColor kFound;
  static constexpr int kFoundRole = Qt::UserRole + 2;
  static const QString kFoundDescription;
  static const QColor kExpired;
  static constexpr int kExpiredRole = Qt::UserRole + 3;
  static const QString kExpiredDescription;

  explicit TNumberModel(TGrid& grid, QObject* parent = nullptr);
  ~TNumberModel() override;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  TGrid& Grid() { return grid_; }
  // The marks of what is not yet saved (none when not set).
  void SetChanges(const TNumberChanges* changes) { changes_ = changes; }
  // The rows whose window has ended (none when not set).
  void SetExpiry(const TNumberExpiry* expiry) { expiry_ = expiry; }
  // Rows first..last (grid rows) may show other marks now.
  void MarksChanged(int first, int last);
  // The rows the find names (grid rows, in order); returns the rows whose highlight changed. The view
  // repaints those, and only those it shows.
  std::vector<int> SetFoundRows(const std::vector<int>& rows);
  bool Found(int row) const { return row >= 0 && row < static_cast<int>(found_.size()) && found_[row]; }

 private:
  void GridChanged(int first, int last);
  TGrid& grid_;
  const TNumberChanges* changes_ = nullptr;
  const TNumberExpiry* expiry_ = nullptr;
  std::vector<char> found_;  // by grid row
  std::vector<int> foundRows_;
  int listener_ = 0;
  int rows_ = 0;
};

// Draws every cell centred in one line; the serial column as a fixed column; the marks as check boxes
// that are never highlighted; out-of-range dates and times on pale green.
class TNumberDelegate : public QStyledItemDelegate {
  Q_OBJECT
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const override;
  void destroyEditor(QWidget* editor, const QModelIndex& index) const override;
};

class TNumberEditor : public QTableView {
  Q_OBJECT
 public:
  // undo: the history of this grid (nullptr: none, the actions stay disabled).
  TNumberEditor(TGrid& grid, TUndoStack* undo, QWidget* parent = nullptr);
  ~TNumberEditor() override;

  TNumberModel* NumberModel() const { return model_; }
  QDateEdit* StartDatePicker() const { return startDate_; }
  QTimeEdit* StartTimePicker() const { return startTime_; }
  QDateEdit* EndDatePicker() const { return endDate_; }
  QTimeEdit* EndTimePicker() const { return endTime_; }

  // The character between year, month and day in the dates the pickers write (the system's own).
  void SetDateSeparator(QChar c) { dateSeparator_ = c; }
  QChar DateSeparator() const { return dateSeparator_; }

  // One wheel notch moves the list by one row, wherever on the tab the wheel turns.
  void WheelScroll(QWheelEvent* event);

  // Highlights the rows the find names; repaints only the rows on screen whose highlight changed.
  void ShowFound(const std::vector<int>& rows);
  // Makes the number of grid row `row` the current cell and scrolls it into view.
  void GoToRow(int row);

  // The Edit actions, in the order of the context menu.
  QAction* UndoAction() const { return edit_->Undo; }
  QAction* RedoAction() const { return edit_->Redo; }
  QAction* CutAction() const { return edit_->Cut; }
  QAction* CopyAction() const { return edit_->Copy; }
  QAction* PasteAction() const { return edit_->Paste; }
  QAction* DeleteAction() const { return edit_->Delete; }
  QList<QAction*> EditActions() const;

  // The selected cell's text to the clipboard; the clipboard into the numbers from the selected row
  // down (a column copied from a spreadsheet fills one row a line); the selected number emptied. Only
  // numbers are typed, so only they are pasted or emptied; each change is one step.
  void CopyCells();
  void PasteCells();
  void DeleteCells();

 protected:
  void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
  void scrollContentsBy(int dx, int dy) override;
  void resizeEvent(QResizeEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  friend class TNumberDelegate;
  QWidget* PickerFor(int col) const;
  void UpdatePickers();
  void LoadPicker(int col);
  void WritePicker(QWidget* picker);
  void DataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight);
  void RepaintRows(const std::vector<int>& rows);
  void CreateEditActions();
  void UpdateEditActions(TEditActions& actions);
  // The typing in a number is one step, from its editor opening to its closing.
  void EditorOpened();
  void EditorClosed();

  TNumberModel* model_;
  QDateEdit* startDate_ = nullptr;
  QTimeEdit* startTime_ = nullptr;
  QDateEdit* endDate_ = nullptr;
  QTimeEdit* endTime_ = nullptr;
  QChar dateSeparator_;
  bool loading_ = false;
  int wheelRemainder_ = 0;
  QPersistentModelIndex loadedFor_;
  TUndoStack* undo_;
  std::optional<TUndoStep> editStep_;
  // Changes with the same key join one step: a picker writes its date at every pick while the
  // operator stays on one cell, and that is one step. A new key for every cell the operator selects.
  uint64_t pickerKey_ = 1;
  std::unique_ptr<TEditActions> edit_;
};

// The separator of the system's short date format ("/" when it has none).
QChar SystemDateSeparator();

}  // namespace torvane
