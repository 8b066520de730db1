// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Settings profiles: the whole settings grid kept in a spreadsheet file, so that one set of basic
// parameters can be loaded again (to configure several devices alike). Only the grid and its lists
// change; the device is not involved until the operator saves the settings.
//
// The sheet: row 1 the headings "Items", "Content", "Description"; row n + 1 parameter n with its
// label, its value as text and its description. A list parameter's B cell holds the list's displayed
// item ("1:NO", "3:Admin Number;Caller Number"), whose first character is the item index.
#include <string>

#include "core/codepage.h"
#include "core/context.h"
#include "core/grid.h"
#include "files/import_result.h"
#include "settings/settings_import.h"
#include "settings/settings_lists.h"
#include "settings/settings_texts.h"

namespace torvane {

// Carries the "Export profile" and "Import profile" operations for the settings grid.
class Tcustomstringgrid_basis {
 public:
  // configDir is read when a dialog opens (the window sets it after start-up).
  Tcustomstringgrid_basis(TContext& link, TGrid& grid, TSettingsLists& lists, const std::string& configDir,
                          const TCodePage& codePage = TCodePage::System())
      : context_(link), grid_(grid), lists_(lists), configDir_(configDir), codePage_(codePage) {}

  // Writes the grid to a file the operator chooses; cancelling writes nothing. A failed save leaves
  // any file of that name as it was and is reported to the operator.
  void ExportProfile();
  // Asks for a profile and imports it (ImportProfileFrom); Cancelled when none is chosen.
  TImportResult ImportProfile();
  // Reads the profile, judges every parameter (settings_import.h) and, when nothing is refused,
  // loads it into the grid and the lists. A file that cannot be read, whose A1 is not "Items", or
  // that holds a value the device cannot keep changes nothing. Nothing is shown: the caller presents
  // the result.
  TImportResult ImportProfileFrom(const std::string& fileName);

 private:
  TContext& context_;
  TGrid& grid_;
  TSettingsLists& lists_;
  const std::string& configDir_;
  const TCodePage& codePage_;
};

// A profile's values as it gives them, unjudged; Unreadable or Broken when it cannot be read as one.
TImportResult ReadSettingsProfile(const std::string& fileName, TSettingsFileValues& out);

}  // namespace torvane
