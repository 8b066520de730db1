// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/fakes.h"

namespace torvane::testing {
namespace {

using Texts = std::vector<std::string>;

TEST(StatusClearTimer, ClearsTheLineAtStartUpEvenIfNothingHappened) {
  TFakeSession s;
  s.Timers.Advance(2999);
  EXPECT_TRUE(s.StatusView.History.empty());
  s.Timers.Advance(1);
  EXPECT_EQ(s.StatusView.History, (Texts{""}));
  EXPECT_FALSE(s.StatusView.ProgressVisible);
  EXPECT_FALSE(s.Session->StatusClearTimer->Enabled());
}

TEST(StatusClearTimer, ClearsThreeSecondsAfterTheFirstTextNotTheLast) {
  TFakeSession s;
  s.Timers.Advance(3000);  // the start-up period
  s.Session->Status.ShowStatus("one");
  s.Timers.Advance(2900);
  s.Session->Status.ShowStatus("two");
  s.Timers.Advance(99);
  EXPECT_EQ(s.StatusView.Text, "two");
  s.Timers.Advance(1);
  EXPECT_EQ(s.StatusView.Text, "");
  s.Timers.Advance(5000);
  EXPECT_EQ(s.StatusView.History, (Texts{"", "one", "two", ""}));
}

TEST(ReplyTimer, AFrameCutShortIsAskedForAgainAndFreesTheAssembler) {
  TFakeSession s;
  TSession& session = *s.Session;
  session.CheckMode.Send();
  s.Feed({0x23, 0x04, 0x00});  // the device stops mid-frame
  s.Timers.Advance(2999);
  EXPECT_EQ(s.Port.Sent.size(), 1u);
  s.Timers.Advance(1);
  EXPECT_EQ(s.Port.Sent.size(), 2u);
  // The answer to the repeat is read as itself, not as the tail of the broken one.
  s.Feed(MakeFrame(CMD_CHECK_MODE, 0, {1}));
  EXPECT_EQ(s.Operator.Messages, (Texts{"Enter"}));
  EXPECT_FALSE(session.RecData.Receiving);
  EXPECT_FALSE(session.Exchange.Busy());
}

TEST(ReplyTimer, TheLastExpiryHidesTheProgressAndLeavesItsTextOnTheLine) {
  TFakeSession s;
  s.Timers.Advance(3000);
  s.Session->Progress.SetProgress(40);
  s.Session->CheckMode.Send();
  s.Timers.Advance(3 * 3000);
  EXPECT_EQ(s.Operator.Messages, (Texts{"Receive timeout"}));
  EXPECT_EQ(s.StatusView.Text, "Receive timeout");
  EXPECT_FALSE(s.StatusView.ProgressVisible);
  EXPECT_FALSE(s.Session->StatusClearTimer->Enabled());
}

}  // namespace
}  // namespace torvane::testing
