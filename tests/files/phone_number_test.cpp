// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/phone_number.h"

#include <gtest/gtest.h>

namespace torvane {
namespace {

TEST(PhoneNumberKey, OneNumberHoweverItIsWritten) {
  struct TCase {
    const char* Text;
    const char* Key;
  };
  const TCase cases[] = {
      {"+49 170 1234567", "491701234567"},
      {"0049-170-1234567", "491701234567"},
      {"491701234567", "491701234567"},
      {"(0170) 123.45.67", "01701234567"},
      {"0170", "0170"},
      {"+", ""},
      {"", ""},
      {"+0049", "0049"},
  };
  for (const TCase& c : cases) EXPECT_EQ(PhoneNumberKey(c.Text), c.Key) << c.Text;
}

}  // namespace
}  // namespace torvane
