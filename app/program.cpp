// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/program.h"

#include <QApplication>
#include <QPixmap>

#include "app/app_texts.h"
#include "app/main_window.h"
#include "core/message.h"
#include "core/version.h"

namespace torvane {

namespace {

// The options as the man page torvane-configurator(1) lists them; a test keeps the two alike.
constexpr const char* kHelp =
    "Usage: torvane-configurator [--port NAME] [--screenshot FILE [--tab N]] [--trace FILE "
    "[--trace-secrets]]\n"
    "       torvane-configurator --check-port PORT\n"
    "Configures a Torvane GSM relay controller over a USB serial link (115200 8N1): its basic\n"
    "settings, its authorized numbers and its event log.\n"
    "\n"
    "Options:\n"
    "  --port NAME        put NAME first in the port list and select it (ttyUSB0, or a full\n"
    "                     path such as /dev/pts/5)\n"
    "  --screenshot FILE  start as usual, render the window to the PNG file FILE and exit;\n"
    "                     works with QT_QPA_PLATFORM=offscreen and no display\n"
    "  --tab N            the page the screenshot shows: 0 Basic Settings, 1 Number List,\n"
    "                     2 Historical Data, 3 Help (default 0)\n"
    "  --trace FILE       write every frame sent and received to FILE as it happens (the\n"
    "                     passwords in settings pages are written as **)\n"
    "  --trace-secrets    show the passwords in traces as they are (a trace is meant for\n"
    "                     someone else: think twice)\n"
    "  --check-port PORT  open PORT and close it again without starting the window; print why\n"
    "                     it cannot be opened and how to fix that (exit 0 when it opens)\n"
    "  --help             print this text and exit\n"
    "  --version          print the version and exit\n"
    "\n"
    "Environment:\n"
    "  TORVANE_CODEPAGE   the code page of the device's texts, for example CP936 (chosen from\n"
    "                     the locale when unset)\n";

// `pattern` with its one place filled by `value`.
QString Text(const char* pattern, const QString& value) {
  return QString::fromStdString(FillText(pattern, {value.toStdString()}));
}

}  // namespace

// Qt's own options, which QApplication takes (on Windows it leaves them in arguments(), which come
// from the command line): how many values follow one, -1 for an option that is not Qt's.
int QtOptionValues(const QString& arg) {
  static const QStringList withValue = {"-platform",        "-platformpluginpath",
                                        "-platformtheme",   "-plugin",
                                        "-qwindowgeometry", "-qwindowtitle",
                                        "-qwindowicon",     "-style",
                                        "-stylesheet",      "-session",
                                        "-display",         "-geometry"};
  static const QStringList alone = {"-reverse", "-widgetcount", "-nograb", "-dograb", "-sync"};
  if (withValue.contains(arg)) return 1;
  if (alone.contains(arg)) return 0;
  return -1;
}

std::optional<QString> InfoText(const QStringList& arguments) {
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    const QString& arg = arguments[i];
    if (const int values = QtOptionValues(arg); values >= 0) {
      i += values;
      continue;
    }
    if (arg == "--help" || arg == "-h") return QString(kHelp);
    if (arg == "--version") return QString::fromStdString(VersionText("torvane-configurator"));
    // An option's value is never taken for an option of its own: --port --help names a port.
    if (arg == "--port" || arg == "--screenshot" || arg == "--tab" || arg == "--check-port" ||
        arg == "--trace")
      ++i;
  }
  return std::nullopt;
}

std::optional<TProgramArgs> ParseProgramArgs(const QStringList& arguments, QString* error) {
  TProgramArgs a;
  auto fail = [error](const QString& why) {
    if (error) *error = why;
    return std::nullopt;
  };
  // arguments[0] is the program itself.
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    const QString& arg = arguments[i];
    if (const int values = QtOptionValues(arg); values >= 0) {
      if (i + values >= arguments.size()) return fail(Text(kProgramNeedsValue, arg));
      i += values;
      continue;
    }
    if (arg == "--trace-secrets") {
      a.TraceSecrets = true;
      continue;
    }
    if (arg != "--port" && arg != "--screenshot" && arg != "--tab" && arg != "--trace")
      return fail(Text(kProgramUnknownOption, arg));
    if (i + 1 >= arguments.size()) return fail(Text(kProgramNeedsValue, arg));
    const QString value = arguments[++i];
    if (arg == "--port") {
      a.Port = value;
    } else if (arg == "--trace") {
      a.Trace = value;
    } else if (arg == "--screenshot") {
      a.Screenshot = value;
    } else {
      bool ok = false;
      a.Tab = value.toInt(&ok);
      if (!ok) return fail(kProgramTabNotNumber);
    }
  }
  return a;
}

bool SaveScreenshot(TForm1& window, int tab, const QString& file, QString* error) {
  if (tab < 0 || tab >= window.Pages().count()) {
    if (error) *error = Text(kProgramTabRange, QString::number(window.Pages().count() - 1));
    return false;
  }
  window.Pages().setCurrentIndex(tab);
  window.show();
  QApplication::processEvents();
  // grab() renders the client area, which is what the window's layout is made of.
  if (!window.grab().save(file, "PNG")) {
    if (error) *error = Text(kProgramScreenshotNotWritten, file);
    return false;
  }
  return true;
}

}  // namespace torvane
