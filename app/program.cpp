#include "app/program.h"

#include <QApplication>
#include <QPixmap>

#include "app/main_window.h"

namespace torvane {

std::optional<TProgramArgs> ParseProgramArgs(const QStringList& arguments, QString* error) {
  TProgramArgs a;
  auto fail = [error](const QString& why) {
    if (error) *error = why;
    return std::nullopt;
  };
  // arguments[0] is the program itself.
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    const QString& arg = arguments[i];
    if (arg != "--port" && arg != "--screenshot" && arg != "--tab") return fail("unknown option " + arg);
    if (i + 1 >= arguments.size()) return fail(arg + " needs a value");
    const QString value = arguments[++i];
    if (arg == "--port") {
      a.Port = value;
    } else if (arg == "--screenshot") {
      a.Screenshot = value;
    } else {
      bool ok = false;
      a.Tab = value.toInt(&ok);
      if (!ok) return fail("--tab takes a number");
    }
  }
  return a;
}

bool SaveScreenshot(TForm1& window, int tab, const QString& file, QString* error) {
  if (tab < 0 || tab >= window.Pages().count()) {
    if (error) *error = QString("--tab takes 0 to %1").arg(window.Pages().count() - 1);
    return false;
  }
  window.Pages().setCurrentIndex(tab);
  window.show();
  QApplication::processEvents();
  // grab() renders the client area, which is what the window's layout is made of.
  if (!window.grab().save(file, "PNG")) {
    if (error) *error = "cannot write " + file;
    return false;
  }
  return true;
}

}  // namespace torvane
