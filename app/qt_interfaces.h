// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The window's side of the core's interfaces: real dialogs, QTimer, and the hand-over of the serial
// workers' notifications to the Qt event loop.
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>

#include "core/operator.h"
#include "core/timer.h"
#include "serial/comm.h"

namespace torvane {

// "Excel files|*.xls;*.xlsx|(*.*)|*.*" -> "Excel files (*.xls *.xlsx);;(*.*) (*)". "*.*" becomes "*":
// file names here need not have a dot.
QString ToQtFilter(const std::string& filter);

// The extension a save dialog adds to a name typed without one while this filter is chosen: the
// first pattern's ("EXCEL file (*.xlsx *.xls)" -> "xlsx"); none for "(*.*) (*)" or a pattern that is
// not "*.ext".
QString DefaultSuffixOf(const QString& qtFilter);

class TQtOperator : public IOperator {
 public:
  explicit TQtOperator(QWidget* parent) : parent_(parent) {}
  void Message(const std::string& text) override;
  void Error(const std::string& text) override;
  bool Confirm(const std::string& text) override;
  bool WarnOkCancel(const std::string& text) override;
  TCloseAnswer AskBeforeClose(const std::string& text, bool canSave) override;
  std::optional<std::string> ChooseBackup(const std::vector<TBackupEntry>& backups, const std::string& filter,
                                          const std::string& folder) override;
  std::optional<std::string> ChooseOpenFile(const std::string& filter, const std::string& folder) override;
  std::optional<std::string> ChooseSaveFile(const std::string& filter, const std::string& folder,
                                            const std::string& proposedName) override;

 private:
  QPointer<QWidget> parent_;
};

// The reply timer is stopped by every received byte and started again by the next request, so
// Start and Stop only move a deadline; one single-shot QTimer is armed for the nearest deadline and
// re-armed when it wakes early. Re-registering a QTimer for every byte took about a tenth of the
// window's instructions during a read.
class TQtTimer : public ITimer {
 public:
  // Nanoseconds of a steady clock; tests pass their own and call Wake() by hand.
  using TNow = std::function<int64_t()>;

  explicit TQtTimer(int intervalMs, TNow now = {});
  void Start() override;
  void Stop() override { enabled_ = false; }
  bool Enabled() const override { return enabled_; }
  void SetInterval(int ms) override;
  int Interval() const override { return intervalMs_; }

  // What the QTimer's timeout runs: fires OnTimer once the deadline has passed, else waits on.
  void Wake();
  bool Armed() const { return wake_.isActive(); }
  int ArmCount() const { return armCount_; }

 private:
  void ArmFor(int64_t deadlineNs);
  TNow now_;
  QTimer wake_;
  int intervalMs_;
  bool enabled_ = false;
  int64_t deadlineNs_ = 0;
  int64_t armedForNs_ = 0;  // the deadline the QTimer was last armed for
  int armCount_ = 0;
};

class TQtTimerFactory : public ITimerFactory {
 public:
  std::unique_ptr<ITimer> CreateTimer(int intervalMs) override {
    return std::make_unique<TQtTimer>(intervalMs);
  }
};

// Runs each posted closure on the thread that owns this object (the window's), in posting order.
// The serial workers post one closure per received byte; they wait in a queue, and one Qt event
// runs all that are there when it comes. Closures still queued when it goes away are dropped.
class TQtNotifyTarget : public ICommNotifyTarget {
 public:
  TQtNotifyTarget();
  ~TQtNotifyTarget() override;
  bool Post(std::function<void()> deliver) override;
  // Qt events posted so far; a burst of closures needs only one or two.
  int EventsPosted() const;

  struct TQueue;  // shared with the posted events, which may outlive a drain in progress

 private:
  std::shared_ptr<TQueue> queue_;
  QObject receiver_;
};

}  // namespace torvane
