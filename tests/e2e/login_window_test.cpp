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
#include <vector>

#include "app/main_window.h"
#include "device/virtual_device.h"
#include "support/fakes.h"
#include "support/qt_app.h"
#include "support/window_on_device.h"

namespace torvane::testing {
namespace {

using Texts = std::vector<std::string>;

// The 20 buttons the login lock holds, by caption ("Delete all" is on two pages; the two clear-the-
// screen buttons of the number and history pages exist but are never shown).
const QStringList kLockedCaptions{"HEX设置模式",    "同步时间",       "Read Settings", "Save Settings",
                                  "Import profile", "Export profile", "Read",          "Save",
                                  "Import .XLS",    "Export .XLS",    "Export .CSV",   "All Always",
                                  "Delete all",     "Read data",      "Filter",        "Delete all",
                                  "Export.XLS",     "Export.CSV",     "清空界面信息",  "清空界面记录"};
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
  EXPECT_EQ(LockedCount(), 20);
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

}  // namespace
}  // namespace torvane::testing
