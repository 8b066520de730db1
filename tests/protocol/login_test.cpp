// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/fakes.h"

namespace torvane::testing {
namespace {

using Bytes = std::vector<uint8_t>;
using Texts = std::vector<std::string>;

Bytes PageOne(const std::string& password) {
  Bytes page(256, 0);
  std::copy(password.begin(), password.end(), page.begin());
  return page;
}

struct LoginTest : ::testing::Test {
  TFakeSession S;
  TSession& Session = *S.Session;

  // Logs in with `typed` against a device holding `stored`; returns the dialogs shown.
  Texts LogIn(const std::string& typed, const std::string& stored) {
    Session.PasswordText = typed;
    S.Operator.Messages.clear();
    Session.Login.BeginLogin();
    S.Feed(MakeFrame(CMD_READ, 0, PageOne(stored)));
    return S.Operator.Messages;
  }
};

TEST_F(LoginTest, BeginLoginRequestsSettingsPageOne) {
  Session.Login.BeginLogin();
  ASSERT_EQ(S.Port.Sent.size(), 1u);
  EXPECT_EQ(S.Port.Sent[0], (Bytes{0x23, 0x83, 0, 0, 0, 0, 0, 0, 0x83}));
  EXPECT_EQ(S.StatusView.History, (Texts{"Read settings", "Password verifing"}));
  EXPECT_TRUE(Session.Login.Verifying);
  EXPECT_TRUE(Session.ReplyTimer->Enabled());
  EXPECT_TRUE(Session.Exchange.Busy());
  // A second press while the first awaits its reply sends nothing.
  Session.Login.BeginLogin();
  EXPECT_EQ(S.Port.Sent.size(), 1u);
}

TEST_F(LoginTest, RightPasswordUnlocks) {
  int changes = 0;
  Session.OnControlsChanged = [&] { ++changes; };
  EXPECT_FALSE(Session.Unlocked());
  EXPECT_EQ(LogIn("6853", "6853"), (Texts{"Password confirmed!"}));
  EXPECT_TRUE(Session.Unlocked());
  EXPECT_TRUE(Session.Login.Verified);
  EXPECT_FALSE(Session.Login.Verifying);
  EXPECT_FALSE(Session.Exchange.Busy());
  EXPECT_EQ(Session.Login.DevicePassword, "6853");
  EXPECT_EQ(Session.Login.EnteredPassword, "6853");
  EXPECT_GE(changes, 2);  // busy on send, unlocked and idle after the reply
}

TEST_F(LoginTest, SettingsAreNotTouchedByTheLoginRead) {
  Session.SettingsGrid.SetCell(1, 1, "typed");
  LogIn("6853", "6853");
  EXPECT_EQ(Session.SettingsGrid.Cell(1, 1), "typed");
}

TEST_F(LoginTest, AShortPageIsNoPasswordAndIsAskedForAgain) {
  Session.PasswordText = "6";
  Session.Login.BeginLogin();
  S.Feed(MakeFrame(CMD_READ, 0, {'6'}));
  EXPECT_TRUE(S.Operator.Messages.empty());
  EXPECT_EQ(S.Port.Sent.size(), 2u);
  EXPECT_TRUE(Session.Login.Verifying);
}

TEST_F(LoginTest, WrongPasswordLocksEvenAfterAnEarlierSuccess) {
  ASSERT_EQ(LogIn("6853", "6853"), (Texts{"Password confirmed!"}));
  EXPECT_EQ(LogIn("1234", "6853"), (Texts{"Password Error!"}));
  EXPECT_FALSE(Session.Unlocked());
  EXPECT_FALSE(Session.Login.Verified);
  EXPECT_FALSE(Session.Login.Verifying);
}

TEST_F(LoginTest, NearMissesFail) {
  EXPECT_EQ(LogIn("6853 ", "6853"), (Texts{"Password Error!"}));
  EXPECT_EQ(LogIn("685", "6853"), (Texts{"Password Error!"}));
  EXPECT_EQ(LogIn("", "6853"), (Texts{"Password Error!"}));
  // A zero byte in the device's four counts as a character: three typed never match it.
  EXPECT_EQ(LogIn("685", "685"), (Texts{"Password Error!"}));
  EXPECT_FALSE(Session.Unlocked());
}

TEST_F(LoginTest, LetterCaseIsIgnored) {
  EXPECT_EQ(LogIn("aBcD", "AbCd"), (Texts{"Password confirmed!"}));
  EXPECT_EQ(LogIn("ABCE", "AbCd"), (Texts{"Password Error!"}));
}

TEST_F(LoginTest, PortClosedTimesOutAndLeavesTheLockAsItWas) {
  ASSERT_EQ(LogIn("6853", "6853"), (Texts{"Password confirmed!"}));
  S.Port.Open = false;
  S.Operator.Messages.clear();
  Session.Login.BeginLogin();
  S.Timers.Advance(3 * 3000 - 1);  // three tries
  EXPECT_TRUE(S.Operator.Messages.empty());
  S.Timers.Advance(1);
  EXPECT_EQ(S.Operator.Messages, (Texts{"Receive timeout"}));
  EXPECT_EQ(S.StatusView.Text, "Receive timeout");
  EXPECT_FALSE(S.StatusView.ProgressVisible);
  EXPECT_TRUE(Session.Unlocked());
  EXPECT_FALSE(Session.Exchange.Busy());
  EXPECT_FALSE(Session.ReplyTimer->Enabled());
  S.Timers.Advance(10000);
  EXPECT_EQ(S.Operator.Messages.size(), 1u);
}

TEST_F(LoginTest, AfterATimeoutASettingsReadIsNotTakenForALogin) {
  Session.Login.BeginLogin();
  S.Timers.Advance(3 * 3000);
  ASSERT_EQ(S.Operator.Messages, (Texts{"Receive timeout"}));
  EXPECT_FALSE(Session.Login.Verifying);
  S.Operator.Messages.clear();
  // The operator then reads the settings: page 1's reply is decoded into the grid.
  Session.Settings.StartRead();
  S.Feed(MakeFrame(CMD_READ, 0, PageOne("1111")));
  for (const auto& m : S.Operator.Messages) {
    EXPECT_NE(m, "Password Error!");
    EXPECT_NE(m, "Password confirmed!");
  }
  EXPECT_EQ(Session.SettingsGrid.Cell(1, 1), "1111");
  EXPECT_FALSE(Session.Unlocked());
}

}  // namespace
}  // namespace torvane::testing
