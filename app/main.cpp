// SPDX-License-Identifier: GPL-3.0-or-later
// torvane-configurator [--port NAME] [--screenshot FILE [--tab N]] | --help | --version
#include <QApplication>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "app/main_window.h"
#include "app/program.h"
#include "files/safe_file.h"
#include "session/port_check.h"

int main(int argc, char** argv) {
  if (const auto info = torvane::InfoText(QStringList(argv, argv + argc))) {
    std::fputs(qPrintable(*info), stdout);
    return 0;
  }
  // --check-port runs before Qt starts, so it works with no display.
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--check-port") != 0) continue;
    if (i + 1 >= argc) {
      std::fprintf(stderr, "--check-port needs a value\n");
      return 2;
    }
    return torvane::RunCheckPort(argv[i + 1], stdout);
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName("torvane-configurator");
  // The options are kept in ~/.config/Torvane/torvane-configurator.conf.
  QApplication::setOrganizationName("Torvane");
  // The desktop entry's id: on Wayland the window finds its icon and menu entry by it.
  QGuiApplication::setDesktopFileName("io.github.torvane.Configurator");
  QString error;
  const auto args = torvane::ParseProgramArgs(QApplication::arguments(), &error);
  if (!args) {
    std::fprintf(stderr, "%s\nusage: torvane-configurator [--port NAME] [--screenshot FILE [--tab N]]\n",
                 qPrintable(error));
    return 2;
  }

  torvane::TForm1Options options;
  options.FirstPort = args->Port;
  std::ofstream trace;
  if (!args->Trace.isEmpty()) {
    // A trace that shows the passwords is for its owner's eyes only.
    if (args->TraceSecrets) {
      try {
        torvane::EnsurePrivateFile(args->Trace.toStdString());
      } catch (const torvane::EFileError& e) {
        std::fprintf(stderr, "torvane-configurator: %s\n", e.what());
        return 2;
      }
    }
    trace.open(args->Trace.toStdString(), std::ios::out | std::ios::app);
    if (!trace) {
      std::fprintf(stderr, "torvane-configurator: cannot write the trace file %s: %s\n",
                   qPrintable(args->Trace), std::strerror(errno));
      return 2;
    }
    // Line by line to the disk: a trace is wanted most when the program did not end well.
    options.TraceLine = [&trace](const std::string& line) { trace << line << std::endl; };
  }
  options.TraceSecrets = args->TraceSecrets;
  torvane::TForm1 window(options);

  if (!args->Screenshot.isEmpty()) {
    if (!torvane::SaveScreenshot(window, args->Tab, args->Screenshot, &error)) {
      std::fprintf(stderr, "%s\n", qPrintable(error));
      return 1;
    }
    return 0;
  }
  window.show();
  return QApplication::exec();
}
