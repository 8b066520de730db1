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

}  // namespace
}  // namespace torvane
