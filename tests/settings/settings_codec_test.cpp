// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/settings_codec.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>

#include "core/codepage.h"
#include "core/grid.h"
#include "settings/basic_inf.h"
#include "settings/settings_lists.h"
#include "settings/settings_table.h"

namespace torvane {
namespace {

using TPage = std::array<uint8_t, kSettingsPageSize>;

class SettingsCodec : public ::testing::Test {
 protected:
  SettingsCodec() { SetUpSettingsGrid(grid, lists); }

  TPage Encode(int page) {
    TPage out;
    out.fill(0xAA);
    auto fault = EncodeSettingsPage(page, grid, lists, cp, out);
    EXPECT_FALSE(fault.has_value()) << "page " << page << " refused";
    return out;
  }
  void Decode(int page, const TPage& bytes) {
    for (const TSettingDef& p : SettingsTable()) DecodeSettingOnPage(p, page, bytes, grid, lists, cp);
  }
  std::string Content(int row) const { return grid.Cell(kContentCol, row); }
  void SetContent(int row, std::string text) { grid.SetCell(kContentCol, row, std::move(text)); }
  static std::string Bytes(const TPage& p, int offset, int size) {
    return std::string(reinterpret_cast<const char*>(p.data()) + offset, size);
  }
  static void Put(TPage& p, int offset, const std::string& s) {
    std::memcpy(p.data() + offset, s.data(), s.size());
  }

  TCodePage cp{"CP1252"};
  TGrid grid{3, kSettingsRowCount};
  TSettingsLists lists;
};

TEST_F(SettingsCodec, DefaultsGoOutByteExactOnEveryPage) {
  const TPage p1 = Encode(1);
  EXPECT_EQ(Bytes(p1, 0, 4), "6853");
  EXPECT_EQ(Bytes(p1, 4, 22), std::string(22, '\0'));
  EXPECT_EQ(p1[26], 1);
  EXPECT_EQ(p1[27], 1);
  EXPECT_EQ(Bytes(p1, 28, 25), std::string("Unauthorized door opened") + '\0');
  EXPECT_EQ(Bytes(p1, 68, 11), std::string("DIN2 Alarm") + '\0');
  EXPECT_EQ(Bytes(p1, 108, 2), std::string("\x0A\x00", 2));
  EXPECT_EQ(p1[110], 1);  // authorization list
  EXPECT_EQ(p1[111], 0);  // arm list
  EXPECT_EQ(Bytes(p1, 112, 4), std::string(4, '\0'));
  EXPECT_EQ(p1[116], 3);
  EXPECT_EQ(p1[117], 3);
  EXPECT_EQ(Bytes(p1, 118, 9), std::string("Relay ON") + '\0');
  EXPECT_EQ(Bytes(p1, 158, 10), std::string("Relay OFF") + '\0');
  EXPECT_EQ(Bytes(p1, 198, 6), std::string("\x0F\x27\xE7\x03\x00\x00", 6));  // 9999, 999, 0
  EXPECT_EQ(Bytes(p1, 204, 52), std::string(52, '\0'));

  const TPage p2 = Encode(2);
  EXPECT_EQ(Bytes(p2, 78, 2), std::string("\x3C\x00", 2));  // heartbeat 60
  for (int i = 0; i < kSettingsPageSize; ++i)
    if (i != 78) {
      EXPECT_EQ(p2[i], 0) << "page 2 byte " << i;
    }
  const TPage p3 = Encode(3);
  for (int i = 0; i < kSettingsPageSize; ++i) EXPECT_EQ(p3[i], 0) << "page 3 byte " << i;
}

TEST_F(SettingsCodec, DigitTextsStopAtTheFirstOtherByte) {
  TPage p{};
  Put(p, 0, std::string("\x31\x32\x00\x39", 4));
  Put(p, 4, "+8613912345678x99");
  Decode(1, p);
  EXPECT_EQ(Content(1), "12");
  EXPECT_EQ(Content(2), "+8613912345678");

  // Twenty-two digits fill the field with no terminating zero.
  const std::string sim = "8613912345678901234567";
  SetContent(2, sim);
  lists.SetItemIndex(lists.Din1, 1);
  const TPage out = Encode(1);
  EXPECT_EQ(Bytes(out, 4, 22), sim);
  EXPECT_EQ(out[26], 1);  // the next field is untouched
  Decode(1, out);
  EXPECT_EQ(Content(2), sim);
}

TEST_F(SettingsCodec, RelayTimerIsStoredTwiceAndTheSecondCopyIsShown) {
  TPage p{};
  p[112] = 5;
  p[114] = 7;
  Decode(1, p);
  EXPECT_EQ(Content(10), "7");
  const TPage out = Encode(1);
  EXPECT_EQ(Bytes(out, 112, 4), std::string("\x07\x00\x07\x00", 4));
}

TEST_F(SettingsCodec, ListBytesBecomeItemIndexesAndNoSelectionGoesBackAsFF) {
  TPage p{};
  p[26] = 0xFF;
  p[27] = 0;
  p[110] = 0;
  p[111] = 1;
  p[116] = 2;
  p[117] = 9;  // beyond the items
  Decode(1, p);
  EXPECT_EQ(lists.Din1.ItemIndex, -1);
  EXPECT_EQ(lists.Din2.Text(), "0:NC ");
  EXPECT_EQ(lists.Authorization.ItemIndex, 0);
  EXPECT_EQ(lists.Arm.Text(), "1:Arm");
  EXPECT_EQ(lists.NotifyOn.Text(), "2:Caller Number");
  EXPECT_EQ(lists.NotifyOff.ItemIndex, -1);
  for (TListChoice* l : lists.All()) EXPECT_TRUE(l->Visible) << l->Row;
  const TPage out = Encode(1);
  EXPECT_EQ(out[26], 0xFF);
  EXPECT_EQ(out[27], 0);
  EXPECT_EQ(out[110], 0);
  EXPECT_EQ(out[111], 1);
  EXPECT_EQ(out[116], 2);
  EXPECT_EQ(out[117], 0xFF);
}

TEST_F(SettingsCodec, NumbersAreLittleEndianAndEmptyCellsGoOutAsZero) {
  TPage p{};
  p[236] = 0xFF;
  p[237] = 0xFF;
  p[198] = 0x34;
  p[199] = 0x12;
  Decode(1, p);
  EXPECT_EQ(Content(19), "65535");
  EXPECT_EQ(Content(17), "4660");
  SetContent(19, "");
  SetContent(7, "0");
  const TPage out = Encode(1);
  EXPECT_EQ(Bytes(out, 236, 2), std::string(2, '\0'));
  EXPECT_EQ(Bytes(out, 198, 2), "\x34\x12");
}

TEST_F(SettingsCodec, FfEndedTextKeepsInnerZerosAndWritesTheSameBytesBack) {
  TPage p{};
  std::string ip = "10.0.0.1";
  ip.resize(32, '\0');
  Put(p, 204, ip);
  Put(p, 46, std::string("us\0er\xFF", 6));
  Decode(1, p);
  Decode(2, p);
  // The zeros after the address are padding: they do not stay in the cell as invisible characters.
  EXPECT_EQ(Content(18), "10.0.0.1");
  EXPECT_EQ(Content(21), std::string("us\0er", 5));
  EXPECT_EQ(Bytes(Encode(1), 204, 32), ip);
  EXPECT_EQ(Bytes(Encode(2), 46, 16), std::string("us\0er", 5) + std::string(11, '\0'));
}

TEST_F(SettingsCodec, ApnRunsFromPageOneIntoPageTwo) {
  const std::string apn = "internet.example.cn";  // 19 bytes
  SetContent(20, apn + "x");                      // 20
  const TPage p1 = Encode(1), p2 = Encode(2);
  EXPECT_EQ(Bytes(p1, 238, 18), apn.substr(0, 18));
  EXPECT_EQ(Bytes(p2, 0, 3), std::string("nx\0", 3));

  TPage r1{}, r2{};
  r1 = p1;
  r2.fill(0xFF);
  r2[0] = 'n';
  r2[1] = 'x';
  SetContent(20, "old");
  Decode(1, r1);
  EXPECT_EQ(Content(20), apn.substr(0, 18));
  Decode(2, r2);
  EXPECT_EQ(Content(20), apn + "x");
  // A second page without the first appends to what the cell holds.
  Decode(2, r2);
  EXPECT_EQ(Content(20), apn + "xnx");
}

TEST_F(SettingsCodec, ShortApnLeavesPageTwoEmpty) {
  SetContent(20, "cmnet");
  EXPECT_EQ(Bytes(Encode(1), 238, 18), std::string("cmnet") + std::string(13, '\0'));
  EXPECT_EQ(Bytes(Encode(2), 0, 46), std::string(46, '\0'));
}

TEST_F(SettingsCodec, CodePageTextsEndWithAZeroUnlessTheyFillTheField) {
  const std::string forty(40, 'A');
  SetContent(13, "Relay ON");
  SetContent(5, forty);
  SetContent(6, "B");
  const TPage out = Encode(1);
  EXPECT_EQ(Bytes(out, 118, 10), std::string("Relay ON\0\0", 10));
  EXPECT_EQ(Bytes(out, 28, 41), forty + "B");
  SetContent(5, "");
  SetContent(13, "");
  Decode(1, out);
  EXPECT_EQ(Content(5), forty);
  EXPECT_EQ(Content(13), "Relay ON");
}

TEST_F(SettingsCodec, CodePageTextUnitAtTheLastPositionBorrowsTheNextFieldsByte) {
  // A space opens a two-byte unit; at the field's last position its second byte is the next field's.
  TPage p{};
  Put(p, 28, std::string(39, 'a') + " ");
  Put(p, 68, "Zone 2");
  Decode(1, p);
  EXPECT_EQ(Content(5), std::string(39, 'a') + " Z");
  // Saving writes only the field's own 40 bytes.
  const TPage out = Encode(1);
  EXPECT_EQ(Bytes(out, 28, 40), std::string(39, 'a') + " ");
  EXPECT_EQ(Bytes(out, 68, 7), std::string("Zone 2\0", 7));
}

TEST_F(SettingsCodec, TwoByteAlarmTextRoundTripsInCp936) {
  TCodePage gbk("CP936");
  TGrid g{3, kSettingsRowCount};
  TSettingsLists l;
  SetUpSettingsGrid(g, l);
  const std::string text = "大门 已打开 Door 1";
  const std::string bytes = gbk.FromUtf8(text);
  ASSERT_EQ(bytes.size(), 18u);
  TPage p{};
  Put(p, 28, bytes);
  for (const TSettingDef& d : SettingsTable()) DecodeSettingOnPage(d, 1, p, g, l, gbk);
  EXPECT_EQ(g.Cell(kContentCol, 5), text);
  TPage out{};
  ASSERT_FALSE(EncodeSettingsPage(1, g, l, gbk, out).has_value());
  EXPECT_EQ(Bytes(out, 28, 19), bytes + '\0');
}

TEST_F(SettingsCodec, PrintableTextsStopOutsideAsciiAndTheMqttPasswordEndsOnPageThree) {
  TPage p2{}, p3{};
  Put(p2, 80, std::string("abcd\xFF\xFF", 6));
  Put(p2, 144, std::string("user\x80z", 6));
  Put(p2, 208, std::string(48, 'p'));
  Put(p3, 0, std::string("q\x01r\xFF", 4));  // page 3 reads the tail up to 0xFF, whatever the bytes
  Put(p3, 16, "topic/pub");
  Put(p3, 80, "topic/sub");
  Decode(2, p2);
  Decode(3, p3);
  EXPECT_EQ(Content(24), "abcd");
  EXPECT_EQ(Content(25), "user");
  EXPECT_EQ(Content(26), std::string(48, 'p') + "q\x01r");
  EXPECT_EQ(Content(27), "topic/pub");
  EXPECT_EQ(Content(28), "topic/sub");

  const TPage o2 = Encode(2), o3 = Encode(3);
  EXPECT_EQ(Bytes(o2, 208, 48), std::string(48, 'p'));
  EXPECT_EQ(Bytes(o3, 0, 4), std::string("q\x01r\0", 4));
  EXPECT_EQ(Bytes(o3, 16, 10), std::string("topic/pub\0", 10));
}

TEST_F(SettingsCodec, NumberCellsThatDoNotFitAreRefusedWithTheirParameter) {
  TPage out{};
  SetContent(19, "70000");
  auto fault = EncodeSettingsPage(1, grid, lists, cp, out);
  ASSERT_TRUE(fault.has_value());
  EXPECT_EQ(fault->Reason, TEncodeFault::OutOfRange);
  EXPECT_EQ(fault->Param->Row, 19);
  EXPECT_EQ(fault->Text, "70000");

  SetContent(19, "-1");
  fault = EncodeSettingsPage(1, grid, lists, cp, out);
  ASSERT_TRUE(fault.has_value());
  EXPECT_EQ(fault->Reason, TEncodeFault::OutOfRange);

  SetContent(19, "80a");
  fault = EncodeSettingsPage(1, grid, lists, cp, out);
  ASSERT_TRUE(fault.has_value());
  EXPECT_EQ(fault->Reason, TEncodeFault::NotAnInteger);

  SetContent(19, "65535");
  SetContent(23, "9999999");
  EXPECT_FALSE(EncodeSettingsPage(1, grid, lists, cp, out).has_value());
  fault = EncodeSettingsPage(2, grid, lists, cp, out);
  ASSERT_TRUE(fault.has_value());
  EXPECT_EQ(fault->Param->Row, 23);
}

TEST(SettingsInteger, ParsesLikeTheApplicationsConversion) {
  EXPECT_EQ(ParseInteger("42"), 42);
  EXPECT_EQ(ParseInteger("  +7"), 7);
  EXPECT_EQ(ParseInteger("-12"), -12);
  EXPECT_EQ(ParseInteger("2147483647"), 2147483647);
  EXPECT_FALSE(ParseInteger("2147483648").has_value());
  EXPECT_FALSE(ParseInteger("").has_value());
  EXPECT_FALSE(ParseInteger("-").has_value());
  EXPECT_FALSE(ParseInteger("12 ").has_value());
  EXPECT_FALSE(ParseInteger("1e3").has_value());
}

TEST(SettingsTableLayout, FieldsFitTheirPagesAndNeverOverlap) {
  std::array<std::array<int, kSettingsPageSize>, kSettingsPageCount> owner{};
  for (const TSettingDef& d : SettingsTable()) {
    ASSERT_EQ(SettingForRow(d.Row), &d);
    for (const TFieldPart& part : d.Parts()) {
      ASSERT_GE(part.Page, 1);
      ASSERT_LE(part.Page, kSettingsPageCount);
      ASSERT_LE(part.Offset + part.Size, kSettingsPageSize) << d.Label;
      for (int i = part.Offset; i < part.Offset + part.Size; ++i) {
        EXPECT_EQ(owner[part.Page - 1][i], 0)
            << d.Label << " overlaps at page " << part.Page << " byte " << i;
        owner[part.Page - 1][i] = d.Row;
      }
    }
  }
  // Page 3 uses bytes 0..143 only.
  for (int i = 144; i < kSettingsPageSize; ++i) EXPECT_EQ(owner[2][i], 0);
}

}  // namespace
}  // namespace torvane
