// Logging in to the virtual device through the real serial component over a pseudo-terminal.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/e2e_harness.h"

namespace torvane::testing {
namespace {

using Texts = std::vector<std::string>;

bool IsPasswordMessage(const std::string& m) {
  return m == "Password confirmed!" || m == "Password Error!";
}

struct LoginE2e : ::testing::Test {
  TE2eHarness H;
  void SetUp() override { ASSERT_TRUE(H.Start()) << H.Problem(); }

  Texts LogIn(const std::string& typed) {
    H.Operator.Messages.clear();
    EXPECT_TRUE(H.LogIn(typed)) << "no end to the login exchange";
    return H.Operator.Messages;
  }
};

TEST_F(LoginE2e, FactoryPasswordUnlocks) {
  EXPECT_FALSE(H.Link().Unlocked());
  EXPECT_EQ(LogIn("6853"), (Texts{"Password confirmed!"}));
  EXPECT_TRUE(H.Link().Unlocked());
  EXPECT_FALSE(H.Session().Login.Verifying);
  EXPECT_EQ(H.Session().Login.DevicePassword, "6853");
  EXPECT_EQ(H.Device.Counters().Answered, 1u);
  // The settings grid is not filled by a login.
  EXPECT_EQ(H.Session().Settings.Address, 0);
}

TEST_F(LoginE2e, WrongPasswordsFailAndLockAgain) {
  ASSERT_EQ(LogIn("6853"), (Texts{"Password confirmed!"}));
  EXPECT_EQ(LogIn("6854"), (Texts{"Password Error!"}));
  EXPECT_FALSE(H.Link().Unlocked());
  EXPECT_EQ(LogIn("6853 "), (Texts{"Password Error!"}));
  EXPECT_EQ(LogIn("685"), (Texts{"Password Error!"}));
  EXPECT_FALSE(H.Link().Unlocked());
  EXPECT_EQ(LogIn("6853"), (Texts{"Password confirmed!"}));
  EXPECT_TRUE(H.Link().Unlocked());
}

TEST_F(LoginE2e, LetterCaseIsIgnored) {
  H.SetDevicePassword("AbCd");
  EXPECT_EQ(LogIn("abcd"), (Texts{"Password confirmed!"}));
  EXPECT_EQ(LogIn("ABCD"), (Texts{"Password confirmed!"}));
  EXPECT_EQ(LogIn("6853"), (Texts{"Password Error!"}));
}

TEST_F(LoginE2e, PortClosedTimesOut) {
  H.Comm.ClosePort();
  H.Session().Login.BeginLogin();
  EXPECT_TRUE(H.Link().Busy());
  H.DrainFor(50);
  H.Timers.Advance(2999);
  EXPECT_TRUE(H.Operator.Messages.empty());
  H.Timers.Advance(1);
  EXPECT_EQ(H.Operator.Messages, (Texts{"Receive timeout"}));
  EXPECT_FALSE(H.Link().Unlocked());
  EXPECT_FALSE(H.Link().Busy());
  EXPECT_EQ(H.Device.Counters().Received, 0u);
}

TEST_F(LoginE2e, SilentDeviceThenASettingsReadReachesTheSettings) {
  H.SetDevicePassword("4321");
  H.Device.AddFault({.Kind = device::TFaultKind::Silence, .Command = 131});
  H.Session().Login.BeginLogin();
  ASSERT_TRUE(H.PumpUntilHandled(1));
  EXPECT_TRUE(H.Link().Busy());
  EXPECT_TRUE(H.Operator.Messages.empty());
  H.Timers.Advance(3000);
  ASSERT_EQ(H.Operator.Messages, (Texts{"Receive timeout"}));
  EXPECT_FALSE(H.Session().Login.Verifying);

  H.Operator.Messages.clear();
  H.Session().Settings.ReadSettings();
  ASSERT_TRUE(H.PumpUntilIdle());
  for (const auto& m : H.Operator.Messages) EXPECT_FALSE(IsPasswordMessage(m)) << m;
  EXPECT_EQ(H.Operator.Messages, (Texts{"Basic settings read to PC software success."}));
  EXPECT_EQ(H.Session().SettingsGrid.Cell(1, 1), "4321");
  EXPECT_FALSE(H.Link().Unlocked());
}

TEST_F(LoginE2e, ReplyCutShortEndsInTimeoutAndTheNextLoginWorks) {
  H.Device.AddFault({.Kind = device::TFaultKind::Cut, .Command = 131, .KeepBytes = 20});
  H.Session().Login.BeginLogin();
  ASSERT_TRUE(H.PumpUntilHandled(1));
  EXPECT_TRUE(H.Link().Busy());
  H.Timers.Advance(3000);
  ASSERT_EQ(H.Operator.Messages, (Texts{"Receive timeout"}));
  EXPECT_EQ(LogIn("6853"), (Texts{"Password confirmed!"}));
}

TEST_F(LoginE2e, BadChecksumShowsInvalidDataWithoutATimeout) {
  H.Device.AddFault({.Kind = device::TFaultKind::BadChecksum, .Command = 131});
  EXPECT_TRUE(LogIn("6853").empty());
  EXPECT_EQ(H.StatusView.Text, "Invalid data");
  EXPECT_FALSE(H.Link().Unlocked());
  H.Timers.Advance(10000);
  EXPECT_TRUE(H.Operator.Messages.empty());
  EXPECT_EQ(LogIn("6853"), (Texts{"Password confirmed!"}));
}

TEST_F(LoginE2e, OversizedReplyIsDropped) {
  H.Device.AddFault({.Kind = device::TFaultKind::Oversize, .Command = 131});
  EXPECT_TRUE(LogIn("6853").empty());
  EXPECT_FALSE(H.Link().Unlocked());
  ASSERT_TRUE(H.PumpUntilHandled(1));
  H.Timers.Advance(3000);
  H.Operator.Messages.clear();
  EXPECT_EQ(LogIn("6853"), (Texts{"Password confirmed!"}));
}

}  // namespace
}  // namespace torvane::testing
