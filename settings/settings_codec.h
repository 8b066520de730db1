// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Conversion between the settings pages' bytes and the grid's texts and the lists' indexes. The grid
// holds UTF-8; the device holds the PC's code page, so every text goes through a TCodePage.
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "core/codepage.h"
#include "core/grid.h"
#include "settings/settings_lists.h"
#include "settings/settings_table.h"

namespace torvane {

// Why a page could not be built from the grid.
struct TEncodeFault {
  enum TReason { NotAnInteger, OutOfRange };
  const TSettingDef* Param = nullptr;
  std::string Text;  // the cell's text
  TReason Reason = NotAnInteger;
};

// The text of a number cell as a signed 32-bit integer, or nothing when it is not one (blanks before
// the digits and one sign are allowed, as the application's conversion allows them).
std::optional<int32_t> ParseInteger(const std::string& text);

// Builds page 1..3 into out (bytes the fields do not use are zero). On a fault the page is not
// usable and must not be sent.
std::optional<TEncodeFault> EncodeSettingsPage(int page, const TGrid& grid, const TSettingsLists& lists,
                                               const TCodePage& codePage,
                                               std::span<uint8_t, kSettingsPageSize> out);

// All three pages (one after the other) into the grid and its lists, as a read shows them.
void DecodeSettingsPages(std::span<const uint8_t, kSettingsPageCount * kSettingsPageSize> pages, TGrid& grid,
                         TSettingsLists& lists, const TCodePage& codePage);

// The SIM card number (parameter 2) in settings page 1, as a read shows it: '+' and digits, empty
// when the device has none.
std::string SimNumberOf(std::span<const uint8_t, kSettingsPageSize> page1);

// Writes one parameter's parts that lie on the given page into the grid or its list. A text that runs
// on from the previous page is appended to, not replaced.
void DecodeSettingOnPage(const TSettingDef& param, int page,
                         std::span<const uint8_t, kSettingsPageSize> bytes, TGrid& grid,
                         TSettingsLists& lists, const TCodePage& codePage);

}  // namespace torvane
