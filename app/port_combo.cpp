// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/port_combo.h"

namespace torvane {

TPortCombo::TPortCombo(QComboBox* combo, const QString& firstPort, std::unique_ptr<TPortMonitor> monitor,
                       QObject* parent)
    : QObject(parent), combo_(combo), firstPort_(firstPort.trimmed()), monitor_(std::move(monitor)) {
  combo_->clear();
  combo_->addItems(Names());
  if (combo_->count() > 0) combo_->setCurrentIndex(0);
  monitor_->Watch(events_, [this] { Update(); });
}

QStringList TPortCombo::Names() const {
  QStringList names;
  for (const std::string& n : monitor_->Ports()) names << QString::fromStdString(n);
  if (!firstPort_.isEmpty()) {
    names.removeAll(firstPort_);
    names.prepend(firstPort_);
  }
  return names;
}

void TPortCombo::Update() {
  if (monitor_->Update()) Sync(Names());
}

void TPortCombo::Refresh() {
  if (monitor_->Reread()) Sync(Names());
}

// Items are removed and inserted one by one rather than the combo refilled, so the text in the box
// (perhaps being typed) is left alone unless its own item goes.
void TPortCombo::Sync(const QStringList& names) {
  const QString text = combo_->currentText();
  for (int i = combo_->count() - 1; i >= 0; --i)
    if (!names.contains(combo_->itemText(i))) combo_->removeItem(i);
  // What is left is in the order of `names`, so each missing name goes in where the two differ.
  for (int i = 0; i < names.size(); ++i)
    if (i >= combo_->count() || combo_->itemText(i) != names[i]) combo_->insertItem(i, names[i]);

  const int at = combo_->findText(text);
  if (at >= 0) {
    combo_->setCurrentIndex(at);
  } else if (text.isEmpty()) {
    combo_->setCurrentIndex(combo_->count() > 0 ? 0 : -1);
  } else if (combo_->currentText() != text) {
    combo_->setEditText(text);
  }
}

}  // namespace torvane
