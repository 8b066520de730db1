// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/history_page.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QShortcut>
#include <QVBoxLayout>

#include "core/message.h"
#include "history/history_delete.h"
#include "history/history_texts.h"

namespace torvane {

namespace {

constexpr int kStripHeight = 47;
constexpr int kColumnWidth = 100;
constexpr int kPickerTop = 13;
constexpr int kPickerHeight = 21;

// Moves a button made by AddButton into one of the page's panels, at its place there.
QPushButton* Place(QPushButton* b, QWidget* panel, int left, int top) {
  const QSize size = b->size();
  b->setParent(panel);
  b->setGeometry(left, top, size.width(), size.height());
  b->show();
  return b;
}

QLabel* Label(const QString& text, QWidget* panel, int left) {
  auto* l = new QLabel(text, panel);
  l->adjustSize();
  l->move(left, kPickerTop + (kPickerHeight - l->height()) / 2);
  return l;
}

QDate ToQDate(const TDateTime& t) {
  return QDate(t.Year, t.Month, t.Day);
}
QTime ToQTime(const TDateTime& t) {
  return QTime(t.Hour, t.Minute, t.Second);
}

TDateTime DateOf(const QDate& d) {
  return {d.year(), d.month(), d.day(), 0, 0, 0};
}
TDateTime TimeOf(const QTime& t) {
  return {2000, 1, 1, t.hour(), t.minute(), t.second()};
}

}  // namespace

THistoryPage::THistoryPage(TSession& session, QWidget* parent) : TTabPage(parent), session_(session) {
  // The tab's content scrolls both ways when the window is smaller than it.
  auto* outer = new QScrollArea(this);
  outer->setFrameShape(QFrame::NoFrame);
  outer->setWidgetResizable(true);
  auto* pageLayout = new QVBoxLayout(this);
  pageLayout->setContentsMargins(0, 0, 0, 0);
  pageLayout->addWidget(outer);

  auto* content = new QWidget;
  auto* rows = new QVBoxLayout(content);
  rows->setContentsMargins(0, 0, 0, 0);
  rows->setSpacing(0);

  auto* strip = new QWidget;
  strip->setFixedHeight(kStripHeight);
  strip->setMinimumWidth(810);
  rows->addWidget(strip);

  auto* lower = new QHBoxLayout;
  lower->setContentsMargins(0, 0, 0, 0);
  lower->setSpacing(0);
  rows->addLayout(lower, 1);
  auto* column = new QWidget;
  column->setFixedWidth(kColumnWidth);
  column->setMinimumHeight(340);
  lower->addWidget(column);
  // The find bar opens above the grid, which gives it the room.
  auto* right = new QVBoxLayout;
  right->setContentsMargins(0, 0, 0, 0);
  right->setSpacing(0);
  lower->addLayout(right, 1);
  findBar_ = new TFindBar(false);
  findBar_->setFixedHeight(TFindBar::kHeight);
  findBar_->SetPlaceholder(kHistoryFindPlaceholder);
  right->addWidget(findBar_);
  view_ = new THistoryView(session_.HistoryGrid);
  right->addWidget(view_, 1);
  outer->setWidget(content);

  readData_ = Place(AddButton("Read data", 0, 0, 86, 30, true), strip, 9, 8);
  filter_ = Place(ChangesGrid(AddButton("Filter", 0, 0, 97, 30, false)), strip, 699, 8);
  exportCsv_ = Place(AddButton("Export.CSV", 0, 0, 86, 30, false), column, 7, 73);
  exportXls_ = Place(AddButton("Export.XLS", 0, 0, 86, 30, false), column, 7, 126);
  deleteAll_ = Place(AddButton("Delete all", 0, 0, 85, 30, true), column, 7, 297);
  // Kept under the login lock like the others but never shown.
  Place(ChangesGrid(AddButton("清空界面记录", 0, 0, 85, 30, false)), column, 7, 340)->setVisible(false);

  Label("Start:", strip, 212);
  Label("End:", strip, 464);
  const TDateTime started = session_.Context.Clock.Now();
  auto makeDate = [&](int left, const QDate& value) {
    auto* e = new QDateEdit(value, strip);
    e->setDisplayFormat("yyyy-MM-dd");
    e->setCalendarPopup(true);
    e->setGeometry(left, kPickerTop, 90, kPickerHeight);
    return e;
  };
  auto makeTime = [&](int left, const QTime& value) {
    auto* e = new QTimeEdit(value, strip);
    e->setDisplayFormat("H:mm:ss");
    e->setGeometry(left, kPickerTop, 85, kPickerHeight);
    return e;
  };
  startDate_ = makeDate(249, QDate(2015, 3, 3));
  startTime_ = makeTime(349, QTime(0, 0, 0));
  endDate_ = makeDate(493, ToQDate(started));
  endTime_ = makeTime(591, ToQTime(started));

  connect(readData_, &QPushButton::clicked, this, [this] { session_.History.StartRead(); });
  connect(filter_, &QPushButton::clicked, this,
          [this] { FilterRows(session_.HistoryGrid, Range(), session_.Context.Operator, session_.Status); });
  connect(exportCsv_, &QPushButton::clicked, this, [this] { session_.HistoryFiles.ExportHistoryCsv(); });
  connect(exportXls_, &QPushButton::clicked, this, [this] { session_.HistoryFiles.ExportHistoryXls(); });
  connect(deleteAll_, &QPushButton::clicked, this,
          [this] { DeleteAllHistory(session_.Context.Operator, session_.DeleteHistory); });

  // Only while this tab is shown: the number list has a find of its own.
  auto* ctrlF = new QShortcut(QKeySequence::Find, this);
  ctrlF->setContext(Qt::WindowShortcut);
  connect(ctrlF, &QShortcut::activated, this, &THistoryPage::OpenFind);
  connect(findBar_, &TFindBar::QueryChanged, this, [this](const QString& text) {
    session_.HistoryFind.SetQuery(text.toStdString());
    ShowFindResult();
  });
  connect(findBar_, &TFindBar::Closed, this, [this] {
    session_.HistoryFind.SetQuery("");
    findBar_->SetResult({});
  });
  // A new query, a read or a filter: the rows it changed are shown or hidden again.
  session_.HistoryFind.OnChanged = [this](int first, int last) {
    view_->ShowRows([this](int row) { return session_.HistoryFind.Shown(row); }, first, last);
  };
  gridListener_ = session_.HistoryGrid.AddListener([this](int, int) {
    if (!findBar_->isHidden()) ShowFindResult();
  });
}

THistoryPage::~THistoryPage() {
  session_.HistoryFind.OnChanged = nullptr;
  session_.HistoryGrid.RemoveListener(gridListener_);
}

void THistoryPage::OpenFind() {
  findBar_->Open();
  ShowFindResult();
}

void THistoryPage::ShowFindResult() {
  const THistoryFind& find = session_.HistoryFind;
  QString text;
  if (find.Active())
    text = find.ShownRecords() == 0
               ? QString(kHistoryFindNoMatch)
               : QString::fromStdString(FillText(kHistoryFindShown, {std::to_string(find.ShownRecords()),
                                                                     std::to_string(find.Records())}));
  findBar_->SetResult(text);
}

THistoryFilterRange THistoryPage::Range() const {
  return {DateOf(startDate_->date()), TimeOf(startTime_->time()), DateOf(endDate_->date()),
          TimeOf(endTime_->time())};
}

}  // namespace torvane
