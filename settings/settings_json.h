// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The basic settings as JSON, for scripts and the command-line tool:
//
//   {"format": "torvane-settings", "version": 1,
//    "parameters": [{"number": 1, "name": "1.Password", "value": "6853"},
//                   {"number": 3, "name": "3.DIN1 Type", "value": "1:NO", "index": 1}, ...]}
//
// Every one of the 28 parameters, by its number; "name" is its label and, when given, must be the
// label of that number (a file made for another layout is refused, not half-applied). Values are texts
// as the grid shows them. A list parameter carries its item "index" (-1 for no selection) beside the
// item's text, whose leading number must be that index; without an index the first character of the
// text is the index, as in a profile.
#include <string>
#include <string_view>

#include "core/codepage.h"
#include "core/grid.h"
#include "files/import_result.h"
#include "settings/settings_import.h"
#include "settings/settings_lists.h"

namespace torvane {

inline constexpr char kSettingsJsonFormat[] = "torvane-settings";

std::string SettingsToJson(const TGrid& grid, const TSettingsLists& lists);

// A settings document's values as it gives them, unjudged. The result is Broken, with why, when the
// text is not a whole such document.
TImportResult ReadSettingsJson(std::string_view text, TSettingsFileValues& out);

// Reads and judges a whole settings document (see settings_import.h) and, when nothing is refused,
// loads it into the grid and its lists, as one change of each; otherwise nothing is changed.
TImportResult SettingsFromJson(std::string_view text, TGrid& grid, TSettingsLists& lists,
                               const TCodePage& codePage = TCodePage::System());

}  // namespace torvane
