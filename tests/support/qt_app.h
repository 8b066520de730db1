// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The one QApplication of a GUI test program, made on first use; on the offscreen platform (minimal
// on Windows) unless QT_QPA_PLATFORM names another.
#include <QApplication>
#include <QStandardPaths>

#ifndef TORVANE_ON_WINDOWS
#define TORVANE_ON_WINDOWS 0
#endif

namespace torvane::testing {

inline void EnsureQtApp() {
  if (QApplication::instance()) return;
  // The options the window keeps between runs go to a test location, never to the user's own.
  QStandardPaths::setTestModeEnabled(true);
  // The Qt built for Windows has no offscreen platform; its minimal one draws with real fonts.
  // (Wine does not hand QT_* variables to a Windows program, so the program sets its own.)
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", TORVANE_ON_WINDOWS ? "minimal:enable_fonts" : "offscreen");
  static int argc = 1;
  static char name[] = "torvane_test";
  static char* argv[] = {name, nullptr};
  // Never destroyed: tearing Qt down among the static destructors at exit races Qt's own static
  // input devices and crashes.
  new QApplication(argc, argv);
}

}  // namespace torvane::testing
