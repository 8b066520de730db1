// SPDX-License-Identifier: GPL-3.0-or-later
#include "numbers/number_editor.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLocale>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

#include "core/cell_text.h"
#include "numbers/number_record.h"
#include "numbers/telephone_send.h"

namespace torvane {

namespace {

constexpr int kRowHeight = 24;
constexpr int kColumnWidths[kNumberColCount] = {45, 145, 83, 91, 89, 86, 78, 76};

bool IsMark(int col) {
  return col == kColAlways || col == kColDelete;
}
bool IsWindowCell(int col) {
  return col >= kColStartDate && col <= kColEndTime;
}

// Whether w is picker itself or lies inside it, its calendar pop-up window included.
bool Inside(const QWidget* w, const QWidget* picker) {
  for (; w; w = w->parentWidget())
    if (w == picker) return true;
  return false;
}

}  // namespace

const QColor TNumberModel::kOutOfRange(192, 220, 192);
const QColor TNumberModel::kUnsaved(255, 226, 150);
const QString TNumberModel::kUnsavedDescription = QStringLiteral("not saved to the device");
// A periwinkle for what the find names (lighter than, and away from, the selection's deep blue), a
// dusty rose for what has expired.
const QColor TNumberModel::kFound(190, 200, 255);
const QString TNumberModel::kFoundDescription = QStringLiteral("found");
const QColor TNumberModel::kExpired(236, 196, 196);
const QString TNumberModel::kExpiredDescription = QStringLiteral("validity window ended");

TNumberModel::TNumberModel(TGrid& grid, QObject* parent)
    : QAbstractTableModel(parent), grid_(grid), rows_(std::max(0, grid.RowCount() - 1)) {
  listener_ = grid_.AddListener([this](int first, int last) { GridChanged(first, last); });
}

TNumberModel::~TNumberModel() {
  grid_.RemoveListener(listener_);
}

int TNumberModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : rows_;
}

int TNumberModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : grid_.ColCount();
}

QVariant TNumberModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  const int col = index.column(), row = index.row() + 1;
  const std::string& text = grid_.Cell(col, row);
  switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
    case Qt::AccessibleTextRole:
      // Mark cells are drawn as boxes, but read as the "yes"/"no" the transfers and files see.
      return QString::fromStdString(text);
    case Qt::TextAlignmentRole:
      return int(Qt::AlignCenter);
    case Qt::CheckStateRole:
      if (IsMark(col)) return text == kMarkYes ? Qt::Checked : Qt::Unchecked;
      return {};
    case Qt::BackgroundRole:
      if (NumberCellOutOfRange(col, text)) return kOutOfRange;
      return {};
    case kUnsavedRole:
      return changes_ && changes_->Active() && changes_->Changed(col, row);
    case kFoundRole:
      return Found(row);
    case kExpiredRole:
      return expiry_ && expiry_->Expired(row);
    case Qt::AccessibleDescriptionRole:
      if (changes_ && changes_->Active() && changes_->Changed(col, row)) return kUnsavedDescription;
      if (Found(row)) return kFoundDescription;
      if (expiry_ && expiry_->Expired(row)) return kExpiredDescription;
      return {};
    default:
      return {};
  }
}

void TNumberModel::MarksChanged(int first, int last) {
  first = std::max(first, 1);
  last = std::min(last, rows_);
  if (first <= last) emit dataChanged(index(first - 1, 0), index(last - 1, grid_.ColCount() - 1));
}

std::vector<int> TNumberModel::SetFoundRows(const std::vector<int>& rows) {
  found_.resize(static_cast<size_t>(grid_.RowCount()), 0);
  std::vector<int> changed;
  for (int row : foundRows_)
    if (row < static_cast<int>(found_.size())) found_[row] = 2;  // 2: found before, not (yet) again
  for (int row : rows) {
    if (row < 1 || row >= static_cast<int>(found_.size())) continue;
    if (found_[row] == 0) changed.push_back(row);
    found_[row] = 1;
  }
  for (int row : foundRows_)
    if (row < static_cast<int>(found_.size()) && found_[row] == 2) {
      found_[row] = 0;
      changed.push_back(row);
    }
  foundRows_ = rows;
  return changed;
}

bool TNumberModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!index.isValid() || role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable)) return false;
  grid_.SetCell(index.column(), index.row() + 1, value.toString().toStdString());
  return true;
}

QVariant TNumberModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal) return QAbstractTableModel::headerData(section, orientation, role);
  if (role == Qt::DisplayRole) return QString::fromStdString(grid_.Cell(section, 0));
  if (role == Qt::TextAlignmentRole) return int(Qt::AlignCenter);
  return {};
}

Qt::ItemFlags TNumberModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  // The serial column is fixed: it can be neither selected nor edited.
  if (index.column() == kColSerial) return Qt::NoItemFlags;
  Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  // Only numbers are typed; dates and times come from the pickers, marks from clicks.
  if (index.column() == kColNumber) f |= Qt::ItemIsEditable;
  return f;
}

void TNumberModel::GridChanged(int first, int last) {
  const int rows = std::max(0, grid_.RowCount() - 1);
  if (rows != rows_) {
    beginResetModel();
    rows_ = rows;
    endResetModel();
    return;
  }
  if (first == 0) emit headerDataChanged(Qt::Horizontal, 0, grid_.ColCount() - 1);
  first = std::max(first, 1);
  last = std::min(last, rows_);
  if (first <= last) emit dataChanged(index(first - 1, 0), index(last - 1, grid_.ColCount() - 1));
}

void TNumberDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
  const int col = index.column();
  const QRect r = option.rect;
  const QPalette& pal = option.palette;
  painter->save();
  const bool unsaved = index.data(TNumberModel::kUnsavedRole).toBool();
  // The row's own marks, under the cell's: unsaved before found before expired.
  QBrush rowBrush = pal.brush(QPalette::Active, QPalette::Base);
  if (unsaved)
    rowBrush = TNumberModel::kUnsaved;
  else if (index.data(TNumberModel::kFoundRole).toBool())
    rowBrush = TNumberModel::kFound;
  else if (index.data(TNumberModel::kExpiredRole).toBool())
    rowBrush = TNumberModel::kExpired;
  if (IsMark(col)) {
    // A ticked or empty box on the row's colour, selected or not.
    painter->fillRect(r, rowBrush);
    const QWidget* w = option.widget;
    QStyle* style = w ? w->style() : QApplication::style();
    QStyleOptionButton box;
    const int bw = style->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, w);
    const int bh = style->pixelMetric(QStyle::PM_IndicatorHeight, nullptr, w);
    box.rect = QRect((r.left() + r.right() + 1 - bw) / 2, (r.top() + r.bottom() + 1 - bh) / 2, bw, bh);
    box.state =
        QStyle::State_Enabled |
        (index.data(Qt::CheckStateRole).toInt() == Qt::Checked ? QStyle::State_On : QStyle::State_Off);
    box.palette = pal;
    style->drawPrimitive(QStyle::PE_IndicatorCheckBox, &box, painter, w);
    painter->restore();
    return;
  }
  QBrush brush = pal.brush(QPalette::Active, QPalette::Base);
  QColor pen = pal.color(QPalette::Active, QPalette::Text);
  if (col == kColSerial) {
    brush = pal.brush(QPalette::Active, QPalette::Button);
    pen = pal.color(QPalette::Active, QPalette::ButtonText);
  } else if (option.state & QStyle::State_Selected) {
    brush = pal.brush(QPalette::Active, QPalette::Highlight);
    pen = pal.color(QPalette::Active, QPalette::HighlightedText);
  } else {
    brush = rowBrush;
  }
  const QVariant background = index.data(Qt::BackgroundRole);
  if (background.isValid()) {
    brush = background.value<QColor>();
    pen = pal.color(QPalette::Active, QPalette::Text);
  }
  painter->fillRect(r, brush);
  const QString text = index.data(Qt::DisplayRole).toString();
  if (!text.isEmpty()) {
    painter->setPen(pen);
    painter->setFont(option.font);
    painter->drawText(r, Qt::AlignCenter | Qt::TextSingleLine, text);
  }
  painter->restore();
}

QWidget* TNumberDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                       const QModelIndex& index) const {
  QWidget* w = QStyledItemDelegate::createEditor(parent, option, index);
  if (auto* view = qobject_cast<TNumberEditor*>(this->parent()); view && w) view->EditorOpened();
  return w;
}

// Every editor the view lets go comes here, however its editing ended.
void TNumberDelegate::destroyEditor(QWidget* editor, const QModelIndex& index) const {
  if (auto* view = qobject_cast<TNumberEditor*>(parent())) view->EditorClosed();
  QStyledItemDelegate::destroyEditor(editor, index);
}

QChar SystemDateSeparator() {
  const QString f = QLocale::system().dateFormat(QLocale::ShortFormat);
  for (QChar c : f)
    if (!c.isLetter() && c != QLatin1Char('\'')) return c;
  return QLatin1Char('/');
}

TNumberEditor::TNumberEditor(TGrid& grid, TUndoStack* undo, QWidget* parent)
    : QTableView(parent),
      model_(new TNumberModel(grid, this)),
      dateSeparator_(SystemDateSeparator()),
      undo_(undo) {
  setModel(model_);
  setItemDelegate(new TNumberDelegate(this));
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectItems);
  setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                  QAbstractItemView::AnyKeyPressed);
  setTabKeyNavigation(true);
  setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
  setWordWrap(false);
  setShowGrid(true);
  verticalHeader()->hide();
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setDefaultSectionSize(kRowHeight);
  horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  horizontalHeader()->setFixedHeight(kRowHeight);
  horizontalHeader()->setHighlightSections(false);
  // The style's minimum (from its font: Windows' is wider) would widen the 45-pixel serial column.
  horizontalHeader()->setMinimumSectionSize(20);
  for (int c = 0; c < kNumberColCount; ++c) setColumnWidth(c, kColumnWidths[c]);
  setAccessibleName(QStringLiteral("Authorized numbers"));

  auto makeDate = [this](QDate initial, const QString& name) {
    auto* d = new QDateEdit(initial, viewport());
    d->setDisplayFormat(QStringLiteral("yyyy/MM/dd"));
    d->setCalendarPopup(true);
    d->setAccessibleName(name);
    d->hide();
    return d;
  };
  auto makeTime = [this](QTime initial, const QString& name) {
    auto* t = new QTimeEdit(initial, viewport());
    t->setDisplayFormat(QStringLiteral("HH:mm"));
    t->setAccessibleName(name);
    t->hide();
    return t;
  };
  const QDateTime now = QDateTime::currentDateTime();
  startDate_ = makeDate(QDate(2015, 3, 6), QStringLiteral("Start Date"));
  startTime_ = makeTime(QTime(0, 0), QStringLiteral("Start Time"));
  endDate_ = makeDate(now.date(), QStringLiteral("End Date"));
  endTime_ = makeTime(QTime(now.time().hour(), now.time().minute()), QStringLiteral("End Time"));
  for (QWidget* p : {static_cast<QWidget*>(startDate_), static_cast<QWidget*>(startTime_),
                     static_cast<QWidget*>(endDate_), static_cast<QWidget*>(endTime_)})
    p->installEventFilter(this);

  // The start date goes into the cell as soon as it is picked, before the picker is left.
  connect(startDate_, &QDateEdit::dateChanged, this, [this] {
    if (!loading_ && startDate_->isVisible()) WritePicker(startDate_);
  });
  // Every picker writes its value back when the operator leaves it for another control of the window
  // (not when its own calendar opens, and not when another window takes the focus).
  connect(qApp, &QApplication::focusChanged, this, [this](QWidget* old, QWidget* now) {
    if (!old || !now || now->window() != window()) return;
    for (QWidget* p :
         {PickerFor(kColStartDate), PickerFor(kColStartTime), PickerFor(kColEndDate), PickerFor(kColEndTime)})
      if (Inside(old, p) && !Inside(now, p)) WritePicker(p);
  });
  connect(this, &QTableView::clicked, this, [this](const QModelIndex& index) {
    if (index.isValid() && IsMark(index.column()))
      ToggleNumberMark(model_->Grid(), index.column(), index.row() + 1);
  });
  connect(model_, &QAbstractItemModel::dataChanged, this, &TNumberEditor::DataChanged);
  CreateEditActions();
}

TNumberEditor::~TNumberEditor() = default;

QWidget* TNumberEditor::PickerFor(int col) const {
  switch (col) {
    case kColStartDate:
      return startDate_;
    case kColStartTime:
      return startTime_;
    case kColEndDate:
      return endDate_;
    case kColEndTime:
      return endTime_;
    default:
      return nullptr;
  }
}

void TNumberEditor::UpdatePickers() {
  if (!endTime_) return;  // setModel reports a current change before the pickers exist
  const QModelIndex cur = currentIndex();
  const bool windowed = cur.isValid() && model_->Grid().Cell(kColAlways, cur.row() + 1) == kMarkNo;
  for (int c = kColStartDate; c <= kColEndTime; ++c) {
    QWidget* p = PickerFor(c);
    if (windowed && cur.column() == c) {
      // The cell may be narrower than the picker's text and drop-down button in this font; then the
      // picker reaches into the next cell rather than cutting its date short.
      QRect r = visualRect(cur).adjusted(0, 0, -1, -1);
      r.setWidth(std::max(r.width(), p->sizeHint().width()));
      p->setGeometry(r);
      if (loadedFor_ != cur) LoadPicker(c);
      p->raise();
      p->show();
    } else if (p->isVisible()) {
      p->hide();
    }
  }
}

void TNumberEditor::LoadPicker(int col) {
  const QModelIndex cur = currentIndex();
  loadedFor_ = cur;
  const std::string& text = model_->Grid().Cell(col, cur.row() + 1);
  // A cell that is empty or holds no real date or time leaves the picker at its previous value.
  loading_ = true;
  if (col == kColStartDate || col == kColEndDate) {
    if (auto d = ParseNumberDate(text))
      static_cast<QDateEdit*>(PickerFor(col))->setDate(QDate(d->Year, d->Month, d->Day));
  } else if (auto t = ParseNumberTime(text)) {
    static_cast<QTimeEdit*>(PickerFor(col))->setTime(QTime(t->Hour, t->Minute));
  }
  loading_ = false;
}

void TNumberEditor::WritePicker(QWidget* picker) {
  const QModelIndex cur = currentIndex();
  if (!cur.isValid()) return;
  const int row = cur.row() + 1;
  const char sep = dateSeparator_.toLatin1() ? dateSeparator_.toLatin1() : '/';
  TGrid& grid = model_->Grid();
  TUndoStep step(undo_, pickerKey_);
  // Written into the current row, whichever cell the picker was laid over.
  if (picker == startDate_ || picker == endDate_) {
    const QDate d = static_cast<QDateEdit*>(picker)->date();
    grid.SetCell(picker == startDate_ ? kColStartDate : kColEndDate, row,
                 FormatNumberDate(d.year(), d.month(), d.day(), sep));
  } else {
    const QTime t = static_cast<QTimeEdit*>(picker)->time();
    grid.SetCell(picker == startTime_ ? kColStartTime : kColEndTime, row,
                 FormatNumberTime(t.hour(), t.minute()));
  }
}

void TNumberEditor::DataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight) {
  const QModelIndex cur = currentIndex();
  if (!cur.isValid() || cur.row() < topLeft.row() || cur.row() > bottomRight.row()) return;
  // A read or an import may have changed the cell under the picker; the operator's own edit in the
  // picker is not overwritten while they are in it.
  QWidget* p = PickerFor(cur.column());
  if (p && !Inside(QApplication::focusWidget(), p)) loadedFor_ = QModelIndex();
  UpdatePickers();
}

void TNumberEditor::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
  QTableView::currentChanged(current, previous);
  ++pickerKey_;
  UpdatePickers();
}

void TNumberEditor::scrollContentsBy(int dx, int dy) {
  QTableView::scrollContentsBy(dx, dy);
  UpdatePickers();
}

void TNumberEditor::resizeEvent(QResizeEvent* event) {
  QTableView::resizeEvent(event);
  UpdatePickers();
}

void TNumberEditor::WheelScroll(QWheelEvent* event) {
  wheelRemainder_ += event->angleDelta().y();
  const int notches = wheelRemainder_ / 120;
  wheelRemainder_ %= 120;
  if (notches != 0) verticalScrollBar()->setValue(verticalScrollBar()->value() - notches);
  event->accept();
}

void TNumberEditor::ShowFound(const std::vector<int>& rows) {
  RepaintRows(model_->SetFoundRows(rows));
}

void TNumberEditor::RepaintRows(const std::vector<int>& rows) {
  // Rows off screen are drawn with their highlight when they scroll in; repainting them costs time.
  const int top = rowAt(0);
  if (top < 0) return;
  int bottom = rowAt(viewport()->height() - 1);
  if (bottom < 0) bottom = model_->rowCount() - 1;
  QRegion region;
  for (int gridRow : rows) {
    const int row = gridRow - 1;
    if (row < top || row > bottom) continue;
    region += QRect(0, rowViewportPosition(row), viewport()->width(), rowHeight(row));
  }
  if (!region.isEmpty()) viewport()->update(region);
}

void TNumberEditor::GoToRow(int row) {
  const QModelIndex at = model_->index(row - 1, kColNumber);
  if (!at.isValid()) return;
  setCurrentIndex(at);
  // A row already on screen stays where it is; one from elsewhere comes to the middle, where the eye
  // finds it.
  scrollTo(at, viewport()->rect().contains(visualRect(at)) ? EnsureVisible : PositionAtCenter);
}

void TNumberEditor::wheelEvent(QWheelEvent* event) {
  WheelScroll(event);
}

void TNumberEditor::keyPressEvent(QKeyEvent* event) {
  const QModelIndex cur = currentIndex();
  if (cur.isValid()) {
    // From the keyboard: Space ticks a mark, Enter or F2 goes into the picker of a window cell.
    if (IsMark(cur.column()) && event->key() == Qt::Key_Space) {
      ToggleNumberMark(model_->Grid(), cur.column(), cur.row() + 1);
      return;
    }
    QWidget* p = PickerFor(cur.column());
    if (p && p->isVisible() &&
        (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter || event->key() == Qt::Key_F2)) {
      p->setFocus(Qt::OtherFocusReason);
      return;
    }
  }
  QTableView::keyPressEvent(event);
}

bool TNumberEditor::eventFilter(QObject* watched, QEvent* event) {
  // The wheel over a picker the operator is not working in scrolls the list; it must not step the
  // picker's date under the pointer and write it into the row.
  if (event->type() == QEvent::Wheel) {
    for (int c = kColStartDate; c <= kColEndTime; ++c)
      if (watched == PickerFor(c) && !PickerFor(c)->hasFocus()) {
        WheelScroll(static_cast<QWheelEvent*>(event));
        return true;
      }
  }
  // Enter or Escape in a picker hands the keyboard back to the grid, which writes the picker back.
  if (event->type() == QEvent::KeyPress && IsWindowCell(currentIndex().column()) &&
      watched == PickerFor(currentIndex().column())) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape) {
      setFocus(Qt::OtherFocusReason);
      return true;
    }
  }
  return QTableView::eventFilter(watched, event);
}

// ---- the Edit actions ----

void TNumberEditor::CreateEditActions() {
  edit_ = std::make_unique<TEditActions>(
      this, undo_,
      TEditActions::TCells{[this] { CopyCells(); }, [this] { PasteCells(); }, [this] { DeleteCells(); }},
      [this](TEditActions& a) { UpdateEditActions(a); });
}

QList<QAction*> TNumberEditor::EditActions() const {
  return edit_->All();
}

void TNumberEditor::UpdateEditActions(TEditActions& a) {
  a.UpdateUndo();
  const QModelIndex cur = currentIndex();
  const bool selected = cur.isValid() && selectionModel()->isSelected(cur);
  const bool number = cur.isValid() && (model_->flags(cur) & Qt::ItemIsEditable);
  a.Copy->setEnabled(selected);
  a.Cut->setEnabled(selected && number);
  a.Delete->setEnabled(selected && number);
  a.Paste->setEnabled(number);
}

void TNumberEditor::contextMenuEvent(QContextMenuEvent* event) {
  edit_->ShowMenu(event);
}

void TNumberEditor::EditorOpened() {
  editStep_.reset();
  editStep_.emplace(undo_);
}

void TNumberEditor::EditorClosed() {
  editStep_.reset();
}

void TNumberEditor::CopyCells() {
  const QModelIndex cur = currentIndex();
  if (!cur.isValid() || !selectionModel()->isSelected(cur)) return;
  QApplication::clipboard()->setText(
      QString::fromStdString(JoinCellText({{model_->Grid().Cell(cur.column(), cur.row() + 1)}})));
}

void TNumberEditor::PasteCells() {
  const QModelIndex cur = currentIndex();
  if (!cur.isValid()) return;
  const TCellRows rows = SplitCellText(QApplication::clipboard()->text().toStdString());
  TGrid& grid = model_->Grid();
  TUndoStep step(undo_);
  TGridUpdate batch(grid);
  for (size_t r = 0; r < rows.size(); ++r)
    for (size_t c = 0; c < rows[r].size(); ++c) {
      const QModelIndex at =
          model_->index(cur.row() + static_cast<int>(r), cur.column() + static_cast<int>(c));
      if (model_->flags(at) & Qt::ItemIsEditable) grid.SetCell(at.column(), at.row() + 1, rows[r][c]);
    }
}

void TNumberEditor::DeleteCells() {
  const QModelIndex cur = currentIndex();
  if (!cur.isValid() || !selectionModel()->isSelected(cur) || !(model_->flags(cur) & Qt::ItemIsEditable))
    return;
  model_->Grid().SetCell(cur.column(), cur.row() + 1, "");
}

}  // namespace torvane
