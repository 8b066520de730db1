// SPDX-License-Identifier: GPL-3.0-or-later
#include "numbers/telephone_send.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "support/fakes.h"

namespace torvane {
namespace {

using testing::TFakeSession;

class TelephoneSendTest : public ::testing::Test {
 protected:
  TFakeSession f;
  TSession& s = *f.Session;
  TGrid& grid = s.NumberGrid;
  TtelephoneSend& numbers = s.Numbers;

  void Window(int row, const std::string& number) {
    grid.SetCell(kColNumber, row, number);
    grid.SetCell(kColStartDate, row, "2024-05-06");
    grid.SetCell(kColStartTime, row, "07:05");
    grid.SetCell(kColEndDate, row, "2025-12-31");
    grid.SetCell(kColEndTime, row, "23:59");
  }
  // The device's reply to a read of `page`, byte by byte through the receive side.
  void Reply(int page, const std::array<uint8_t, kNumberPageSize>& bytes) {
    f.Feed(testing::MakeFrame(CMD_READ, TtelephoneSend::PageAddressOf(page),
                              std::vector<uint8_t>(bytes.begin(), bytes.end())));
  }
  void Ack(int page, uint8_t verdict = 1) {
    f.Feed(testing::MakeFrame(CMD_WRITE, TtelephoneSend::PageAddressOf(page), {verdict}));
  }
  // As after reading a factory-fresh device: every record deleted (all 0xFF).
  void KnowFactoryDevice() {
    numbers.Device.SetAll(std::vector<uint8_t>(kNumberPageCount * kNumberPageSize, 0xFF));
    numbers.Basis.SetAll(numbers.Device.All());
  }
  // The probe before a save that relies on the remembered pages: the device answers each page with
  // what is remembered of it, and the probe's reads are taken off the port's record.
  static void AnswerProbe(testing::TFakeSession& on) {
    TtelephoneSend& t = on.Session->Numbers;
    while (t.Pass() == Tsend_rec_command::TPass::Probe) {
      const auto& ask = on.Port.Sent.back();
      const int page = ((ask[4] << 8 | ask[5]) - kNumbersBase) / kPageSpan + 1;
      const auto held = t.Device.Page(page);
      on.Port.Sent.pop_back();
      on.Feed(testing::MakeFrame(CMD_READ, TtelephoneSend::PageAddressOf(page),
                                 std::vector<uint8_t>(held.begin(), held.end())));
    }
  }
  static std::vector<uint8_t> Payload(const std::vector<uint8_t>& frame) {
    return std::vector<uint8_t>(frame.begin() + 8, frame.end() - 1);
  }
};

TEST_F(TelephoneSendTest, NewGridHasHeadingsSerialsAndEmptyMarks) {
  EXPECT_EQ(grid.RowCount(), 3001);
  EXPECT_EQ(grid.Cell(kColSerial, 0), "Serial");
  EXPECT_EQ(grid.Cell(kColStartTime, 0), "Start Time ");
  EXPECT_EQ(grid.Cell(kColDelete, 0), "Delete(V)");
  EXPECT_EQ(grid.Cell(kColSerial, 1), "1");
  EXPECT_EQ(grid.Cell(kColSerial, 3000), "3000");
  EXPECT_EQ(grid.Cell(kColAlways, 3000), "no");
  EXPECT_EQ(grid.Cell(kColDelete, 1), "no");
  EXPECT_EQ(grid.Cell(kColNumber, 1), "");
}

TEST_F(TelephoneSendTest, ReadAsksFirstAndRequestsPageOne) {
  f.Operator.ConfirmAnswer = false;
  numbers.StartRead();
  EXPECT_TRUE(f.Port.Sent.empty());
  ASSERT_EQ(f.Operator.Questions.size(), 1u);
  EXPECT_EQ(f.Operator.Questions[0], "Read the Authorized number list from GSM device to PC software?");

  f.Operator.ConfirmAnswer = true;
  numbers.StartRead();
  ASSERT_EQ(f.Port.Sent.size(), 1u);
  EXPECT_EQ(f.Port.Sent[0], (std::vector<uint8_t>{0x23, 0x83, 0x00, 0x00, 0x10, 0x00, 0x00, 0x00, 0x93}));
  EXPECT_EQ(numbers.NextPage(), 2);
  EXPECT_EQ(numbers.PageCount(), 375);
  EXPECT_EQ(f.StatusView.Text, "Reading telephone number information");
  EXPECT_TRUE(s.ReplyTimer->Enabled());
  EXPECT_TRUE(s.Exchange.Busy());
}

TEST_F(TelephoneSendTest, ReadWalksAllPagesAndReportsSuccessOnce) {
  numbers.StartRead();
  std::array<uint8_t, kNumberPageSize> page{};
  for (int p = 1; p <= 375; ++p) Reply(p, page);
  ASSERT_EQ(f.Port.Sent.size(), 375u);
  const auto& last = f.Port.Sent.back();
  EXPECT_EQ((std::vector<uint8_t>(last.begin() + 2, last.begin() + 6)),
            (std::vector<uint8_t>{0, 0x01, 0x86, 0x00}));  // 0x1000 + 374 * 0x100
  ASSERT_EQ(f.Operator.Messages.size(), 1u);
  EXPECT_EQ(f.Operator.Messages[0], "Authorized number list read to PC software success.");
  EXPECT_FALSE(s.Exchange.Busy());
  // A late duplicate of the last reply asks for nothing more.
  Reply(375, page);
  EXPECT_EQ(f.Port.Sent.size(), 375u);
}

TEST_F(TelephoneSendTest, DecodeFillsItsEightRowsAndLeavesSerialAndDelete) {
  grid.SetCell(kColDelete, 17, "yes");
  grid.SetCell(kColStartDate, 18, "2020-01-01");  // stale text a record without date must not keep
  std::array<uint8_t, kNumberPageSize> page{};
  const uint8_t window[] = {5, 6, 7, 5, 12, 31, 23, 59, 24, 25};
  std::memcpy(page.data(), "+8613912345678", 14);
  std::memcpy(page.data() + 22, window, 10);
  std::memcpy(page.data() + 32, "555", 3);
  std::memset(page.data() + 32 + 22, 0x63, 8);
  std::memcpy(page.data() + 64, "777", 3);  // no dates at all
  std::memset(page.data() + 96, 0xFF, 32);
  DecodeNumberPage(grid, 3, page.data());
  EXPECT_EQ(grid.Cell(kColNumber, 17), "+8613912345678");
  EXPECT_EQ(grid.Cell(kColStartDate, 17), "2024-05-06");
  EXPECT_EQ(grid.Cell(kColEndTime, 17), "23:59");
  EXPECT_EQ(grid.Cell(kColDelete, 17), "yes");
  EXPECT_EQ(grid.Cell(kColSerial, 17), "17");
  EXPECT_EQ(grid.Cell(kColAlways, 18), "yes");
  EXPECT_EQ(grid.Cell(kColStartDate, 18), "");
  EXPECT_EQ(grid.Cell(kColNumber, 19), "777");
  EXPECT_EQ(grid.Cell(kColStartDate, 19), "");
  EXPECT_EQ(grid.Cell(kColStartTime, 19), "00:00");
  EXPECT_EQ(grid.Cell(kColNumber, 20), "");
  EXPECT_EQ(grid.Cell(kColAlways, 20), "no");
}

TEST_F(TelephoneSendTest, AShortReplyIsAskedForAgainAndDecodesNothing) {
  numbers.StartRead();
  std::array<uint8_t, kNumberPageSize> page{};
  for (int r = 0; r < 8; ++r) std::memcpy(page.data() + r * 32, "4711", 4);
  Reply(1, page);
  grid.SetCell(kColNumber, 9, "kept");
  // Page 2 carries a single record: no page, so it is asked for again.
  f.Feed(testing::MakeFrame(CMD_READ, TtelephoneSend::PageAddressOf(2), {'9', '9', '9'}));
  EXPECT_EQ(grid.Cell(kColNumber, 9), "kept");
  ASSERT_EQ(f.Port.Sent.size(), 3u);
  EXPECT_EQ(f.Port.Sent[2], f.Port.Sent[1]);
  EXPECT_EQ(grid.Cell(kColNumber, 8), "4711");
}

TEST_F(TelephoneSendTest, APageReplyWithNoReadStartedAsksForNothing) {
  std::array<uint8_t, kNumberPageSize> page{};
  f.Feed(testing::MakeFrame(CMD_READ, TtelephoneSend::PageAddressOf(1),
                            std::vector<uint8_t>(page.begin(), page.end())));
  EXPECT_TRUE(f.Port.Sent.empty());
  EXPECT_FALSE(s.Exchange.Busy());
  EXPECT_TRUE(f.Operator.Messages.empty());
}

TEST_F(TelephoneSendTest, ReplyBeyondTheLastPageIsIgnored) {
  numbers.StartRead();
  grid.SetCell(kColNumber, 3000, "kept");
  std::array<uint8_t, kNumberPageSize> page{};
  page.fill('1');
  const size_t sent = f.Port.Sent.size();
  Reply(376, page);
  Reply(700, page);
  EXPECT_EQ(f.Port.Sent.size(), sent);
  EXPECT_EQ(grid.Cell(kColNumber, 3000), "kept");
  // Page 1 is still awaited.
  EXPECT_TRUE(s.Exchange.Outstanding());
  EXPECT_TRUE(f.Operator.Messages.empty());
}

TEST_F(TelephoneSendTest, SaveSendsTheChangedPageReadsItBackAndReportsSuccess) {
  KnowFactoryDevice();
  Window(9, "+8613912345678");
  grid.SetCell(kColNumber, 10, "555");
  grid.SetCell(kColAlways, 10, "yes");
  grid.SetCell(kColDelete, 11, "yes");
  numbers.StartSave();
  // Page 2 is the only one that differs from the device's: the only page the probe reads, too.
  ASSERT_EQ(numbers.ProbeAddresses(), std::vector<int32_t>{0x1100});
  AnswerProbe(f);
  ASSERT_EQ(f.Port.Sent.size(), 1u);
  EXPECT_EQ(f.StatusView.Text, "Save list");
  const auto p2 = f.Port.Sent[0];
  ASSERT_EQ(p2.size(), 265u);
  EXPECT_EQ((std::vector<uint8_t>(p2.begin(), p2.begin() + 8)),
            (std::vector<uint8_t>{0x23, 0x82, 0, 0, 0x11, 0x00, 0x01, 0x00}));
  const uint8_t* rec = p2.data() + 8;
  EXPECT_EQ(std::string(rec, rec + 14), "+8613912345678");
  EXPECT_EQ(rec[22 + 9], 0x19);
  EXPECT_EQ(rec[32 + 30], 0x00);
  EXPECT_EQ(rec[32 + 31], 0x63);
  EXPECT_EQ(rec[64], 0xFF);
  EXPECT_EQ(rec[64 + 31], 0xFF);
  // An empty row reads as the device's empty record, so the device's bytes stay.
  EXPECT_EQ(rec[96], 0xFF);
  Ack(2);
  const auto& shown = f.StatusView.History;
  EXPECT_NE(std::find(shown.begin(), shown.end(), "Save number list:1/1"), shown.end());
  ASSERT_EQ(f.Port.Sent.size(), 2u);
  EXPECT_EQ(f.Port.Sent[1], testing::MakeFrame(CMD_READ, 0x1100, {}));
  EXPECT_TRUE(f.Operator.Messages.empty());
  Reply(2, [&] {
    std::array<uint8_t, kNumberPageSize> a{};
    std::copy_n(rec, kNumberPageSize, a.begin());
    return a;
  }());
  EXPECT_EQ(f.Operator.Messages, (std::vector<std::string>{"Authorized number list saved success"}));
  EXPECT_FALSE(s.Exchange.Busy());
  EXPECT_EQ(s.NumberChanges.ChangedRows(), 0);
}

TEST_F(TelephoneSendTest, ACellThatIsNoNumberStopsTheSaveBeforeAnythingIsSent) {
  KnowFactoryDevice();
  Window(4, "1");     // page 1 would be written
  Window(20, "123");  // page 3
  grid.SetCell(kColEndTime, 20, "2x:00");
  numbers.StartSave();
  EXPECT_TRUE(f.Port.Sent.empty());
  ASSERT_EQ(f.Operator.Errors.size(), 1u);
  EXPECT_EQ(f.Operator.Errors[0], "'2x' is not a valid integer value");
  EXPECT_FALSE(s.Exchange.Busy());
}

TEST_F(TelephoneSendTest, ASaveOfManyRowsOrOfDeletesAsksFirst) {
  struct TCase {
    const char* Name;
    int NewRows;    // rows 1..N given a number the device does not hold
    int DeleteRow;  // a row the device holds a number for, marked deleted (0: none)
    bool Asked;
  };
  const TCase cases[] = {{"twenty new rows", 20, 0, false},
                         {"twenty-one new rows", 21, 0, true},
                         {"one deleted row", 0, 100, true}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    testing::TFakeSession fresh;
    TSession& session = *fresh.Session;
    std::vector<uint8_t> device(kNumberPageCount * kNumberPageSize, 0xFF);
    std::memcpy(device.data() + 99 * kNumberRecordSize, "555", 3);
    std::memset(device.data() + 99 * kNumberRecordSize + 22, 0x63, 8);
    session.Numbers.Device.SetAll(device);
    DecodeNumberPage(session.NumberGrid, 13, device.data() + 12 * kNumberPageSize);
    for (int row = 1; row <= c.NewRows; ++row) {
      session.NumberGrid.SetCell(kColNumber, row, std::to_string(1000 + row));
      session.NumberGrid.SetCell(kColAlways, row, kMarkYes);
    }
    if (c.DeleteRow) session.NumberGrid.SetCell(kColDelete, c.DeleteRow, kMarkYes);
    fresh.Operator.ConfirmAnswer = false;
    session.Numbers.StartSave();
    AnswerProbe(fresh);
    EXPECT_EQ(fresh.Operator.Questions.size(), c.Asked ? 1u : 0u);
    if (c.Asked) {
      const std::string& q = fresh.Operator.Questions[0];
      EXPECT_NE(q.find(c.DeleteRow ? "deleted 1 rows (100)" : "added 21 rows (1, 2, 3, 4, 5, ...)"),
                std::string::npos)
          << q;
      EXPECT_TRUE(fresh.Port.Sent.empty());
      EXPECT_EQ(session.Numbers.Outcome(), TTransferOutcome::Cancelled);
    } else {
      EXPECT_FALSE(fresh.Port.Sent.empty());
    }
  }
}

TEST_F(TelephoneSendTest, CheckBeforeSaveNamesTheFirstThreeWrongRows) {
  const std::string head =
      "Wrong operation:please select \"Always\" or setting the Start-End date and time.Total:";
  Window(4, "1");
  grid.SetCell(kColEndTime, 4, "");
  numbers.StartSave();
  EXPECT_EQ(f.Operator.LastMessage(), head + "1\rWrong serial number:4");
  EXPECT_TRUE(f.Port.Sent.empty());

  Window(9, "2");
  grid.SetCell(kColStartDate, 9, "");
  grid.SetCell(kColNumber, 12, "3");
  EXPECT_FALSE(numbers.CheckBeforeSave());
  EXPECT_EQ(f.Operator.LastMessage(), head + "3\rWrong serial number:4,9,12");

  grid.SetCell(kColNumber, 30, "4");
  EXPECT_FALSE(numbers.CheckBeforeSave());
  EXPECT_EQ(f.Operator.LastMessage(), head + "4\rWrong serial number:4,9,12,....");
  EXPECT_TRUE(f.Port.Sent.empty());
}

TEST_F(TelephoneSendTest, MarkedRowsAreNotChecked) {
  grid.SetCell(kColNumber, 5, "1");
  grid.SetCell(kColDelete, 5, "yes");
  grid.SetCell(kColNumber, 6, "2");
  grid.SetCell(kColAlways, 6, "yes");
  grid.SetCell(kColNumber, 7, "3");
  grid.SetCell(kColAlways, 7, "");               // neither mark text: not checked either
  grid.SetCell(kColStartDate, 8, "2024-05-06");  // no number: not checked
  EXPECT_TRUE(numbers.CheckBeforeSave());
  EXPECT_TRUE(f.Operator.Messages.empty());
}

TEST_F(TelephoneSendTest, ANumberInTwoRowsIsNamedAndTheSaveAsked) {
  grid.SetCell(kColNumber, 3, "+49 170 1234567");
  grid.SetCell(kColNumber, 8, "0049170-1234567");
  grid.SetCell(kColNumber, 9, "491701234567");
  grid.SetCell(kColNumber, 10, "555");
  grid.SetCell(kColNumber, 11, "555");
  grid.SetCell(kColNumber, 12, "555");
  grid.SetCell(kColDelete, 12, kMarkYes);  // going: no duplicate
  grid.SetCell(kColNumber, 20, "777");
  for (int row : {3, 8, 9, 10, 11, 20}) grid.SetCell(kColAlways, row, kMarkYes);
  const std::string question =
      "These numbers stand in more than one row: +49 170 1234567 (serials 3, 8, 9); 555 (serials 10, 11). "
      "Save the list as it is?";
  f.Operator.ConfirmAnswer = false;
  numbers.StartSave();
  EXPECT_EQ(f.Operator.Questions, std::vector<std::string>{question});
  EXPECT_TRUE(f.Port.Sent.empty());
  f.Operator.ConfirmAnswer = true;
  EXPECT_TRUE(numbers.CheckBeforeSave());
  grid.SetCell(kColNumber, 11, "556");
  grid.SetCell(kColNumber, 8, "");
  grid.SetCell(kColNumber, 9, "");
  EXPECT_EQ(DuplicateNumbersText(grid), "");
}

TEST(NumberMarks, ToggleAndAllAreSingleChanges) {
  TGrid grid(8, 3001);
  SetUpNumberGrid(grid);
  int calls = 0;
  grid.AddListener([&](int, int) { ++calls; });
  SetNumberMarks(grid, kColAlways, true);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(grid.Cell(kColAlways, 1), "yes");
  EXPECT_EQ(grid.Cell(kColAlways, 3000), "yes");
  EXPECT_EQ(grid.Cell(kColAlways, 0), "Always(V)");

  grid.SetCell(kColStartDate, 5, "2024-05-06");
  grid.SetCell(kColEndTime, 5, "10:00");
  grid.SetCell(kColNumber, 5, "55");
  calls = 0;
  ToggleNumberMark(grid, kColDelete, 5);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(grid.Cell(kColDelete, 5), "yes");
  EXPECT_EQ(grid.Cell(kColStartDate, 5) + grid.Cell(kColEndTime, 5), "");
  EXPECT_EQ(grid.Cell(kColNumber, 5), "55");
  ToggleNumberMark(grid, kColDelete, 5);
  EXPECT_EQ(grid.Cell(kColDelete, 5), "no");
}

}  // namespace
}  // namespace torvane
