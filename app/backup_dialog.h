// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// "Restore backup": the backups of one table, those of the controller on the lead first, then newest
// first, each with its SIM number, when it was taken and how much it holds; "Other file…" looks
// anywhere else with the file dialog.
#include <QDialog>
#include <QPushButton>
#include <QTreeWidget>
#include <optional>
#include <string>
#include <vector>

#include "core/operator.h"

namespace torvane {

class TBackupDialog : public QDialog {
  Q_OBJECT
 public:
  TBackupDialog(const std::vector<TBackupEntry>& backups, QWidget* parent = nullptr);
  QTreeWidget* List() const { return list_; }
  QPushButton* RestoreButton() const { return restore_; }
  QPushButton* OtherFileButton() const { return otherFile_; }
  // The backup chosen in the list; empty when none is (Cancel, or "Other file…").
  std::optional<std::string> Chosen() const { return chosen_; }
  // "Other file…" was pressed: the caller opens the file dialog.
  bool WantsOtherFile() const { return otherWanted_; }

 private:
  const std::vector<TBackupEntry>& backups_;
  QTreeWidget* list_;
  QPushButton* restore_;
  QPushButton* otherFile_;
  std::optional<std::string> chosen_;
  bool otherWanted_ = false;
};

}  // namespace torvane
