// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A settings file judged before anything of it is loaded. Each parameter's value, from a profile or a
// JSON document, must be one that typing into the grid could have made and that the device's field
// holds and reads back as the same value; otherwise the file is refused with the parameter named.
// The SIM card's number is cleaned first, as people write numbers with blanks and dashes. verify and
// diff compare the same values with what a device holds, by value.
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/codepage.h"
#include "core/grid.h"
#include "files/import_result.h"
#include "settings/settings_changes.h"
#include "settings/settings_lists.h"
#include "settings/settings_table.h"

namespace torvane {

// What a settings file says, by parameter number (index 0 unused), before any check.
struct TSettingsFileValues {
  std::array<std::string, kSettingCount + 1> Value{};
  // List parameters: the item index the file gives beside the item's text (JSON's "index"). Without
  // one the text's first character is the index, as in a profile.
  std::array<std::optional<int64_t>, kSettingCount + 1> Index{};
  // A profile's descriptions (its C column); a JSON document has none.
  std::array<std::optional<std::string>, kSettingCount + 1> Description{};
};

// One parameter's value as it would load.
struct TSettingValue {
  std::string Text;  // the Content cell: the file's text, the SIM number cleaned
  int Index = -1;    // list parameters: the item chosen
  bool Cleaned = false;
  std::optional<std::string> Refusal;  // why the device cannot keep the value
};
using TSettingValues = std::array<TSettingValue, kSettingCount + 1>;

// Judges every parameter of a file. `result` gets the rows read, the rows cleaned and every refusal
// (with its RefusalText).
TSettingValues CheckSettingsFile(const TSettingsFileValues& file, const TCodePage& codePage,
                                 TImportResult& result);

// Puts checked values into the grid (the Content cells and any descriptions, as one change; then
// `afterRow` for each row) and the lists.
void LoadSettingValues(const TSettingsFileValues& file, const TSettingValues& values, TGrid& grid,
                       TSettingsLists& lists, const std::function<void(int row)>& afterRow = {});

// The parameters, in order, whose value in the file is not the value the device's pages hold: a list
// by its item, a number by its value ("010" is 10, and both copies of a number stored twice must hold
// it), a text by its characters. A value the device could not keep differs from whatever it holds.
std::vector<int> SettingsDiffering(const TSettingsFileValues& file,
                                   std::span<const uint8_t, kSettingsBytes> device,
                                   const TCodePage& codePage);

}  // namespace torvane
