// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/main_window.h"

#include <QAccessible>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QPainter>
#include <QProxyStyle>
#include <QScreen>
#include <QShortcut>
#include <QStyleOptionTab>
#include <QTabBar>
#include <QTimer>
#include <algorithm>

#include "app/app_texts.h"
#include "app/help_page.h"
#include "app/history_page.h"
#include "app/numbers_page.h"
#include "app/options_dialog.h"
#include "app/port_combo.h"
#include "app/qt_interfaces.h"
#include "app/settings_page.h"
#include "app/status_bar.h"
#include "core/config_dir.h"
#include "core/message.h"
#include "serial/port_list.h"
#include "session/port_check.h"

namespace torvane {

namespace {

constexpr int kTabWidth = 75;
constexpr int kTabHeight = 80;

// Tabs stand on the left edge, but their two-line captions read horizontally: every tab reports the
// fixed 75 x 80 and its label is drawn upright, bold, blue on the selected tab.
class TLeftTabStyle : public QProxyStyle {
 public:
  QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                         const QWidget* widget) const override {
    if (type == CT_TabBarTab) return QSize(kTabWidth, kTabHeight);
    return QProxyStyle::sizeFromContents(type, option, size, widget);
  }

  void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                   const QWidget* widget) const override {
    if (element == CE_TabBarTabLabel) {
      if (const auto* tab = qstyleoption_cast<const QStyleOptionTab*>(option)) {
        painter->save();
        QFont f = painter->font();
        f.setBold(true);
        f.setPixelSize(15);
        // The designed 15-pixel caption fits the tab in its own narrow font; a wider substitute
        // steps down until the longest line fits.
        // One size for every tab, so the captions match.
        QStringList lines = tab->text.split('\n');
        if (const auto* bar = qobject_cast<const QTabBar*>(widget))
          for (int i = 0; i < bar->count(); ++i) lines += bar->tabText(i).split('\n');
        for (int px = 15; px > 9; --px) {
          f.setPixelSize(px);
          const QFontMetrics fm(f);
          int widest = 0;
          for (const QString& l : lines) widest = std::max(widest, fm.horizontalAdvance(l));
          if (widest <= kTabWidth - 6) break;
        }
        painter->setFont(f);
        const bool selected = tab->state & State_Selected;
        painter->setPen(selected ? QColor(Qt::blue) : QColor(Qt::black));
        painter->drawText(tab->rect, Qt::AlignCenter | Qt::TextShowMnemonic, tab->text);
        painter->restore();
        return;
      }
    }
    QProxyStyle::drawControl(element, option, painter, widget);
  }
};

QPushButton* MakeButton(QWidget* parent, const QString& caption, int left, int top) {
  auto* b = new QPushButton(caption, parent);
  b->setGeometry(left, top, 90, 30);
  b->setAccessibleName(caption);
  return b;
}

// A label before the control it names. The designed left edge assumes the designed font; a wider
// substitute would run into the control, so the label then moves left to keep a small gap.
QLabel* MakeLabel(QWidget* parent, const QString& caption, int left, int top, int controlLeft) {
  auto* l = new QLabel(caption, parent);
  l->adjustSize();
  l->move(std::min(left, controlLeft - 3 - l->width()), top);
  l->setAccessibleName(caption);
  return l;
}

// The accessible name follows the caption; screen readers and the tests find buttons by it.
void SetCaption(QPushButton* b, const QString& caption) {
  b->setText(caption);
  b->setAccessibleName(caption);
  QAccessibleEvent ev(b, QAccessible::NameChanged);
  QAccessible::updateAccessibility(&ev);
}

}  // namespace

TForm1::TForm1(const TForm1Options& options, QWidget* parent) : QWidget(parent) {
  setWindowTitle(kCaption);
  setAccessibleName(kCaption);
  // The designed look is an 11-pixel sans-serif; its font does not exist here, the platform's
  // sans-serif of the same size takes its place.
  QFont f("Sans Serif");
  f.setStyleHint(QFont::SansSerif);
  f.setPixelSize(11);
  setFont(f);
  setFixedSize(kClientWidth, kClientHeight);
  setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);

  notifyTarget_ = std::make_unique<TQtNotifyTarget>();
  if (options.Operator) {
    operator_ = options.Operator;
  } else {
    ownOperator_ = std::make_unique<TQtOperator>(this);
    operator_ = ownOperator_.get();
  }
  ITimerFactory* timers = options.Timers;
  if (!timers) {
    ownTimers_ = std::make_unique<TQtTimerFactory>();
    timers = ownTimers_.get();
  }
  const IClock* clock = options.Clock;
  if (!clock) {
    ownClock_ = std::make_unique<TSystemClock>();
    clock = ownClock_.get();
  }
  comm_ = std::make_unique<TComm>(*notifyTarget_);
  PrepareForDevice(*comm_);

  BuildTopBar();
  statusBar_ = new TStatusBar(this);
  statusBar_->setGeometry(0, kClientHeight - TStatusBar::kHeight, kClientWidth, TStatusBar::kHeight);

  Centre();
  // The session creates the transfer objects, the commands and the helpers, locks the operation
  // buttons and fills the grids' fixed texts.
  session_ = std::make_unique<TSession>(TSessionInterfaces{*comm_, *operator_, *statusBar_, *timers, *clock});
  comm_->OnReceiveData = [this](TComm&, const char* buffer, uint16_t length) {
    session_->cm1ReceiveData(reinterpret_cast<const uint8_t*>(buffer), length);
  };
  comm_->OnRequestHangup = [this](TComm&) { PortHungUp(); };
  BuildPages();

  FillPortList(options);
  session_->Trace.ShowSecrets = options.TraceSecrets;
  session_->Trace.OnLine = options.TraceLine;
  const QString programDir =
      options.ProgramDir.isEmpty() ? QCoreApplication::applicationDirPath() : options.ProgramDir;
  session_->ConfigDir = MakeConfigDir(programDir.toStdString());
  // A portable copy keeps its options in its configuration folder too, not in the registry or the
  // user's configuration of the PC it runs on.
  QString settingsFile = options.SettingsFile;
  if (settingsFile.isEmpty() && Portable(programDir.toStdString()))
    settingsFile = QString::fromStdString(session_->ConfigDir) + "torvane-configurator.ini";
  settings_ = settingsFile.isEmpty() ? std::make_unique<QSettings>()
                                     : std::make_unique<QSettings>(settingsFile, QSettings::IniFormat);
  session_->SetSaveOptions(LoadSaveOptions(*settings_));
  // The grids mark what the device does not hold yet, and the status bar counts it.
  session_->SettingsChanges.OnChanged = [this] {
    settingsPage_->Editor()->MarksChanged();
    ShowUnsaved();
  };
  session_->NumberChanges.OnChanged = [this](int first, int last) {
    numbersPage_->Editor()->NumberModel()->MarksChanged(first, last);
    ShowUnsaved();
  };
  settingsPage_->Editor()->SetChanges(&session_->SettingsChanges);
  numbersPage_->Editor()->NumberModel()->SetChanges(&session_->NumberChanges);
  // Rows whose window has ended are drawn apart and counted; the clock is asked again every minute.
  session_->NumberExpiry.OnChanged = [this](int first, int last) {
    numbersPage_->Editor()->NumberModel()->MarksChanged(first, last);
    ShowUnsaved();
  };
  numbersPage_->Editor()->NumberModel()->SetExpiry(&session_->NumberExpiry);
  expiryTimer_ = timers->CreateTimer(60 * 1000);
  expiryTimer_->OnTimer = [this] { session_->NumberExpiry.Refresh(); };
  expiryTimer_->Start();
  connect(pages_, &QTabWidget::currentChanged, this, [this] {
    session_->NumberExpiry.Refresh();
    ShowUnsaved();
  });
  statusBar_->SetPanelText(0, "COM Port:");
  statusBar_->SetLampGreen(false);

  // A close that asked for saves goes on when each was kept, and stays when one was not.
  for (Tsend_rec_command* t : {static_cast<Tsend_rec_command*>(&session_->Settings),
                               static_cast<Tsend_rec_command*>(&session_->Numbers)})
    t->OnTransferEnded = [this, then = std::move(t->OnTransferEnded)](TTransferOutcome outcome) {
      if (then) then(outcome);
      if (!closeAfterSaves_) return;
      if (outcome == TTransferOutcome::Done)
        SaveThenClose();
      else
        closeAfterSaves_ = false;
    };

  // Whoever listened before the window keeps being told.
  session_->OnControlsChanged = [this, earlier = std::move(session_->OnControlsChanged)] {
    if (earlier) earlier();
    ControlsChanged();
  };
  ControlsChanged();
}

TForm1::~TForm1() {
  // The pages hold on to the session's grids; they go before it does, and are told nothing more.
  expiryTimer_.reset();
  if (session_) {
    session_->SettingsChanges.OnChanged = nullptr;
    session_->NumberChanges.OnChanged = nullptr;
    session_->NumberExpiry.OnChanged = nullptr;
  }
  delete pages_;
  pages_ = nullptr;
  if (session_) session_->OnControlsChanged = nullptr;
  comm_->ClosePort();
}

bool TForm1::LampGreen() const {
  return statusBar_->LampGreen();
}

void TForm1::BuildTopBar() {
  topBar_ = new QWidget(this);
  topBar_->setGeometry(0, 0, kClientWidth, kTopBarHeight);

  MakeLabel(topBar_, "COM Port:", 28, 11, 85);
  cmb1_ = new QComboBox(topBar_);
  cmb1_->setEditable(true);
  cmb1_->setInsertPolicy(QComboBox::NoInsert);
  cmb1_->setGeometry(85, 7, 89, 21);
  cmb1_->setAccessibleName("COM Port:");

  btn8_ = MakeButton(topBar_, "Open", 197, 3);
  connect(btn8_, &QPushButton::clicked, this, &TForm1::btn8Click);

  MakeLabel(topBar_, "Password:", 319, 11, 373);
  edt1_ = new QLineEdit("6853", topBar_);
  edt1_->setGeometry(373, 7, 93, 21);
  edt1_->setAccessibleName("Password:");
  connect(edt1_, &QLineEdit::textChanged, this,
          [this](const QString& t) { session_->PasswordText = t.toStdString(); });

  btn1_ = MakeButton(topBar_, "Log in", 485, 3);
  connect(btn1_, &QPushButton::clicked, this, &TForm1::btn1Click);

  // Service commands of the device, kept in the window but never shown.
  btnCheckMode_ = MakeButton(topBar_, "HEX设置模式", 600, 3);
  btnTimeSync_ = MakeButton(topBar_, "同步时间", 700, 3);
  btnCheckMode_->hide();
  btnTimeSync_->hide();
  connect(btnCheckMode_, &QPushButton::clicked, this, [this] { session_->CheckMode.Send(); });
  connect(btnTimeSync_, &QPushButton::clicked, this, [this] { session_->TimeSync.Send(); });

  // The validity windows are judged by the controller's own clock: this sets it, and says to what.
  btnSetClock_ = MakeButton(topBar_, kSetClockCaption, 600, 3);
  btnSetClock_->setGeometry(600, 3, 110, 30);
  connect(btnSetClock_, &QPushButton::clicked, this, [this] { session_->TimeSync.SendNamingTheTime(); });

  btnStop_ = MakeButton(topBar_, kStopCaption, 800, 3);
  btnStop_->setEnabled(false);
  connect(btnStop_, &QPushButton::clicked, this, &TForm1::StopClick);
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  escape->setContext(Qt::WindowShortcut);
  connect(escape, &QShortcut::activated, this, &TForm1::StopClick);
  btnOptions_ = MakeButton(topBar_, kOptionsCaption, 900, 3);
  connect(btnOptions_, &QPushButton::clicked, this, &TForm1::OptionsClick);
}

void TForm1::StopClick() {
  session_->StopTransfers();
}

void TForm1::OptionsClick() {
  TOptionsDialog dialog(session_->SaveOptions(), this);
  if (dialog.exec() != QDialog::Accepted) return;
  session_->SetSaveOptions(dialog.Options());
  StoreSaveOptions(*settings_, dialog.Options());
}

void TForm1::ShowUnsaved() {
  QString text;
  if (pages_ && pages_->currentWidget() == settingsPage_ && session_->SettingsChanges.Active() &&
      session_->SettingsChanges.ChangedCount() > 0)
    text = QString(kUnsavedParameters).arg(session_->SettingsChanges.ChangedCount());
  if (pages_ && pages_->currentWidget() == numbersPage_ && session_->NumberChanges.Active() &&
      session_->NumberChanges.ChangedRows() > 0)
    text = QString(kUnsavedRows).arg(session_->NumberChanges.ChangedRows());
  if (statusBar_->PanelText(3) != text) statusBar_->SetPanelText(3, text);
  QString expired;
  if (pages_ && pages_->currentWidget() == numbersPage_ && session_->NumberExpiry.Count() > 0)
    expired =
        QString::fromStdString(FillText(kExpiredRows, {std::to_string(session_->NumberExpiry.Count())}));
  statusBar_->SetPanelNote(expired);
}

void TForm1::BuildPages() {
  pages_ = new QTabWidget(this);
  pages_->setGeometry(0, kTopBarHeight, kClientWidth, kClientHeight - kTopBarHeight - TStatusBar::kHeight);
  pages_->setTabPosition(QTabWidget::West);
  pages_->setAccessibleName("Pages");
  QTabBar* bar = pages_->tabBar();
  auto* style = new TLeftTabStyle;
  style->setParent(bar);
  bar->setStyle(style);
  bar->setElideMode(Qt::ElideNone);
  bar->setExpanding(false);

  settingsPage_ = new TSettingsPage(*session_);
  // Scrolling the settings grid sideways puts its former position in the caption; nothing restores it.
  connect(settingsPage_, &TSettingsPage::ScrollCaption, this, &QWidget::setWindowTitle);
  numbersPage_ = new TNumbersPage(*session_);
  historyPage_ = new THistoryPage(*session_);
  pages_->addTab(settingsPage_, "Basic\nSettings");
  pages_->addTab(numbersPage_, "Number\nList");
  pages_->addTab(historyPage_, "Historical\nData");
  pages_->addTab(new THelpPage(*session_), "Help");
  for (int i = 0; i < pages_->count(); ++i) {
    QString name = pages_->tabText(i);
    pages_->widget(i)->setAccessibleName(name.replace('\n', ' '));
  }
  for (QPushButton* b : pages_->findChildren<QPushButton*>())
    if (b->accessibleName().isEmpty()) b->setAccessibleName(b->text());
  pages_->setCurrentIndex(0);
}

void TForm1::FillPortList(const TForm1Options& options) {
  // No udev (a container), or a fake tree: the list is read once, as it always was.
  std::shared_ptr<IPortEventSource> events = options.PortEvents;
  if (!events) events = OpenPortEvents(nullptr, options.PortRoot);
  portCombo_ =
      new TPortCombo(cmb1_, options.FirstPort,
                     std::make_unique<TPortMonitor>(Trecognitionserial(options.PortRoot), events), this);
}

void TForm1::Centre() {
  QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return;
  // The frame adds about 40 pixels of height; the left edge may go negative on a narrow screen.
  const QRect s = screen->geometry();
  move(s.left() + (s.width() - width()) / 2, s.top() + (s.height() - (height() + 40)) / 2);
}

void TForm1::btn8Click() {
  comm_->SetCommName(cmb1_->currentText().trimmed().toStdString());
  bool failed = false;
  if (clickCounter_ % 2 == 0) {
    if (!TryOpenPort(*comm_)) {
      failed = true;
    } else {
      ++clickCounter_;
      SetCaption(btn8_, "Close");
      statusBar_->SetLampGreen(true);
      session_->PortName = comm_->CommName();
    }
  } else {
    ++clickCounter_;
    SetCaption(btn8_, "Open");
    comm_->ClosePort();
    statusBar_->SetLampGreen(false);
    session_->PortLost();
    ShowSim();
  }
  if (failed) {
    // The counter stays even, so the next click tries to open again. Under the box's own text: the
    // system's reason, then what is behind it and how to fix it.
    std::string text = kPortError;
    for (const std::string& line : OpenFailureLines(*comm_)) text += "\n" + line;
    operator_->Message(text);
    SetCaption(btn8_, "Open");
    statusBar_->SetLampGreen(false);
  }
}

void TForm1::PortHungUp() {
  // The notification may come from both workers, or after a Close: only an open port is closed.
  if (!comm_->PortOpen()) return;
  const QString port = QString::fromStdString(comm_->CommName());
  ++clickCounter_;
  SetCaption(btn8_, "Open");
  comm_->ClosePort();
  statusBar_->SetLampGreen(false);
  session_->PortLost();
  ShowSim();
  // The adapter's name is gone from the system; the list shows what is left, and the box keeps the
  // name, so that plugging it in again and clicking Open is all it takes.
  portCombo_->Refresh();
  operator_->Message(QString(kDisconnected).arg(port).toStdString());
}

void TForm1::btn1Click() {
  session_->PasswordText = edt1_->text().toStdString();
  session_->Login.BeginLogin();
}

void TForm1::ControlsChanged() {
  const bool unlocked = session_->Unlocked();
  const bool idle = !session_->Exchange.Busy();
  for (TTabPage* page : {static_cast<TTabPage*>(settingsPage_), static_cast<TTabPage*>(numbersPage_),
                         static_cast<TTabPage*>(historyPage_)}) {
    for (QPushButton* b : page->OperationButtons()) b->setEnabled(unlocked);
    // One request at a time: what would send another waits for the open exchange to end.
    for (QPushButton* b : page->RequestButtons()) b->setEnabled(unlocked && idle);
    for (QPushButton* b : page->GridButtons())
      b->setEnabled((unlocked || !page->OperationButtons().contains(b)) && idle);
  }
  btnCheckMode_->setEnabled(unlocked && idle);
  btnTimeSync_->setEnabled(unlocked && idle);
  btnSetClock_->setEnabled(unlocked && idle);
  btn1_->setEnabled(idle);
  btnStop_->setEnabled(session_->TransferRunning());
  // The port stays open while a transfer runs: closing it would cut the device off mid-page.
  btn8_->setEnabled(idle || !comm_->PortOpen());
  ShowSim();
}

void TForm1::ShowSim() {
  // The login reads the settings' first page, which holds the number; until then nothing is known.
  QString text;
  if (session_->Settings.Device.Known(1))
    text = session_->SimNumber.empty() ? QString(kSimNotSet)
                                       : QString::fromStdString(FillText(kSimPanel, {session_->SimNumber}));
  statusBar_->SetPanelText(TStatusBar::kSimPanel, text);
}

void TForm1::closeEvent(QCloseEvent* event) {
  if (closeConfirmed_ || closeAfterSaves_) {
    // A close asked for while its saves run waits for them.
    if (closeAfterSaves_) event->ignore();
    return;
  }
  const std::string question = session_->DiscardQuestion(true, true);
  if (question.empty()) return;
  const bool canSave = session_->Unlocked() && comm_->PortOpen() && !session_->Exchange.Busy();
  TCloseAnswer answer = operator_->AskBeforeClose(question, canSave);
  // Save is no answer where it was not offered.
  if (answer == TCloseAnswer::Save && !canSave) answer = TCloseAnswer::Cancel;
  switch (answer) {
    case TCloseAnswer::Discard:
      closeConfirmed_ = true;
      return;
    case TCloseAnswer::Cancel:
      event->ignore();
      return;
    case TCloseAnswer::Save:
      event->ignore();
      closeAfterSaves_ = true;
      SaveThenClose();
      return;
  }
}

void TForm1::SaveThenClose() {
  Tsend_rec_command* next = session_->SettingsEdits.Edited()
                                ? static_cast<Tsend_rec_command*>(&session_->Settings)
                            : session_->NumberEdits.Edited() ? &session_->Numbers
                                                             : nullptr;
  if (!next) {
    closeAfterSaves_ = false;
    closeConfirmed_ = true;
    // Not from inside the transfer that just ended.
    QTimer::singleShot(0, this, &QWidget::close);
    return;
  }
  if (next == &session_->Settings)
    session_->Settings.StartSave();
  else
    session_->Numbers.StartSave();
  // The grid's own checks said no before anything was sent (the operator has been told).
  if (!next->Running()) closeAfterSaves_ = false;
}

}  // namespace torvane
