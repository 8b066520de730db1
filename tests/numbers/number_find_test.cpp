// SPDX-License-Identifier: GPL-3.0-or-later
// The number list's find and its expired windows, over the core alone.
#include "numbers/number_find.h"

#include <gtest/gtest.h>

#include "numbers/number_expiry.h"
#include "numbers/number_record.h"
#include "numbers/telephone_send.h"

namespace torvane {
namespace {

TEST(NumberFind, NamesRowsByPartOfTheirNumberOrBySerial) {
  TGrid grid(kNumberColCount, kNumberRows + 1);
  SetUpNumberGrid(grid);
  grid.SetCell(kColNumber, 3, "+491701234567");
  grid.SetCell(kColNumber, 7, "00491709999");
  grid.SetCell(kColNumber, 12, "0170 123 45");
  grid.SetCell(kColNumber, 2999, "8613912345678");
  TNumberFind find(grid);
  struct TCase {
    const char* Query;
    std::vector<int> Rows;
  };
  const TCase cases[] = {
      {"1701234567", {3}},
      {"170 123-4567", {3}},     // spaces and dashes do not count
      {"+49 170", {3, 7}},       // nor does a leading '+'...
      {"0049170", {3, 7}},       // ...or "00"
      {"12345", {3, 12, 2999}},  // part of a number, anywhere in it
      {"0170123", {12}},         // a leading zero of the number's own stays
      {"#12", {12}},             // a serial, number or not
      {"# 3000", {3000}},
      {"#0", {}},
      {"#3001", {}},
      {"#12a", {}},
      {"555", {}},  // no match
      {"", {}},     // nothing asked
      {"+", {}},    // only the prefixes: no key yet
      {"00", {}},
  };
  for (const TCase& c : cases) EXPECT_EQ(find.Find(c.Query), c.Rows) << c.Query;

  // The keys follow the grid.
  grid.SetCell(kColNumber, 12, "");
  grid.SetCell(kColNumber, 40, "555 12345");
  EXPECT_EQ(find.Find("12345"), (std::vector<int>{3, 40, 2999}));
}

TEST(NumberExpiry, RowsWhoseEndHasPassedByThePcClock) {
  TGrid grid(kNumberColCount, kNumberRows + 1);
  SetUpNumberGrid(grid);
  TFixedClock clock({2026, 12, 9, 10, 0, 0});
  struct TCase {
    const char* Name;
    const char *Number, *EndDate, *EndTime, *Always;
    bool Expired;
  };
  const TCase cases[] = {
      {"past", "111", "2026-12-08", "23:59", "no", true},
      {"a minute past", "112", "2026/12/09", "09:59", "no", true},
      {"exactly now", "113", "2026-12-09", "10:00", "no", false},
      {"future", "114", "2027-01-01", "00:00", "no", false},
      {"empty number", "", "2020-01-01", "00:00", "no", false},
      {"always allowed", "115", "2020-01-01", "00:00", "yes", false},
      {"unparsable date", "116", "2026-13-01", "00:00", "no", false},
      {"no real day", "117", "2026-02-30", "00:00", "no", false},
      {"no end time", "118", "2026-12-08", "", "no", false},
  };
  int row = 1;
  for (const TCase& c : cases) {
    grid.SetCell(kColNumber, row, c.Number);
    grid.SetCell(kColStartDate, row, "2020-01-01");
    grid.SetCell(kColStartTime, row, "00:00");
    grid.SetCell(kColEndDate, row, c.EndDate);
    grid.SetCell(kColEndTime, row, c.EndTime);
    grid.SetCell(kColAlways, row, c.Always);
    EXPECT_EQ(NumberRowExpired(grid, row, clock.Time), c.Expired) << c.Name;
    ++row;
  }

  TNumberExpiry expiry(grid, clock);
  std::vector<std::pair<int, int>> told;
  expiry.OnChanged = [&](int first, int last) { told.emplace_back(first, last); };
  EXPECT_EQ(expiry.Count(), 2);
  EXPECT_TRUE(expiry.Expired(2));
  EXPECT_FALSE(expiry.Expired(3));
  // A second later the window that ended at 10:00 has ended too.
  clock.Time.Second = 1;
  expiry.Refresh();
  EXPECT_EQ(expiry.Count(), 3);
  EXPECT_EQ(told, (std::vector<std::pair<int, int>>{{3, 3}}));
  // A new end moves the row out again.
  grid.SetCell(kColEndDate, 1, "2030-01-01");
  EXPECT_FALSE(expiry.Expired(1));
  EXPECT_EQ(expiry.Count(), 2);

  EXPECT_EQ(MarkExpiredForDeletion(grid, expiry), 2);
  for (int r = 1; r < row; ++r)
    EXPECT_EQ(grid.Cell(kColDelete, r), r == 2 || r == 3 ? kMarkYes : kMarkNo) << cases[r - 1].Name;
}

}  // namespace
}  // namespace torvane
