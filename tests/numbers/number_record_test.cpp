// SPDX-License-Identifier: GPL-3.0-or-later
#include "numbers/number_record.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "core/conversion_error.h"

namespace torvane {
namespace {

using TRecord = std::array<uint8_t, kNumberRecordSize>;

TRecord Encode(const TNumberRowCells& row) {
  TRecord r;
  r.fill(0xAA);
  EXPECT_FALSE(EncodeNumberRecord(row, r.data()).has_value());
  return r;
}

TNumberRowCells Row(std::string number, std::string sd, std::string st, std::string ed, std::string et,
                    std::string always = "no", std::string del = "no") {
  return {number, sd, st, ed, et, always, del};
}

TEST(NumberRecordEncode, WindowRecordPutsYearsAfterTheTimes) {
  const TRecord r = Encode(Row("+8613912345678", "2024-05-06", "07:05", "2025-12-31", "23:59"));
  EXPECT_EQ(std::string(r.begin(), r.begin() + 14), "+8613912345678");
  for (int i = 14; i < 22; ++i) EXPECT_EQ(r[i], 0) << i;
  const std::vector<uint8_t> tail(r.begin() + 22, r.end());
  EXPECT_EQ(tail, (std::vector<uint8_t>{0x05, 0x06, 0x07, 0x05, 0x0C, 0x1F, 0x17, 0x3B, 0x18, 0x19}));
}

TEST(NumberRecordEncode, MarksWinOverTheWindow) {
  const TRecord always = Encode(Row("555", "2024-05-06", "07:05", "2025-12-31", "23:59", "yes"));
  EXPECT_EQ(std::string(always.begin(), always.begin() + 3), "555");
  EXPECT_EQ(std::vector<uint8_t>(always.begin() + 22, always.end()),
            (std::vector<uint8_t>{0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0x00, 0x63}));

  // Delete wins over everything, even a window that could not be converted.
  TRecord del = Encode(Row("555", "garbage", "x", "", "", "yes", "yes"));
  for (uint8_t b : del) EXPECT_EQ(b, 0xFF);
}

TEST(NumberRecordEncode, EmptyRowIsAllZero) {
  for (uint8_t b : Encode(Row("", "", "", "", ""))) EXPECT_EQ(b, 0);
}

TEST(NumberRecordEncode, LongNumberIsCutAndOneDigitTimePartsAreAccepted) {
  const TRecord r = Encode(Row("12345678901234567890123456", "2024/03/06", "7:5", "2030.01.02", "9:07"));
  EXPECT_EQ(std::string(r.begin(), r.begin() + 22), "1234567890123456789012");
  EXPECT_EQ((std::vector<uint8_t>(r.begin() + 22, r.end())),
            (std::vector<uint8_t>{3, 6, 7, 5, 1, 2, 9, 7, 24, 30}));
}

TEST(NumberRecordEncode, PartsThatAreNoNumbersAreNamed) {
  TRecord r;
  EXPECT_EQ(EncodeNumberRecord(Row("1", "2024-ab-06", "07:05", "2025-12-31", "23:59"), r.data()), "ab");
  EXPECT_EQ(EncodeNumberRecord(Row("1", "2024-05-06", "0705", "2025-12-31", "23:59"), r.data()), "");
  EXPECT_EQ(EncodeNumberRecord(Row("1", "2024-05-06", "07:05", "2025-12-31", "23:5x"), r.data()), "5x");
  EXPECT_EQ(EncodeNumberRecord(Row("1", "2024-05-06", "-1:05", "2025-12-31", "23:59"), r.data()), "-1");
  EXPECT_EQ(NotAnIntegerMessage("ab"), "'ab' is not a valid integer value");
}

TRecord Bytes(const std::string& number, std::vector<uint8_t> tail) {
  TRecord r{};
  std::copy(number.begin(), number.end(), r.begin());
  std::copy(tail.begin(), tail.end(), r.begin() + 22);
  return r;
}

TEST(NumberRecordDecode, WindowRecord) {
  const auto t = DecodeNumberRecord(
      Bytes("+8613912345678", {0x05, 0x06, 0x07, 0x05, 0x0C, 0x1F, 0x17, 0x3B, 0x18, 0x19}).data());
  EXPECT_EQ(t.Number, "+8613912345678");
  EXPECT_EQ(t.StartDate, "2024-05-06");
  EXPECT_EQ(t.StartTime, "07:05");
  EXPECT_EQ(t.EndDate, "2025-12-31");
  EXPECT_EQ(t.EndTime, "23:59");
  EXPECT_FALSE(t.Always);
}

TEST(NumberRecordDecode, AlwaysWhateverTheYearBytesHold) {
  for (uint8_t y0 : {0x00, 0x63, 0x18, 0xFF}) {
    const auto t =
        DecodeNumberRecord(Bytes("123", {0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0x63, y0, 0x07}).data());
    EXPECT_TRUE(t.Always) << int(y0);
    EXPECT_EQ(t.Number, "123");
    EXPECT_EQ(t.StartDate + t.StartTime + t.EndDate + t.EndTime, "");
  }
  // Seven of eight is a window, not a mark.
  EXPECT_FALSE(
      DecodeNumberRecord(Bytes("1", {0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0x62, 0, 0x63}).data())
          .Always);
}

TEST(NumberRecordDecode, DeletedAndEmptyRecordsReadAsEmptyRows) {
  TRecord deleted;
  deleted.fill(0xFF);
  TRecord zero{};
  for (const TRecord* r : {&deleted, &zero}) {
    const auto t = DecodeNumberRecord(r->data());
    EXPECT_EQ(t.Number + t.StartDate + t.StartTime + t.EndDate + t.EndTime, "");
    EXPECT_FALSE(t.Always);
  }
}

TEST(NumberRecordDecode, NumberEndsAtTheFirstOtherByteOrAfterTwentyTwo) {
  EXPECT_EQ(DecodeNumberRecord(Bytes("+12a45", {1, 1, 0, 0, 1, 1, 0, 0, 24, 24}).data()).Number, "+12");
  EXPECT_EQ(DecodeNumberRecord(Bytes(std::string(22, '7'), {1, 1, 0, 0, 1, 1, 0, 0, 24, 24}).data()).Number,
            std::string(22, '7'));
}

TEST(NumberRecordDecode, ZeroMonthOrDayGivesAnEmptyDateButTheTimeStays) {
  const auto t = DecodeNumberRecord(Bytes("555", {0, 6, 7, 5, 12, 0, 23, 59, 24, 25}).data());
  EXPECT_EQ(t.StartDate, "");
  EXPECT_EQ(t.EndDate, "");
  EXPECT_EQ(t.StartTime, "07:05");
  EXPECT_EQ(t.EndTime, "23:59");
}

TEST(NumberCellRange, HighlightRule) {
  EXPECT_TRUE(NumberCellOutOfRange(kColStartDate, "2024-13-01"));
  EXPECT_FALSE(NumberCellOutOfRange(kColStartDate, "2024-12-31"));
  EXPECT_TRUE(NumberCellOutOfRange(kColEndDate, "2024-12-32"));
  EXPECT_TRUE(NumberCellOutOfRange(kColStartTime, "24:00"));
  EXPECT_FALSE(NumberCellOutOfRange(kColEndTime, "23:59"));
  EXPECT_TRUE(NumberCellOutOfRange(kColEndTime, "23:60"));
  EXPECT_TRUE(NumberCellOutOfRange(kColStartDate, "not a date"));
  EXPECT_FALSE(NumberCellOutOfRange(kColStartDate, ""));
  EXPECT_FALSE(NumberCellOutOfRange(kColNumber, "99:99"));
}

TEST(NumberCellPickers, OnlyRealDatesAndTimesLoad) {
  const auto d = ParseNumberDate("2024-02-29");
  ASSERT_TRUE(d);
  EXPECT_EQ(d->Year * 10000 + d->Month * 100 + d->Day, 20240229);
  EXPECT_FALSE(ParseNumberDate("2023-02-29"));
  EXPECT_FALSE(ParseNumberDate("2024-04-31"));
  EXPECT_FALSE(ParseNumberDate("2024-13-01"));
  const auto t = ParseNumberTime("07:05");
  ASSERT_TRUE(t);
  EXPECT_EQ(t->Hour * 100 + t->Minute, 705);
  EXPECT_FALSE(ParseNumberTime("24:00"));
  EXPECT_EQ(FormatNumberDate(2024, 3, 6, '/'), "2024/03/06");
  EXPECT_EQ(FormatNumberTime(7, 5), "07:05");
}

// A file's dates and times must be ones the pickers could have written and the record can keep.
TEST(NumberCellPickers, SavableTextsAreThePickersOwnWithinTheDevicesYears) {
  const std::vector<std::pair<const char*, bool>> dates = {
      {"2024-05-06", true},   {"2024/05/06", true},  {"2000.01.01", true},  {"2099-12-31", true},
      {"2024-02-29", true},   {"2023-02-29", false}, {"1999-12-31", false}, {"2100-01-01", false},
      {"2024-5-06", false},   {"2024-05/06", false}, {"2024 05 06", false}, {"2024年05-06", false},
      {"2024-05-060", false}, {"", false},
  };
  for (const auto& [text, savable] : dates) EXPECT_EQ(ParseSavableDate(text).has_value(), savable) << text;
  const std::vector<std::pair<const char*, bool>> times = {
      {"00:00", true}, {"23:59", true},  {"24:00", false},    {"23:60", false},
      {"7:05", false}, {"07.05", false}, {"07:05:00", false},
  };
  for (const auto& [text, savable] : times) EXPECT_EQ(ParseSavableTime(text).has_value(), savable) << text;
}

}  // namespace
}  // namespace torvane
