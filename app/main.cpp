// torvane-configurator [--port NAME] [--screenshot FILE [--tab N]]
#include <QApplication>
#include <QPixmap>
#include <QStringList>
#include <QTabWidget>
#include <cstdio>

#include "app/main_window.h"

namespace {

struct TArgs {
  QString Port;
  QString Screenshot;
  int Tab = 0;
  bool Ok = true;
};

TArgs ParseArgs(const QStringList& args) {
  TArgs a;
  for (qsizetype i = 1; i < args.size(); ++i) {
    const QString& arg = args[i];
    const bool hasValue = i + 1 < args.size();
    if (arg == "--port" && hasValue) {
      a.Port = args[++i];
    } else if (arg == "--screenshot" && hasValue) {
      a.Screenshot = args[++i];
    } else if (arg == "--tab" && hasValue) {
      bool ok = false;
      a.Tab = args[++i].toInt(&ok);
      if (!ok) a.Ok = false;
    } else {
      std::fprintf(stderr, "unknown or incomplete option: %s\n", qPrintable(arg));
      a.Ok = false;
    }
  }
  return a;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("torvane-configurator");
  const TArgs args = ParseArgs(QApplication::arguments());
  if (!args.Ok) {
    std::fprintf(stderr, "usage: torvane-configurator [--port NAME] [--screenshot FILE [--tab N]]\n");
    return 2;
  }

  torvane::TForm1Options options;
  options.FirstPort = args.Port;
  torvane::TForm1 window(options);
  window.show();

  if (!args.Screenshot.isEmpty()) {
    if (args.Tab < 0 || args.Tab >= window.Pages().count()) {
      std::fprintf(stderr, "--tab takes 0 to %d\n", window.Pages().count() - 1);
      return 2;
    }
    window.Pages().setCurrentIndex(args.Tab);
    QApplication::processEvents();
    if (!window.grab().save(args.Screenshot, "PNG")) {
      std::fprintf(stderr, "cannot write %s\n", qPrintable(args.Screenshot));
      return 1;
    }
    return 0;
  }
  return QApplication::exec();
}
