// SPDX-License-Identifier: GPL-3.0-or-later
// Saving the settings to the virtual device and reading them back, through the real serial component
// over a pseudo-terminal.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "settings/settings_table.h"
#include "support/e2e_harness.h"

namespace torvane::testing {
namespace {

struct SettingsE2e : ::testing::Test {
  TE2eHarness H;
  void SetUp() override {
    ASSERT_TRUE(H.Start()) << H.Problem();
    ASSERT_TRUE(H.LogIn("6853"));
    ASSERT_TRUE(H.Session().Unlocked());
    H.Operator.Messages.clear();
  }
  TGrid& Grid() { return H.Session().SettingsGrid; }
  TSettingsLists& Lists() { return H.Session().SettingsLists; }
  std::string DeviceBytes(int address, int size) {
    const auto mem = H.Device.Settings();
    return std::string(reinterpret_cast<const char*>(mem.data()) + address, size);
  }
};

TEST_F(SettingsE2e, EveryParameterSavedIsReadBack) {
  const std::string apn = "internet.provider.example";                                     // runs into page 2
  const std::string mqttPassword = "p4ssw0rd-0123456789-abcdefghijklmnopqrstuvwxyz-ABCD";  // runs into page 3
  ASSERT_GT(mqttPassword.size(), 48u);
  const std::map<int, std::string> values{{1, "1357"},
                                          {2, "+8613800138000"},
                                          {5, "Front door forced"},
                                          {6, "Window 2 open"},
                                          {7, "25"},
                                          {10, "5"},
                                          {13, "Gate open"},
                                          {14, "Gate closed"},
                                          {15, "30"},
                                          {16, "24"},
                                          {17, "600"},
                                          {18, "192.168.10.20"},
                                          {19, "8883"},
                                          {20, apn},
                                          {21, "gprsuser"},
                                          {22, "gprspass"},
                                          {23, "120"},
                                          {24, "client-42"},
                                          {25, "mqttuser"},
                                          {26, mqttPassword},
                                          {27, "dev/42/pub"},
                                          {28, "dev/42/sub"}};
  const std::map<int, int> choices{{3, 0}, {4, 0}, {8, 1}, {9, 0}, {11, 1}, {12, 2}};
  for (const auto& [row, text] : values) Grid().SetCell(kContentCol, row, text);
  for (const auto& [row, index] : choices) Lists().SetItemIndex(*Lists().ForRow(row), index);

  H.Session().Settings.StartSave();
  ASSERT_TRUE(H.PumpUntilIdle());
  ASSERT_EQ(H.Operator.Messages, std::vector<std::string>{"Basic setting saved success"});

  // What the device now holds, byte for byte where it matters.
  EXPECT_EQ(DeviceBytes(0, 4), "1357");
  EXPECT_EQ(DeviceBytes(4, 15), std::string("+8613800138000") + '\0');
  EXPECT_EQ(DeviceBytes(26, 2), std::string("\x00\x00", 2));
  EXPECT_EQ(DeviceBytes(108, 10), std::string("\x19\x00\x00\x01\x05\x00\x05\x00\x01\x02", 10));
  EXPECT_EQ(DeviceBytes(198, 6), std::string("\x58\x02\x1E\x00\x18\x00", 6));
  EXPECT_EQ(DeviceBytes(236, 2), std::string("\xB3\x22", 2));  // 8883
  EXPECT_EQ(DeviceBytes(238, 18), apn.substr(0, 18));
  EXPECT_EQ(DeviceBytes(256, 8), apn.substr(18) + '\0');
  EXPECT_EQ(DeviceBytes(256 + 78, 2), std::string("\x78\x00", 2));
  EXPECT_EQ(DeviceBytes(256 + 208, 48), mqttPassword.substr(0, 48));
  EXPECT_EQ(DeviceBytes(512, 16),
            mqttPassword.substr(48) + std::string(16 - (mqttPassword.size() - 48), '\0'));
  EXPECT_EQ(DeviceBytes(512 + 80, 11), std::string("dev/42/sub") + '\0');

  // Back to the start-up grid, then read.
  SetUpSettingsGrid(Grid(), Lists());
  H.Operator.Messages.clear();
  H.Session().Settings.StartRead();
  ASSERT_TRUE(H.PumpUntilIdle());
  EXPECT_EQ(H.Operator.Questions.back(), "Read the GSM device basic parameters to PC software?");
  ASSERT_EQ(H.Operator.Messages, std::vector<std::string>{"Basic settings read to PC software success."});
  for (const auto& [row, text] : values) EXPECT_EQ(Grid().Cell(kContentCol, row), text) << "row " << row;
  for (const auto& [row, index] : choices) {
    EXPECT_EQ(Lists().ForRow(row)->ItemIndex, index) << "row " << row;
    EXPECT_TRUE(Lists().ForRow(row)->Visible);
  }
  EXPECT_FALSE(H.Exchange().Busy());
}

TEST_F(SettingsE2e, FactorySettingsSurviveASaveOfWhatWasRead) {
  H.Session().Settings.StartRead();
  ASSERT_TRUE(H.PumpUntilIdle());
  ASSERT_EQ(H.Operator.LastMessage(), "Basic settings read to PC software success.");
  EXPECT_EQ(Grid().Cell(kContentCol, 1), "6853");
  EXPECT_EQ(Grid().Cell(kContentCol, 2), "");
  std::vector<std::string> shown;
  for (int row = 1; row <= kSettingCount; ++row) shown.push_back(Grid().Cell(kContentCol, row));

  // The erased bytes of the factory image go back as zeros, which read as the same values.
  H.Session().Settings.StartSave();
  ASSERT_TRUE(H.PumpUntilIdle());
  ASSERT_EQ(H.Operator.LastMessage(), "Basic setting saved success");
  SetUpSettingsGrid(Grid(), Lists());
  H.Session().Settings.StartRead();
  ASSERT_TRUE(H.PumpUntilIdle());
  for (int row = 1; row <= kSettingCount; ++row)
    EXPECT_EQ(Grid().Cell(kContentCol, row), shown[row - 1]) << "row " << row;
}

TEST_F(SettingsE2e, PortOutOfRangeWritesNothing) {
  Grid().SetCell(kContentCol, 19, "70000");
  const auto before = H.Device.Settings();
  const auto received = H.Device.Counters().Received;
  H.Session().Settings.StartSave();
  ASSERT_TRUE(H.PumpUntilIdle());
  EXPECT_EQ(H.Operator.Errors.size(), 1u);
  EXPECT_TRUE(H.Operator.Messages.empty());
  // The cell is refused before anything goes out, the backup read included.
  H.DrainFor(100);
  EXPECT_EQ(H.Device.Counters().Received, received);
  EXPECT_EQ(H.Device.Settings(), before);
}

}  // namespace
}  // namespace torvane::testing
