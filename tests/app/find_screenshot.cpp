// SPDX-License-Identifier: GPL-3.0-or-later
// find_screenshot FILE: the Number List tab with a sample list, the find bar open on a typed query and
// the expired rows drawn, rendered offscreen to FILE as the README shows it. A helper, not a test: it
// fills the grid as the virtual device's sample list would, with a fixed clock so that the picture
// does not change from one day to the next.
#include <QApplication>
#include <QTemporaryDir>
#include <cstdio>

#include "app/main_window.h"
#include "app/numbers_page.h"
#include "app/program.h"
#include "numbers/number_record.h"
#include "support/fakes.h"
#include "support/qt_app.h"
#include "support/window_options.h"

int main(int argc, char** argv) {
  using namespace torvane;
  if (argc != 2) {
    std::fprintf(stderr, "usage: find_screenshot FILE.png\n");
    return 2;
  }
  testing::EnsureQtApp();
  QTemporaryDir dir;
  testing::TFakeOperator op;
  TManualClock timers;
  TFixedClock clock({2026, 12, 9, 10, 0, 0});
  TForm1 window(testing::WindowOptions(dir, op, timers, clock));

  TGrid& g = window.Session().NumberGrid;
  const char* const numbers[] = {"+491701234567", "+4915112345678", "+491709876543", "+4917012001122",
                                 "+33612345678",  "+491701200333",  "+4930123456",   "+491791234567",
                                 "+491701277777", "+4915209990001", "+491601234567", "+4917012345000"};
  int row = 1;
  for (const char* number : numbers) {
    g.SetCell(kColNumber, row, number);
    if (row % 4 == 1) {
      g.SetCell(kColAlways, row, kMarkYes);
    } else {
      g.SetCell(kColStartDate, row, "2026-01-01");
      g.SetCell(kColStartTime, row, "07:00");
      // Every third window ended before the fixed "now".
      g.SetCell(kColEndDate, row, row % 3 == 0 ? "2026-11-30" : "2027-06-30");
      g.SetCell(kColEndTime, row, "19:00");
    }
    ++row;
  }
  window.Pages().setCurrentWidget(&window.NumbersPage());
  // Past the start-up's status line, whose empty progress bar covers the counts until it clears.
  timers.Advance(3000);
  // As after a login, so that the buttons are drawn as the operator works with them.
  window.Session().UnlockControls();
  window.show();
  window.NumbersPage().OpenFind();
  window.NumbersPage().FindBar()->Edit()->setText("170 12");
  QString error;
  if (!SaveScreenshot(window, 1, QString::fromLocal8Bit(argv[1]), &error)) {
    std::fprintf(stderr, "%s\n", qPrintable(error));
    return 1;
  }
  return 0;
}
