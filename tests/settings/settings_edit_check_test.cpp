// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/settings_edit_check.h"

#include <gtest/gtest.h>

#include <string>

#include "core/codepage.h"

namespace torvane {
namespace {

class EditCheck : public ::testing::Test {
 protected:
  TEditCheck Check(int row, const std::string& text) { return CheckSettingsEdit(row, text, cp); }
  TCodePage cp{"CP936"};
};

TEST_F(EditCheck, DigitRowsDropATrailingNonDigit) {
  EXPECT_EQ(Check(7, "1a").Text, "1");
  EXPECT_EQ(Check(7, "1a").MoveTo, 0);
  EXPECT_EQ(Check(2, "+86").Text, "+86");  // only the last character is looked at
  EXPECT_EQ(Check(2, "86+").Text, "86");
  EXPECT_EQ(Check(23, "6中").Text, "6");
  EXPECT_EQ(Check(19, "80a").Text, "80a");  // the port has no digit filter
}

TEST_F(EditCheck, LimitsCutAndMoveTheSelection) {
  EXPECT_EQ(Check(1, "123").MoveTo, 0);
  const TEditCheck full = Check(1, "1234");
  EXPECT_EQ(full.Text, "1234");
  EXPECT_EQ(full.MoveTo, 2);
  // A non-digit typed as the fourth character: three digits stay and the selection still moves.
  const TEditCheck letter = Check(1, "123x");
  EXPECT_EQ(letter.Text, "123");
  EXPECT_EQ(letter.MoveTo, 2);
  EXPECT_EQ(Check(7, "1234").Text, "123");
  EXPECT_EQ(Check(7, "123").MoveTo, 8);
  EXPECT_EQ(Check(19, "65536").MoveTo, 20);
  EXPECT_EQ(Check(22, std::string(16, 'p')).MoveTo, 21);
  EXPECT_EQ(Check(21, std::string(15, 'u')).MoveTo, 0);
  EXPECT_EQ(Check(23, "1234567").MoveTo, 24);
}

TEST_F(EditCheck, LimitsCountCodePageBytesAndNeverSplitACharacter) {
  // 19 two-byte characters are 38 bytes; one more is 40 and fills the field.
  std::string text;
  for (int i = 0; i < 19; ++i) text += "门";
  EXPECT_EQ(Check(5, text).MoveTo, 0);
  EXPECT_EQ(Check(5, text + "A").MoveTo, 0);
  const TEditCheck full = Check(5, text + "AB");
  EXPECT_EQ(full.Text, text + "AB");
  EXPECT_EQ(full.MoveTo, 6);
  // 39 bytes plus a two-byte character: the character that would not fit is left out whole.
  const TEditCheck over = Check(13, text + "A门");
  EXPECT_EQ(over.Text, text + "A");
  EXPECT_EQ(over.MoveTo, 14);
}

TEST_F(EditCheck, ListRowsAreEmptiedAndMoveOn) {
  for (int row : {3, 4, 8, 9, 11, 12}) {
    const TEditCheck r = Check(row, "x");
    EXPECT_EQ(r.Text, "") << row;
    EXPECT_EQ(r.MoveTo, row + 1) << row;
  }
}

TEST_F(EditCheck, MqttTextsEndWithAZeroCharacterAndMoveBack) {
  const std::string seventy(70, 'c');
  const TEditCheck r = Check(24, seventy);
  EXPECT_EQ(r.Text, std::string(63, 'c') + std::string(1, '\0'));
  EXPECT_EQ(r.MoveTo, 23);
  EXPECT_EQ(Check(28, std::string(63, 'x')).MoveTo, 27);
  EXPECT_EQ(Check(26, std::string(62, 'x')).MoveTo, 0);
  EXPECT_EQ(Check(26, std::string(62, 'x')).Text, std::string(62, 'x'));
}

TEST_F(EditCheck, RowsOutsideTheTableAreLeftAlone) {
  EXPECT_EQ(Check(0, "abc").Text, "abc");
  EXPECT_EQ(Check(29, "abc").MoveTo, 0);
}

}  // namespace
}  // namespace torvane
