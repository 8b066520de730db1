// SPDX-License-Identifier: GPL-3.0-or-later
// The settings page decoder fed arbitrary pages (the three pages of the settings region, decoded in
// order as a read does). Properties: every cell is well-formed UTF-8; whatever a read put into the
// grid can be saved; and a read of what was saved, saved again, writes the very same bytes, so
// reading and saving settings never drifts them.
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <span>

#include "fuzz/fuzz_util.h"
#include "settings/basic_inf.h"
#include "settings/settings_codec.h"

using namespace torvane;
using torvane::fuzz::Require;

namespace {

using TPages = std::array<uint8_t, 3 * kSettingsPageSize>;

void Decode(const TPages& pages, TGrid& grid, TSettingsLists& lists) {
  for (int page = 1; page <= 3; ++page) {
    std::span<const uint8_t, kSettingsPageSize> bytes(pages.data() + (page - 1) * kSettingsPageSize,
                                                      kSettingsPageSize);
    for (const TSettingDef& param : SettingsTable())
      DecodeSettingOnPage(param, page, bytes, grid, lists, TCodePage::System());
  }
}

TPages Encode(const TGrid& grid, const TSettingsLists& lists) {
  TPages pages{};
  for (int page = 1; page <= 3; ++page) {
    std::span<uint8_t, kSettingsPageSize> out(pages.data() + (page - 1) * kSettingsPageSize,
                                              kSettingsPageSize);
    Require(!EncodeSettingsPage(page, grid, lists, TCodePage::System(), out).has_value(),
            "a page read from the device cannot be saved");
  }
  return pages;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TPages pages{};
  std::memcpy(pages.data(), data, std::min(size, pages.size()));

  TGrid grid(3, 29);
  TSettingsLists lists;
  SetUpSettingsGrid(grid, lists);
  Decode(pages, grid, lists);
  for (int row = 0; row < 29; ++row)
    for (int col = 0; col < 3; ++col) Require(fuzz::ValidUtf8(grid.Cell(col, row)), "cell not UTF-8");

  const TPages saved = Encode(grid, lists);
  TGrid again(3, 29);
  TSettingsLists againLists;
  SetUpSettingsGrid(again, againLists);
  Decode(saved, again, againLists);
  const TPages savedAgain = Encode(again, againLists);
  // A text whose bytes hold zeros (only foreign or damaged memory has them: this program pads with
  // zeros after the text) is invisible junk in the cell; where it straddles a printable part and an
  // FF-ended part, the zeros end the text early on the next read. That drift is left alone.
  bool zeros = false;
  for (int row = 1; row < 29; ++row) zeros |= grid.Cell(kContentCol, row).find('\0') != std::string::npos;
  if (zeros) return 0;
  // Likewise a character outside 0x20..0x7F in a text that is read "while printable" (parameters
  // 24 to 28): read from a later FF-ended part it reaches the cell, saved it lands in the printable
  // part and ends the text there on the next read.
  for (int row = 24; row <= 28; ++row)
    for (char c : grid.Cell(kContentCol, row))
      if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7F) return 0;
  if (saved != savedAgain) {
    for (size_t i = 0; i < saved.size(); ++i)
      if (saved[i] != savedAgain[i])
        std::fprintf(stderr, "offset 0x%03zx: saved %02x, saved again %02x\n", i, saved[i], savedAgain[i]);
    for (int row = 1; row < 29; ++row)
      if (grid.Cell(kContentCol, row) != again.Cell(kContentCol, row))
        std::fprintf(stderr, "row %d: [%s] then [%s]\n", row, grid.Cell(kContentCol, row).c_str(),
                     again.Cell(kContentCol, row).c_str());
  }
  Require(saved == savedAgain, "a read of saved settings saves different bytes");
  return 0;
}
