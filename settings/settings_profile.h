#pragma once
// Settings profiles: the whole settings grid kept in a spreadsheet file, so that one set of basic
// parameters can be loaded again (to configure several devices alike). Only the grid and its lists
// change; the device is not involved until the operator saves the settings.
//
// The sheet: row 1 the headings "Items", "Content", "Description"; row n + 1 parameter n with its
// label, its value as text and its description. A list parameter's B cell holds the list's displayed
// item ("1:NO", "3:Admin Number;Caller Number"), whose first character is the item index.
#include <string>

#include "core/grid.h"
#include "protocol/exchange.h"
#include "settings/settings_lists.h"
#include "settings/settings_texts.h"

namespace torvane {

// Carries the "Export profile" and "Import profile" operations for the settings grid.
class Tcustomstringgrid_basis {
 public:
  // configDir is read when a dialog opens (the window sets it after start-up).
  Tcustomstringgrid_basis(TExchange& link, TGrid& grid, TSettingsLists& lists, const std::string& configDir)
      : exchange_(link), grid_(grid), lists_(lists), configDir_(configDir) {}

  // Writes the grid to a file the operator chooses; cancelling writes nothing. A failed save leaves
  // any file of that name as it was and is reported to the operator.
  void ExportProfile();
  // Loads a chosen profile into the grid and the lists. A file that cannot be read, or whose A1 is
  // not "Items", changes nothing.
  void ImportProfile();

 private:
  TExchange& exchange_;
  TGrid& grid_;
  TSettingsLists& lists_;
  const std::string& configDir_;
};

}  // namespace torvane
