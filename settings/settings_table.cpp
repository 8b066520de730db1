// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/settings_table.h"

namespace torvane {

namespace {

using K = TFieldKind;

struct TEdit {
  bool DigitFilter = false;
  int Limit = 0;
  int MoveTo = 0;
};

constexpr TSettingDef Def(int row, const char* label, const char* description, const char* def, int defIndex,
                          TFieldPart a, TEdit edit) {
  TSettingDef d;
  d.Row = row;
  d.Label = label;
  d.Description = description;
  d.Default = def;
  d.DefaultIndex = defIndex;
  d.PartStore = {a, TFieldPart{}};
  d.PartCount = 1;
  d.DigitFilter = edit.DigitFilter;
  d.Limit = edit.Limit;
  d.MoveTo = edit.MoveTo;
  return d;
}

constexpr TSettingDef Def2(int row, const char* label, const char* description, const char* def, TFieldPart a,
                           TFieldPart b, TEdit edit) {
  TSettingDef d = Def(row, label, description, def, -1, a, edit);
  d.PartStore = {a, b};
  d.PartCount = 2;
  return d;
}

constexpr const char* kApnHelp = "Call mobile operator to ask the APN name if you need data function";
constexpr const char* kFortyChars = "Up to 40 characters";
constexpr const char* kNotifyHelp = "Default3:Admin Number;Caller Number";
constexpr TEdit kNoEdit{};

// Mind the order inside page 1: parameter 9 lies before 8, and 17 before 15 and 16. The device
// firmware fixed these offsets; the rows follow the order the installer reads them in.
const std::array<TSettingDef, kSettingCount> kTable{{
    Def(1, "1.Password", "Default Password:6853", "6853", -1, {1, 0, 4, K::DigitText}, {true, 4, 2}),
    Def(2, "2.SIM Card Phone No", "Up to 21 digits, supports country code", "", -1, {1, 4, 22, K::DigitText},
        {true, 22, 3}),
    Def(3, "3.DIN1 Type", "Default:NO", "1:NO", 1, {1, 26, 1, K::ListIndex}, kNoEdit),
    Def(4, "4.DIN2 Type", "Default:NO", "1:NO", 1, {1, 27, 1, K::ListIndex}, kNoEdit),
    Def(5, "5.DIN1 Alarm Content", kFortyChars, "Unauthorized door opened", -1, {1, 28, 40, K::CodePageText},
        {false, 40, 6}),
    Def(6, "6.DIN2 Alarm Content", kFortyChars, "DIN2 Alarm", -1, {1, 68, 40, K::CodePageText},
        {false, 40, 7}),
    Def(7, "7.Auto Arm after authorized number call-in(0~999)",
        "Default:10,Unit:Minute.Setting to 0 means Disable Auto Arm", "10", -1, {1, 108, 2, K::Number},
        {true, 3, 8}),
    Def(8, "8.Arm/Disarm after power on", "Default:Disarm. System will alarm only on Arm status", "0:Disarm",
        0, {1, 111, 1, K::ListIndex}, kNoEdit),
    Def(9, "9.Relay Control Authorization", "Default:Only authorized number(s) can call to control",
        "1:Only the authorized number can call to control the relay", 1, {1, 110, 1, K::ListIndex}, kNoEdit),
    Def2(10, "10.Relay swtich ON timer(0~999, Unit:Second)",
         "Default:0,means relay ON 0.5 seconds then OFF after call in", "0", {1, 112, 2, K::Number},
         {1, 114, 2, K::Number}, {true, 3, 11}),
    Def(11, "11.When relay switch ON by authorized number,notify", kNotifyHelp,
        "3:Admin Number;Caller Number", 3, {1, 116, 1, K::ListIndex}, kNoEdit),
    Def(12, "12.When relay switch OFF by authorized number,notify", kNotifyHelp,
        "3:Admin Number;Caller Number", 3, {1, 117, 1, K::ListIndex}, kNoEdit),
    Def(13, "13.SMS content when relay ON", kFortyChars, "Relay ON", -1, {1, 118, 40, K::CodePageText},
        {false, 40, 14}),
    Def(14, "14.SMS content when relay OFF", kFortyChars, "Relay OFF", -1, {1, 158, 40, K::CodePageText},
        {false, 40, 15}),
    Def(15, "15.Power source failure alarm delay(0~999,Unit:Min)",
        "Default:999,means no alarm.Setting as 000,alarm SMS once power failure.", "999", -1,
        {1, 200, 2, K::Number}, {true, 3, 16}),
    Def(16, "16.Self-Check Report Interval(0-999,Unit:Hour)", "Default:0,means no report", "0", -1,
        {1, 202, 2, K::Number}, {true, 3, 17}),
    Def(17, "17.MQTT Data Upload Interval Time(0-9999,Unit:Sec)",
        "Default:9999,disable.Setting as 0 means offline", "9999", -1, {1, 198, 2, K::Number}, {true, 4, 18}),
    Def(18, "18.Server IP Address", "Up to 32 characters", "", -1, {1, 204, 32, K::FfText}, {false, 32, 19}),
    Def(19, "19.Server Port(0-65535)", "Default:65535", "", -1, {1, 236, 2, K::Number}, {false, 5, 20}),
    Def2(20, "20.GPRS APN", kApnHelp, "", {1, 238, 18, K::FfText}, {2, 0, 46, K::FfText}, {false, 64, 21}),
    Def(21, "21.GPRS User Name", kApnHelp, "", -1, {2, 46, 16, K::FfText}, {false, 16, 22}),
    // The password moves the selection back to the user name, not on to row 23.
    Def(22, "22.GPRS Password", kApnHelp, "", -1, {2, 62, 16, K::FfText}, {false, 16, 21}),
    Def(23, "23.Heartbeat Interval", "Default: 60 seconds.", "60", -1, {2, 78, 2, K::Number}, {true, 7, 24}),
    Def(24, "24.MQTT Client Id", "MQTT Client Id", "", -1, {2, 80, 64, K::PrintableText}, kNoEdit),
    Def(25, "25.MQTT User", "MQTT User", "", -1, {2, 144, 64, K::PrintableText}, kNoEdit),
    // The device reads the tail of the MQTT password on page 3 up to 0xFF, unlike its head on page 2.
    Def2(26, "26.MQTT Password", "MQTT Password", "", {2, 208, 48, K::PrintableText}, {3, 0, 16, K::FfText},
         kNoEdit),
    Def(27, "27.MQTT Publish", "MQTT Publish", "", -1, {3, 16, 64, K::PrintableText}, kNoEdit),
    Def(28, "28.MQTT Subscribe", "MQTT Subscribe", "", -1, {3, 80, 64, K::PrintableText}, kNoEdit),
}};

}  // namespace

int TSettingDef::TextSize() const {
  if (IsNumber()) return PartStore[0].Size;
  int n = 0;
  for (const TFieldPart& p : Parts()) n += p.Size;
  return n;
}

const std::array<TSettingDef, kSettingCount>& SettingsTable() {
  return kTable;
}

const TSettingDef* SettingForRow(int row) {
  if (row < 1 || row > kSettingCount) return nullptr;
  return &kTable[row - 1];
}

}  // namespace torvane
