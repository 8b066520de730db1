// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QPushButton>

#include "app/tab_page.h"
#include "session/session.h"
#include "settings/settings_editor.h"

namespace torvane {

// The Basic Settings tab: the button panel on the left, the settings grid filling the rest.
class TSettingsPage : public TTabPage {
  Q_OBJECT
 public:
  TSettingsPage(TSession& session, QWidget* parent = nullptr);

  TSettingsEditor* Editor() const { return editor_; }
  QPushButton* ReadButton() const { return read_; }
  QPushButton* SaveButton() const { return save_; }
  QPushButton* ImportButton() const { return import_; }
  QPushButton* ExportButton() const { return export_; }
  QPushButton* RestoreButton() const { return restore_; }

 signals:
  // Forwarded from the grid: the window puts it in its caption.
  void ScrollCaption(const QString& caption);

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  TSession& session_;
  QPushButton* read_;
  QPushButton* save_;
  QPushButton* import_;
  QPushButton* export_;
  QPushButton* restore_;
  TSettingsEditor* editor_;
};

}  // namespace torvane
