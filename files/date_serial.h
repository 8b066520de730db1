// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Date serials: a spreadsheet keeps a moment as the days since its epoch, with the time of day as
// the fraction. The 1900 system's day 1 is 1900-01-01, and its day 60 the 1900-02-29 that never was
// (kept for Lotus's sake); the 1904 system's day 0 is 1904-01-01.

namespace torvane {

// 9999-12-31 23:59:59.99, the last moment a spreadsheet shows as a date.
constexpr double kLastDateSerial = 2958465.99999;

// A serial outside this range shows as a plain number, whatever its format.
inline bool IsDateSerial(double serial) {
  return serial >= 0 && serial <= kLastDateSerial;
}

// A serial's calendar date and time of day, rounded to the millisecond.
struct TDateParts {
  int Year, Month, Day, Hour, Minute, Second, Weekday;  // Weekday 0 = Sunday
  double Fraction;                                      // of the second
  long long TotalSeconds;                               // since the epoch, for elapsed times
};

TDateParts SplitSerial(double serial, bool date1904);

}  // namespace torvane
