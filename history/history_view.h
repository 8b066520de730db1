// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The history grid on screen: a table over TSession::HistoryGrid, all 1001 rows at once (headings in
// row 0), inside a box that scrolls vertically, so the box scrolls and not the table.
#include <QAbstractTableModel>
#include <QScrollArea>
#include <QStyledItemDelegate>
#include <QTableView>
#include <functional>

#include "core/grid.h"

namespace torvane {

// The grid's cells as they stand; row 0 is an ordinary row holding the headings.
class THistoryGridModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  explicit THistoryGridModel(TGrid& grid, QObject* parent = nullptr);
  ~THistoryGridModel() override;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 private:
  void GridChanged(int firstRow, int lastRow);
  TGrid& grid_;
  int listenerId_;
  int rows_;
};

// Every cell, headings included, is filled with its background and its text centred on one line.
// Selection and focus change nothing, so no cell is ever highlighted.
class THistoryCellDelegate : public QStyledItemDelegate {
  Q_OBJECT
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

class THistoryView : public QScrollArea {
  Q_OBJECT
 public:
  // Widths of columns 0..7; "No." is kept in the grid but not shown.
  static constexpr int kColumnWidths[8] = {38, 0, 74, 70, 95, 112, 129, 235};
  static constexpr int kRowHeight = 24;
  static constexpr int kTableWidth = 837;

  explicit THistoryView(TGrid& grid, QWidget* parent = nullptr);
  QTableView* Table() const { return table_; }
  THistoryGridModel* Model() const { return model_; }

  // Hides the rows first..last that `shown` turns down and shows the others (the find bar's rows);
  // the table keeps the height of the rows it shows, so the box scrolls over those only.
  void ShowRows(const std::function<bool(int row)>& shown, int first, int last);

 private:
  void FitHeight();
  QTableView* table_;
  THistoryGridModel* model_;
};

}  // namespace torvane
