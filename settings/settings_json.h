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
// item's text; without an index the first character of the text is the index, as in a profile.
#include <optional>
#include <string>
#include <string_view>

#include "core/grid.h"
#include "settings/settings_lists.h"

namespace torvane {

inline constexpr char kSettingsJsonFormat[] = "torvane-settings";

std::string SettingsToJson(const TGrid& grid, const TSettingsLists& lists);

// Loads a whole settings document into the grid and its lists, as one change of each. Returns why it
// cannot when the text is not such a document; nothing is changed then.
std::optional<std::string> SettingsFromJson(std::string_view text, TGrid& grid, TSettingsLists& lists);

}  // namespace torvane
