// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The Historical Data tab: "Read data" and the date-time range with "Filter" along the top, the export
// and delete buttons down the left, the history grid in the rest.
#include <QDateEdit>
#include <QTimeEdit>

#include "app/tab_page.h"
#include "core/find_bar_view.h"
#include "history/history_filter.h"
#include "history/history_view.h"
#include "session/session.h"

namespace torvane {

class THistoryPage : public TTabPage {
  Q_OBJECT
 public:
  THistoryPage(TSession& session, QWidget* parent = nullptr);
  ~THistoryPage() override;

  QPushButton* ReadDataButton() const { return readData_; }
  QPushButton* FilterButton() const { return filter_; }
  QPushButton* ExportCsvButton() const { return exportCsv_; }
  QPushButton* ExportXlsButton() const { return exportXls_; }
  QPushButton* DeleteAllButton() const { return deleteAll_; }
  QDateEdit* StartDate() const { return startDate_; }
  QTimeEdit* StartTime() const { return startTime_; }
  QDateEdit* EndDate() const { return endDate_; }
  QTimeEdit* EndTime() const { return endTime_; }
  THistoryView* View() const { return view_; }
  TFindBar* FindBar() const { return findBar_; }

  // Ctrl+F: the find bar above the grid, with the focus in it.
  void OpenFind();

  // What the four pickers hold now.
  THistoryFilterRange Range() const;

 private:
  TSession& session_;
  QPushButton *readData_, *filter_, *exportCsv_, *exportXls_, *deleteAll_;
  QDateEdit *startDate_, *endDate_;
  QTimeEdit *startTime_, *endTime_;
  THistoryView* view_;
  TFindBar* findBar_;
  int gridListener_ = 0;
  void ShowFindResult();
};

}  // namespace torvane
