// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/history_view.h"

#include <QHeaderView>
#include <QPainter>
#include <QScrollBar>

namespace torvane {

THistoryGridModel::THistoryGridModel(TGrid& grid, QObject* parent)
    : QAbstractTableModel(parent), grid_(grid), rows_(grid.RowCount()) {
  listenerId_ = grid_.AddListener([this](int first, int last) { GridChanged(first, last); });
}

THistoryGridModel::~THistoryGridModel() {
  grid_.RemoveListener(listenerId_);
}

int THistoryGridModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : rows_;
}

int THistoryGridModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : grid_.ColCount();
}

QVariant THistoryGridModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rows_) return {};
  switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
      return QString::fromStdString(grid_.Cell(index.column(), index.row()));
    case Qt::TextAlignmentRole:
      return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
    default:
      return {};
  }
}

Qt::ItemFlags THistoryGridModel::flags(const QModelIndex& index) const {
  return index.isValid() ? Qt::ItemIsEnabled : Qt::NoItemFlags;
}

void THistoryGridModel::GridChanged(int first, int last) {
  if (grid_.RowCount() != rows_) {
    beginResetModel();
    rows_ = grid_.RowCount();
    endResetModel();
    return;
  }
  if (first < 0 || last < first) return;
  emit dataChanged(index(first, 0), index(std::min(last, rows_ - 1), grid_.ColCount() - 1),
                   {Qt::DisplayRole, Qt::AccessibleTextRole});
}

void THistoryCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const {
  const QPalette& pal = option.palette;
  // The headings row is drawn like the fixed row of a string grid; everything else like its cells.
  const bool heading = index.row() == 0;
  painter->fillRect(option.rect, heading ? pal.button() : pal.base());
  const QString text = index.data(Qt::DisplayRole).toString();
  if (text.isEmpty()) return;
  painter->save();
  painter->setPen(heading ? pal.buttonText().color() : pal.text().color());
  painter->setFont(option.font);
  painter->drawText(option.rect, Qt::AlignCenter | Qt::TextSingleLine, text);
  painter->restore();
}

THistoryView::THistoryView(TGrid& grid, QWidget* parent) : QScrollArea(parent) {
  table_ = new QTableView;
  model_ = new THistoryGridModel(grid, table_);
  table_->setModel(model_);
  table_->setItemDelegate(new THistoryCellDelegate(table_));
  table_->horizontalHeader()->hide();
  table_->verticalHeader()->hide();
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSelectionMode(QAbstractItemView::NoSelection);
  table_->setFocusPolicy(Qt::NoFocus);
  table_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  table_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  // The grid line takes one pixel of each row and column, as in the string grids of old.
  table_->verticalHeader()->setMinimumSectionSize(1);
  table_->verticalHeader()->setDefaultSectionSize(kRowHeight + 1);
  for (int c = 0; c < 8; ++c) {
    if (kColumnWidths[c] == 0)
      table_->setColumnHidden(c, true);
    else
      table_->setColumnWidth(c, kColumnWidths[c] + 1);
  }
  FitHeight();

  setWidget(table_);
  setWidgetResizable(false);
  setAlignment(Qt::AlignLeft | Qt::AlignTop);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  // Sideways the whole tab scrolls, not this box.
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  verticalScrollBar()->setTracking(true);
  verticalScrollBar()->setSingleStep(kRowHeight + 1);
  setMinimumWidth(kTableWidth + verticalScrollBar()->sizeHint().width() + 2 * frameWidth());
}

void THistoryView::ShowRows(const std::function<bool(int row)>& shown, int first, int last) {
  bool changed = false;
  for (int row = std::max(first, 1); row <= last && row < model_->rowCount(); ++row) {
    const bool hide = !shown(row);
    if (table_->isRowHidden(row) == hide) continue;
    table_->setRowHidden(row, hide);
    changed = true;
  }
  if (changed) FitHeight();
}

void THistoryView::FitHeight() {
  int rows = 0;
  for (int row = 0; row < model_->rowCount(); ++row) rows += !table_->isRowHidden(row);
  table_->setFixedSize(kTableWidth, rows * (kRowHeight + 1) + 2 * table_->frameWidth());
}

}  // namespace torvane
