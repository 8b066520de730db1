// SPDX-License-Identifier: GPL-3.0-or-later
// The settings JSON reader fed arbitrary text, under a single-byte and a double-byte code page.
// Properties: a document that is broken or refused changes neither the grid nor its lists, and says
// why; one that loads leaves well-formed UTF-8 in every cell, encodes into pages without a fault, and
// those pages hold every parameter as the file gives it, by value: what is imported is saved as it
// reads.
#include <array>
#include <span>
#include <string_view>

#include "fuzz/fuzz_util.h"
#include "settings/basic_inf.h"
#include "settings/settings_codec.h"
#include "settings/settings_import.h"
#include "settings/settings_json.h"

using namespace torvane;
using torvane::fuzz::Require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const TCodePage cp1251("CP1251"), cp936("CP936");
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  for (const TCodePage* codePage : {&cp1251, &cp936}) {
    TGrid grid(3, kSettingsRowCount);
    TSettingsLists lists;
    SetUpSettingsGrid(grid, lists);
    int changes = 0;
    grid.AddListener([&changes](int, int) { ++changes; });
    lists.AddListener([&changes](TListChoice&) { ++changes; });

    const TImportResult result = SettingsFromJson(text, grid, lists, *codePage);
    if (!result.Loaded()) {
      Require(changes == 0, "a document that was not loaded changed the grid");
      Require(!result.FileError.empty() || !result.RefusalText.empty(), "a document refused without why");
      continue;
    }
    for (int row = 1; row <= kSettingCount; ++row)
      Require(fuzz::ValidUtf8(grid.Cell(kContentCol, row)), "cell not UTF-8");

    std::array<uint8_t, kSettingsBytes> pages{};
    for (int page = 1; page <= kSettingsPageCount; ++page) {
      std::span<uint8_t, kSettingsPageSize> out(pages.data() + (page - 1) * kSettingsPageSize,
                                                kSettingsPageSize);
      Require(!EncodeSettingsPage(page, grid, lists, *codePage, out), "an imported value cannot be saved");
    }
    TSettingsFileValues file;
    Require(ReadSettingsJson(text, file).File == TImportResult::TFile::Read,
            "a loaded document reads broken");
    Require(SettingsDiffering(file, pages, *codePage).empty(), "an imported value is saved as another");
  }
  return 0;
}
