// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The port combo of the top bar: filled from the port list at start-up and, where the system reports
// hot-plug, kept current while adapters come and go. The name given with --port stays first; the
// port the operator picked or typed stays in the box, also when its adapter goes away (plugged in
// again, it is the one selected).
#include <QComboBox>
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

#include "app/qt_interfaces.h"
#include "serial/port_monitor.h"

namespace torvane {

class TPortCombo : public QObject {
  Q_OBJECT
 public:
  TPortCombo(QComboBox* combo, const QString& firstPort, std::unique_ptr<TPortMonitor> monitor,
             QObject* parent = nullptr);

  // Hot-plug is followed (false where the system has no udev: the list is then the start-up one).
  bool Live() const { return monitor_->Live(); }
  // What the monitor's source posts: takes the waiting events and updates the combo.
  void Update();
  // Reads the port list again (the open port's adapter went away).
  void Refresh();

 private:
  // The names the combo should hold: the --port name, then the ports present in natural order.
  QStringList Names() const;
  void Sync(const QStringList& names);

  QComboBox* combo_;
  QString firstPort_;
  // Before the monitor: the monitor stops watching before the target it posts to goes.
  TQtNotifyTarget events_;
  std::unique_ptr<TPortMonitor> monitor_;
};

}  // namespace torvane
