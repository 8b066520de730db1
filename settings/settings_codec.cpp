// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/settings_codec.h"

#include <algorithm>
#include <cstring>

namespace torvane {

namespace {

bool IsDigit(uint8_t b) {
  return b >= '0' && b <= '9';
}

// The bytes of one part of a text field as the device means them.
std::string ReadTextPart(TFieldKind kind, std::span<const uint8_t, kSettingsPageSize> page, int offset,
                         int size) {
  std::string out;
  const uint8_t* f = page.data() + offset;
  switch (kind) {
    case TFieldKind::DigitText:
      for (int i = 0; i < size && (f[i] == '+' || IsDigit(f[i])); ++i) out += static_cast<char>(f[i]);
      break;
    case TFieldKind::FfText:
      for (int i = 0; i < size && f[i] != 0xFF; ++i) out += static_cast<char>(f[i]);
      break;
    case TFieldKind::PrintableText:
      for (int i = 0; i < size && f[i] >= 0x20 && f[i] <= 0x7F; ++i) out += static_cast<char>(f[i]);
      break;
    case TFieldKind::CodePageText:
      // A space, a control byte or a lead byte opens a two-byte unit. A zero ends the text only where a
      // unit starts, and a unit opened at the last position takes its second byte from the byte after
      // the field: that is how the firmware and the PC have always read these texts, so a double-byte
      // character cut by the field's end still shows whole.
      for (int i = 0; i < size;) {
        const uint8_t b = f[i];
        if (b == 0) break;
        out += static_cast<char>(b);
        if (b <= 0x20 || b >= 0x80) {
          const int next = offset + i + 1;
          const uint8_t second = next < kSettingsPageSize ? page[next] : 0;
          if (second == 0) break;
          out += static_cast<char>(second);
          i += 2;
        } else {
          ++i;
        }
      }
      break;
    default:
      break;
  }
  return out;
}

}  // namespace

std::optional<int32_t> ParseInteger(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i == text.size()) return std::nullopt;
  int64_t value = 0;
  for (; i < text.size(); ++i) {
    if (!IsDigit(static_cast<uint8_t>(text[i]))) return std::nullopt;
    value = value * 10 + (text[i] - '0');
    if (value > int64_t{INT32_MAX} + 1) return std::nullopt;
  }
  if (negative) value = -value;
  if (value > INT32_MAX || value < INT32_MIN) return std::nullopt;
  return static_cast<int32_t>(value);
}

std::optional<TEncodeFault> EncodeSettingsPage(int page, const TGrid& grid, const TSettingsLists& lists,
                                               const TCodePage& codePage,
                                               std::span<uint8_t, kSettingsPageSize> out) {
  std::fill(out.begin(), out.end(), uint8_t{0});
  for (const TSettingDef& param : SettingsTable()) {
    const std::string& cell = grid.Cell(kContentCol, param.Row);
    std::string bytes;  // a text parameter's whole text in the code page
    if (!param.IsNumber() && !param.IsList()) bytes = codePage.FromUtf8(cell);
    int textOffset = 0;
    for (const TFieldPart& part : param.Parts()) {
      const int start = textOffset;
      textOffset += part.Size;
      if (part.Page != page) continue;
      uint8_t* field = out.data() + part.Offset;
      if (param.IsList()) {
        const TListChoice* list = lists.ForRow(param.Row);
        field[0] = static_cast<uint8_t>((list ? list->ItemIndex : -1) & 0xFF);
      } else if (param.IsNumber()) {
        if (cell.empty()) continue;
        const std::optional<int32_t> value = ParseInteger(cell);
        if (!value) return TEncodeFault{&param, cell, TEncodeFault::NotAnInteger};
        // The field holds 16 bits; a larger value would reach the device as its low 16 bits, a port of
        // 70000 becoming 4464, so it is refused instead.
        if (*value < 0 || *value > 0xFFFF) return TEncodeFault{&param, cell, TEncodeFault::OutOfRange};
        field[0] = static_cast<uint8_t>(*value & 0xFF);
        field[1] = static_cast<uint8_t>((*value >> 8) & 0xFF);
      } else if (start < static_cast<int>(bytes.size())) {
        const size_t n = std::min<size_t>(part.Size, bytes.size() - start);
        std::memcpy(field, bytes.data() + start, n);
      }
    }
  }
  return std::nullopt;
}

void DecodeSettingsPages(std::span<const uint8_t, kSettingsPageCount * kSettingsPageSize> pages, TGrid& grid,
                         TSettingsLists& lists, const TCodePage& codePage) {
  TGridUpdate batch(grid);
  for (int page = 1; page <= kSettingsPageCount; ++page) {
    const std::span<const uint8_t, kSettingsPageSize> bytes(pages.data() + (page - 1) * kSettingsPageSize,
                                                            kSettingsPageSize);
    for (const TSettingDef& param : SettingsTable())
      DecodeSettingOnPage(param, page, bytes, grid, lists, codePage);
  }
}

std::string SimNumberOf(std::span<const uint8_t, kSettingsPageSize> page1) {
  const TFieldPart& part = SettingForRow(2)->Parts()[0];
  return ReadTextPart(part.Kind, page1, part.Offset, part.Size);
}

void DecodeSettingOnPage(const TSettingDef& param, int page,
                         std::span<const uint8_t, kSettingsPageSize> bytes, TGrid& grid,
                         TSettingsLists& lists, const TCodePage& codePage) {
  bool continues = false;
  for (size_t k = 0; k < param.Parts().size(); ++k) {
    const TFieldPart& part = param.Parts()[k];
    if (part.Page != page) {
      continues = true;
      continue;
    }
    const uint8_t* field = bytes.data() + part.Offset;
    if (param.IsList()) {
      if (TListChoice* list = lists.ForRow(param.Row)) {
        lists.SetVisible(*list, true);
        lists.SetItemIndex(*list, field[0]);
      }
    } else if (param.IsNumber()) {
      grid.SetCell(kContentCol, param.Row, std::to_string(field[0] + 256 * field[1]));
    } else {
      std::string text = ReadTextPart(part.Kind, bytes, part.Offset, part.Size);
      if (continues) text = codePage.FromUtf8(grid.Cell(kContentCol, param.Row)) + text;
      // We pad these fields with zeros when writing them, so zeros before the 0xFF are mostly our own
      // padding. Kept in the cell they would be invisible characters that fill the field and stop any
      // further typing; dropped, the same bytes still go back on the next save. Zeros inside the text
      // stay, and a text running on into the next page keeps them until its last part is read.
      if (part.Kind == TFieldKind::FfText && k + 1 == param.Parts().size())
        while (!text.empty() && text.back() == '\0') text.pop_back();
      grid.SetCell(kContentCol, param.Row, codePage.ToUtf8(text));
    }
  }
}

}  // namespace torvane
