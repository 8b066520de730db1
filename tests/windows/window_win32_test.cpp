// SPDX-License-Identifier: GPL-3.0-or-later
// The whole window on Windows against a Linux virtual device through a COM port of the wine prefix
// (scripts/wine-devices names it): the port chosen and opened as the operator does, the login, a read
// of the settings and a one-change safe save, found again by a second read.
//   TORVANE_TEST_COM_WINDOW    torvane-device --populate numbers=20
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/settings_page.h"
#include "settings/settings_table.h"
#include "support/fakes.h"
#include "support/qt_app.h"
#include "support/window_on_device.h"

namespace torvane::testing {
namespace {

using Texts = std::vector<std::string>;

class WindowWin32 : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* port = std::getenv("TORVANE_TEST_COM_WINDOW");
    if (!port || !*port) GTEST_SKIP() << "TORVANE_TEST_COM_WINDOW names no port";
    Window = OpenWindowOn(port, Operator, Timers, Clock);
    ASSERT_TRUE(Window->Comm().PortOpen()) << Operator.LastMessage();
  }

  // Lets the event loop run until the transfer is over; a reply that does not come within a moment of
  // real time is missing, and the reply timer is moved on.
  bool RunUntilIdle(int quietMs = 200) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    auto quietSince = std::chrono::steady_clock::now();
    while (Window->Session().Exchange.Busy()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      const uint64_t sent = Window->Session().Exchange.SendCount();
      QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
      if (Window->Session().Exchange.SendCount() != sent) quietSince = std::chrono::steady_clock::now();
      if (std::chrono::steady_clock::now() - quietSince > std::chrono::milliseconds(quietMs)) {
        if (Window->Session().Exchange.Outstanding()) Timers.Advance(3000);
        quietSince = std::chrono::steady_clock::now();
      }
    }
    return true;
  }
  Texts Click(QPushButton* button) {
    Operator.Messages.clear();
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_TRUE(RunUntilIdle()) << "the transfer never ended";
    return Operator.Messages;
  }
  std::string Cell(int row) { return Window->Session().SettingsGrid.Cell(kContentCol, row); }

  TFakeOperator Operator;
  TManualClock Timers;
  TFixedClock Clock{{2026, 12, 7, 18, 30, 5}};
  std::unique_ptr<TForm1> Window;
};

TEST_F(WindowWin32, LogsInReadsTheSettingsAndSavesOneChange) {
  EXPECT_EQ(Click(Window->LoginButton()), Texts{"Password confirmed!"});
  TSettingsPage& page = Window->SettingsPage();
  ASSERT_EQ(Click(page.ReadButton()), Texts{"Basic settings read to PC software success."});
  EXPECT_EQ(Cell(1), "6853");
  const std::string apn = Cell(20);

  Window->Session().SettingsGrid.SetCell(kContentCol, 18, "10.20.30.40");
  EXPECT_EQ(Click(page.SaveButton()), Texts{"Basic setting saved success"});

  // What the device holds now, read again over what the grid shows.
  Window->Session().SettingsGrid.SetCell(kContentCol, 18, "");
  Window->Session().SettingsGrid.SetCell(kContentCol, 20, "not read");
  ASSERT_EQ(Click(page.ReadButton()), Texts{"Basic settings read to PC software success."});
  EXPECT_EQ(Cell(18), "10.20.30.40");
  EXPECT_EQ(Cell(20), apn);
  EXPECT_EQ(Cell(1), "6853");
}

}  // namespace
}  // namespace torvane::testing
