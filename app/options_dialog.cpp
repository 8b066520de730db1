// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/options_dialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

#include "app/app_texts.h"

namespace torvane {

namespace {
constexpr char kWriteAllKey[] = "save/writeAllPages";
constexpr char kVerifyKey[] = "save/verifyAfterSaving";
}  // namespace

TOptionsDialog::TOptionsDialog(const TSaveOptions& options, QWidget* parent) : QDialog(parent) {
  setWindowTitle(kOptionsCaption);
  auto* layout = new QVBoxLayout(this);
  writeAll_ = new QCheckBox(kOptionWriteAll, this);
  writeAll_->setChecked(options.WriteAllPages);
  writeAll_->setToolTip(
      "Send every page of the table, not only the pages that differ from what the device holds.");
  verify_ = new QCheckBox(kOptionVerify, this);
  verify_->setChecked(options.Verify);
  verify_->setToolTip("Read every page written back from the device and compare it with what was sent.");
  layout->addWidget(writeAll_);
  layout->addWidget(verify_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
}

TSaveOptions TOptionsDialog::Options() const {
  return {writeAll_->isChecked(), verify_->isChecked()};
}

TSaveOptions LoadSaveOptions(QSettings& settings) {
  const TSaveOptions defaults;
  return {settings.value(kWriteAllKey, defaults.WriteAllPages).toBool(),
          settings.value(kVerifyKey, defaults.Verify).toBool()};
}

void StoreSaveOptions(QSettings& settings, const TSaveOptions& options) {
  settings.setValue(kWriteAllKey, options.WriteAllPages);
  settings.setValue(kVerifyKey, options.Verify);
  settings.sync();
}

}  // namespace torvane
