// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program's options and its screenshot mode.
#include <QString>
#include <QStringList>
#include <optional>

namespace torvane {

class TForm1;

struct TProgramArgs {
  QString Port;               // --port NAME: first in the port list, selected
  QString Screenshot;         // --screenshot FILE: render the window to a PNG and exit
  int Tab = 0;                // --tab N: the page shown in the screenshot, 0 = Basic Settings
  QString Trace;              // --trace FILE: every frame written to FILE as it is sent or received
  bool TraceSecrets = false;  // --trace-secrets: the trace shows the passwords as they are
};

// Empty when an option is unknown or lacks its value; `error` then says which.
std::optional<TProgramArgs> ParseProgramArgs(const QStringList& arguments, QString* error = nullptr);

// The text --help or --version prints (the first of them given), empty when neither is asked for.
// main() answers them before the application object exists, so they need no display.
std::optional<QString> InfoText(const QStringList& arguments);

// Shows page `tab` and writes the window's client area as a PNG. False (with `error`) when the tab does
// not exist or the file cannot be written.
bool SaveScreenshot(TForm1& window, int tab, const QString& file, QString* error = nullptr);

}  // namespace torvane
