// SPDX-License-Identifier: GPL-3.0-or-later
// Reading, cutting short and deleting the event log of the virtual device through the real serial
// component over a pseudo-terminal.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "history/history_delete.h"
#include "history/history_inf.h"
#include "support/e2e_harness.h"

namespace torvane::testing {
namespace {

using Texts = std::vector<std::string>;

std::string Two(int v) {
  char s[8];
  std::snprintf(s, sizeof s, "%02d", v);
  return s;
}

// No., Date and Time of a stored record as the operator should see them, read straight from the
// bytes; empty No. when the slot holds no record.
struct TExpected {
  std::string Number, Date, Time;
};
TExpected Expect(const device::THistoryRecord& r) {
  TExpected e;
  if (r[4] == 0 || (r[0] == 0xFF && r[1] == 0xFF && r[2] == 0xFF && r[3] == 0xFF)) return e;
  e.Number = std::to_string(r[0] | r[1] << 8 | r[2] << 16 | r[3] << 24);
  e.Date = "20" + Two(r[4]) + "-" + Two(r[5]) + "-" + Two(r[6]);
  e.Time = Two(r[7]) + ":" + Two(r[8]) + ":" + Two(r[9]);
  return e;
}

struct HistoryE2e : ::testing::Test {
  TE2eHarness H;
  TGrid& Grid() { return H.Session().HistoryGrid; }
  THistoryInf& History() { return H.Session().History; }

  void SetUp() override {
    ASSERT_TRUE(H.Start()) << H.Problem();
    ASSERT_TRUE(H.LogIn("6853"));
    ASSERT_TRUE(H.Session().Unlocked());
    H.Operator.Messages.clear();
  }
  void FillGrid(const std::string& text) {
    for (int row = 1; row <= 1000; ++row)
      for (int c = 1; c < 8; ++c) Grid().SetCell(c, row, text);
  }
  bool GridEmpty() {
    for (int row = 1; row <= 1000; ++row)
      for (int c = 1; c < 8; ++c)
        if (!Grid().Cell(c, row).empty()) return false;
    return true;
  }
};

TEST_F(HistoryE2e, FullReadShowsTheDeviceLogInPageOrder) {
  H.Device.Populate(0, 640, 7);
  const auto memory = H.Device.Memory();
  std::vector<TExpected> expected;
  for (int i = 0; i < device::kHistoryRecords; ++i) {
    const auto e = Expect(memory.HistoryRecord(i));
    if (!e.Number.empty()) expected.push_back(e);
  }
  ASSERT_EQ(expected.size(), 640u);
  FillGrid("before");

  History().StartRead();
  ASSERT_TRUE(H.PumpUntilIdle(60000));
  EXPECT_EQ(H.Operator.Messages, (Texts{"Historical data read to PC software success."}));
  // The device counts an answer once its last byte is out, which may be after the program took it.
  EXPECT_TRUE(H.Device.WaitFor([](const device::TDeviceCounters& c) { return c.Answered >= 1u + 500u; }));
  EXPECT_EQ(H.Device.Counters().Answered, 1u + 500u);
  EXPECT_EQ(History().NextPage(), 501);

  for (size_t i = 0; i < expected.size(); ++i) {
    const int row = static_cast<int>(i) + 1;
    ASSERT_EQ(Grid().Cell(kHisNumber, row), expected[i].Number) << row;
    ASSERT_EQ(Grid().Cell(kHisDate, row), expected[i].Date) << row;
    ASSERT_EQ(Grid().Cell(kHisTime, row), expected[i].Time) << row;
    ASSERT_FALSE(Grid().Cell(kHisAction, row).empty()) << row;
  }
  for (int row = static_cast<int>(expected.size()) + 1; row <= 1000; ++row)
    for (int c = 1; c < 8; ++c) ASSERT_EQ(Grid().Cell(c, row), "") << row << "/" << c;
  EXPECT_EQ(Grid().Cell(kHisSerial, 1000), "1000");

  const auto& status = H.StatusView.History;
  EXPECT_NE(std::find(status.begin(), status.end(), "Reading historical data:1/500"), status.end());
  EXPECT_NE(std::find(status.begin(), status.end(), "Reading historical data:500/500"), status.end());
  EXPECT_FALSE(H.StatusView.ProgressVisible);
}

TEST_F(HistoryE2e, TimeoutMidReadKeepsDecodedPagesAndDoesNotCompact) {
  H.Device.Populate(0, 900, 3);
  const auto memory = H.Device.Memory();
  H.Device.AddFault({.Kind = device::TFaultKind::Silence,
                     .Command = CMD_READ,
                     .Region = device::TRegion::History,
                     .Page = 120,
                     .Count = 3});
  FillGrid("before");
  // The device counts the login's last request as handled only once its answer is out, which may be
  // after the program took that answer: count from when it has caught up.
  ASSERT_TRUE(H.Device.WaitFor([](const device::TDeviceCounters& c) { return c.Handled >= c.Received; }));
  const uint64_t handledBefore = H.Device.Counters().Handled;

  History().StartRead();
  // Replies to pages 1..119 are pumped as they come; the request for page 120 goes unanswered.
  ASSERT_TRUE(H.PumpUntil([&] { return H.Device.Counters().Handled >= handledBefore + 120; }, 60000));
  H.DrainFor(100);
  EXPECT_TRUE(H.Exchange().Busy());
  EXPECT_TRUE(H.Operator.Messages.empty());
  for (int repeat = 1; repeat <= 2; ++repeat) {
    H.Timers.Advance(3000);
    ASSERT_TRUE(H.PumpUntil([&] { return H.Device.Counters().Handled >= handledBefore + 120 + repeat; }));
  }
  H.Timers.Advance(3000);
  EXPECT_EQ(H.Operator.Messages, (Texts{"Receive timeout"}));
  EXPECT_FALSE(H.Exchange().Busy());

  // Rows of pages 1..119 hold their own slots, holes included; the rest is untouched.
  int holes = 0;
  for (int row = 1; row <= 238; ++row) {
    const auto e = Expect(memory.HistoryRecord(row - 1));
    holes += e.Number.empty();
    ASSERT_EQ(Grid().Cell(kHisNumber, row), e.Number) << row;
    ASSERT_EQ(Grid().Cell(kHisDate, row), e.Date) << row;
  }
  EXPECT_GT(holes, 0);  // uncompacted: the empty slots are still in place
  for (int row = 239; row <= 1000; ++row) ASSERT_EQ(Grid().Cell(kHisContent, row), "before") << row;

  H.DrainFor(100);
  EXPECT_EQ(H.Device.Counters().Received, handledBefore + 122);  // page 120 three times, then nothing
}

TEST_F(HistoryE2e, DeleteAllCancelledSendsNothing) {
  H.Device.Populate(0, 50, 1);
  const auto before = H.Device.History();
  const uint64_t received = H.Device.Counters().Received;
  H.Operator.WarnAnswer = false;
  EXPECT_FALSE(DeleteAllHistory(H.Operator, H.Session().DeleteHistory));
  EXPECT_EQ(H.Operator.Questions.back(), kDeleteHistoryWarning);
  EXPECT_FALSE(H.Exchange().Busy());
  H.DrainFor(100);
  EXPECT_EQ(H.Device.Counters().Received, received);
  EXPECT_EQ(H.Device.History(), before);
}

TEST_F(HistoryE2e, DeleteAllConfirmedErasesTheLog) {
  H.Device.Populate(0, 50, 1);
  History().StartRead();
  ASSERT_TRUE(H.PumpUntilIdle(60000));
  ASSERT_EQ(Grid().Cell(kHisNumber, 50), "50");
  H.Operator.Messages.clear();

  H.Operator.WarnAnswer = true;
  EXPECT_TRUE(DeleteAllHistory(H.Operator, H.Session().DeleteHistory));
  ASSERT_TRUE(H.PumpUntilIdle());
  EXPECT_EQ(H.Operator.Messages, (Texts{"Historical data deleted"}));
  // The grid is not touched by the deletion itself.
  EXPECT_EQ(Grid().Cell(kHisNumber, 50), "50");
  for (int i = 0; i < device::kHistoryRecords; ++i)
    ASSERT_TRUE(Expect(H.Device.HistoryRecord(i)).Number.empty()) << i;

  History().StartRead();
  ASSERT_TRUE(H.PumpUntilIdle(60000));
  EXPECT_TRUE(GridEmpty());
}

}  // namespace
}  // namespace torvane::testing
