// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/settings_edit_check.h"

#include "settings/settings_table.h"

namespace torvane {

namespace {

size_t Utf8CharLength(const std::string& s, size_t i) {
  const unsigned char c = s[i];
  const size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 1;
  return i + n <= s.size() ? n : 1;
}

// The longest head of the text that takes at most limit bytes in the code page. A double-byte
// character that would straddle the limit is left out whole rather than cut in half.
std::string CutToBytes(const std::string& text, size_t limit, const TCodePage& codePage) {
  size_t bytes = 0, i = 0;
  while (i < text.size()) {
    const size_t n = Utf8CharLength(text, i);
    const size_t w = codePage.FromUtf8(text.substr(i, n)).size();
    if (bytes + w > limit) break;
    bytes += w;
    i += n;
  }
  return text.substr(0, i);
}

// Drops the last character (a whole UTF-8 sequence).
std::string WithoutLastChar(const std::string& text) {
  size_t i = text.size();
  while (i > 0 && (static_cast<unsigned char>(text[i - 1]) & 0xC0) == 0x80) --i;
  return text.substr(0, i > 0 ? i - 1 : 0);
}

}  // namespace

TEditCheck CheckSettingsEdit(int row, const std::string& text, const TCodePage& codePage) {
  TEditCheck r{text, 0};
  const TSettingDef* param = SettingForRow(row);
  if (!param) return r;
  // The list rows take their value from the list over them; typing there never sticks.
  if (param->IsList()) return {std::string(), row + 1};
  if (param->DigitFilter && !text.empty()) {
    const char last = text.back();
    if (last < '0' || last > '9') r.Text = WithoutLastChar(text);
  }
  const size_t typedBytes = codePage.FromUtf8(text).size();
  if (param->Limit > 0 && typedBytes >= static_cast<size_t>(param->Limit)) {
    r.Text = CutToBytes(r.Text, param->Limit, codePage);
    r.MoveTo = param->MoveTo;
  }
  if (row >= kMqttFirstRow && row <= kMqttLastRow && typedBytes >= static_cast<size_t>(kMqttTypedLimit)) {
    // The device wants the 64-byte field to end in a zero; the zero character stays in the cell so a
    // save writes it.
    r.Text = CutToBytes(r.Text, kMqttTypedLimit, codePage) + std::string(1, '\0');
    r.MoveTo = row - 1;
  }
  return r;
}

}  // namespace torvane
