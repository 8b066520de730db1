#include "history/history_page.h"

namespace torvane {

THistoryPage::THistoryPage(TSession& session, QWidget* parent) : TTabPage(parent), session_(session) {
  AddButton("Read data", 7, 8, 85, 31, true);
  AddButton("Filter", 880, 8, 85, 31, false);
  AddButton("Export.CSV", 7, 60, 85, 31, false);
  AddButton("Export.XLS", 7, 110, 85, 31, false);
  AddButton("Delete all", 7, 160, 85, 31, true);
}

}  // namespace torvane
