// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/message.h"

#include <gtest/gtest.h>

namespace torvane {
namespace {

TEST(FillText, PutsEachValueInItsNumberedPlace) {
  struct TCase {
    const char* Pattern;
    std::initializer_list<std::string> Values;
    std::string Expected;
  };
  const TCase cases[] = {
      {"%1 rows not yet saved", {"12"}, "12 rows not yet saved"},
      {"%2 before %1", {"a", "b"}, "b before a"},
      {"%1 and %1", {"x"}, "x and x"},
      // A value's own places are not filled again.
      {"%1 then %2", {"%2", "y"}, "%2 then y"},
      // A place without a value, a lone '%' and one at the end stay as written.
      {"%1 of %3", {"a", "b"}, "a of %3"},
      {"100% sure %", {}, "100% sure %"},
      {"%10", {"a"}, "a0"},
  };
  for (const TCase& c : cases) EXPECT_EQ(FillText(c.Pattern, c.Values), c.Expected) << c.Pattern;
}

TEST(JoinFirst, NamesTheFirstAndCountsTheRest) {
  struct TCase {
    std::vector<int> Items;
    size_t Named;
    const char* Separator;
    const char* More;
    std::string Expected;
  };
  const TCase cases[] = {
      {{}, 3, ",", "%1,....", ""},
      {{4}, 3, ",", "%1,....", "4"},
      {{4, 9, 12}, 3, ",", "%1,....", "4,9,12"},
      {{4, 9, 12, 30}, 3, ",", "%1,....", "4,9,12,...."},
      {{4, 9, 12, 30, 31}, 2, ", ", "%1 and %2 more", "4, 9 and 3 more"},
  };
  for (const TCase& c : cases)
    EXPECT_EQ(JoinFirst(c.Items, c.Named, c.Separator, c.More), c.Expected) << c.Expected;
  EXPECT_EQ(JoinFirst(std::vector<std::string>{"a: x", "b: y"}, 1, "\n", "%1\n... and %2 more"),
            "a: x\n... and 1 more");
}

}  // namespace
}  // namespace torvane
