// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Whether a device holds what a grid shows, by value: every parameter reads as the settings grid and
// its lists show it, every number record reads as its row (an empty row is empty whether the device
// keeps zeros or 0xFF there). Byte-for-byte equality is a stronger test that only a save of every
// page passes.
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/codepage.h"
#include "core/grid.h"
#include "numbers/number_changes.h"
#include "numbers/number_record.h"
#include "settings/settings_codec.h"
#include "settings/settings_lists.h"
#include "settings/settings_table.h"

namespace torvane::testing {

// The labels of the parameters the device's 768 bytes do not hold as the grid shows them.
inline std::vector<std::string> SettingsNotHeld(const std::array<uint8_t, 768>& device, const TGrid& grid,
                                                const TSettingsLists& lists) {
  TGrid read(3, kSettingsRowCount);
  TSettingsLists readLists;
  DecodeSettingsPages(device, read, readLists, TCodePage::System());
  std::vector<std::string> differ;
  for (const TSettingDef& param : SettingsTable()) {
    const TListChoice* list = lists.ForRow(param.Row);
    const bool same = list ? readLists.ForRow(param.Row)->ItemIndex == list->ItemIndex
                           : read.Cell(kContentCol, param.Row) == grid.Cell(kContentCol, param.Row);
    if (!same) differ.push_back(param.Label);
  }
  return differ;
}

// The serials whose record on the device does not read as the grid's row.
inline std::vector<int> NumbersNotHeld(const std::vector<uint8_t>& device, const TGrid& grid) {
  std::vector<int> differ;
  for (int row = 1; row <= kNumberRows; ++row) {
    uint8_t record[kNumberRecordSize];
    if (EncodeNumberRecord(NumberRowCells(grid, row), record) ||
        !SameNumberRecord(record, device.data() + (row - 1) * kNumberRecordSize))
      differ.push_back(row);
  }
  return differ;
}

}  // namespace torvane::testing
