// SPDX-License-Identifier: GPL-3.0-or-later
// Saving and reading the number list of the virtual device through the real serial component over a
// pseudo-terminal, with a refused page and a silent device on the way.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "numbers/number_record.h"
#include "numbers/telephone_send.h"
#include "support/e2e_harness.h"

namespace torvane::testing {
namespace {

using Texts = std::vector<std::string>;

// What the operator sees for a stored record, worked out from its bytes.
struct TRowText {
  std::string Number, StartDate, StartTime, EndDate, EndTime, Always;
  bool operator==(const TRowText&) const = default;
};

std::string Date(uint8_t year, uint8_t month, uint8_t day) {
  char s[16];
  std::snprintf(s, sizeof s, "20%02u-%02u-%02u", year, month, day);
  return s;
}
std::string Time(uint8_t hour, uint8_t minute) {
  char s[8];
  std::snprintf(s, sizeof s, "%02u:%02u", hour, minute);
  return s;
}

TRowText Expect(const device::TNumberRecord& r) {
  TRowText e;
  for (int i = 0; i < 22 && (r[i] == '+' || std::isdigit(r[i])); ++i) e.Number += static_cast<char>(r[i]);
  const bool always = std::all_of(r.begin() + 22, r.begin() + 30, [](uint8_t b) { return b == 0x63; });
  e.Always = always ? "yes" : "no";
  if (always || e.Number.empty() || r[22] == 0xFF) return e;
  if (r[22] && r[23]) e.StartDate = Date(r[30], r[22], r[23]);
  if (r[26] && r[27]) e.EndDate = Date(r[31], r[26], r[27]);
  e.StartTime = Time(r[24], r[25]);
  e.EndTime = Time(r[28], r[29]);
  return e;
}

struct NumbersE2e : ::testing::Test {
  TE2eHarness H;
  TGrid& Grid() { return H.Session().NumberGrid; }
  TtelephoneSend& Numbers() { return H.Session().Numbers; }

  void SetUp() override {
    ASSERT_TRUE(H.Start()) << H.Problem();
    ASSERT_TRUE(H.LogIn("6853"));
    ASSERT_TRUE(H.Session().Unlocked());
    H.Operator.Messages.clear();
    H.StatusView.History.clear();
  }
  TRowText Row(int row) {
    return {Grid().Cell(kColNumber, row),  Grid().Cell(kColStartDate, row), Grid().Cell(kColStartTime, row),
            Grid().Cell(kColEndDate, row), Grid().Cell(kColEndTime, row),   Grid().Cell(kColAlways, row)};
  }
  void SetRow(int row, const TRowText& t, const std::string& del = "no") {
    Grid().SetCell(kColNumber, row, t.Number);
    Grid().SetCell(kColStartDate, row, t.StartDate);
    Grid().SetCell(kColStartTime, row, t.StartTime);
    Grid().SetCell(kColEndDate, row, t.EndDate);
    Grid().SetCell(kColEndTime, row, t.EndTime);
    Grid().SetCell(kColAlways, row, t.Always);
    Grid().SetCell(kColDelete, row, del);
  }
  void FillGrid(const std::string& text) {
    for (int row = 1; row <= 3000; ++row)
      for (int c = kColNumber; c <= kColEndTime; ++c) Grid().SetCell(c, row, text);
  }
  bool Saw(const std::string& status) {
    const auto& h = H.StatusView.History;
    return std::find(h.begin(), h.end(), status) != h.end();
  }
};

// A few hundred rows of every kind: windows, always, deleted, empty, a number cut at 22 characters.
struct TPlan {
  std::vector<TRowText> Rows = std::vector<TRowText>(3001);
  std::vector<bool> Deleted = std::vector<bool>(3001, false);
  TPlan() {
    for (int row = 1; row <= 3000; ++row) Rows[row].Always = "no";
    for (int i = 0; i < 400; ++i) {
      const int row = 1 + i * 7;
      TRowText& t = Rows[row];
      t.Number = (i % 3 ? "+86" : "") + std::to_string(13900000000LL + i * 7919);
      switch (i % 4) {
        case 0:
        case 1:
          t.StartDate = Date(24 + i % 5, 1 + i % 12, 1 + i % 28);
          t.StartTime = Time(i % 24, (i * 7) % 60);
          t.EndDate = Date(30, 12, 31);
          t.EndTime = Time(23, 59);
          break;
        case 2:
          t.Always = "yes";
          break;
        case 3:
          Deleted[row] = true;
          break;
      }
    }
    Rows[2999].Number = std::string(26, '9');
    Rows[2999].Always = "yes";
  }
};

TEST_F(NumbersE2e, SavedListReadsBackRowForRow) {
  const TPlan plan;
  for (int row = 1; row <= 3000; ++row) SetRow(row, plan.Rows[row], plan.Deleted[row] ? "yes" : "no");

  Numbers().StartSave();
  ASSERT_TRUE(H.PumpUntilIdle(60000));
  EXPECT_EQ(H.Operator.Messages, (Texts{"Authorized number list saved success"}));
  // Only the pages that differ from the factory-fresh device's are written, and each is read back.
  const size_t sent = Numbers().PagesToSend().size();
  EXPECT_GT(sent, 0u);
  EXPECT_LT(sent, 375u);
  EXPECT_TRUE(Saw("Save number list:" + std::to_string(sent) + "/" + std::to_string(sent)));
  EXPECT_TRUE(Saw("Verifying number list:" + std::to_string(sent) + "/" + std::to_string(sent)));

  // The device holds the records as laid out on the wire.
  const device::TNumberRecord first = H.Device.NumberRecord(0);  // row 1: window of plan row 0
  EXPECT_EQ(std::string(first.begin(), first.begin() + 11), "13900000000");
  EXPECT_EQ((std::vector<uint8_t>(first.begin() + 22, first.end())),
            (std::vector<uint8_t>{1, 1, 0, 0, 12, 31, 23, 59, 24, 30}));
  const device::TNumberRecord always = H.Device.NumberRecord(14);  // row 15: always
  EXPECT_EQ((std::vector<uint8_t>(always.begin() + 22, always.end())),
            (std::vector<uint8_t>{0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0x00, 0x63}));
  for (uint8_t b : H.Device.NumberRecord(21)) ASSERT_EQ(b, 0xFF);  // row 22: deleted
  // Row 2 is empty, as the device's own record is: its bytes stay as they were.
  for (uint8_t b : H.Device.NumberRecord(1)) ASSERT_EQ(b, 0xFF);
  for (int i = 0; i < 3000; ++i)
    ASSERT_EQ(Expect(H.Device.NumberRecord(i)).Number.size() > 0,
              !plan.Rows[i + 1].Number.empty() && !plan.Deleted[i + 1])
        << i;

  // Empty the grid, then read the device back into it.
  FillGrid("");
  SetNumberMarks(Grid(), kColAlways, true);
  SetNumberMarks(Grid(), kColDelete, false);
  H.StatusView.History.clear();
  Numbers().StartRead();
  ASSERT_TRUE(H.PumpUntilIdle(60000));
  EXPECT_EQ(H.Operator.Messages.back(), "Authorized number list read to PC software success.");
  EXPECT_EQ(H.Operator.Questions.back(), "Read the Authorized number list from GSM device to PC software?");
  EXPECT_TRUE(Saw("Reading number list:1/375"));
  EXPECT_EQ(H.StatusView.Text, "Reading number list:375/375");
  EXPECT_FALSE(H.StatusView.ProgressVisible);

  for (int row = 1; row <= 3000; ++row) {
    TRowText want = plan.Deleted[row] ? TRowText{"", "", "", "", "", "no"} : plan.Rows[row];
    if (row == 2999) want.Number.resize(22);
    ASSERT_EQ(Row(row), want) << row;
  }
}

TEST_F(NumbersE2e, ReadsEveryPopulatedRecord) {
  H.Device.Populate(3000, 0, 11);
  FillGrid("stale");
  Numbers().StartRead();
  ASSERT_TRUE(H.PumpUntilIdle(60000));
  EXPECT_EQ(H.Operator.Messages, (Texts{"Authorized number list read to PC software success."}));
  int always = 0, windows = 0;
  for (int row = 1; row <= 3000; ++row) {
    const TRowText want = Expect(H.Device.NumberRecord(row - 1));
    ASSERT_EQ(Row(row), want) << row;
    always += want.Always == "yes";
    windows += !want.StartDate.empty();
  }
  EXPECT_GT(always, 0);
  EXPECT_GT(windows, 0);
}

TEST_F(NumbersE2e, RefusedPageStopsTheSaveAndTheNextReadStartsCleanly) {
  H.Device.AddFault({.Kind = device::TFaultKind::Refuse,
                     .Command = CMD_WRITE,
                     .Region = device::TRegion::Numbers,
                     .Page = 100});
  for (int row = 1; row <= 3000; ++row) Grid().SetCell(kColNumber, row, "555" + std::to_string(row));
  SetNumberMarks(Grid(), kColAlways, true);

  Numbers().StartSave();
  ASSERT_TRUE(H.PumpUntilIdle(60000));
  EXPECT_EQ(H.Operator.Messages, (Texts{"Number list data error"}));
  EXPECT_FALSE(H.Exchange().Busy());
  EXPECT_EQ(Numbers().NextPage(), 101);
  // Pages 1..99 are stored; page 100 was refused and nothing after it was sent.
  EXPECT_EQ(Expect(H.Device.NumberRecord(99 * 8 - 1)).Number, "555792");
  for (int i = 99 * 8; i < 3000; ++i) ASSERT_EQ(H.Device.NumberRecord(i)[0], 0xFF) << i;
  H.DrainFor(100);
  const uint64_t received = H.Device.Counters().Received;

  H.Operator.Messages.clear();
  FillGrid("");
  Numbers().StartRead();
  ASSERT_TRUE(H.PumpUntilIdle(60000));
  EXPECT_EQ(H.Operator.Messages, (Texts{"Authorized number list read to PC software success."}));
  EXPECT_EQ(H.Device.Counters().Received, received + 375);
  EXPECT_EQ(Grid().Cell(kColNumber, 792), "555792");
  EXPECT_EQ(Grid().Cell(kColAlways, 792), "yes");
  EXPECT_EQ(Grid().Cell(kColNumber, 793), "");
  EXPECT_EQ(Grid().Cell(kColAlways, 793), "no");
}

TEST_F(NumbersE2e, TimeoutMidReadStopsThereAndTheNextReadStartsCleanly) {
  H.Device.Populate(3000, 0, 5);
  H.Device.AddFault({.Kind = device::TFaultKind::Silence,
                     .Command = CMD_READ,
                     .Region = device::TRegion::Numbers,
                     .Page = 200,
                     .Count = 3});
  FillGrid("before");
  const uint64_t handledBefore = H.Device.Counters().Handled;

  Numbers().StartRead();
  ASSERT_TRUE(H.PumpUntil([&] { return H.Device.Counters().Handled >= handledBefore + 200; }, 60000));
  H.DrainFor(100);
  EXPECT_TRUE(H.Exchange().Busy());
  EXPECT_TRUE(H.Operator.Messages.empty());
  EXPECT_EQ(H.StatusView.Text, "Reading telephone number information");
  // Page 200 is asked for twice more, then the read ends.
  for (int repeat = 1; repeat <= 2; ++repeat) {
    H.Timers.Advance(3000);
    ASSERT_TRUE(H.PumpUntil([&] { return H.Device.Counters().Handled >= handledBefore + 200 + repeat; }));
    EXPECT_TRUE(H.Operator.Messages.empty());
  }
  const uint64_t sentBeforeTimeout = H.Exchange().SendCount();
  H.Timers.Advance(3000);
  EXPECT_EQ(H.Operator.Messages, (Texts{"Receive timeout"}));
  EXPECT_FALSE(H.Exchange().Busy());
  EXPECT_EQ(Row(199 * 8), Expect(H.Device.NumberRecord(199 * 8 - 1)));
  EXPECT_EQ(Grid().Cell(kColNumber, 199 * 8 + 1), "before");
  EXPECT_EQ(Grid().Cell(kColNumber, 3000), "before");
  H.DrainFor(100);
  // Nothing more was asked after the silent page (counted on our side: the device's own count also
  // takes in whatever a loaded machine made of a request's timing).
  EXPECT_EQ(H.Exchange().SendCount(), sentBeforeTimeout);
  EXPECT_EQ(H.Device.Counters().Received, H.Device.Counters().Handled);

  H.Operator.Messages.clear();
  H.StatusView.History.clear();
  Numbers().StartRead();
  ASSERT_TRUE(H.PumpUntilIdle(60000));
  EXPECT_EQ(H.Operator.Messages, (Texts{"Authorized number list read to PC software success."}));
  EXPECT_TRUE(Saw("Reading number list:1/375"));
  for (int row = 1; row <= 3000; ++row) ASSERT_EQ(Row(row), Expect(H.Device.NumberRecord(row - 1))) << row;
}

}  // namespace
}  // namespace torvane::testing
