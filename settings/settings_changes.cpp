// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/settings_changes.h"

#include <algorithm>

namespace torvane {

namespace {

// The three pages read into a grid and lists of their own, as a read would show them.
struct TSettingsImage {
  TGrid Grid{3, kSettingsRowCount};
  TSettingsLists Lists;
  TSettingsImage(std::span<const uint8_t, kSettingsBytes> pages, const TCodePage& codePage) {
    DecodeSettingsPages(pages, Grid, Lists, codePage);
  }
  bool Same(const TSettingsImage& other, int row) const {
    const TListChoice* a = Lists.ForRow(row);
    if (a) return a->ItemIndex == other.Lists.ForRow(row)->ItemIndex;
    return Grid.Cell(kContentCol, row) == other.Grid.Cell(kContentCol, row);
  }
};

std::span<const uint8_t, kSettingsBytes> Whole(const TDevicePages& pages) {
  return std::span<const uint8_t, kSettingsBytes>(pages.All().data(), kSettingsBytes);
}

std::optional<TEncodeFault> EncodeAll(const TGrid& grid, const TSettingsLists& lists,
                                      const TCodePage& codePage, std::span<uint8_t, kSettingsBytes> out) {
  for (int page = 1; page <= kSettingsPageCount; ++page) {
    std::span<uint8_t, kSettingsPageSize> into(out.data() + (page - 1) * kSettingsPageSize,
                                               kSettingsPageSize);
    if (auto fault = EncodeSettingsPage(page, grid, lists, codePage, into)) return fault;
  }
  return std::nullopt;
}

}  // namespace

std::optional<TEncodeFault> ComposeSettingsPages(const TGrid& grid, const TSettingsLists& lists,
                                                 const TCodePage& codePage, const TDevicePages* basis,
                                                 std::span<uint8_t, kSettingsBytes> out) {
  std::array<uint8_t, kSettingsBytes> encoded{};
  if (auto fault = EncodeAll(grid, lists, codePage, encoded)) return fault;
  if (!basis || !basis->Known()) {
    std::copy(encoded.begin(), encoded.end(), out.begin());
    return std::nullopt;
  }
  std::copy(basis->All().begin(), basis->All().begin() + kSettingsBytes, out.begin());
  const TSettingsImage was(Whole(*basis), codePage), now(encoded, codePage);
  for (const TSettingDef& param : SettingsTable()) {
    if (was.Same(now, param.Row)) continue;
    for (const TFieldPart& part : param.Parts()) {
      const size_t at = static_cast<size_t>(part.Page - 1) * kSettingsPageSize + part.Offset;
      std::copy_n(encoded.begin() + at, part.Size, out.begin() + at);
    }
  }
  return std::nullopt;
}

std::vector<int> ChangedSettingRows(std::span<const uint8_t, kSettingsBytes> before,
                                    std::span<const uint8_t, kSettingsBytes> after,
                                    const TCodePage& codePage) {
  const TSettingsImage a(before, codePage), b(after, codePage);
  std::vector<int> rows;
  for (const TSettingDef& param : SettingsTable()) {
    bool differs = !a.Same(b, param.Row);
    // Bytes that read the same may still differ (a second copy, padding): a verify names them too.
    for (const TFieldPart& part : param.Parts()) {
      const size_t at = static_cast<size_t>(part.Page - 1) * kSettingsPageSize + part.Offset;
      differs =
          differs || !std::equal(before.begin() + at, before.begin() + at + part.Size, after.begin() + at);
    }
    if (differs) rows.push_back(param.Row);
  }
  return rows;
}

TSettingsChanges::TSettingsChanges(TGrid& grid, TSettingsLists& lists, TDevicePages& device,
                                   const TCodePage& codePage)
    : grid_(grid), lists_(lists), device_(device), codePage_(codePage) {
  listener_ = grid_.AddListener([this](int, int) { Update(); });
  listsListener_ = lists_.AddListener([this](TListChoice&) { Update(); });
  device_.OnChanged = [this](int, int) { Update(); };
  Update();
}

TSettingsChanges::~TSettingsChanges() {
  grid_.RemoveListener(listener_);
  lists_.RemoveListener(listsListener_);
  device_.OnChanged = nullptr;
}

int TSettingsChanges::ChangedCount() const {
  return static_cast<int>(std::count(changed_.begin(), changed_.end(), true));
}

void TSettingsChanges::Update() {
  const std::array<bool, kSettingCount + 1> before = changed_;
  changed_.fill(false);
  if (device_.Known()) {
    std::array<uint8_t, kSettingsBytes> encoded{};
    const std::optional<TEncodeFault> fault = EncodeAll(grid_, lists_, codePage_, encoded);
    if (fault) {
      // What cannot be encoded differs from anything the device holds; the rest is not known.
      changed_[fault->Param->Row] = true;
    } else {
      const TSettingsImage was(Whole(device_), codePage_), now(encoded, codePage_);
      for (const TSettingDef& param : SettingsTable()) changed_[param.Row] = !was.Same(now, param.Row);
    }
  }
  if (changed_ != before && OnChanged) OnChanged();
}

}  // namespace torvane
