// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/fakes.h"

namespace torvane::testing {
namespace {

using Bytes = std::vector<uint8_t>;
using Texts = std::vector<std::string>;

Tsingalcmd& CommandOf(TSession& session, uint8_t command) {
  return command == CMD_TIME_SYNC    ? static_cast<Tsingalcmd&>(session.TimeSync)
         : command == CMD_CHECK_MODE ? session.CheckMode
                                     : session.DeleteHistory;
}

// The commands without a payload go out as a bare frame and wait for their verdict.
TEST(SingleCommands, ABareCommandGoesOutAsItsFrameAndAwaitsItsReply) {
  const struct {
    uint8_t Command;
    Bytes Frame;
  } cases[] = {
      {CMD_CHECK_MODE, {0x23, 0x04, 0, 0, 0, 0, 0, 0, 0x04}},
      {CMD_DELETE_HISTORY, {0x23, 0x85, 0, 0, 0, 0, 0, 0, 0x85}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Command);
    TFakeSession s;
    CommandOf(*s.Session, c.Command).Send();
    ASSERT_EQ(s.Port.Sent.size(), 1u);
    EXPECT_EQ(s.Port.Sent[0], c.Frame);
    EXPECT_EQ(s.StatusView.Text, "Password verifying");
    EXPECT_TRUE(s.Session->ReplyTimer->Enabled());
    EXPECT_TRUE(s.Session->Exchange.Busy());
    s.Feed(MakeFrame(c.Command, 0, {1}));
    EXPECT_EQ(s.Operator.Messages.size(), 1u);
    EXPECT_FALSE(s.Session->Exchange.Busy());
  }
}

TEST(SingleCommands, TimeSyncTakesThePayloadFromTheClock) {
  TFakeSession s;  // the fixed clock reads 2026-12-07 18:30:05
  s.Session->TimeSync.Send();
  ASSERT_EQ(s.Port.Sent.size(), 1u);
  EXPECT_EQ(s.Port.Sent[0],
            (Bytes{0x23, 0x03, 0, 0, 0, 0, 0, 0x06, 0xEA, 0x0C, 0x07, 0x12, 0x1E, 0x05, 0xED}));
  EXPECT_EQ(s.StatusView.Text, "发送同步时间命令");
  s.Feed(MakeFrame(CMD_TIME_SYNC, 0, {1}));
  EXPECT_EQ(s.Operator.Messages, (Texts{"1同步时间返回正确"}));

  s.Clock.Time = {1999, 1, 31, 0, 59, 59};
  s.Session->TimeSync.Send();
  ASSERT_EQ(s.Port.Sent.size(), 2u);
  EXPECT_EQ(Bytes(s.Port.Sent[1].begin() + 8, s.Port.Sent[1].end() - 1), (Bytes{0xCF, 1, 31, 0, 59, 59}));
}

TEST(SingleCommands, ARepeatedTimeSyncCarriesTheTimeOfItsRepeat) {
  TFakeSession s;
  s.Session->TimeSync.Send();
  s.Clock.Time = {2026, 12, 7, 18, 30, 8};  // the reply timer ran out three seconds later
  s.Timers.Advance(3000);
  ASSERT_EQ(s.Port.Sent.size(), 2u);
  const Bytes& again = s.Port.Sent[1];
  EXPECT_EQ(Bytes(again.begin() + 8, again.end() - 1), (Bytes{0xEA, 0x0C, 0x07, 0x12, 0x1E, 0x08}));
  uint8_t sum = 0;
  for (size_t i = 1; i + 1 < again.size(); ++i) sum ^= again[i];
  EXPECT_EQ(again.back(), sum);
  // Other requests go out again as the very same bytes.
  TFakeSession t;
  t.Session->Settings.StartRead();
  t.Timers.Advance(3000);
  ASSERT_EQ(t.Port.Sent.size(), 2u);
  EXPECT_EQ(t.Port.Sent[0], t.Port.Sent[1]);
}

TEST(SingleCommands, NothingIsSentWhileAnotherRequestAwaitsItsReply) {
  TFakeSession s;
  s.Session->CheckMode.Send();
  s.Session->TimeSync.Send();
  s.Session->DeleteHistory.Send();
  EXPECT_EQ(s.Port.Sent.size(), 1u);
  s.Timers.Advance(3 * 3000);  // three tries, then the exchange ends
  EXPECT_EQ(s.Port.Sent.size(), 3u);
  s.Session->TimeSync.Send();
  EXPECT_EQ(s.Port.Sent.size(), 4u);
}

struct TReplyCase {
  uint8_t Command;
  uint8_t FirstByte;
  const char* Status;
  const char* Dialog;
};

TEST(SingleCommands, EachReplyShowsItsStatusAndItsBox) {
  const TReplyCase cases[] = {
      {CMD_TIME_SYNC, 1, "Receives the data synchronization command returns", "1同步时间返回正确"},
      {CMD_TIME_SYNC, 0, "Receives the data synchronization command returns", "0同步时间返回错误"},
      {CMD_CHECK_MODE, 1, "Checking mode", "Enter"},
      {CMD_CHECK_MODE, 2, "Checking mode", "Error"},
      {CMD_DELETE_HISTORY, 1, "Delete command", "Historical data deleted"},
      {CMD_DELETE_HISTORY, 0, "Delete command", "Historical data delet error"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.Command) + "/" + std::to_string(c.FirstByte));
    TFakeSession s;
    TSession& session = *s.Session;
    CommandOf(session, c.Command).Send();
    // The device may put any address in its answer to a single command.
    s.Feed(MakeFrame(c.Command, 0x1234, {c.FirstByte, 1}));
    EXPECT_EQ(s.StatusView.Text, c.Status);
    EXPECT_EQ(s.Operator.Messages, (Texts{c.Dialog}));
    EXPECT_FALSE(session.Exchange.Busy());
  }
}

TEST(SingleCommands, AReplyWithoutItsVerdictIsAskedForAgain) {
  TFakeSession s;
  s.Session->TimeSync.Send();
  // Empty payload: the checksum byte behind it must not read as a verdict.
  s.Feed(MakeFrame(CMD_TIME_SYNC, 2, {}));
  EXPECT_TRUE(s.Operator.Messages.empty());
  EXPECT_EQ(s.Port.Sent.size(), 2u);
  s.Feed(MakeFrame(CMD_TIME_SYNC, 0, {1}));
  EXPECT_EQ(s.Operator.Messages, (Texts{"1同步时间返回正确"}));
}

TEST(SingleCommands, PortClosedEndsInTimeout) {
  TFakeSession s;
  s.Port.Open = false;
  s.Session->TimeSync.Send();
  EXPECT_TRUE(s.Port.Sent.empty());
  s.Timers.Advance(3 * 3000);
  EXPECT_EQ(s.Operator.Messages, (Texts{"Receive timeout"}));
}

}  // namespace
}  // namespace torvane::testing
