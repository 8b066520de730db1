// SPDX-License-Identifier: GPL-3.0-or-later
// The number list as JSON: only rows that hold something are written, they load back into a fresh
// grid as they were, and a list the spreadsheet import would refuse is refused with its message.
#include "numbers/number_json.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "numbers/number_files.h"
#include "numbers/number_record.h"
#include "support/fakes.h"

namespace torvane::testing {
namespace {

using TJson = nlohmann::json;

void SetRow(TGrid& g, int row, const std::vector<std::string>& cells) {
  for (int c = kColNumber; c <= kColDelete; ++c) g.SetCell(c, row, cells[c - 1]);
}

TEST(NumberJson, OnlyRowsThatHoldSomethingAreWrittenAndLoadBack) {
  TFakeSession a, b;
  TGrid& g = a.Session->NumberGrid;
  SetRow(g, 1, {"+4917012345678", "2024-05-06", "07:05", "2024-06-30", "18:00", "no", "no"});
  SetRow(g, 7, {"0301234", "", "", "", "", "yes", "no"});
  SetRow(g, 3000, {"", "", "", "", "", "no", "yes"});
  const std::string text = NumbersToJson(g);
  const TJson doc = TJson::parse(text);
  ASSERT_EQ(doc["numbers"].size(), 3u);
  EXPECT_EQ(doc["numbers"][0], (TJson{{"serial", 1},
                                      {"number", "+4917012345678"},
                                      {"start", "2024-05-06 07:05"},
                                      {"end", "2024-06-30 18:00"},
                                      {"always", false},
                                      {"delete", false}}));
  EXPECT_EQ(doc["numbers"][2]["serial"], 3000);

  TGrid& into = b.Session->NumberGrid;
  SetRow(into, 2,
         {"+4900", "2024-01-01", "00:00", "2025-01-01", "00:00", "no", "no"});  // gone after the load
  const TImportResult loaded = NumbersFromJson(text, into);
  ASSERT_TRUE(loaded.Loaded()) << loaded.FileError << loaded.RefusalText;
  EXPECT_EQ(loaded.RowsRead, 3);
  for (int row = 1; row <= kNumberRows; ++row)
    for (int c = kColNumber; c <= kColDelete; ++c)
      ASSERT_EQ(into.Cell(c, row), g.Cell(c, row)) << row << "," << c;
}

TEST(NumberJson, AListTheImportWouldRefuseIsRefused) {
  const auto entry = [](int serial, const char* start, bool always = false) {
    return TJson{{"serial", serial},
                 {"number", "+49170"},
                 {"start", start},
                 {"end", "2024-06-30 18:00"},
                 {"always", always}};
  };
  struct TCase {
    const char* Name;
    TJson Numbers;
    std::string Says;
  };
  const std::vector<TCase> cases = {
      {"windows cut short",
       {entry(1, "2024-05-06 07:05"), entry(3, "2024-05-06"), entry(4, ""), entry(9, "24-5-6 7:05"),
        entry(12, ""), entry(13, "", true)},
       WrongNumberRowsMessage({3, 4, 9, 12})},
      {"a serial outside the list", {entry(0, "2024-05-06 07:05")}, "serial 0 is outside 1 to 3000"},
      {"a serial twice",
       {entry(5, "2024-05-06 07:05"), entry(5, "2024-05-06 07:05")},
       "serial 5 is given twice"},
      {"a mark that is no mark",
       {{{"serial", 2}, {"always", "yes"}}},
       "serial 2: \"always\" is neither true nor false"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TFakeSession f;
    TGrid& g = f.Session->NumberGrid;
    g.SetCell(kColNumber, 100, "kept");
    const TJson doc{{"format", "torvane-numbers"}, {"version", 1}, {"numbers", c.Numbers}};
    const TImportResult result = NumbersFromJson(doc.dump(), g);
    ASSERT_FALSE(result.Loaded());
    EXPECT_EQ(result.FileError + result.RefusalText, c.Says);
    EXPECT_EQ(g.Cell(kColNumber, 100), "kept");
  }
}

}  // namespace
}  // namespace torvane::testing
