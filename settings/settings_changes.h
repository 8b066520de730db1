// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a save of the basic settings changes on the device, parameter by parameter, and the marks the
// settings grid shows for it. Two states of a parameter are the same when they read the same: a text
// the device keeps padded with 0xFF and the same text padded with zeros are one text.
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "core/codepage.h"
#include "core/grid.h"
#include "protocol/device_pages.h"
#include "settings/settings_codec.h"
#include "settings/settings_lists.h"
#include "settings/settings_table.h"

namespace torvane {

constexpr int kSettingsBytes = kSettingsPageCount * kSettingsPageSize;

// The three pages as a save sends them: every parameter encoded from the grid, except that a parameter
// which reads as the basis's (the device's own pages, or a backup's) keeps the basis's bytes, and so do
// the bytes no parameter uses. Without a known basis the pages are encoded as they always were.
std::optional<TEncodeFault> ComposeSettingsPages(const TGrid& grid, const TSettingsLists& lists,
                                                 const TCodePage& codePage, const TDevicePages* basis,
                                                 std::span<uint8_t, kSettingsBytes> out);

// Rows (parameters 1..28) whose value differs between two images of the three pages.
std::vector<int> ChangedSettingRows(std::span<const uint8_t, kSettingsBytes> before,
                                    std::span<const uint8_t, kSettingsBytes> after,
                                    const TCodePage& codePage);

// The marks of the settings grid: kept up to date as the grid, its lists and the device's pages change.
class TSettingsChanges {
 public:
  TSettingsChanges(TGrid& grid, TSettingsLists& lists, TDevicePages& device,
                   const TCodePage& codePage = TCodePage::System());
  ~TSettingsChanges();
  TSettingsChanges(const TSettingsChanges&) = delete;
  TSettingsChanges& operator=(const TSettingsChanges&) = delete;

  // Marks apply only while the device's pages are known.
  bool Active() const { return device_.Known(); }
  bool Changed(int row) const { return row >= 1 && row <= kSettingCount && changed_[row]; }
  int ChangedCount() const;
  void Update();

  std::function<void()> OnChanged;

 private:
  TGrid& grid_;
  TSettingsLists& lists_;
  TDevicePages& device_;
  const TCodePage& codePage_;
  std::array<bool, kSettingCount + 1> changed_{};
  int listener_ = 0;
  int listsListener_ = 0;
};

}  // namespace torvane
