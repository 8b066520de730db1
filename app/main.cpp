// torvane-configurator [--port NAME] [--screenshot FILE [--tab N]] | --help | --version
#include <QApplication>
#include <cstdio>

#include "app/main_window.h"
#include "app/program.h"

int main(int argc, char** argv) {
  if (const auto info = torvane::InfoText(QStringList(argv, argv + argc))) {
    std::fputs(qPrintable(*info), stdout);
    return 0;
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName("torvane-configurator");
  QString error;
  const auto args = torvane::ParseProgramArgs(QApplication::arguments(), &error);
  if (!args) {
    std::fprintf(stderr, "%s\nusage: torvane-configurator [--port NAME] [--screenshot FILE [--tab N]]\n",
                 qPrintable(error));
    return 2;
  }

  torvane::TForm1Options options;
  options.FirstPort = args->Port;
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
