// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The 28 basic parameters in one place: what the grid shows, where each value lies in the three
// 256-byte settings pages and how its bytes read, and how typing into its cell is checked. The page
// codec, the grid set-up, the editor and the profile files all read this table, so a layout change is
// made here once.
#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace torvane {

constexpr int kSettingsPageCount = 3;
constexpr int kSettingsPageSize = 256;
constexpr int kSettingCount = 28;
// The grid: row 0 holds the headings, row n parameter n; column 1 is the value ("Content").
constexpr int kSettingsRowCount = kSettingCount + 1;
constexpr int kLabelCol = 0;
constexpr int kContentCol = 1;
constexpr int kDescriptionCol = 2;
constexpr std::array<const char*, 3> kSettingsHeadings{"Items", "Content", "Description"};

enum class TFieldKind : uint8_t {
  // '+' and decimal digits, one byte each; any other byte ends the text on reading.
  DigitText,
  // One byte: the item index of the parameter's list (0xFF for no selection).
  ListIndex,
  // Unsigned 16 bits, low byte first, shown as a decimal integer.
  Number,
  // Text in the PC's code page, zero-ended when shorter than the field. The device firmware walks it
  // in two-byte units after a space, a control byte or a lead byte, and so do we on reading.
  CodePageText,
  // Text read up to the first 0xFF; zero bytes before it belong to the text.
  FfText,
  // Text read while its bytes lie in 0x20..0x7F.
  PrintableText,
};

// One stretch of a parameter's bytes inside a page. A text parameter may run on from the end of one
// page into the next (parameters 20 and 26): its second part continues the text. A number with two
// parts is stored twice with the same value (parameter 10); reading keeps the later copy.
struct TFieldPart {
  int Page = 0;  // 1..3
  int Offset = 0;
  int Size = 0;
  TFieldKind Kind = TFieldKind::Number;
};

struct TSettingDef {
  int Row = 0;  // = the parameter's number
  const char* Label = "";
  const char* Description = "";
  const char* Default = "";  // the Content cell at start-up
  int DefaultIndex = -1;     // list parameters: the item chosen at start-up
  std::array<TFieldPart, 2> PartStore{};
  int PartCount = 1;
  // The keystroke check: a trailing non-digit is dropped; at Limit bytes the text is cut and the
  // selection moves to MoveTo. Limit 0: no limit.
  bool DigitFilter = false;
  int Limit = 0;
  int MoveTo = 0;

  std::span<const TFieldPart> Parts() const { return {PartStore.data(), static_cast<size_t>(PartCount)}; }
  TFieldKind Kind() const { return PartStore[0].Kind; }
  bool IsList() const { return Kind() == TFieldKind::ListIndex; }
  bool IsNumber() const { return Kind() == TFieldKind::Number; }
  // The whole size of a text parameter over all its parts (a number's parts are copies).
  int TextSize() const;
};

// The device password and the SIM card's telephone number, which files give as people write it.
constexpr int kPasswordRow = 1;
constexpr int kSimNumberRow = 2;

// Parameters 1..28, in row order.
const std::array<TSettingDef, kSettingCount>& SettingsTable();
// The parameter of a grid row, or nullptr for row 0 and rows beyond the table.
const TSettingDef* SettingForRow(int row);

// The MQTT texts (rows 24..28) take at most 63 characters while typing and then get a zero character
// as their 64th, which moves the selection back one row.
constexpr int kMqttFirstRow = 24;
constexpr int kMqttLastRow = 28;
constexpr int kMqttTypedLimit = 63;

}  // namespace torvane
