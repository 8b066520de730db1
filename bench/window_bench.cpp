// SPDX-License-Identifier: GPL-3.0-or-later
// torvane-bench-window [--device PATH-TO-torvane-device] | --find
//
// The window's start-up and its memory. Prints, as JSON lines:
// - the time from process start to the end of the window's first paint, and whether the settings,
//   number and history grids were filled by then. Process start is TORVANE_BENCH_T0_NS (a
//   CLOCK_MONOTONIC time the launcher takes just before it starts this program) or, without it,
//   the entry of main();
// - with --device: the window then opens the port of a populated, unpaced virtual device, logs in
//   and reads the settings, the number list and the history through its own buttons' handlers, each
//   on its own tab; the time of each read and the peak resident memory (VmHWM) afterwards;
// - with --find instead: the number list filled with the populated device's 3000 numbers and the find
//   bar open, the time from a keystroke in the bar to the end of the repaint it causes (the highlight
//   of every matching row, the jump to the first), over a number typed digit by digit and erased.
// Runs on any Qt platform; the launcher uses offscreen.
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTabWidget>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "app/history_page.h"
#include "app/main_window.h"
#include "app/numbers_page.h"
#include "app/settings_page.h"
#include "bench/bench_support.h"
#include "bench/device_process.h"
#include "device/device_memory.h"
#include "history/history_record.h"
#include "numbers/number_record.h"
#include "numbers/telephone_send.h"

namespace torvane::bench {
namespace {

int64_t MonotonicNs() {
  timespec t{};
  ::clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

// Notes the end of the first paint of anything in the window: the zero timer posted from the first
// paint event runs once the whole paint pass (window and visible children) is done.
class TFirstPaint : public QObject {
 public:
  explicit TFirstPaint(QWidget& window) : window_(window) {}
  int64_t DoneNs = 0;
  bool Seen = false;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (!Seen && event->type() == QEvent::Paint && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window() == &window_) {
      Seen = true;
      QTimer::singleShot(0, this, [this] {
        DoneNs = MonotonicNs();
        QCoreApplication::exit(0);
      });
    }
    return false;
  }

 private:
  QWidget& window_;
};

bool GridsFilled(TSession& s) {
  return !s.SettingsGrid.Cell(0, 28).empty() && !s.SettingsGrid.Cell(1, 1).empty() &&
         s.NumberGrid.Cell(kColSerial, kNumberRows) == std::to_string(kNumberRows) &&
         s.NumberGrid.Cell(kColAlways, kNumberRows) == kMarkNo &&
         s.HistoryGrid.Cell(kHisSerial, kHistoryRows) == std::to_string(kHistoryRows);
}

// Runs an event loop, as the program's own, until the exchange in progress is over; seconds taken,
// or a negative number after `limitS` seconds. A millisecond timer looks at the exchange: the window
// has no signal for its end, and one wake-up a millisecond is little beside a byte's delivery.
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
  if (window.Session().Exchange.Busy()) return -1;
  return static_cast<double>(t.nsecsElapsed()) / 1e9;
}

// Keystroke to highlight in the number list's find bar: each key is sent as the platform would, and
// the clock stops once the events it caused, the repaint among them, are all handled.
int FindTiming(TForm1& window) {
  TSession& s = window.Session();
  for (int page = 1; page <= kNumberPageCount; ++page)
    DecodeNumberPage(
        s.NumberGrid, page,
        PopulatedMemory().At(device::Locate(device::PageAddress(device::TRegion::Numbers, page))));
  window.Pages().setCurrentWidget(&window.NumbersPage());
  window.NumbersPage().OpenFind();
  QCoreApplication::processEvents();
  QWidget* edit = window.NumbersPage().FindBar()->Edit();
  const QString number = QString::fromStdString(s.NumberGrid.Cell(kColNumber, 1500));
  std::vector<double> ms;
  auto key = [&](int code, const QString& text) {
    QElapsedTimer t;
    t.start();
    QKeyEvent press(QEvent::KeyPress, code, Qt::NoModifier, text);
    QCoreApplication::sendEvent(edit, &press);
    QKeyEvent release(QEvent::KeyRelease, code, Qt::NoModifier, text);
    QCoreApplication::sendEvent(edit, &release);
    QCoreApplication::processEvents();
    ms.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
  };
  auto round = [&] {
    for (QChar c : number) key(c.unicode(), QString(c));
    for (qsizetype i = 0; i < number.size(); ++i) key(Qt::Key_Backspace, {});
  };
  // The first round also fills the font's glyph cache and the view's first layouts: it is shown on
  // its own, and the figures are those of the rounds after it.
  round();
  const double firstRoundMax = *std::max_element(ms.begin(), ms.end());
  ms.clear();
  for (int i = 0; i < 10; ++i) round();
  std::sort(ms.begin(), ms.end());
  const bool ok = window.NumbersPage().FindBar()->Edit()->text().isEmpty() && !ms.empty();
  std::printf(
      "{\"find_keys\": %zu, \"find_key_to_paint_median_ms\": %.3f, \"find_key_to_paint_p95_ms\": %.3f, "
      "\"find_key_to_paint_max_ms\": %.3f, \"find_first_round_max_ms\": %.3f, \"ok\": %s}\n",
      ms.size(), ms[ms.size() / 2], ms[ms.size() * 95 / 100], ms.back(), firstRoundMax,
      ok ? "true" : "false");
  return ok ? 0 : 1;
}

int Main(int argc, char** argv, int64_t mainNs) {
  std::string deviceProgram;
  bool find = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--device" && i + 1 < argc) {
      deviceProgram = argv[++i];
    } else if (a == "--find") {
      find = true;
    } else {
      std::fprintf(stderr, "usage: torvane-bench-window [--device PATH-TO-torvane-device] | --find\n");
      return 2;
    }
  }
  const char* t0Text = std::getenv("TORVANE_BENCH_T0_NS");
  const int64_t t0 = t0Text ? std::strtoll(t0Text, nullptr, 10) : mainNs;

  QApplication app(argc, argv);
  TYesOperator op;
  TForm1Options options;
  options.Operator = &op;
  TForm1 window(options);
  TFirstPaint firstPaint(window);
  app.installEventFilter(&firstPaint);
  window.show();
  // Nothing should keep the first paint waiting; the limit only keeps a broken platform from hanging.
  QTimer::singleShot(10000, &app, [] { QCoreApplication::exit(1); });
  if (QApplication::exec() != 0 || !firstPaint.DoneNs) {
    std::fprintf(stderr, "torvane-bench-window: the window was never painted\n");
    return 1;
  }
  app.removeEventFilter(&firstPaint);
  const bool filled = GridsFilled(window.Session());
  std::printf(
      "{\"startup_ms\": %.2f, \"main_to_paint_ms\": %.2f, \"from_launch\": %s, \"grids_filled\": %s}\n",
      static_cast<double>(firstPaint.DoneNs - t0) / 1e6,
      static_cast<double>(firstPaint.DoneNs - mainNs) / 1e6, t0Text ? "true" : "false",
      filled ? "true" : "false");
  std::fflush(stdout);
  if (!filled) return 1;
  if (find) return FindTiming(window);
  if (deviceProgram.empty()) return 0;

  TDeviceProcess device;
  if (!device.Start(deviceProgram, {"--populate", "numbers=3000,history=1000"})) {
    std::fprintf(stderr, "torvane-bench-window: %s\n", device.Error().c_str());
    return 1;
  }
  window.PortList()->insertItem(0, QString::fromStdString(device.PortPath()));
  window.PortList()->setCurrentIndex(0);
  window.btn8Click();
  if (!window.Comm().PortOpen()) {
    std::fprintf(stderr, "torvane-bench-window: the window did not open %s: %s\n", device.PortPath().c_str(),
                 op.LastError.c_str());
    return 1;
  }
  window.PasswordEdit()->setText("6853");
  window.btn1Click();
  if (WaitIdle(window, 10) < 0 || !window.Session().Unlocked()) {
    std::fprintf(stderr, "torvane-bench-window: login failed: %s\n", op.LastMessage.c_str());
    return 1;
  }

  TSession& s = window.Session();
  struct TStep {
    const char* Name;
    QWidget* Page;
    std::function<void()> Start;
  };
  const TStep steps[] = {
      {"settings read", &window.SettingsPage(), [&] { s.Settings.StartRead(); }},
      {"number list read", &window.NumbersPage(), [&] { s.Numbers.StartRead(); }},
      {"history read", &window.HistoryPage(), [&] { s.History.StartRead(); }},
  };
  bool ok = true;
  std::string times;
  for (const TStep& step : steps) {
    window.Pages().setCurrentWidget(step.Page);
    QCoreApplication::processEvents();
    const int errors = op.ErrorCount;
    step.Start();
    const double seconds = WaitIdle(window, 60);
    ok = ok && seconds >= 0 && op.ErrorCount == errors;
    char item[96];
    std::snprintf(item, sizeof item, "%s\"%s_s\": %.4f", times.empty() ? "" : ", ", step.Name, seconds);
    times += item;
  }
  int numbers = 0, events = 0;
  for (int row = 1; row <= kNumberRows; ++row) numbers += !s.NumberGrid.Cell(kColNumber, row).empty();
  for (int row = 1; row <= kHistoryRows; ++row) events += !s.HistoryGrid.Cell(kHisNumber, row).empty();
  ok = ok && numbers == kNumberRows && events == kHistoryRows;
  std::printf(
      "{\"window_reads\": {%s}, \"numbers\": %d, \"events\": %d, \"peak_rss_kb\": %lld, \"rss_kb\": %lld, "
      "\"ok\": %s}\n",
      times.c_str(), numbers, events, static_cast<long long>(PeakResidentKb()),
      static_cast<long long>(ResidentKb()), ok ? "true" : "false");
  window.btn8Click();
  return ok ? 0 : 1;
}

}  // namespace
}  // namespace torvane::bench

int main(int argc, char** argv) {
  const int64_t mainNs = torvane::bench::MonotonicNs();
  return torvane::bench::Main(argc, argv, mainNs);
}
