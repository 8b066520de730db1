// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/backup_dialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QVBoxLayout>

#include "app/app_texts.h"

namespace torvane {

TBackupDialog::TBackupDialog(const std::vector<TBackupEntry>& backups, QWidget* parent)
    : QDialog(parent), backups_(backups) {
  setWindowTitle(kRestoreBackupCaption);
  auto* layout = new QVBoxLayout(this);
  if (backups.empty()) layout->addWidget(new QLabel(kNoBackupsYet, this));
  list_ = new QTreeWidget(this);
  list_->setAccessibleName(kRestoreBackupCaption);
  list_->setRootIsDecorated(false);
  list_->setHeaderLabels({kBackupSimColumn, kBackupTakenColumn, kBackupHoldsColumn, QString()});
  for (const TBackupEntry& b : backups) {
    auto* item =
        new QTreeWidgetItem(list_, {b.Sim.empty() ? QString(kBackupNoSim) : QString::fromStdString(b.Sim),
                                    QString::fromStdString(b.Taken), QString::fromStdString(b.Contents),
                                    b.ThisDevice ? QString(kBackupThisDevice) : QString()});
    if (b.ThisDevice)
      for (int col = 0; col < list_->columnCount(); ++col) {
        QFont f = item->font(col);
        f.setBold(true);
        item->setFont(col, f);
      }
  }
  list_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  if (!backups.empty()) list_->setCurrentItem(list_->topLevelItem(0));
  layout->addWidget(list_);

  auto* buttons = new QDialogButtonBox(this);
  restore_ = buttons->addButton(kRestoreBackupCaption, QDialogButtonBox::AcceptRole);
  otherFile_ = buttons->addButton(kBackupOtherFile, QDialogButtonBox::ActionRole);
  buttons->addButton(QDialogButtonBox::Cancel);
  restore_->setEnabled(!backups.empty());
  layout->addWidget(buttons);
  connect(list_, &QTreeWidget::itemDoubleClicked, this, [this] { restore_->click(); });
  connect(restore_, &QPushButton::clicked, this, [this] {
    const int row = list_->indexOfTopLevelItem(list_->currentItem());
    if (row < 0) return;
    chosen_ = backups_[static_cast<size_t>(row)].Path;
    accept();
  });
  connect(otherFile_, &QPushButton::clicked, this, [this] {
    otherWanted_ = true;
    accept();
  });
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  resize(560, 360);
}

}  // namespace torvane
