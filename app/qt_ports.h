#pragma once
// The window's side of the core's ports: real dialogs, QTimer, and the hand-over of the serial
// workers' notifications to the Qt event loop.
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>

#include "app/operator.h"
#include "app/timer.h"
#include "serial/comm.h"

namespace torvane {

// "Excel files|*.xls;*.xlsx|(*.*)|*.*" -> "Excel files (*.xls *.xlsx);;(*.*) (*)". "*.*" becomes "*":
// file names here need not have a dot.
QString ToQtFilter(const std::string& filter);

class TQtOperator : public IOperator {
 public:
  explicit TQtOperator(QWidget* parent) : parent_(parent) {}
  void Message(const std::string& text) override;
  void Error(const std::string& text) override;
  bool ConfirmRead(const std::string& text) override;
  bool WarnOkCancel(const std::string& text) override;
  std::optional<std::string> ChooseOpenFile(const std::string& filter, const std::string& folder) override;
  std::optional<std::string> ChooseSaveFile(const std::string& filter, const std::string& folder,
                                            const std::string& proposedName) override;

 private:
  QPointer<QWidget> parent_;
};

class TQtTimer : public ITimer {
 public:
  explicit TQtTimer(int intervalMs);
  void Start() override;
  void Stop() override { timer_.stop(); }
  bool Enabled() const override { return timer_.isActive(); }
  void SetInterval(int ms) override;
  int Interval() const override { return timer_.interval(); }

 private:
  QTimer timer_;
};

class TQtTimerFactory : public ITimerFactory {
 public:
  std::unique_ptr<ITimer> CreateTimer(int intervalMs) override {
    return std::make_unique<TQtTimer>(intervalMs);
  }
};

// Runs each posted closure on the thread that owns this object (the window's), in posting order.
// Closures still queued when it goes away are dropped.
class TQtNotifyTarget : public ICommNotifyTarget {
 public:
  bool Post(std::function<void()> deliver) override;

 private:
  QObject receiver_;
};

}  // namespace torvane
