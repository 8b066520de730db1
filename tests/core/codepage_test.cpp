// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/codepage.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

namespace torvane {
namespace {

TEST(CodePage, ChosenFromTheLocaleAsWindowsWould) {
  EXPECT_EQ(TCodePage::ForLocale("zh_CN.UTF-8"), "CP936");
  EXPECT_EQ(TCodePage::ForLocale("zh_TW.UTF-8"), "CP950");
  EXPECT_EQ(TCodePage::ForLocale("ru_RU.UTF-8"), "CP1251");
  EXPECT_EQ(TCodePage::ForLocale("pl_PL"), "CP1250");
  EXPECT_EQ(TCodePage::ForLocale("de_DE.UTF-8"), "CP1252");
  EXPECT_EQ(TCodePage::ForLocale("C.UTF-8"), "CP1252");
}

TEST(CodePage, Cp1252TextsRoundTripIncludingUndefinedBytes) {
  TCodePage cp("CP1252");
  EXPECT_EQ(cp.ToUtf8("Caf\xE9 \x80"), "Café €");
  EXPECT_EQ(cp.FromUtf8("Café €"), "Caf\xE9 \x80");
  const std::string undefined("\x81\x8D\x90", 3);  // no character in CP1252: kept as the same bytes
  EXPECT_EQ(cp.FromUtf8(cp.ToUtf8(undefined)), undefined);
  EXPECT_EQ(cp.FromUtf8("中"), "?");
}

TEST(CodePage, Cp936TwoByteUnitsRoundTrip) {
  TCodePage cp("CP936");
  const std::string door("\xB4\xF3\xC3\xC5", 4);  // 大门
  EXPECT_EQ(cp.ToUtf8(door), "大门");
  EXPECT_EQ(cp.FromUtf8("大门 open"), door + " open");
  const std::string cut("A\xB4", 2);  // a lead byte without its trail byte survives
  EXPECT_EQ(cp.FromUtf8(cp.ToUtf8(cut)), cut);
}

// A text the code page lacks a character of would reach the device as another text.
TEST(CodePage, HoldsOnlyWhatComesBackUnchanged) {
  const TCodePage cp1251("CP1251"), cp936("CP936");
  const std::vector<std::tuple<const TCodePage*, std::string, bool>> cases = {
      {&cp1251, "Дверь open", true}, {&cp1251, "café", false},
      {&cp1251, "cafй", true},       {&cp936, "大门 open", true},
      {&cp936, "Дверь", true},       {&cp936, "ก", false},
      {&cp1251, "\xE9", false},      {&cp1251, std::string("a\0b", 3), true},
  };
  for (const auto& [cp, text, holds] : cases) EXPECT_EQ(cp->Holds(text), holds) << cp->Name() << " " << text;
}

}  // namespace
}  // namespace torvane
