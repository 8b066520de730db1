// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Number format codes, read the way the spreadsheet program reads them: the General format's text
// for a number, a date or time shown by a format code, and whether a code shows a date, a time or
// both. Only a code's first section (up to an unquoted ';') counts.
#include <cstdint>
#include <string>
#include <string_view>

namespace torvane {

enum class TDateKind : uint8_t { None, Date, Time, DateTime };

// 123, 0.5, 13800138000, 1E+20: fifteen significant digits, no trailing zeros.
std::string GeneralNumberText(double value);
// The date serial as the code shows it; a serial that is no date shows in the General format.
std::string FormatDateTime(double serial, std::string_view code, bool date1904);
// A number format code's date/time kind ("yyyy-mm-dd" -> Date, "h:mm" -> Time, "0.00" -> None).
TDateKind DateKindOfFormat(std::string_view code);

}  // namespace torvane
