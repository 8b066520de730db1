// SPDX-License-Identifier: GPL-3.0-or-later
// torvane-bench-window.exe [--port COMn] [Qt options such as -platform minimal:enable_fonts]
//
// The window on Windows (under wine here): the time from the process's creation (as the system keeps
// it) to the end of the window's first paint; with --port, the window then opens that port, logs in
// and reads the number list through its own handlers, and the read's time is printed. JSON lines.
#include <windows.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QTabWidget>
#include <QTimer>
#include <cstdio>
#include <string>

#include "app/main_window.h"
#include "app/numbers_page.h"
#include "bench/bench_support.h"
#include "numbers/number_record.h"

namespace torvane::bench {
namespace {

// 100 ns steps since 1601, the system's own clock for process times.
int64_t SystemNow100ns() {
  FILETIME now;
  ::GetSystemTimePreciseAsFileTime(&now);
  return (static_cast<int64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}
int64_t ProcessCreated100ns() {
  FILETIME created, exited, kernel, user;
  if (!::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
  return (static_cast<int64_t>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

class TFirstPaint : public QObject {
 public:
  explicit TFirstPaint(QWidget& window) : window_(window) {}
  int64_t Done = 0;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (!seen_ && event->type() == QEvent::Paint && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window() == &window_) {
      seen_ = true;
      QTimer::singleShot(0, this, [this] {
        Done = SystemNow100ns();
        QCoreApplication::exit(0);
      });
    }
    return false;
  }

 private:
  QWidget& window_;
  bool seen_ = false;
};

// Runs the event loop until the exchange is over; seconds, or -1 after limitS.
double WaitIdle(TForm1& window, double limitS) {
  QElapsedTimer t;
  t.start();
  QEventLoop loop;
  QTimer check;
  check.setTimerType(Qt::PreciseTimer);
  QObject::connect(&check, &QTimer::timeout, [&] {
    if (!window.Session().Exchange.Busy() || t.elapsed() > limitS * 1000) loop.quit();
  });
  check.start(1);
  if (window.Session().Exchange.Busy()) loop.exec();
  return window.Session().Exchange.Busy() ? -1 : static_cast<double>(t.nsecsElapsed()) / 1e9;
}

int Main(int argc, char** argv) {
  QApplication app(argc, argv);
  QString port;
  const QStringList args = QApplication::arguments();
  for (qsizetype i = 1; i < args.size(); ++i) {
    if (args[i] == "--port" && i + 1 < args.size()) port = args[++i];
    if (args[i] == "-platform") ++i;
  }
  TYesOperator op;
  TForm1Options options;
  options.Operator = &op;
  if (!port.isEmpty()) options.FirstPort = port;
  TForm1 window(options);
  TFirstPaint firstPaint(window);
  app.installEventFilter(&firstPaint);
  window.show();
  QTimer::singleShot(20000, &app, [] { QCoreApplication::exit(1); });
  if (QApplication::exec() != 0 || !firstPaint.Done) {
    std::fprintf(stderr, "torvane-bench-window: the window was never painted\n");
    return 1;
  }
  app.removeEventFilter(&firstPaint);
  std::printf("{\"startup_ms\": %.2f}\n", static_cast<double>(firstPaint.Done - ProcessCreated100ns()) / 1e4);
  std::fflush(stdout);
  if (port.isEmpty()) return 0;

  window.btn8Click();
  if (!window.Comm().PortOpen()) {
    std::fprintf(stderr, "torvane-bench-window: the window did not open %s: %s\n", qPrintable(port),
                 op.LastError.c_str());
    return 1;
  }
  window.PasswordEdit()->setText("6853");
  window.btn1Click();
  if (WaitIdle(window, 10) < 0 || !window.Session().Unlocked()) {
    std::fprintf(stderr, "torvane-bench-window: login failed: %s\n", op.LastMessage.c_str());
    return 1;
  }
  window.Pages().setCurrentWidget(&window.NumbersPage());
  QCoreApplication::processEvents();
  window.Session().Numbers.StartRead();
  const double seconds = WaitIdle(window, 60);
  int numbers = 0;
  for (int row = 1; row <= kNumberRows; ++row)
    numbers += !window.Session().NumberGrid.Cell(kColNumber, row).empty();
  const bool ok = seconds >= 0 && op.ErrorCount == 0;
  std::printf("{\"number_list_read_s\": %.4f, \"numbers\": %d, \"ok\": %s}\n", seconds, numbers,
              ok ? "true" : "false");
  window.btn8Click();
  return ok ? 0 : 1;
}

}  // namespace
}  // namespace torvane::bench

int main(int argc, char** argv) {
  return torvane::bench::Main(argc, argv);
}
