// SPDX-License-Identifier: GPL-3.0-or-later
// The code pages through the system's own tables (Windows only): the same bytes as iconv's on Linux for
// the texts the device keeps, and the same rule for bytes a table leaves undefined.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "core/codepage.h"

namespace torvane {
namespace {

struct TRoundTrip {
  const char* CodePage;
  std::string Bytes;
  std::string Text;
};

TEST(CodePageWindows, TextsRoundTripThroughTheSystemsTables) {
  const std::vector<TRoundTrip> cases = {
      {"CP1251", "\xC4\xE2\xE5\xF0\xFC \xEE\xF2\xEA\xF0\xFB\xF2\xE0", "Дверь открыта"},
      {"CP1251", "\xB9 5", "№ 5"},
      {"CP936", "\xB4\xF3\xC3\xC5 open", "大门 open"},
      {"CP936", "\xB5\xE7\xBB\xB0", "电话"},
      {"CP1252", "Caf\xE9 \x80", "Café €"},
      // The number alone, as TORVANE_CODEPAGE may give it.
      {"1251", "\xC4", "Д"},
      {"936", "\xB4\xF3", "大"},
  };
  for (const TRoundTrip& c : cases) {
    const TCodePage cp(c.CodePage);
    EXPECT_EQ(cp.Name(), c.CodePage);
    EXPECT_EQ(cp.ToUtf8(c.Bytes), c.Text) << c.CodePage;
    EXPECT_EQ(cp.FromUtf8(c.Text), c.Bytes) << c.CodePage;
  }
}

// A byte the table does not define reads as U+0080..U+00FF of its own value and goes back as itself;
// a character the code page lacks goes as '?'.
TEST(CodePageWindows, UndefinedBytesKeepTheirValue) {
  const std::vector<TRoundTrip> cases = {
      {"CP1251", "\x98", "\xC2\x98"},  // the one hole in CP1251
      {"CP1252", "\x81\x8D", "\xC2\x81\xC2\x8D"},
      {"CP936", "A\xB4", "A\xC2\xB4"},  // a lead byte without its trail
      {"CP936", "\xFF", "\xC3\xBF"},    // Windows reads it as a private-use character
      {"CP1253", "\xAA", "\xC2\xAA"},
  };
  for (const TRoundTrip& c : cases) {
    const TCodePage cp(c.CodePage);
    EXPECT_EQ(cp.ToUtf8(c.Bytes), c.Text) << c.CodePage;
    EXPECT_EQ(cp.FromUtf8(cp.ToUtf8(c.Bytes)), c.Bytes) << c.CodePage;
  }
  EXPECT_EQ(TCodePage("CP1251").FromUtf8("中 é"), "? \xE9");
  EXPECT_EQ(TCodePage("CP936").FromUtf8("ก"), "?");
}

TEST(CodePageWindows, HoldsOnlyWhatComesBackUnchanged) {
  const TCodePage cp1251("CP1251"), cp936("CP936");
  const std::vector<std::tuple<const TCodePage*, std::string, bool>> cases = {
      {&cp1251, "Дверь open", true}, {&cp1251, "café", false},     {&cp1251, "cafй", true},
      {&cp936, "大门 open", true},   {&cp936, "Дверь", true},      {&cp936, "ก", false},
      {&cp1251, "\xE9", false},      {&cp1251, "\xC3\x28", false},
  };
  for (const auto& [cp, text, holds] : cases) EXPECT_EQ(cp->Holds(text), holds) << cp->Name() << " " << text;
}

TEST(CodePageWindows, TheSystemsCodePageUnlessOneIsNamed) {
  // System() is made once; a process that names none gets the PC's ANSI code page.
  if (GetEnvironmentVariableW(L"TORVANE_CODEPAGE", nullptr, 0) == 0) {
    EXPECT_EQ(TCodePage::System().Name(), "CP" + std::to_string(GetACP()));
  }
  EXPECT_EQ(TCodePage("CP99999").Name(), "CP1252");
  EXPECT_EQ(TCodePage("cyrillic").Name(), "CP1252");
}

}  // namespace
}  // namespace torvane
