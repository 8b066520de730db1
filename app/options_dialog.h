// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The Options dialog of the top bar: how a save goes about it. The choices are kept between runs in the
// user's configuration (QSettings).
#include <QCheckBox>
#include <QDialog>
#include <QSettings>

#include "protocol/paged_transfer.h"

namespace torvane {

class TOptionsDialog : public QDialog {
  Q_OBJECT
 public:
  TOptionsDialog(const TSaveOptions& options, QWidget* parent = nullptr);
  TSaveOptions Options() const;
  QCheckBox* WriteAllPages() const { return writeAll_; }
  QCheckBox* VerifyAfterSaving() const { return verify_; }

 private:
  QCheckBox* writeAll_;
  QCheckBox* verify_;
};

// The options as the user's configuration keeps them; the defaults where it has none.
TSaveOptions LoadSaveOptions(QSettings& settings);
void StoreSaveOptions(QSettings& settings, const TSaveOptions& options);

}  // namespace torvane
