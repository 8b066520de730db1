// SPDX-License-Identifier: GPL-3.0-or-later
// Logging in to the virtual device through the real serial component over a pseudo-terminal.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "settings/settings_table.h"
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
  // A SIM number the grid's defaults do not hold, so that a login decoding its page would show.
  auto settings = H.Device.Settings();
  std::copy_n("+4912345", 8, settings.begin() + 4);
  H.Device.SetSettings(settings);
  std::vector<std::string> contents;
  for (int row = 1; row < H.Session().SettingsGrid.RowCount(); ++row)
    contents.push_back(H.Session().SettingsGrid.Cell(kContentCol, row));
  EXPECT_FALSE(H.Session().Unlocked());
  EXPECT_EQ(LogIn("6853"), (Texts{"Password confirmed!"}));
  EXPECT_TRUE(H.Session().Unlocked());
  EXPECT_FALSE(H.Session().Login.Verifying);
  EXPECT_EQ(H.Session().Login.DevicePassword, "6853");
  // The device counts an answer once its last byte is out, which may be after the program took it.
  EXPECT_TRUE(H.Device.WaitFor([](const device::TDeviceCounters& c) { return c.Answered >= 1u; }));
  EXPECT_EQ(H.Device.Counters().Answered, 1u);
  // The settings grid is not filled by a login.
  for (int row = 1; row < H.Session().SettingsGrid.RowCount(); ++row)
    EXPECT_EQ(H.Session().SettingsGrid.Cell(kContentCol, row), contents[row - 1]) << row;
  EXPECT_EQ(H.Session().SimNumber, "+4912345");
}

TEST_F(LoginE2e, WrongPasswordsFailAndLockAgain) {
  ASSERT_EQ(LogIn("6853"), (Texts{"Password confirmed!"}));
  EXPECT_EQ(LogIn("6854"), (Texts{"Password Error!"}));
  EXPECT_FALSE(H.Session().Unlocked());
  EXPECT_EQ(LogIn("6853 "), (Texts{"Password Error!"}));
  EXPECT_EQ(LogIn("685"), (Texts{"Password Error!"}));
  EXPECT_FALSE(H.Session().Unlocked());
  EXPECT_EQ(LogIn("6853"), (Texts{"Password confirmed!"}));
  EXPECT_TRUE(H.Session().Unlocked());
}

TEST_F(LoginE2e, LetterCaseIsIgnored) {
  H.SetDevicePassword("AbCd");
  EXPECT_EQ(LogIn("abcd"), (Texts{"Password confirmed!"}));
  EXPECT_EQ(LogIn("ABCD"), (Texts{"Password confirmed!"}));
  EXPECT_EQ(LogIn("6853"), (Texts{"Password Error!"}));
}

TEST_F(LoginE2e, PortClosedTimesOutAfterThreeTries) {
  H.Comm.ClosePort();
  H.Session().Login.BeginLogin();
  EXPECT_TRUE(H.Exchange().Busy());
  H.DrainFor(50);
  H.Timers.Advance(3 * 3000 - 1);
  EXPECT_TRUE(H.Operator.Messages.empty());
  H.Timers.Advance(1);
  EXPECT_EQ(H.Operator.Messages, (Texts{"Receive timeout"}));
  EXPECT_FALSE(H.Session().Unlocked());
  EXPECT_FALSE(H.Exchange().Busy());
  EXPECT_FALSE(H.Session().Login.Verifying);
  EXPECT_EQ(H.Device.Counters().Received, 0u);
}

TEST_F(LoginE2e, ASilentLoginThenASettingsReadReachesTheSettings) {
  H.SetDevicePassword("4321");
  H.Device.AddFault({.Kind = device::TFaultKind::Silence, .Command = 131, .Count = 3});
  H.Session().Login.BeginLogin();
  ASSERT_TRUE(H.PumpUntilIdleAdvancing());
  ASSERT_EQ(H.Operator.Messages, (Texts{"Receive timeout"}));
  EXPECT_EQ(H.Device.Counters().Received, 3u);
  EXPECT_FALSE(H.Session().Login.Verifying);

  H.Operator.Messages.clear();
  H.Session().Settings.StartRead();
  ASSERT_TRUE(H.PumpUntilIdle());
  for (const auto& m : H.Operator.Messages) EXPECT_FALSE(IsPasswordMessage(m)) << m;
  EXPECT_EQ(H.Operator.Messages, (Texts{"Basic settings read to PC software success."}));
  EXPECT_EQ(H.Session().SettingsGrid.Cell(1, 1), "4321");
  EXPECT_FALSE(H.Session().Unlocked());
}

// A fault on the first try only: the repeat is answered and the login goes through, with exactly one
// repeat on the wire.
struct TFirstTryCase {
  device::TFaultKind Kind;
  bool WaitsForTheTimer;  // the engine can only tell by the reply timer that this try got nothing whole
};

TEST_F(LoginE2e, AFaultOnTheFirstTryIsMendedByTheRepeat) {
  const TFirstTryCase cases[] = {
      {device::TFaultKind::Silence, true},      {device::TFaultKind::Cut, true},
      {device::TFaultKind::BadChecksum, false}, {device::TFaultKind::Oversize, true},
      {device::TFaultKind::Refuse, false},      {device::TFaultKind::WrongPage, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(device::FaultKindName(c.Kind));
    H.Device.ClearFaults();
    H.Device.AddFault({.Kind = c.Kind, .Command = 131, .KeepBytes = 20});
    const uint64_t before = H.Device.Counters().Received;
    const int64_t startedAt = H.Timers.Now();
    H.Operator.Messages.clear();
    H.Session().Login.BeginLogin();
    ASSERT_TRUE(H.PumpUntilIdleAdvancing());
    EXPECT_EQ(H.Operator.Messages, (Texts{"Password confirmed!"}));
    EXPECT_EQ(H.Timers.Now() > startedAt, c.WaitsForTheTimer);
    EXPECT_EQ(H.Device.Counters().Received - before, 2u);
    EXPECT_TRUE(H.Session().Unlocked());
  }
}

TEST_F(LoginE2e, ThreeBadAnswersEndInInvalidData) {
  H.Device.AddFault({.Kind = device::TFaultKind::BadChecksum, .Command = 131, .Count = 3});
  H.Session().Login.BeginLogin();
  ASSERT_TRUE(H.PumpUntilIdleAdvancing());
  EXPECT_EQ(H.Operator.Messages, (Texts{"Invalid data"}));
  EXPECT_EQ(H.StatusView.Text, "Invalid data");
  EXPECT_FALSE(H.Session().Unlocked());
  EXPECT_EQ(LogIn("6853"), (Texts{"Password confirmed!"}));
}

}  // namespace
}  // namespace torvane::testing
