// SPDX-License-Identifier: GPL-3.0-or-later
#include "device/settings_layout.h"

#include <cstdio>
#include <cstring>
#include <map>

namespace torvane::device {

namespace {
using K = TFieldKind;
}

const std::vector<TSettingsField>& SettingsLayout() {
  // Two parameters span a page boundary (the APN and the MQTT password) and one is kept twice (the
  // relay timer at 112 and 114); each piece is its own row.
  static const std::vector<TSettingsField> layout = {
      {1, "Password", 1, 0, 4, K::DigitText, "6853"},
      {2, "SIM Card Phone No", 1, 4, 22, K::DigitText, ""},
      {3, "DIN1 Type", 1, 26, 1, K::ListIndex, "1"},
      {4, "DIN2 Type", 1, 27, 1, K::ListIndex, "1"},
      {5, "DIN1 Alarm Content", 1, 28, 40, K::CodePageText, "Unauthorized door opened"},
      {6, "DIN2 Alarm Content", 1, 68, 40, K::CodePageText, "DIN2 Alarm"},
      {7, "Auto Arm after call-in (min)", 1, 108, 2, K::Number, "10"},
      {9, "Relay Control Authorization", 1, 110, 1, K::ListIndex, "1"},
      {8, "Arm/Disarm after power on", 1, 111, 1, K::ListIndex, "0"},
      {10, "Relay ON timer (s)", 1, 112, 2, K::Number, "0"},
      {10, "Relay ON timer (s), copy", 1, 114, 2, K::Number, "0"},
      {11, "Notify on relay ON", 1, 116, 1, K::ListIndex, "3"},
      {12, "Notify on relay OFF", 1, 117, 1, K::ListIndex, "3"},
      {13, "SMS content when relay ON", 1, 118, 40, K::CodePageText, "Relay ON"},
      {14, "SMS content when relay OFF", 1, 158, 40, K::CodePageText, "Relay OFF"},
      {17, "MQTT Data Upload Interval (s)", 1, 198, 2, K::Number, "9999"},
      {15, "Power failure alarm delay (min)", 1, 200, 2, K::Number, "999"},
      {16, "Self-Check Report Interval (h)", 1, 202, 2, K::Number, "0"},
      {18, "Server IP Address", 1, 204, 32, K::FfText, ""},
      {19, "Server Port", 1, 236, 2, K::Number, ""},
      {20, "GPRS APN", 1, 238, 18, K::FfText, ""},
      {20, "GPRS APN", 2, 0, 46, K::FfText, ""},
      {21, "GPRS User Name", 2, 46, 16, K::FfText, ""},
      {22, "GPRS Password", 2, 62, 16, K::FfText, ""},
      {23, "Heartbeat Interval (s)", 2, 78, 2, K::Number, "60"},
      {24, "MQTT Client Id", 2, 80, 64, K::PrintableText, ""},
      {25, "MQTT User", 2, 144, 64, K::PrintableText, ""},
      {26, "MQTT Password", 2, 208, 48, K::PrintableText, ""},
      {26, "MQTT Password", 3, 0, 16, K::FfText, ""},
      {27, "MQTT Publish", 3, 16, 64, K::PrintableText, ""},
      {28, "MQTT Subscribe", 3, 80, 64, K::PrintableText, ""},
  };
  return layout;
}

const std::vector<std::string>& ListItems(int param) {
  static const std::vector<std::string> none;
  static const std::map<int, std::vector<std::string>> lists = {
      {3, {"0:NC ", "1:NO"}},
      {4, {"0:NC ", "1:NO"}},
      {8, {"0:Disarm", "1:Arm"}},
      {9,
       {"0:All number can call to control the Relay",
        "1:Only the authorized number can call to control the relay"}},
      {11, {"0:None", "1:Admin Number", "2:Caller Number", "3:Admin Number;Caller Number"}},
      {12, {"0:None", "1:Admin Number", "2:Caller Number", "3:Admin Number;Caller Number"}},
  };
  auto it = lists.find(param);
  return it == lists.end() ? none : it->second;
}

std::array<uint8_t, 768> FactorySettings() {
  // Whatever the layout does not cover is left as the flash part's erased state.
  std::array<uint8_t, 768> image;
  image.fill(0xFF);
  for (const TSettingsField& f : SettingsLayout()) {
    uint8_t* field = image.data() + (f.Page - 1) * 256 + f.Offset;
    const std::string def = f.Default;
    switch (f.Kind) {
      case K::ListIndex:
        field[0] = static_cast<uint8_t>(std::stoi(def));
        break;
      case K::Number:
        if (def.empty()) break;  // never set: reads as 65535
        field[0] = static_cast<uint8_t>(std::stoi(def) & 0xFF);
        field[1] = static_cast<uint8_t>(std::stoi(def) >> 8);
        break;
      case K::DigitText:
      case K::CodePageText:
        std::memset(field, 0, f.Size);
        std::memcpy(field, def.data(), def.size());
        break;
      case K::FfText:
      case K::PrintableText:
        std::memcpy(field, def.data(), def.size());  // the rest stays erased
        break;
    }
  }
  return image;
}

namespace {

void AppendByte(std::string& out, uint8_t b) {
  if (b >= 0x20 && b < 0x7F && b != '\\') {
    out += static_cast<char>(b);
  } else {
    char hex[8];
    std::snprintf(hex, sizeof hex, "\\x%02X", b);
    out += hex;
  }
}

std::string DecodeField(const uint8_t* p, const TSettingsField& f) {
  std::string out;
  switch (f.Kind) {
    case K::DigitText:
      for (int i = 0; i < f.Size && (p[i] == '+' || (p[i] >= '0' && p[i] <= '9')); ++i) out += char(p[i]);
      break;
    case K::ListIndex: {
      out = std::to_string(p[0]);
      const auto& items = ListItems(f.Param);
      out += p[0] < items.size() ? " (" + items[p[0]] + ")" : " (no selection)";
      break;
    }
    case K::Number:
      out = std::to_string(p[0] + 256 * p[1]);
      break;
    case K::CodePageText:
      for (int i = 0; i < f.Size && p[i] != 0; ++i) AppendByte(out, p[i]);
      break;
    case K::FfText:
      for (int i = 0; i < f.Size && p[i] != 0xFF; ++i) AppendByte(out, p[i]);
      break;
    case K::PrintableText:
      for (int i = 0; i < f.Size && p[i] >= 0x20 && p[i] <= 0x7F; ++i) AppendByte(out, p[i]);
      break;
  }
  return out;
}

}  // namespace

std::vector<std::string> DescribeSettings(const std::array<uint8_t, 768>& settings) {
  std::vector<std::string> lines;
  const auto& layout = SettingsLayout();
  for (size_t i = 0; i < layout.size(); ++i) {
    const TSettingsField& f = layout[i];
    std::string value = DecodeField(settings.data() + (f.Page - 1) * 256 + f.Offset, f);
    // A text split over two pages is one value; it continues only while the first piece ran full.
    if (i > 0 && layout[i - 1].Param == f.Param && layout[i - 1].Kind != K::Number) continue;
    if (i + 1 < layout.size() && layout[i + 1].Param == f.Param && f.Kind != K::Number) {
      const TSettingsField& next = layout[i + 1];
      const uint8_t* first = settings.data() + (f.Page - 1) * 256 + f.Offset;
      std::string firstRaw;
      for (int k = 0; k < f.Size; ++k) AppendByte(firstRaw, first[k]);
      if (value == firstRaw)
        value += DecodeField(settings.data() + (next.Page - 1) * 256 + next.Offset, next);
    }
    char head[64];
    std::snprintf(head, sizeof head, "%2d %s: ", f.Param, f.Name);
    lines.push_back(head + value);
  }
  return lines;
}

}  // namespace torvane::device
