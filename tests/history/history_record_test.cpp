// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/history_record.h"

#include <gtest/gtest.h>

#include "history_bytes.h"

namespace torvane {
namespace {

using testing::MakeRecord;
using testing::TRecordFields;

std::array<std::string, 7> Decode(const std::array<uint8_t, 128>& r, const char* cp = "CP1252") {
  TCodePage codePage(cp);
  return DecodeHistoryRecord(r.data(), codePage);
}

TEST(HistoryRecord, DecodesEveryFieldOfAnOrdinaryRecord) {
  TRecordFields s;
  s.Number = 513;
  const auto c = Decode(MakeRecord(s));
  EXPECT_EQ(c[0], "513");
  EXPECT_EQ(c[1], "2024-03-07");
  EXPECT_EQ(c[2], "08:15:00");
  EXPECT_EQ(c[3], "SMS");
  EXPECT_EQ(c[4], "Relay ON");
  EXPECT_EQ(c[5], "+123");
  EXPECT_EQ(c[6], "Door");
}

TEST(HistoryRecord, NumberIsLittleEndianAndFourFFMeanNone) {
  auto r = MakeRecord({});
  r[0] = 0x01, r[1] = 0x02, r[2] = 0x00, r[3] = 0x00;
  EXPECT_EQ(Decode(r)[0], "513");
  r[0] = r[1] = r[2] = r[3] = 0xFF;
  const auto c = Decode(r);
  EXPECT_EQ(c[0], "");
  EXPECT_EQ(c[1], "2024-03-07");  // the rest of the record still decodes
  r[0] = 0xFE;                    // not all four: a signed value
  EXPECT_EQ(Decode(r)[0], "-2");
}

TEST(HistoryRecord, YearZeroIsAnEmptySlot) {
  auto r = MakeRecord({});
  r[4] = 0;
  for (const auto& cell : Decode(r)) EXPECT_EQ(cell, "");
}

TEST(HistoryRecord, ErasedSlotLeavesOnlyTheFFContent) {
  std::array<uint8_t, 128> r;
  r.fill(0xFF);
  const auto c = Decode(r);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(c[i], "") << i;
  std::string ff;
  for (int i = 0; i < 41; ++i) ff += "\xC3\xBF";  // 0xFF is y with diaeresis in CP1252
  EXPECT_EQ(c[6], ff);
}

TEST(HistoryRecord, DateAndTimeNeedAllThreeBytesReadable) {
  auto r = MakeRecord({});
  r[6] = 0xFF;
  r[8] = 0xFF;
  auto c = Decode(r);
  EXPECT_EQ(c[1], "");
  EXPECT_EQ(c[2], "");
  EXPECT_EQ(c[0], "1");
}

TEST(HistoryRecord, FieldsAboveNinetyNineAreWrittenInFull) {
  TRecordFields s;
  s.Month = 171;
  s.Hour = 200;
  s.Day = 5;
  const auto c = Decode(MakeRecord(s));
  EXPECT_EQ(c[1], "2024-171-05");
  EXPECT_EQ(c[2], "200:15:00");
}

TEST(HistoryRecord, ExecutantStopsAtTheFirstOtherByte) {
  TRecordFields s;
  s.Executant = "+1234567";
  EXPECT_EQ(Decode(MakeRecord(s))[5], "+1234567");
  s.Executant = "12A34";
  EXPECT_EQ(Decode(MakeRecord(s))[5], "12");
  s.Executant = std::string(22, '9');
  auto r = MakeRecord(s);
  r[34] = '7';  // the content's first byte is a digit too, but not part of the number
  EXPECT_EQ(Decode(r)[5], std::string(22, '9'));
}

TEST(HistoryRecord, ContentIsCutAtFortyOneBytesOrAZero) {
  TRecordFields s;
  s.Content = std::string(41, 'x');
  auto r = MakeRecord(s);
  for (int i = 75; i < 128; ++i) r[i] = 'y';  // the unused tail never shows
  EXPECT_EQ(Decode(r)[6], std::string(41, 'x'));
  s.Content = std::string("ab\0cd", 5);
  EXPECT_EQ(Decode(MakeRecord(s))[6], "ab");
}

TEST(HistoryRecord, ContentIsCodePageText) {
  TRecordFields s;
  s.Content = "\xC3\xC5\xBF\xAA";  // "门开" in CP936
  EXPECT_EQ(Decode(MakeRecord(s), "CP936")[6], "\xE9\x97\xA8\xE5\xBC\x80");
  s.Content = "caf\xE9";
  EXPECT_EQ(Decode(MakeRecord(s), "CP1252")[6], "caf\xC3\xA9");
}

TEST(HistoryRecord, PlaceActionsReplaceTheSource) {
  struct {
    uint8_t Source, Action;
    const char *From, *What;
  } cases[] = {
      {1, 6, "Power supply", "Power failure"},
      {3, 9, "Power supply", "Power recovery"},
      {0, 4, "DIN1", "DIN1 Alarm"},
      {2, 5, "DIN2", "DIN2 Alarm"},
      {0, 0, "COM Port", "Add number"},
      {2, 1, "GPRS", "Delete Number"},
      {3, 3, "Telephone", "Relay OFF"},
      {1, 7, "SMS", "Arm"},
      {1, 8, "SMS", "Disarm"},
      {9, 10, "", ""},
  };
  for (const auto& k : cases) {
    TRecordFields s;
    s.Source = k.Source;
    s.Action = k.Action;
    const auto c = Decode(MakeRecord(s));
    EXPECT_EQ(c[3], k.From) << int(k.Source) << "/" << int(k.Action);
    EXPECT_EQ(c[4], k.What) << int(k.Source) << "/" << int(k.Action);
  }
}

}  // namespace
}  // namespace torvane
