// SPDX-License-Identifier: GPL-3.0-or-later
// Date serials split into their calendar date, weekday and time of day, in both date systems.
#include "files/date_serial.h"

#include <gtest/gtest.h>

#include <array>

namespace torvane {
namespace {

struct TSerialCase {
  double Serial;
  bool Date1904;
  int Year, Month, Day, Weekday, Hour, Minute, Second;
};

TEST(DateSerial, SplitsIntoDateWeekdayAndTime) {
  const TSerialCase cases[] = {
      {1, false, 1900, 1, 1, 1, 0, 0, 0},
      {59, false, 1900, 2, 28, 3, 0, 0, 0},
      {60, false, 1900, 2, 29, 3, 0, 0, 0},  // the day that never was
      {61, false, 1900, 3, 1, 4, 0, 0, 0},
      {45418 + 425.0 / 1440, false, 2024, 5, 6, 1, 7, 5, 0},
      {0, true, 1904, 1, 1, 5, 0, 0, 0},
      {1.5, true, 1904, 1, 2, 6, 12, 0, 0},
      {2 - 0.0001 / 86400, false, 1900, 1, 2, 2, 0, 0, 0},  // rounded to the millisecond
  };
  for (const TSerialCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.Serial << (c.Date1904 ? " (1904)" : ""));
    const TDateParts p = SplitSerial(c.Serial, c.Date1904);
    EXPECT_EQ((std::array{p.Year, p.Month, p.Day, p.Weekday, p.Hour, p.Minute, p.Second}),
              (std::array{c.Year, c.Month, c.Day, c.Weekday, c.Hour, c.Minute, c.Second}));
  }
  EXPECT_EQ(SplitSerial(1.5, false).TotalSeconds, 36 * 3600);
  EXPECT_DOUBLE_EQ(SplitSerial(0.5 + 0.25 / 86400, false).Fraction, 0.25);
  EXPECT_TRUE(IsDateSerial(kLastDateSerial));
  EXPECT_FALSE(IsDateSerial(-0.5));
  EXPECT_FALSE(IsDateSerial(kLastDateSerial + 1));
}

}  // namespace
}  // namespace torvane
