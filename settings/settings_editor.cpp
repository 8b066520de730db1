// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/settings_editor.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QEvent>
#include <QHeaderView>
#include <QLineEdit>
#include <QPaintEvent>
#include <QScrollBar>

#include "core/cell_text.h"
#include "settings/settings_edit_check.h"
#include "settings/settings_table.h"

namespace torvane {

namespace {

constexpr std::array<int, 3> kColumnWidths{275, 201, 391};
constexpr int kRowHeight = 20;
const QColor kHeadingColour(166, 202, 240);
const QColor kFixedColour(240, 240, 240);
// A value the device does not hold yet: neither the selection's colour nor the headings'.
const QColor kUnsavedColour(255, 226, 150);

QString FromCell(const std::string& s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}
std::string ToCell(const QString& s) {
  return s.toStdString();
}

}  // namespace

// ---- model ----

TSettingsModel::TSettingsModel(TGrid& grid, QObject* parent) : QAbstractTableModel(parent), grid_(grid) {
  listener_ = grid_.AddListener([this](int first, int last) {
    if (first <= 0) emit headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
    first = std::max(first, 1);
    last = std::min(last, grid_.RowCount() - 1);
    if (first <= last) emit dataChanged(index(first - 1, 0), index(last - 1, columnCount() - 1));
  });
}

TSettingsModel::~TSettingsModel() {
  grid_.RemoveListener(listener_);
}

int TSettingsModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : std::max(0, grid_.RowCount() - 1);
}

int TSettingsModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : grid_.ColCount();
}

QVariant TSettingsModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
    case Qt::AccessibleTextRole:
      return FromCell(grid_.Cell(index.column(), GridRow(index)));
    case Qt::BackgroundRole:
      // The labels are the grid's fixed column.
      if (index.column() == kLabelCol) return kFixedColour;
      if (index.column() == kContentCol && Unsaved(GridRow(index))) return kUnsavedColour;
      return {};
    case Qt::AccessibleDescriptionRole:
      if (index.column() == kContentCol && Unsaved(GridRow(index)))
        return QStringLiteral("not saved to the device");
      return {};
    default:
      return {};
  }
}

void TSettingsModel::MarksChanged() {
  emit dataChanged(index(0, kContentCol), index(rowCount() - 1, kContentCol));
}

bool TSettingsModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!index.isValid() || role != Qt::EditRole || index.column() != kContentCol) return false;
  grid_.SetCell(index.column(), GridRow(index), ToCell(value.toString()));
  return true;
}

QVariant TSettingsModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal) return {};
  if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole) return FromCell(grid_.Cell(section, 0));
  if (role == Qt::BackgroundRole) return kHeadingColour;
  return {};
}

Qt::ItemFlags TSettingsModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  // Labels cannot be selected, descriptions cannot be edited: only values take typing.
  if (index.column() == kLabelCol) return Qt::ItemIsEnabled;
  if (index.column() == kDescriptionCol) return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

// ---- delegate: runs the keystroke check on every change of the edited text ----

class TSettingsDelegate : public QStyledItemDelegate {
 public:
  explicit TSettingsDelegate(TSettingsEditor* view) : QStyledItemDelegate(view), view_(view) {}

  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const override {
    QWidget* w = QStyledItemDelegate::createEditor(parent, option, index);
    if (w) view_->EditorOpened();
    if (auto* edit = qobject_cast<QLineEdit*>(w)) {
      const QPersistentModelIndex at(index);
      QObject::connect(edit, &QLineEdit::textEdited, view_, [view = view_, at, edit](const QString& text) {
        view->EditTextChanged(at, text, edit);
      });
    }
    return w;
  }

  // The cell follows the editor as it is typed in, so the view's refresh must not put the caret back
  // at the end while the texts agree.
  void setEditorData(QWidget* editor, const QModelIndex& index) const override {
    if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
      const QString text = index.data(Qt::EditRole).toString();
      if (edit->text() != text) edit->setText(text);
      return;
    }
    QStyledItemDelegate::setEditorData(editor, index);
  }

  // Every editor the view lets go comes here, however its editing ended.
  void destroyEditor(QWidget* editor, const QModelIndex& index) const override {
    view_->EditorClosed();
    QStyledItemDelegate::destroyEditor(editor, index);
  }

 private:
  TSettingsEditor* view_;
};

// ---- view ----

TSettingsEditor::TSettingsEditor(TGrid& grid, TSettingsLists& lists, TUndoStack* undo,
                                 const TCodePage& codePage, QWidget* parent)
    : QTableView(parent),
      grid_(grid),
      lists_(lists),
      codePage_(codePage),
      model_(new TSettingsModel(grid, this)),
      undo_(undo) {
  setModel(model_);
  setItemDelegate(new TSettingsDelegate(this));
  setShowGrid(true);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setSelectionBehavior(QAbstractItemView::SelectItems);
  setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::DoubleClicked |
                  QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
  setHorizontalScrollMode(QAbstractItemView::ScrollPerItem);
  setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
  setWordWrap(false);
  // Long labels are cut at the cell's edge, as the grid has always shown them.
  setTextElideMode(Qt::ElideNone);
  // Not a tab stop: the buttons beside it are.
  setFocusPolicy(Qt::ClickFocus);
  setTabKeyNavigation(false);

  QHeaderView* top = horizontalHeader();
  top->setSectionResizeMode(QHeaderView::Fixed);
  top->setDefaultAlignment(Qt::AlignCenter);
  top->setHighlightSections(false);
  top->setSectionsClickable(false);
  top->setFixedHeight(kRowHeight);
  top->setStyleSheet(
      QStringLiteral("QHeaderView::section { background-color: rgb(166, 202, 240); color: black;"
                     " border: none; border-right: 1px solid #a0a0a0;"
                     " border-bottom: 1px solid #a0a0a0; padding: 0px; }"));
  for (int c = 0; c < static_cast<int>(kColumnWidths.size()); ++c) setColumnWidth(c, kColumnWidths[c]);
  QHeaderView* side = verticalHeader();
  side->hide();
  side->setMinimumSectionSize(1);
  side->setSectionResizeMode(QHeaderView::Fixed);
  side->setDefaultSectionSize(kRowHeight);

  std::vector<TListChoice*> all = lists_.All();
  for (size_t i = 0; i < all.size() && i < boxes_.size(); ++i) {
    TListChoice* list = all[i];
    auto* box = new QComboBox(viewport());
    for (const std::string& item : list->Items) box->addItem(FromCell(item));
    box->setCurrentIndex(list->ItemIndex);
    box->setAccessibleName(FromCell(grid_.Cell(kLabelCol, list->Row)));
    box->hide();
    box->installEventFilter(this);
    connect(box, &QComboBox::currentIndexChanged, this, [this, list](int index) {
      if (syncing_) return;
      TUndoStep step(undo_);
      lists_.SetItemIndex(*list, index);
    });
    boxes_[i] = box;
  }
  lists_.OnChange = [this](TListChoice& list) { SyncList(list); };

  connect(horizontalScrollBar(), &QScrollBar::actionTriggered, this, [this] { HorizontalScrollAction(); });
  CreateEditActions();
  // Nothing is shown selected until the operator picks a cell.
  setCurrentIndex(QModelIndex());
}

TSettingsEditor::~TSettingsEditor() {
  lists_.OnChange = nullptr;
}

QModelIndex TSettingsEditor::CellIndex(int col, int gridRow) const {
  return model_->index(gridRow - 1, col);
}

int TSettingsEditor::CurrentGridRow() const {
  const QModelIndex i = currentIndex();
  return i.isValid() ? TSettingsModel::GridRow(i) : 0;
}

void TSettingsEditor::SetChanges(const TSettingsChanges* changes) {
  model_->SetChanges(changes);
  MarksChanged();
}

void TSettingsEditor::MarksChanged() {
  model_->MarksChanged();
  // A list lies over its cell: it carries the mark itself.
  std::vector<TListChoice*> all = lists_.All();
  for (size_t i = 0; i < all.size() && i < boxes_.size(); ++i) {
    const bool unsaved = model_->Unsaved(all[i]->Row);
    boxes_[i]->setStyleSheet(unsaved ? QStringLiteral("QComboBox { background-color: rgb(255, 226, 150); }")
                                     : QString());
    boxes_[i]->setAccessibleDescription(unsaved ? QStringLiteral("not saved to the device") : QString());
  }
}

QComboBox* TSettingsEditor::ListBox(int gridRow) const {
  std::vector<TListChoice*> all = lists_.All();
  for (size_t i = 0; i < all.size() && i < boxes_.size(); ++i)
    if (all[i]->Row == gridRow) return boxes_[i];
  return nullptr;
}

void TSettingsEditor::EditTextChanged(const QModelIndex& index, const QString& text, QWidget* editor) {
  if (!index.isValid() || index.column() != kContentCol) return;
  const int row = TSettingsModel::GridRow(index);
  const std::string typed = ToCell(text);
  grid_.SetCell(kContentCol, row, typed);
  const TEditCheck check = CheckSettingsEdit(row, typed, codePage_);
  if (check.Text != typed) {
    grid_.SetCell(kContentCol, row, check.Text);
    if (auto* edit = qobject_cast<QLineEdit*>(editor)) edit->setText(FromCell(check.Text));
  }
  if (check.MoveTo > 0) {
    // The cell already holds the checked text; closing without a commit keeps it as it is.
    closeEditor(editor, QAbstractItemDelegate::NoHint);
    setCurrentIndex(CellIndex(kContentCol, check.MoveTo));
  }
}

void TSettingsEditor::SyncList(TListChoice& list) {
  QComboBox* box = ListBox(list.Row);
  if (!box) return;
  syncing_ = true;
  box->setCurrentIndex(list.ItemIndex);
  syncing_ = false;
  if (list.Visible && box->isHidden()) {
    PlaceList(list);
    box->show();
  } else if (!list.Visible && !box->isHidden()) {
    box->hide();
  }
}

void TSettingsEditor::PlaceList(TListChoice& list) {
  if (QComboBox* box = ListBox(list.Row)) box->setGeometry(visualRect(CellIndex(kContentCol, list.Row)));
}

void TSettingsEditor::paintEvent(QPaintEvent* event) {
  QTableView::paintEvent(event);
  // A hidden list comes back over its cell the first time that cell is painted: at start-up and after
  // a horizontal scroll moved the cells under it.
  for (TListChoice* list : lists_.All()) {
    if (list->Visible) continue;
    const QRect cell = visualRect(CellIndex(kContentCol, list->Row));
    if (cell.isValid() && cell.intersects(event->rect())) lists_.SetVisible(*list, true);
  }
}

QModelIndex TSettingsEditor::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
  // The label column is fixed: the cursor stops at the values.
  QModelIndex next = QTableView::moveCursor(action, modifiers);
  if (next.isValid() && next.column() == kLabelCol) next = model_->index(next.row(), kContentCol);
  return next;
}

bool TSettingsEditor::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusOut) {
    for (TListChoice* list : lists_.All())
      if (ListBox(list->Row) == watched) {
        // The copy belongs to the choice that made it: one undo takes back both.
        TUndoStep step(undo_, TUndoStack::kFollowUp);
        grid_.SetCell(kContentCol, list->Row, list->Text());
      }
  }
  return QTableView::eventFilter(watched, event);
}

void TSettingsEditor::HorizontalScrollAction() {
  // The position is the one before the scroll takes effect.
  emit ScrollCaption(QStringLiteral("滚动条位置:") + QString::number(horizontalScrollBar()->value()));
  for (TListChoice* list : lists_.All()) lists_.SetVisible(*list, false);
}

// ---- the Edit actions ----

void TSettingsEditor::CreateEditActions() {
  edit_ =
      std::make_unique<TEditActions>(this, undo_,
                                     TEditActions::TCells{[this] { CopyCells(); }, [this] { PasteCells(); },
                                                          [this] { DeleteCells(); }, [this] { selectAll(); }},
                                     [this](TEditActions& a) { UpdateEditActions(a); });
}

QList<QAction*> TSettingsEditor::EditActions() const {
  return edit_->All();
}

void TSettingsEditor::UpdateEditActions(TEditActions& a) {
  a.UpdateUndo();
  const QModelIndexList selected = selectionModel()->selectedIndexes();
  const bool anyValue =
      std::any_of(selected.begin(), selected.end(), [this](const QModelIndex& i) { return TypedValue(i); });
  a.Copy->setEnabled(!selected.isEmpty());
  a.Cut->setEnabled(anyValue);
  a.Delete->setEnabled(anyValue);
  a.Paste->setEnabled(currentIndex().isValid());
}

void TSettingsEditor::contextMenuEvent(QContextMenuEvent* event) {
  edit_->ShowMenu(event);
}

void TSettingsEditor::EditorOpened() {
  editStep_.reset();
  editStep_.emplace(undo_);
}

void TSettingsEditor::EditorClosed() {
  editStep_.reset();
}

void TSettingsEditor::CopyCells() {
  const QModelIndexList selected = selectionModel()->selectedIndexes();
  if (selected.isEmpty()) return;
  int top = selected[0].row(), bottom = top, left = selected[0].column(), right = left;
  for (const QModelIndex& i : selected) {
    top = std::min(top, i.row());
    bottom = std::max(bottom, i.row());
    left = std::min(left, i.column());
    right = std::max(right, i.column());
  }
  // Cells between the selected ones that are not selected themselves copy as empty fields.
  TCellRows rows(bottom - top + 1, std::vector<std::string>(right - left + 1));
  for (const QModelIndex& i : selected) rows[i.row() - top][i.column() - left] = CellText(i);
  QApplication::clipboard()->setText(FromCell(JoinCellText(rows)));
}

void TSettingsEditor::PasteCells() {
  QModelIndex start = currentIndex();
  for (const QModelIndex& i : selectionModel()->selectedIndexes())
    if (!start.isValid() || i.row() < start.row() || (i.row() == start.row() && i.column() < start.column()))
      start = i;
  if (!start.isValid()) return;
  const TCellRows rows = SplitCellText(ToCell(QApplication::clipboard()->text()));
  TUndoStep step(undo_);
  TGridUpdate batch(grid_);
  for (size_t r = 0; r < rows.size(); ++r)
    for (size_t c = 0; c < rows[r].size(); ++c) {
      const QModelIndex at =
          model_->index(start.row() + static_cast<int>(r), start.column() + static_cast<int>(c));
      const std::string& text = rows[r][c];
      if (TListChoice* list = ListOver(at)) {
        // As a profile does: the first character is the item index.
        if (!text.empty() && text[0] >= '0' && text[0] <= '9') lists_.SetItemIndex(*list, text[0] - '0');
      } else if (TypedValue(at)) {
        const int row = TSettingsModel::GridRow(at);
        grid_.SetCell(at.column(), row, CheckSettingsEdit(row, text, codePage_).Text);
      }
    }
}

void TSettingsEditor::DeleteCells() {
  TUndoStep step(undo_);
  TGridUpdate batch(grid_);
  for (const QModelIndex& i : selectionModel()->selectedIndexes())
    if (TypedValue(i)) grid_.SetCell(i.column(), TSettingsModel::GridRow(i), "");
}

TListChoice* TSettingsEditor::ListOver(const QModelIndex& index) const {
  return index.isValid() && index.column() == kContentCol ? lists_.ForRow(TSettingsModel::GridRow(index))
                                                          : nullptr;
}

bool TSettingsEditor::TypedValue(const QModelIndex& index) const {
  return (model_->flags(index) & Qt::ItemIsEditable) && !ListOver(index);
}

std::string TSettingsEditor::CellText(const QModelIndex& index) const {
  // A list row shows its list, whatever the cell under it still holds.
  if (const TListChoice* list = ListOver(index)) return list->Text();
  return grid_.Cell(index.column(), TSettingsModel::GridRow(index));
}

}  // namespace torvane
