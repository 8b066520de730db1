// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// TForm1: the one working window. It owns the serial component, the Qt side of the core's ports and
// the session, and hosts the port bar, the four pages and the status bar.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTabWidget>
#include <QWidget>
#include <functional>
#include <memory>

#include "core/clock.h"
#include "core/operator.h"
#include "core/timer.h"
#include "serial/comm.h"
#include "serial/port_monitor.h"
#include "session/session.h"

namespace torvane {

class TStatusBar;
class TSettingsPage;
class TNumbersPage;
class THistoryPage;
class TQtNotifyTarget;
class TPortCombo;

// What a test (or the program's options) may put in place of the real thing. Null members mean
// the real dialogs, QTimer, the system clock and the folder of the executable.
struct TForm1Options {
  IOperator* Operator = nullptr;
  ITimerFactory* Timers = nullptr;
  const IClock* Clock = nullptr;
  QString ProgramDir;
  QString FirstPort;                             // put first in the port list and selected
  std::string PortRoot = "/";                    // where the port list is read (a fake tree in tests)
  std::shared_ptr<IPortEventSource> PortEvents;  // hot-plug events; null: the system's, where it has them
  QString SettingsFile;                          // the options' file; empty: the user's configuration
  std::function<void(const std::string&)> TraceLine;  // each frame's trace line as it happens
  bool TraceSecrets = false;                          // traces show the passwords as they are
};

class TForm1 : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kClientWidth = 1062;
  static constexpr int kClientHeight = 672;
  static constexpr int kTopBarHeight = 36;

  explicit TForm1(const TForm1Options& options = {}, QWidget* parent = nullptr);
  ~TForm1() override;

  TSession& Session() { return *session_; }
  TComm& Comm() { return *comm_; }
  IOperator& Operator() { return *operator_; }
  TStatusBar& StatusBar() { return *statusBar_; }
  QTabWidget& Pages() { return *pages_; }
  TSettingsPage& SettingsPage() { return *settingsPage_; }
  TNumbersPage& NumbersPage() { return *numbersPage_; }
  THistoryPage& HistoryPage() { return *historyPage_; }

  QComboBox* PortList() const { return cmb1_; }
  TPortCombo& PortCombo() { return *portCombo_; }
  QPushButton* OpenCloseButton() const { return btn8_; }
  QLineEdit* PasswordEdit() const { return edt1_; }
  QPushButton* LoginButton() const { return btn1_; }
  QPushButton* CheckModeButton() const { return btnCheckMode_; }
  QPushButton* StopButton() const { return btnStop_; }
  QPushButton* OptionsButton() const { return btnOptions_; }
  QPushButton* TimeSyncButton() const { return btnTimeSync_; }
  QPushButton* SetClockButton() const { return btnSetClock_; }

  // Even: the next click opens; odd: it closes.
  int32_t ClickCounter() const { return clickCounter_; }
  bool LampGreen() const;

 public slots:
  void btn8Click();  // Open/Close
  void btn1Click();  // Log in
  // The serial component's hang-up notification: the adapter was pulled out.
  void PortHungUp();
  // "Stop" (and Esc): the running read or save ends once the page in flight is answered.
  void StopClick();
  // "Options": how saves go about it, kept between runs.
  void OptionsClick();

 protected:
  // With what was typed not saved: save it first (when logged in), discard it, or stay.
  void closeEvent(QCloseEvent* event) override;

 private:
  // The next save the close asked for, or the close itself once every one was kept.
  void SaveThenClose();
  // The SIM number of the controller on the lead, on the status bar.
  void ShowSim();
  void BuildTopBar();
  void BuildPages();
  void FillPortList(const TForm1Options& options);
  void ControlsChanged();
  // The status bar's count of what the current tab's grid holds that the device does not, and on the
  // number list the count of rows whose window has ended.
  void ShowUnsaved();
  void Centre();

  // Declared before the serial component: its workers post here until it is gone.
  std::unique_ptr<TQtNotifyTarget> notifyTarget_;
  std::unique_ptr<IOperator> ownOperator_;
  std::unique_ptr<ITimerFactory> ownTimers_;
  std::unique_ptr<IClock> ownClock_;
  IOperator* operator_ = nullptr;
  std::unique_ptr<TComm> comm_;

  QWidget* topBar_ = nullptr;
  QComboBox* cmb1_ = nullptr;
  TPortCombo* portCombo_ = nullptr;
  QPushButton* btn8_ = nullptr;
  QLineEdit* edt1_ = nullptr;
  QPushButton* btn1_ = nullptr;
  QPushButton* btnCheckMode_ = nullptr;
  QPushButton* btnTimeSync_ = nullptr;
  QPushButton* btnStop_ = nullptr;
  QPushButton* btnOptions_ = nullptr;
  QPushButton* btnSetClock_ = nullptr;
  std::unique_ptr<QSettings> settings_;
  QTabWidget* pages_ = nullptr;
  TStatusBar* statusBar_ = nullptr;
  TSettingsPage* settingsPage_ = nullptr;
  TNumbersPage* numbersPage_ = nullptr;
  THistoryPage* historyPage_ = nullptr;

  std::unique_ptr<TSession> session_;
  // Asks the clock every minute which rows of the number list have expired since.
  std::unique_ptr<ITimer> expiryTimer_;
  int32_t clickCounter_ = 0;
  // A close waits for the saves it started; any that fails or is stopped keeps the window open.
  bool closeAfterSaves_ = false;
  bool closeConfirmed_ = false;
};

}  // namespace torvane
