// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The whole window on a virtual device's port, with fakes for the operator, the timers and the clock,
// and the port opened with the Open button as the operator opens it (the caller checks that it opened).
#include <QTest>
#include <memory>
#include <string>

#include "app/main_window.h"
#include "support/fakes.h"
#include "support/qt_app.h"

namespace torvane::testing {

inline std::unique_ptr<TForm1> OpenWindowOn(const std::string& port, IOperator& op, ITimerFactory& timers,
                                            const IClock& clock) {
  EnsureQtApp();
  TForm1Options options;
  options.Operator = &op;
  options.Timers = &timers;
  options.Clock = &clock;
  options.ProgramDir = QString::fromStdString(::testing::TempDir());
  options.FirstPort = QString::fromStdString(port);
  auto window = std::make_unique<TForm1>(options);
  window->show();
  QTest::mouseClick(window->OpenCloseButton(), Qt::LeftButton);
  return window;
}

}  // namespace torvane::testing
