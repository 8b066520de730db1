// SPDX-License-Identifier: GPL-3.0-or-later
// Logging in from the window: the operator types the password and clicks "Log in"; the reply comes
// from the virtual device through the real serial component and the Qt event loop.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <chrono>
#include <string>
#include <tuple>
#include <vector>

#include "app/main_window.h"
#include "app/status_bar.h"
#include "device/virtual_device.h"
#include "numbers/number_record.h"
#include "support/fakes.h"
#include "support/qt_app.h"
#include "support/window_on_device.h"

namespace torvane::testing {
namespace {

using Texts = std::vector<std::string>;

// The 20 buttons the login lock holds, by caption ("Delete all" is on two pages; the two clear-the-
// screen buttons of the number and history pages exist but are never shown).
const QStringList kLockedCaptions{
    "HEX设置模式",  "同步时间",     "Read Settings",    "Save Settings", "Import profile", "Export profile",
    "Read",         "Save",         "Import .XLS",      "Export .XLS",   "Export .CSV",    "All Always",
    "Delete all",   "Read data",    "Filter",           "Delete all",    "Export.XLS",     "Export.CSV",
    "清空界面信息", "清空界面记录", "Set device clock", "Add from file…"};
const QStringList kClearCaptions{"清空界面信息", "清空界面记录"};

class LoginWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureQtApp();
    ASSERT_TRUE(Device.Start()) << Device.Error();
    Window = OpenWindowOn(Device.PortPath(), Operator, Timers, Clock);
    ASSERT_TRUE(Window->Comm().PortOpen()) << Operator.LastMessage();
  }
  void TearDown() override {
    Window.reset();
    Device.Stop();
  }

  QPushButton* Button(const QString& caption) const {
    for (QPushButton* b : Window->findChildren<QPushButton*>())
      if (QString(b->text()).remove('&') == caption) return b;
    return nullptr;
  }
  // Every caption of the lock is there (each "Delete all" once per page).
  bool AllLockedButtonsPresent() const {
    QStringList found;
    for (QPushButton* b : LockedButtons()) found << QString(b->text()).remove('&');
    for (const QString& c : kLockedCaptions)
      if (!found.removeOne(c)) return false;
    return true;
  }
  std::vector<QPushButton*> LockedButtons() const {
    std::vector<QPushButton*> out;
    for (QPushButton* b : Window->findChildren<QPushButton*>())
      if (kLockedCaptions.contains(QString(b->text()).remove('&')) ||
          kClearCaptions.contains(QString(b->text()).remove('&')))
        out.push_back(b);
    return out;
  }
  int LockedCount() const { return static_cast<int>(LockedButtons().size()); }
  int EnabledLockedButtons() const {
    int n = 0;
    for (QPushButton* b : LockedButtons()) n += b->isEnabled() ? 1 : 0;
    return n;
  }

  // Lets the event loop run until `done` or ten seconds have passed.
  template <typename F>
  bool PumpUntil(F done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done() && std::chrono::steady_clock::now() < deadline)
      QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
  }
  void SetDeviceSim(const std::string& sim) {
    auto settings = Device.Settings();
    std::fill_n(settings.begin() + 4, 16, 0);
    std::copy(sim.begin(), sim.end(), settings.begin() + 4);
    Device.SetSettings(settings);
  }
  QString SimPanel() const { return Window->StatusBar().PanelText(TStatusBar::kSimPanel); }

  // Types into the password box as the operator would, clicks "Log in" and lets the event loop run
  // until the exchange is over (the reply arrives on the line in real time).
  Texts LogIn(const QString& typed) {
    Operator.Messages.clear();
    QLineEdit* edit = Window->PasswordEdit();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, typed);
    EXPECT_EQ(edit->text(), typed);
    QPushButton* login = Button("Log in");
    EXPECT_NE(login, nullptr);
    if (!login) return {};
    QTest::mouseClick(login, Qt::LeftButton);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (Window->Session().Exchange.Busy() && std::chrono::steady_clock::now() < deadline)
      QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_FALSE(Window->Session().Exchange.Busy()) << "no reply to the login";
    return Operator.Messages;
  }

  device::TVirtualDevice Device;
  TFakeOperator Operator;
  TManualClock Timers;
  TFixedClock Clock{{2026, 12, 7, 18, 30, 5}};
  std::unique_ptr<TForm1> Window;
};

TEST_F(LoginWindowTest, PasswordBoxStartsWithTheFactoryPassword) {
  EXPECT_EQ(Window->PasswordEdit()->text(), "6853");
  ASSERT_TRUE(AllLockedButtonsPresent());
  EXPECT_EQ(EnabledLockedButtons(), 0);
  // The two service buttons exist but are never shown.
  EXPECT_FALSE(Button("HEX设置模式")->isVisible());
  EXPECT_FALSE(Button("同步时间")->isVisible());
}

TEST_F(LoginWindowTest, RightPasswordUnlocksTheOperationButtons) {
  EXPECT_EQ(LogIn("6853"), (Texts{"Password confirmed!"}));
  ASSERT_TRUE(AllLockedButtonsPresent());
  EXPECT_EQ(LockedCount(), 22);
  EXPECT_EQ(EnabledLockedButtons(), LockedCount());
  EXPECT_TRUE(Button("Log in")->isEnabled());
}

TEST_F(LoginWindowTest, WrongPasswordLocksThemAgain) {
  ASSERT_EQ(LogIn("6853"), (Texts{"Password confirmed!"}));
  ASSERT_EQ(EnabledLockedButtons(), LockedCount());
  EXPECT_EQ(LogIn("6835"), (Texts{"Password Error!"}));
  EXPECT_EQ(EnabledLockedButtons(), 0);
}

TEST_F(LoginWindowTest, LetterCaseIsIgnored) {
  auto settings = Device.Settings();
  std::copy_n("xYz9", 4, settings.begin());
  Device.SetSettings(settings);
  EXPECT_EQ(LogIn("XyZ9"), (Texts{"Password confirmed!"}));
  EXPECT_EQ(EnabledLockedButtons(), LockedCount());
}

TEST_F(LoginWindowTest, LoginWaitsWhileAnExchangeIsOpen) {
  Device.AddFault({.Kind = device::TFaultKind::Silence, .Command = 131, .Count = 3});
  QTest::mouseClick(Button("Log in"), Qt::LeftButton);
  EXPECT_TRUE(Window->Session().Exchange.Busy());
  EXPECT_FALSE(Button("Log in")->isEnabled());
  Timers.Advance(3 * 3000);
  EXPECT_EQ(Operator.Messages, (Texts{"Receive timeout"}));
  EXPECT_TRUE(Button("Log in")->isEnabled());
  EXPECT_EQ(EnabledLockedButtons(), 0);
  EXPECT_EQ(LogIn("6853"), (Texts{"Password confirmed!"}));
}

TEST_F(LoginWindowTest, EachLoginShowsTheSimNumberOfTheControllerOnTheLead) {
  EXPECT_EQ(SimPanel(), "");
  SetDeviceSim("+8613912345678");
  ASSERT_EQ(LogIn("6853"), (Texts{"Password confirmed!"}));
  EXPECT_EQ(SimPanel(), "SIM +8613912345678");
  // The lead moves to a controller whose SIM number was never set.
  SetDeviceSim("");
  ASSERT_EQ(LogIn("6853"), (Texts{"Password confirmed!"}));
  EXPECT_EQ(SimPanel(), "SIM number not set");
  QTest::mouseClick(Window->OpenCloseButton(), Qt::LeftButton);
  EXPECT_EQ(SimPanel(), "");
}

TEST_F(LoginWindowTest, SetDeviceClockSendsThisPCsTimeAndNamesIt) {
  EXPECT_FALSE(Button("Set device clock")->isEnabled());
  ASSERT_EQ(LogIn("6853"), (Texts{"Password confirmed!"}));
  ASSERT_TRUE(Button("Set device clock")->isVisible());
  Operator.Messages.clear();
  QTest::mouseClick(Button("Set device clock"), Qt::LeftButton);
  ASSERT_TRUE(PumpUntil([&] { return !Window->Session().Exchange.Busy(); }));
  EXPECT_EQ(Operator.Messages,
            (Texts{"The device clock was set to 2026-12-07 18:30:05, this PC's local time."}));
  const TDateTime set = Device.Clock();
  EXPECT_EQ(std::tie(set.Year, set.Month, set.Day, set.Hour, set.Minute),
            std::make_tuple(2026, 12, 7, 18, 30));
  // The hidden button keeps the device's own words.
  Operator.Messages.clear();
  Window->TimeSyncButton()->click();
  ASSERT_TRUE(PumpUntil([&] { return !Window->Session().Exchange.Busy(); }));
  EXPECT_EQ(Operator.Messages, (Texts{"1同步时间返回正确"}));
}

// Closing with a typed number: Save writes it and then closes; a save the device refuses keeps the
// window open with the number still typed.
TEST_F(LoginWindowTest, ClosingOffersToSaveFirstAndStaysWhenTheSaveFails) {
  ASSERT_EQ(LogIn("6853"), (Texts{"Password confirmed!"}));
  Window->Session().NumberGrid.SetCell(kColNumber, 1, "+491701234567");
  Window->Session().NumberGrid.SetCell(kColAlways, 1, kMarkYes);
  Operator.CloseAnswer = TCloseAnswer::Save;
  Device.AddFault({.Kind = device::TFaultKind::Refuse, .Command = CMD_WRITE, .Count = 0});
  Window->close();
  ASSERT_TRUE(PumpUntil([&] { return !Window->Session().Numbers.Running(); }));
  EXPECT_EQ(Operator.Questions.back(), "1 row is not saved to the device. Discard it?");
  EXPECT_EQ(Operator.CloseCouldSave, std::vector<bool>{true});
  EXPECT_TRUE(Window->isVisible());
  EXPECT_TRUE(Window->Session().NumberEdits.Edited());

  Device.ClearFaults();
  Window->close();
  EXPECT_TRUE(PumpUntil([&] { return !Window->isVisible(); })) << ::testing::PrintToString(Operator.Messages);
  EXPECT_EQ(Device.NumberRecord(0)[0], '+');
  EXPECT_FALSE(Window->Session().NumberEdits.Edited());
}

}  // namespace
}  // namespace torvane::testing
