// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QPushButton>

#include "app/tab_page.h"
#include "numbers/number_editor.h"
#include "session/session.h"

namespace torvane {

class TNumbersPage : public TTabPage {
  Q_OBJECT
 public:
  TNumbersPage(TSession& session, QWidget* parent = nullptr);

  TNumberEditor* Editor() const { return editor_; }
  QPushButton* ReadButton() const { return read_; }
  QPushButton* SaveButton() const { return save_; }
  QPushButton* ImportXlsButton() const { return importXls_; }
  QPushButton* AddFromFileButton() const { return addFromFile_; }
  QPushButton* ExportXlsButton() const { return exportXls_; }
  QPushButton* ExportCsvButton() const { return exportCsv_; }
  QPushButton* AllAlwaysButton() const { return allAlways_; }
  QPushButton* DeleteAllButton() const { return deleteAll_; }
  QPushButton* RestoreButton() const { return restore_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  TSession& session_;
  TNumberEditor* editor_;
  QPushButton *read_, *save_, *importXls_, *addFromFile_, *exportXls_, *exportCsv_, *allAlways_, *deleteAll_,
      *restore_;
  // Each press flips these; they are never reset, so a press after single marks were changed still
  // does the opposite of the press before it.
  bool allAlwaysOn_ = false;
  bool deleteAllOn_ = false;
};

}  // namespace torvane
