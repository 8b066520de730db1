// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QPushButton>
#include <vector>

#include "app/tab_page.h"
#include "core/find_bar_view.h"
#include "numbers/number_editor.h"
#include "numbers/number_find.h"
#include "session/session.h"

namespace torvane {

class TNumbersPage : public TTabPage {
  Q_OBJECT
 public:
  TNumbersPage(TSession& session, QWidget* parent = nullptr);
  ~TNumbersPage() override;

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
  QPushButton* MarkExpiredButton() const { return markExpired_; }
  TFindBar* FindBar() const { return findBar_; }

  // Ctrl+F: the find bar above the grid, with the focus in it.
  void OpenFind();

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  void PlaceGrid();
  // The query again: the rows it names highlighted; `jump` makes the first of them current.
  void Find(bool jump);
  void Step(int direction);
  void ShowFindResult();
  void FindClosed();

  TSession& session_;
  TNumberEditor* editor_;
  TFindBar* findBar_;
  QPushButton *read_, *save_, *importXls_, *addFromFile_, *exportXls_, *exportCsv_, *allAlways_, *deleteAll_,
      *restore_, *markExpired_;
  // Each press flips these; they are never reset, so a press after single marks were changed still
  // does the opposite of the press before it.
  bool allAlwaysOn_ = false;
  bool deleteAllOn_ = false;
  TNumberFind find_;
  std::vector<int> matches_;
  int gridListener_ = 0;
};

}  // namespace torvane
