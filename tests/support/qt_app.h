#pragma once
// The one QApplication of a GUI test program, made on first use; on the offscreen platform unless
// QT_QPA_PLATFORM names another.
#include <QApplication>
#include <QStandardPaths>

namespace torvane::testing {

inline void EnsureQtApp() {
  if (QApplication::instance()) return;
  // The options the window keeps between runs go to a test location, never to the user's own.
  QStandardPaths::setTestModeEnabled(true);
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "torvane_test";
  static char* argv[] = {name, nullptr};
  // Never destroyed: tearing Qt down among the static destructors at exit races Qt's own static
  // input devices and crashes.
  new QApplication(argc, argv);
}

}  // namespace torvane::testing
