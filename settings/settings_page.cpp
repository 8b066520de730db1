#include "settings/settings_page.h"

namespace torvane {

TSettingsPage::TSettingsPage(TSession& session, QWidget* parent) : TTabPage(parent), session_(session) {
  AddButton("Read Settings", 7, 47, 85, 31, true);
  AddButton("Save Settings", 7, 113, 85, 31, true);
  AddButton("Import profile", 7, 179, 85, 31, false);
  AddButton("Export profile", 7, 246, 85, 31, false);
}

}  // namespace torvane
