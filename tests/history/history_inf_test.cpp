// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/history_inf.h"

#include <gtest/gtest.h>

#include "history_bytes.h"
#include "support/fakes.h"

namespace torvane {
namespace {

using testing::EmptySlot;
using testing::MakeFrame;
using testing::MakePage;
using testing::MakeRecord;
using testing::TRecordFields;

class HistoryTransfer : public ::testing::Test {
 protected:
  testing::TFakeSession f;
  TSession& s = *f.Session;
  THistoryInf& h = s.History;
  TGrid& g = s.HistoryGrid;

  // The device's reply to a read of `page`, byte by byte through the receive side.
  void Reply(int page, const std::vector<uint8_t>& payload) {
    f.Feed(MakeFrame(CMD_READ, kHistoryBase + (page - 1) * 256, payload));
  }
  static std::vector<uint8_t> Empty() { return MakePage(EmptySlot(), EmptySlot()); }
  static std::array<uint8_t, 128> Rec(uint32_t number, uint8_t year = 24) {
    TRecordFields fields;
    fields.Number = number;
    fields.Year = year;
    fields.Content = "event " + std::to_string(number);
    return MakeRecord(fields);
  }
  std::vector<std::string> Numbers() const {
    std::vector<std::string> v;
    for (int row = 1; row <= 1000; ++row)
      if (!g.Cell(kHisNumber, row).empty()) v.push_back(std::to_string(row) + ":" + g.Cell(kHisNumber, row));
    return v;
  }
};

TEST_F(HistoryTransfer, ReadDataAsksForPageOneAndEachReplyForTheNext) {
  s.UnlockControls();
  h.StartRead();
  ASSERT_EQ(f.Port.Sent.size(), 1u);
  EXPECT_EQ(f.Port.Sent[0], MakeFrame(CMD_READ, 0x30000, {}));
  EXPECT_EQ(h.PageCount(), 500);
  EXPECT_EQ(h.NextPage(), 2);
  EXPECT_EQ(f.StatusView.Text, "Reading historical data");
  EXPECT_TRUE(s.ReplyTimer->Enabled());
  EXPECT_TRUE(f.Operator.Questions.empty());  // no confirmation

  Reply(1, Empty());
  ASSERT_EQ(f.Port.Sent.size(), 2u);
  EXPECT_EQ(f.Port.Sent[1], MakeFrame(CMD_READ, 0x30100, {}));
  EXPECT_EQ(h.NextPage(), 3);
  for (int page = 2; page <= 499; ++page) Reply(page, Empty());
  EXPECT_EQ(f.Port.Sent.back(), MakeFrame(CMD_READ, 0x30000 + 499 * 256, {}));
  EXPECT_EQ(f.Port.Sent.size(), 500u);
  Reply(500, Empty());
  EXPECT_EQ(f.Port.Sent.size(), 500u);  // the last reply asks for nothing more
  EXPECT_EQ(h.NextPage(), 501);
  EXPECT_FALSE(s.Exchange.Busy());
  EXPECT_EQ(f.Operator.Messages, (std::vector<std::string>{"Historical data read to PC software success."}));
  EXPECT_EQ(f.StatusView.Text, "Reading historical data:500/500");
  EXPECT_FALSE(f.StatusView.ProgressVisible);
}

TEST_F(HistoryTransfer, EachPageFillsItsOwnTwoRows) {
  const auto last = MakePage(Rec(7), Rec(8));
  DecodeHistoryPage(g, 999, last.data(), TCodePage::System());
  EXPECT_EQ(g.Cell(kHisNumber, 999), "7");
  EXPECT_EQ(g.Cell(kHisNumber, 1000), "8");
  const auto second = MakePage(Rec(3), EmptySlot());
  DecodeHistoryPage(g, 3, second.data(), TCodePage::System());
  EXPECT_EQ(g.Cell(kHisNumber, 3), "3");
  EXPECT_EQ(g.Cell(kHisContent, 3), "event 3");
  EXPECT_EQ(g.Cell(kHisNumber, 4), "");
  EXPECT_EQ(g.Cell(kHisSerial, 3), "3");
}

TEST_F(HistoryTransfer, AnEmptyPageEmptiesBothRows) {
  for (int c = 1; c < 8; ++c) g.SetCell(c, 1, "old"), g.SetCell(c, 2, "old");
  h.StartRead();
  Reply(1, Empty());
  for (int c = 1; c < 8; ++c) {
    EXPECT_EQ(g.Cell(c, 1), "") << c;
    EXPECT_EQ(g.Cell(c, 2), "") << c;
  }
}

TEST_F(HistoryTransfer, AShortReplyIsAskedForAgainAndDecodesNothing) {
  s.UnlockControls();
  h.StartRead();
  Reply(1, MakePage(Rec(1), Rec(2)));
  for (int c = 1; c < 8; ++c) g.SetCell(c, 4, "kept");
  // Page 2 carries its first record only.
  const auto first = Rec(3);
  Reply(2, std::vector<uint8_t>(first.begin(), first.end()));
  EXPECT_EQ(g.Cell(kHisNumber, 2), "2");
  EXPECT_EQ(g.Cell(kHisNumber, 3), "");
  EXPECT_EQ(g.Cell(kHisContent, 4), "kept");
  ASSERT_EQ(f.Port.Sent.size(), 3u);
  EXPECT_EQ(f.Port.Sent.back(), MakeFrame(CMD_READ, 0x30100, {}));
  Reply(2, MakePage(Rec(3), Rec(4)));
  EXPECT_EQ(g.Cell(kHisNumber, 4), "4");
  EXPECT_EQ(f.Port.Sent.back(), MakeFrame(CMD_READ, 0x30200, {}));
}

TEST_F(HistoryTransfer, FullReadCompactsRecordsToTheTopInPageOrder) {
  for (int c = 1; c < 8; ++c) g.SetCell(c, 900, "stale");
  h.StartRead();
  Reply(1, MakePage(Rec(10), Rec(11)));
  Reply(2, MakePage(Rec(12), Rec(13)));
  Reply(3, MakePage(Rec(14), Rec(15)));
  for (int page = 4; page <= 500; ++page) Reply(page, Empty());
  const std::vector<std::string> expected{"1:10", "2:11", "3:12", "4:13", "5:14", "6:15"};
  EXPECT_EQ(Numbers(), expected);
  for (int row = 7; row <= 1000; ++row)
    for (int c = 1; c < 8; ++c) ASSERT_EQ(g.Cell(c, row), "") << row << "/" << c;
  EXPECT_EQ(g.Cell(kHisSerial, 900), "900");
  EXPECT_EQ(g.Cell(kHisContent, 6), "event 15");
}

TEST_F(HistoryTransfer, CompactionDropsUnnumberedAndFarFutureRows) {
  h.StartRead();
  auto noNumber = Rec(1);
  noNumber[0] = noNumber[1] = noNumber[2] = noNumber[3] = 0xFF;
  std::array<uint8_t, 128> erased;
  erased.fill(0xFF);
  Reply(1, MakePage(noNumber, erased));
  Reply(2, MakePage(Rec(2, 80), Rec(3, 79)));
  auto noDate = Rec(4);
  noDate[5] = 0xFF;  // a numbered record whose date cannot be shown
  Reply(3, MakePage(noDate, Rec(5, 99)));
  for (int page = 4; page <= 500; ++page) Reply(page, Empty());
  const std::vector<std::string> expected{"1:3", "2:4"};
  EXPECT_EQ(Numbers(), expected);
  EXPECT_EQ(g.Cell(kHisDate, 1), "2079-03-07");
  EXPECT_EQ(g.Cell(kHisDate, 2), "");
  EXPECT_EQ(g.Cell(kHisContent, 2), "event 4");
}

TEST_F(HistoryTransfer, TimeoutStopsTheReadWhereItIs) {
  s.UnlockControls();
  for (int c = 1; c < 8; ++c) g.SetCell(c, 9, "earlier");
  h.StartRead();
  Reply(1, MakePage(EmptySlot(), Rec(2)));
  Reply(2, MakePage(Rec(3), Rec(4)));
  ASSERT_TRUE(s.Exchange.Busy());
  f.Timers.Advance(3 * 3000);
  EXPECT_EQ(f.Operator.LastMessage(), "Receive timeout");
  EXPECT_FALSE(s.Exchange.Busy());
  // Decoded pages stay where they were decoded; nothing was compacted.
  EXPECT_EQ(g.Cell(kHisNumber, 1), "");
  EXPECT_EQ(g.Cell(kHisNumber, 2), "2");
  EXPECT_EQ(g.Cell(kHisNumber, 4), "4");
  EXPECT_EQ(g.Cell(kHisNumber, 9), "earlier");
  const size_t sent = f.Port.Sent.size();
  f.Timers.Advance(10000);
  EXPECT_EQ(f.Port.Sent.size(), sent);

  // Pressing again starts over from page 1.
  h.StartRead();
  EXPECT_EQ(f.Port.Sent.back(), MakeFrame(CMD_READ, 0x30000, {}));
  EXPECT_EQ(h.NextPage(), 2);
}

TEST_F(HistoryTransfer, StrayRepliesNeitherRequestNorWriteAnything) {
  Reply(1, MakePage(Rec(1), Rec(2)));  // no read was started
  EXPECT_TRUE(f.Port.Sent.empty());
  EXPECT_EQ(g.Cell(kHisNumber, 1), "");
  h.StartRead();
  const auto page = MakePage(Rec(7), Rec(8));
  for (uint32_t address : {kHistoryBase + 500 * 256, 0x2FF00, 0x30100})
    f.Feed(MakeFrame(CMD_READ, address, page));
  EXPECT_TRUE(Numbers().empty());
  EXPECT_EQ(f.Port.Sent.size(), 1u);
}

}  // namespace
}  // namespace torvane
