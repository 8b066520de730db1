#include "numbers/numbers_page.h"

namespace torvane {

TNumbersPage::TNumbersPage(TSession& session, QWidget* parent) : TTabPage(parent), session_(session) {
  AddButton("Read", 7, 45, 85, 30, true);
  AddButton("Save", 7, 101, 85, 30, true);
  AddButton("Import .XLS", 7, 158, 85, 30, false);
  AddButton("Export .XLS", 7, 214, 85, 30, false);
  AddButton("Export .CSV", 7, 271, 85, 30, false);
  AddButton("All Always", 7, 330, 85, 30, false);
  AddButton("Delete all", 7, 385, 85, 30, false);
}

}  // namespace torvane
