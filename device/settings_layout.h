// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The device's own description of its settings region: where each of the 28 parameters lives in the
// three pages, how it is stored and what the factory puts there. The factory image and the readable
// dump are both built from this one table.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace torvane::device {

enum class TFieldKind {
  DigitText,      // '+' and digits, zero-padded
  ListIndex,      // one byte, the item index
  Number,         // 16 bits, low byte first
  CodePageText,   // ANSI code-page bytes, zero-terminated when shorter than the field
  FfText,         // read up to the first 0xFF
  PrintableText,  // read while bytes are 0x20..0x7F
};

struct TSettingsField {
  int Param;         // 1..28
  const char* Name;  // short name for the dump
  int Page;          // 1..3
  int Offset;        // inside the page
  int Size;          // bytes
  TFieldKind Kind;
  const char* Default;  // text, decimal number or list index; "" for an erased field
};

const std::vector<TSettingsField>& SettingsLayout();

// Item texts of the list a ListIndex parameter is chosen from (empty for other parameters).
const std::vector<std::string>& ListItems(int param);

std::array<uint8_t, 768> FactorySettings();

// One line per parameter, "NN Name: value", decoded from a settings image. Bytes that are not plain
// printable ASCII are shown as \xNN.
std::vector<std::string> DescribeSettings(const std::array<uint8_t, 768>& settings);

}  // namespace torvane::device
