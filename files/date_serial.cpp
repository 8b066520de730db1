// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/date_serial.h"

#include <cmath>

namespace torvane {

namespace {

// Days since 1970-01-01 to the civil date (proleptic Gregorian).
void CivilFromDays(long long days, int& year, int& month, int& day) {
  days += 719468;
  long long era = (days >= 0 ? days : days - 146096) / 146097;
  long long doe = days - era * 146097;
  long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  long long y = yoe + era * 400;
  long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  long long mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(y + (month <= 2));
}

}  // namespace

TDateParts SplitSerial(double serial, bool date1904) {
  TDateParts parts{};
  double rounded = std::round(serial * 86400.0 * 1000.0) / 1000.0;
  long long total = static_cast<long long>(std::floor(rounded));
  parts.Fraction = rounded - static_cast<double>(total);
  parts.TotalSeconds = total;
  long long days = total / 86400;
  long long seconds = total % 86400;
  parts.Hour = static_cast<int>(seconds / 3600);
  parts.Minute = static_cast<int>(seconds / 60 % 60);
  parts.Second = static_cast<int>(seconds % 60);
  // The 1900 system's days before its 1900-02-29 (day 60) count from 1899-12-31, the days after it
  // from 1899-12-30.
  constexpr long long k18991230 = -25569;  // days from 1970-01-01
  constexpr long long k19040101 = -24107;
  if (date1904) {
    CivilFromDays(k19040101 + days, parts.Year, parts.Month, parts.Day);
    parts.Weekday = static_cast<int>(((k19040101 + days) % 7 + 11) % 7);
  } else if (days == 60) {
    parts.Year = 1900, parts.Month = 2, parts.Day = 29, parts.Weekday = 3;
  } else {
    long long civil = k18991230 + days + (days < 60 ? 1 : 0);
    CivilFromDays(civil, parts.Year, parts.Month, parts.Day);
    parts.Weekday = static_cast<int>((civil % 7 + 11) % 7);
  }
  return parts;
}

}  // namespace torvane
