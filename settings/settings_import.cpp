// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/settings_import.h"

#include "core/conversion_error.h"
#include "files/phone_number.h"
#include "settings/settings_codec.h"
#include "settings/settings_texts.h"

namespace torvane {

namespace {

size_t CharLength(const std::string& s, size_t i) {
  size_t n = 1;
  while (i + n < s.size() && (static_cast<unsigned char>(s[i + n]) & 0xC0) == 0x80) ++n;
  return n;
}

// Zeros at the end are the field's padding: the encoder adds them, every reader stops at them.
std::string WithoutTrailingZeros(std::string s) {
  while (!s.empty() && s.back() == '\0') s.pop_back();
  return s;
}

bool AllDigits(const std::string& s) {
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

std::string FirstNonDigit(const std::string& s) {
  for (size_t i = 0; i < s.size(); ++i)
    if (s[i] < '0' || s[i] > '9') return s.substr(i, CharLength(s, i));
  return {};
}

// The item number a list item's text begins with: "3:Admin Number" is item 3.
std::optional<int64_t> LeadingNumber(const std::string& text) {
  int64_t n = 0;
  size_t i = 0;
  for (; i < text.size() && i < 9 && text[i] >= '0' && text[i] <= '9'; ++i) n = n * 10 + (text[i] - '0');
  if (i == 0) return std::nullopt;
  return n;
}

// The character of `text` whose code-page bytes hold byte number `byte`.
std::string CharacterAtByte(const std::string& text, size_t byte, const TCodePage& codePage) {
  size_t at = 0;
  for (size_t i = 0; i < text.size();) {
    const size_t n = CharLength(text, i);
    at += codePage.FromUtf8(text.substr(i, n)).size();
    if (at > byte) return text.substr(i, n);
    i += n;
  }
  return {};
}

// The three pages read back as a read would show them.
struct TImage {
  TGrid Grid{3, kSettingsRowCount};
  TSettingsLists Lists;
  TImage(std::span<const uint8_t, kSettingsBytes> pages, const TCodePage& codePage) {
    DecodeSettingsPages(pages, Grid, Lists, codePage);
  }
};

// A number parameter's value in the pages; nothing when its copies disagree.
std::optional<int> NumberIn(const TSettingDef& param, std::span<const uint8_t, kSettingsBytes> pages) {
  std::optional<int> value;
  for (const TFieldPart& part : param.Parts()) {
    const size_t at = static_cast<size_t>(part.Page - 1) * kSettingsPageSize + part.Offset;
    const int v = pages[at] + 256 * pages[at + 1];
    if (value && *value != v) return std::nullopt;
    value = v;
  }
  return value;
}

std::optional<std::string> CheckList(const TSettingDef& param, const TSettingsFileValues& file,
                                     const TSettingsLists& lists, int& index) {
  const std::string& text = file.Value[param.Row];
  const int items = static_cast<int>(lists.ForRow(param.Row)->Items.size());
  const std::string last = std::to_string(items - 1);
  if (const std::optional<int64_t> given = file.Index[param.Row]) {
    // -1 is no selection (0xFF on the device), which a read shows as an empty item.
    if (*given == -1 && text.empty()) {
      index = -1;
      return std::nullopt;
    }
    if (*given < 0 || *given >= items) return FillText(kSettingNoSuchItem, {std::to_string(*given), last});
    if (LeadingNumber(text) != given) return FillText(kSettingItemDisagrees, {std::to_string(*given), text});
    index = static_cast<int>(*given);
    return std::nullopt;
  }
  const std::string first = text.empty() ? std::string() : text.substr(0, CharLength(text, 0));
  if (first.size() != 1 || first[0] < '0' || first[0] > '9') return NotAnIntegerMessage(first);
  index = first[0] - '0';
  if (index >= items) return FillText(kSettingNoSuchItem, {first, last});
  return std::nullopt;
}

std::optional<std::string> CheckNumber(const TSettingDef& param, const std::string& text) {
  if (text.empty()) return std::nullopt;  // the field is left zero
  if (param.DigitFilter && !AllDigits(text)) return FillText(kSettingNotDigits, {text, FirstNonDigit(text)});
  if (param.DigitFilter && param.Limit > 0 && text.size() > static_cast<size_t>(param.Limit))
    return FillText(kSettingTooManyDigits, {text, std::to_string(text.size()), std::to_string(param.Limit)});
  const std::optional<int32_t> value = ParseInteger(text);
  if (!value) return NotAnIntegerMessage(text);
  if (*value < 0 || *value > 0xFFFF) return FillText(kSettingOutOfRange, {text});
  return std::nullopt;
}

std::optional<std::string> CheckDigits(const TSettingDef& param, TSettingValue& value) {
  if (param.Row == kSimNumberRow) {
    const std::string cleaned = CleanPhoneNumber(value.Text);
    value.Cleaned = cleaned != value.Text;
    value.Text = cleaned;
    return PhoneNumberProblem(value.Text, static_cast<size_t>(param.TextSize()));
  }
  const std::string& text = value.Text;
  if (!AllDigits(text)) return FillText(kSettingNotDigits, {text, FirstNonDigit(text)});
  if (param.Limit > 0 && text.size() > static_cast<size_t>(param.Limit))
    return FillText(kSettingTooManyDigits, {text, std::to_string(text.size()), std::to_string(param.Limit)});
  return std::nullopt;
}

std::optional<std::string> CheckText(const TSettingDef& param, const std::string& text,
                                     const TCodePage& codePage) {
  for (size_t i = 0; i < text.size();) {
    const size_t n = CharLength(text, i);
    if (!codePage.Holds(text.substr(i, n)))
      return FillText(kSettingNotInCodePage, {text.substr(i, n), codePage.Name()});
    i += n;
  }
  // Malformed UTF-8 may still fail as a whole.
  if (!codePage.Holds(text)) return FillText(kSettingNotInCodePage, {text, codePage.Name()});
  const std::string bytes = WithoutTrailingZeros(codePage.FromUtf8(text));
  if (bytes.size() > static_cast<size_t>(param.TextSize()))
    return FillText(kSettingTooLong,
                    {std::to_string(bytes.size()), codePage.Name(), std::to_string(param.TextSize())});
  size_t partStart = 0;
  for (const TFieldPart& part : param.Parts()) {
    for (size_t i = partStart; i < bytes.size() && i < partStart + part.Size; ++i) {
      const auto b = static_cast<uint8_t>(bytes[i]);
      if (part.Kind == TFieldKind::PrintableText && (b < 0x20 || b > 0x7F))
        return FillText(kSettingNotPrintable, {CharacterAtByte(text, i, codePage)});
      if (part.Kind == TFieldKind::FfText && b == 0xFF)
        return FillText(kSettingEndsText, {CharacterAtByte(text, i, codePage), codePage.Name()});
    }
    partStart += part.Size;
  }
  return std::nullopt;
}

// The values that passed their own checks, written into pages as a save writes them and read back:
// what does not come back as it went (a code-page text whose last two-byte unit takes the next
// field's first byte, a zero inside a text that the device stops at) is refused too.
void CheckReadBack(TSettingValues& values, const TCodePage& codePage) {
  TGrid grid(3, kSettingsRowCount);
  TSettingsLists lists;
  for (const TSettingDef& param : SettingsTable()) {
    const TSettingValue& v = values[param.Row];
    if (TListChoice* list = lists.ForRow(param.Row))
      lists.SetItemIndex(*list, v.Refusal ? -1 : v.Index);
    else
      grid.SetCell(kContentCol, param.Row, v.Refusal ? std::string() : v.Text);
  }
  std::array<uint8_t, kSettingsBytes> pages{};
  for (int page = 1; page <= kSettingsPageCount; ++page) {
    std::span<uint8_t, kSettingsPageSize> into(pages.data() + (page - 1) * kSettingsPageSize,
                                               kSettingsPageSize);
    if (const auto fault = EncodeSettingsPage(page, grid, lists, codePage, into)) {
      values[fault->Param->Row].Refusal = NotAnIntegerMessage(fault->Text);
      return;
    }
  }
  const TImage back(pages, codePage);
  for (const TSettingDef& param : SettingsTable()) {
    TSettingValue& v = values[param.Row];
    if (v.Refusal || param.IsList() || param.IsNumber()) continue;
    const std::string read = WithoutTrailingZeros(back.Grid.Cell(kContentCol, param.Row));
    if (read != WithoutTrailingZeros(v.Text)) v.Refusal = FillText(kSettingReadsBackAs, {read});
  }
}

}  // namespace

TSettingValues CheckSettingsFile(const TSettingsFileValues& file, const TCodePage& codePage,
                                 TImportResult& result) {
  const TSettingsLists lists;
  TSettingValues values;
  for (const TSettingDef& param : SettingsTable()) {
    TSettingValue& v = values[param.Row];
    v.Text = file.Value[param.Row];
    switch (param.Kind()) {
      case TFieldKind::ListIndex:
        v.Refusal = CheckList(param, file, lists, v.Index);
        break;
      case TFieldKind::Number:
        v.Refusal = CheckNumber(param, v.Text);
        break;
      case TFieldKind::DigitText:
        v.Refusal = CheckDigits(param, v);
        break;
      default:
        v.Refusal = CheckText(param, v.Text, codePage);
        break;
    }
  }
  CheckReadBack(values, codePage);

  result.RowsRead = kSettingCount;
  for (const TSettingDef& param : SettingsTable()) {
    const TSettingValue& v = values[param.Row];
    if (v.Refusal)
      result.Refused.push_back({param.Row, param.Label, *v.Refusal});
    else if (v.Cleaned)
      ++result.RowsCleaned;
  }
  if (!result.Refused.empty()) result.RefusalText = RefusalLines(kSettingsImportRefused, result.Refused);
  return values;
}

void LoadSettingValues(const TSettingsFileValues& file, const TSettingValues& values, TGrid& grid,
                       TSettingsLists& lists, const std::function<void(int row)>& afterRow) {
  {
    TGridUpdate batch(grid);
    for (int row = 1; row <= kSettingCount; ++row) {
      // A list's cell keeps the item's text as the file gives it; the list shows its own item.
      grid.SetCell(kContentCol, row, SettingForRow(row)->IsList() ? file.Value[row] : values[row].Text);
      if (file.Description[row]) grid.SetCell(kDescriptionCol, row, *file.Description[row]);
      if (afterRow) afterRow(row);
    }
  }
  for (TListChoice* list : lists.All()) lists.SetItemIndex(*list, values[list->Row].Index);
}

std::vector<int> SettingsDiffering(const TSettingsFileValues& file,
                                   std::span<const uint8_t, kSettingsBytes> device,
                                   const TCodePage& codePage) {
  TImportResult judged;
  const TSettingValues values = CheckSettingsFile(file, codePage, judged);
  const TImage held(device, codePage);
  std::vector<int> rows;
  for (const TSettingDef& param : SettingsTable()) {
    const TSettingValue& v = values[param.Row];
    bool same = !v.Refusal;
    if (same && param.IsList()) {
      same = held.Lists.ForRow(param.Row)->ItemIndex == v.Index;
    } else if (same && param.IsNumber()) {
      same = NumberIn(param, device) == (v.Text.empty() ? 0 : ParseInteger(v.Text).value_or(-1));
    } else if (same) {
      same = WithoutTrailingZeros(held.Grid.Cell(kContentCol, param.Row)) == WithoutTrailingZeros(v.Text);
    }
    if (!same) rows.push_back(param.Row);
  }
  return rows;
}

}  // namespace torvane
