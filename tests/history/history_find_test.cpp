// SPDX-License-Identifier: GPL-3.0-or-later
// The rows the history's find bar leaves shown.
#include "history/history_find.h"

#include <gtest/gtest.h>

#include "history/history_record.h"

namespace torvane {
namespace {

TEST(HistoryFind, ShowsRowsByNumberExecutantOrContent) {
  TGrid grid(kHisColumnCount, kHistoryRows + 1);
  const std::vector<std::pair<std::string, std::string>> rows = {
      {"+49 170 1234567", "Door"},  // 1
      {"0049170555", "Gate OPEN"},  // 2
      {"", "Сигнал тревоги"},       // 3: Cyrillic content
      {"123", "Ärger im Büro"},     // 4
  };
  for (size_t i = 0; i < rows.size(); ++i) {
    const int r = static_cast<int>(i) + 1;
    grid.SetCell(kHisNumber, r, std::to_string(500 + r));
    grid.SetCell(kHisExecutant, r, rows[i].first);
    grid.SetCell(kHisContent, r, rows[i].second);
  }
  THistoryFind find(grid);
  struct TCase {
    const char* Query;
    std::vector<int> Shown;
  };
  const TCase cases[] = {
      {"", {1, 2, 3, 4}},                      // every record while nothing is asked
      {"+49170", {1, 2}},                      // numbers by their key: '+', "00" and spaces do not count
      {"170 555", {2}},   {"gate open", {2}},  // text without case
      {"DOOR", {1}},      {"сигнал", {3}},     // Cyrillic letters too
      {"ärger", {4}},     {"12", {1, 4}},     {"501", {}},  // the record number is no executant
      {"nothing", {}},
  };
  for (const TCase& c : cases) {
    find.SetQuery(c.Query);
    std::vector<int> shown;
    for (int r = 1; r <= kHistoryRows; ++r)
      if (find.Shown(r)) shown.push_back(r);
    if (*c.Query) {
      EXPECT_EQ(shown, c.Shown) << c.Query;
    }
    EXPECT_EQ(find.ShownRecords(), static_cast<int>(c.Shown.size())) << c.Query;
    EXPECT_EQ(find.Records(), 4);
    EXPECT_TRUE(find.Shown(0));  // the headings
  }
  // A row read while the bar is open is shown or hidden as it arrives.
  find.SetQuery("door");
  grid.SetCell(kHisNumber, 9, "509");
  grid.SetCell(kHisContent, 9, "Back door");
  EXPECT_TRUE(find.Shown(9));
  EXPECT_EQ(find.ShownRecords(), 2);
  EXPECT_EQ(FoldCase("ÀÉÎ ΑΩ ĄŁŹ Ё"), "àéî αω ąłź ё");
}

}  // namespace
}  // namespace torvane
