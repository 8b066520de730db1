#include "app/qt_ports.h"

#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStringList>

namespace torvane {

QString ToQtFilter(const std::string& filter) {
  const QStringList parts = QString::fromStdString(filter).split('|');
  QStringList out;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QStringList patterns = parts[i + 1].split(';', Qt::SkipEmptyParts);
    for (QString& p : patterns) {
      p = p.trimmed();
      if (p == "*.*") p = "*";
    }
    out << QString("%1 (%2)").arg(parts[i], patterns.join(' '));
  }
  return out.join(";;");
}

namespace {

QString Q(const std::string& s) {
  return QString::fromStdString(s);
}

std::optional<std::string> Chosen(const QString& path) {
  if (path.isEmpty()) return std::nullopt;
  return path.toStdString();
}

}  // namespace

void TQtOperator::Message(const std::string& text) {
  QMessageBox box(QMessageBox::NoIcon, QString(), Q(text), QMessageBox::Ok, parent_);
  box.exec();
}

void TQtOperator::Error(const std::string& text) {
  QMessageBox box(QMessageBox::Critical, QString(), Q(text), QMessageBox::Ok, parent_);
  box.exec();
}

bool TQtOperator::ConfirmRead(const std::string& text) {
  QMessageBox box(QMessageBox::Question, QString(), Q(text), QMessageBox::NoButton, parent_);
  QPushButton* yes = box.addButton("OK(&Y)", QMessageBox::YesRole);
  box.addButton("Cancel(&N)", QMessageBox::NoRole);
  box.setDefaultButton(yes);
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    // Integer division rounds toward zero, also on a screen narrower than 200.
    const QRect s = screen->geometry();
    box.move(s.left() + (s.width() - 200) / 2, s.top() + (s.height() - 200) / 2);
  }
  box.exec();
  return box.clickedButton() == yes;
}

bool TQtOperator::WarnOkCancel(const std::string& text) {
  QMessageBox box(QMessageBox::Warning, QString(), Q(text), QMessageBox::Ok | QMessageBox::Cancel, parent_);
  return box.exec() == QMessageBox::Ok;
}

std::optional<std::string> TQtOperator::ChooseOpenFile(const std::string& filter, const std::string& folder) {
  return Chosen(QFileDialog::getOpenFileName(parent_, QString(), Q(folder), ToQtFilter(filter)));
}

std::optional<std::string> TQtOperator::ChooseSaveFile(const std::string& filter, const std::string& folder,
                                                       const std::string& proposedName) {
  QString start = Q(folder);
  if (!proposedName.empty()) {
    if (!start.isEmpty() && !start.endsWith('/')) start += '/';
    start += Q(proposedName);
  }
  return Chosen(QFileDialog::getSaveFileName(parent_, QString(), start, ToQtFilter(filter)));
}

TQtTimer::TQtTimer(int intervalMs) {
  // The status line's 3000 ms is shown to the operator; a coarse timer could be 150 ms off.
  timer_.setTimerType(Qt::PreciseTimer);
  timer_.setInterval(intervalMs);
  QObject::connect(&timer_, &QTimer::timeout, [this] {
    if (OnTimer) OnTimer();
  });
}

void TQtTimer::Start() {
  // QTimer::start() restarts a running timer; ours keeps its period.
  if (!timer_.isActive()) timer_.start();
}

void TQtTimer::SetInterval(int ms) {
  // Setting the interval a timer already has must not restart its period.
  if (ms != timer_.interval()) timer_.setInterval(ms);
}

bool TQtNotifyTarget::Post(std::function<void()> deliver) {
  return QMetaObject::invokeMethod(&receiver_, std::move(deliver), Qt::QueuedConnection);
}

}  // namespace torvane
