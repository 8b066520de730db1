// SPDX-License-Identifier: GPL-3.0-or-later
// The exchange rules through the real window: the operator clicks, the virtual device answers through
// the real serial component and the Qt event loop, and its faults try to mislead the program. What the
// device received is read from its own trace of the frames that came in.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "app/history_page.h"
#include "app/main_window.h"
#include "app/numbers_page.h"
#include "app/settings_page.h"
#include "app/status_bar.h"
#include "core/grid.h"
#include "device/virtual_device.h"
#include "history/history_record.h"
#include "numbers/number_record.h"
#include "protocol/protocol_texts.h"
#include "support/fakes.h"
#include "support/held_by_value.h"
#include "support/qt_app.h"
#include "support/window_on_device.h"

namespace torvane::testing {
namespace {

using Texts = std::vector<std::string>;
using device::TFaultKind;
using device::TRegion;

// One request as the device took it off the line.
struct TSeen {
  int Command = 0;
  uint32_t Address = 0;
};

class ExchangeWindowTest : public ::testing::Test {
 protected:
  ExchangeWindowTest() : Device(Options()) {}

  device::TDeviceOptions Options() {
    device::TDeviceOptions o;
    o.Trace = [this](const std::string& line) {
      // "hh:mm:ss.mmm in  23 83 00 00 10 00 00 00 93"
      const size_t at = line.find(" in  ");
      if (at == std::string::npos) return;
      std::vector<int> bytes;
      for (size_t i = at + 4; i + 2 < line.size() + 1; i += 3)
        bytes.push_back(std::stoi(line.substr(i + 1, 2), nullptr, 16));
      if (bytes.size() < 9) return;
      std::lock_guard lock(seenMutex_);
      seen_.push_back(
          {bytes[1], static_cast<uint32_t>(bytes[2] << 24 | bytes[3] << 16 | bytes[4] << 8 | bytes[5])});
    };
    return o;
  }

  void SetUp() override {
    EnsureQtApp();
    ASSERT_TRUE(Device.Start()) << Device.Error();
    Window = OpenWindowOn(Device.PortPath(), Operator, Timers, Clock);
    ASSERT_TRUE(Window->Comm().PortOpen()) << Operator.LastMessage();
    QTest::mouseClick(Window->LoginButton(), Qt::LeftButton);
    ASSERT_TRUE(RunUntilIdle());
    ASSERT_EQ(Operator.Messages, (Texts{"Password confirmed!"}));
    Operator.Messages.clear();
  }
  void TearDown() override {
    Window.reset();
    Device.Stop();
  }

  TSession& Session() { return Window->Session(); }

  // Lets the event loop run until the transfer is over; a reply that does not come within a moment of
  // real time is missing, and the reply timer is moved on.
  bool RunUntilIdle(int quietMs = 100) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    auto lastChange = std::chrono::steady_clock::now();
    size_t lastSeen = Seen().size();
    while (Session().Exchange.Busy()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
      const size_t now = Seen().size();
      if (now != lastSeen) {
        lastSeen = now;
        lastChange = std::chrono::steady_clock::now();
      } else if (std::chrono::steady_clock::now() - lastChange > std::chrono::milliseconds(quietMs)) {
        if (Session().Exchange.Outstanding()) {
          Timers.Advance(3000);
          ++advances_;
        }
        lastChange = std::chrono::steady_clock::now();
      }
    }
    return true;
  }
  // Runs the event loop until done() holds; false after 20 s of real time.
  bool RunUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!done()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
  }
  // Runs the event loop for a while of real time, so that what the device still sends arrives.
  void RunFor(int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  std::vector<TSeen> Seen() {
    std::lock_guard lock(seenMutex_);
    return seen_;
  }
  std::vector<TSeen> SeenSince(size_t from) {
    const auto all = Seen();
    return std::vector<TSeen>(all.begin() + std::min(from, all.size()), all.end());
  }
  static int Count(const std::vector<TSeen>& seen, int command) {
    int n = 0;
    for (const auto& s : seen) n += s.Command == command;
    return n;
  }

  device::TVirtualDevice Device;
  int advances_ = 0;  // reply timers RunUntilIdle moved on
  TFakeOperator Operator;
  TManualClock Timers;
  TFixedClock Clock{{2026, 12, 7, 18, 30, 5}};
  std::unique_ptr<TForm1> Window;

 private:
  std::mutex seenMutex_;
  std::vector<TSeen> seen_;
};

// A save whose first acknowledgement comes only after the last try has given up, then a read: the
// late acknowledgements must not drive the read into writing pages nobody asked for.
TEST_F(ExchangeWindowTest, LateAcknowledgementsOfAFailedSaveDoNotDriveTheNextRead) {
  struct TCase {
    const char* Name;
    TRegion Region;
    QPushButton* (*Save)(TForm1&);
    QPushButton* (*Read)(TForm1&);
    int ReadPages;
    const char* ReadDone;
    void (*Edit)(TSession&);  // something on page 1 that differs from the device
  };
  const TCase cases[] = {
      {"settings", TRegion::Settings, [](TForm1& w) { return w.SettingsPage().SaveButton(); },
       [](TForm1& w) { return w.SettingsPage().ReadButton(); }, 3,
       "Basic settings read to PC software success.",
       [](TSession& s) { s.SettingsGrid.SetCell(1, 2, "13800138000"); }},
      {"numbers", TRegion::Numbers, [](TForm1& w) { return w.NumbersPage().SaveButton(); },
       [](TForm1& w) { return w.NumbersPage().ReadButton(); }, 375,
       "Authorized number list read to PC software success.",
       [](TSession& s) {
         s.NumberGrid.SetCell(kColNumber, 1, "555");
         s.NumberGrid.SetCell(kColAlways, 1, kMarkYes);
       }},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    c.Edit(Session());
    Device.ClearFaults();
    // The device answers page 1's write a second and a half late; the repeats queue up behind it.
    Device.AddFault(
        {.Kind = TFaultKind::Late, .Command = 130, .Region = c.Region, .Page = 1, .DelayMs = 1500});
    Operator.Messages.clear();
    const size_t before = Seen().size();
    const uint64_t faults = Device.Counters().Faults;
    QTest::mouseClick(c.Save(*Window), Qt::LeftButton);
    // The save's backup read goes first; then page 1's write meets the late device.
    ASSERT_TRUE(RunUntil([&] { return Device.Counters().Faults > faults; }));
    Timers.Advance(3 * 3000);
    ASSERT_EQ(Operator.Messages, (Texts{"Receive timeout"}));
    ASSERT_FALSE(Session().Exchange.Busy());

    Operator.Messages.clear();
    const size_t atRead = Seen().size();
    QTest::mouseClick(c.Read(*Window), Qt::LeftButton);
    ASSERT_TRUE(RunUntilIdle(2000));
    RunFor(100);
    EXPECT_EQ(Operator.Messages, (Texts{c.ReadDone}));
    // The save's backup read, page 1's write three times (the repeats reach the device behind the late
    // one), and otherwise only the read's own requests: no page 2 written in the middle of the read.
    const auto all = SeenSince(before);
    EXPECT_EQ(Count(all, 130), 3);
    const uint32_t pageOne = c.Region == TRegion::Settings ? 0x000u : 0x1000u;
    for (const TSeen& s : all) {
      if (s.Command == 130) {
        EXPECT_EQ(s.Address, pageOne);
      }
    }
    EXPECT_EQ(Count(all, 131), 2 * c.ReadPages);
    EXPECT_LE(atRead - before, static_cast<size_t>(c.ReadPages) + 3u);
  }
}

TEST_F(ExchangeWindowTest, ADuplicatedReplyEndsTheReadWithOneBox) {
  Device.Populate(400, 0, 3);
  Device.AddFault({.Kind = TFaultKind::Duplicate, .Command = 131, .Region = TRegion::Numbers, .Count = 0});
  QTest::mouseClick(Window->NumbersPage().ReadButton(), Qt::LeftButton);
  ASSERT_TRUE(RunUntilIdle());
  RunFor(100);
  EXPECT_EQ(Operator.Messages, (Texts{"Authorized number list read to PC software success."}));
  EXPECT_EQ(Count(Seen(), 131), 1 + 375);  // the login, then every page once
  const TNumberRecordText first = DecodeNumberRecord(Device.NumberRecord(0).data());
  EXPECT_EQ(Session().NumberGrid.Cell(kColNumber, 1), first.Number);
}

TEST_F(ExchangeWindowTest, BadFramesOnEveryTryEndInOneInvalidDataBox) {
  for (TFaultKind kind : {TFaultKind::Oversize, TFaultKind::BadChecksum}) {
    SCOPED_TRACE(device::FaultKindName(kind));
    Device.ClearFaults();
    Device.AddFault({.Kind = kind, .Command = 131, .Region = TRegion::Settings, .Page = 2, .Count = 3});
    Operator.Messages.clear();
    QTest::mouseClick(Window->SettingsPage().ReadButton(), Qt::LeftButton);
    ASSERT_TRUE(RunUntilIdle());
    RunFor(100);
    EXPECT_EQ(Operator.Messages, (Texts{"Invalid data"}));
    // The reason stays on the line; the bar is hidden and the buttons are back.
    EXPECT_EQ(Window->StatusBar().PanelText(2).toStdString(), "Invalid data");
    EXPECT_TRUE(Window->SettingsPage().ReadButton()->isEnabled());
  }
}

TEST_F(ExchangeWindowTest, AHistoryPageAnsweredAgainAfterTheReadIsNotDecodedTwice) {
  Device.Populate(0, 1000, 5);
  // The device repeats its answer to page 500, after the read has ended.
  Device.AddFault({.Kind = TFaultKind::Duplicate, .Command = 131, .Region = TRegion::History, .Page = 500});
  QTest::mouseClick(Window->HistoryPage().ReadDataButton(), Qt::LeftButton);
  ASSERT_TRUE(RunUntilIdle());
  RunFor(100);
  EXPECT_EQ(Operator.Messages, (Texts{"Historical data read to PC software success."}));
  const TGrid& g = Session().HistoryGrid;
  std::vector<std::string> numbers;
  for (int row = 1; row <= 1000; ++row)
    if (!g.Cell(kHisNumber, row).empty()) numbers.push_back(g.Cell(kHisNumber, row));
  std::vector<std::string> unique = numbers;
  std::sort(unique.begin(), unique.end());
  unique.erase(std::unique(unique.begin(), unique.end()), unique.end());
  EXPECT_FALSE(numbers.empty());
  EXPECT_EQ(unique.size(), numbers.size()) << "a record shows twice";
}

TEST_F(ExchangeWindowTest, AnAdapterPulledOutMidTransferClosesThePortAndSaysSo) {
  Device.Populate(3000, 0, 1);
  Device.AddFault({.Kind = TFaultKind::Hangup, .Command = 131, .Region = TRegion::Numbers, .Page = 40});
  const int counter = Window->ClickCounter();
  QTest::mouseClick(Window->NumbersPage().ReadButton(), Qt::LeftButton);
  ASSERT_TRUE(RunUntilIdle(1000));
  ASSERT_EQ(Operator.Messages.size(), 1u);
  EXPECT_NE(Operator.Messages[0].find(Device.PortPath()), std::string::npos) << Operator.Messages[0];
  EXPECT_NE(Operator.Messages[0].find("disconnected"), std::string::npos) << Operator.Messages[0];
  EXPECT_FALSE(Window->Comm().PortOpen());
  EXPECT_FALSE(Window->LampGreen());
  EXPECT_EQ(Window->OpenCloseButton()->text(), "Open");
  EXPECT_EQ(Window->ClickCounter(), counter + 1);
  EXPECT_TRUE(Window->OpenCloseButton()->isEnabled());
  // The pages before the unplug are in the grid; the rest never came.
  EXPECT_EQ(Session().NumberGrid.Cell(kColNumber, 39 * 8),
            DecodeNumberRecord(Device.NumberRecord(39 * 8 - 1).data()).Number);
  EXPECT_EQ(Session().NumberGrid.Cell(kColNumber, 39 * 8 + 1), "");
  // Nothing was sent after the port went away, and no timeout follows.
  Timers.Advance(20000);
  EXPECT_EQ(Operator.Messages.size(), 1u);
}

// The installer reads a controller, moves the lead to the next one (a factory-fresh one) without
// closing the port and clicks Save: the window finds out, backs the new one up, and leaves it holding
// the list.
TEST_F(ExchangeWindowTest, SaveAfterTheLeadMovedToAFreshControllerLeavesItHoldingTheList) {
  Device.Populate(1000, 0, 4);
  QTest::mouseClick(Window->NumbersPage().ReadButton(), Qt::LeftButton);
  ASSERT_TRUE(RunUntilIdle());
  Operator.Messages.clear();
  Device.AddFault({.Kind = TFaultKind::Moved});
  const size_t before = Seen().size();
  const int advancesBefore = advances_;
  QTest::mouseClick(Window->NumbersPage().SaveButton(), Qt::LeftButton);
  ASSERT_TRUE(RunUntilIdle());
  EXPECT_EQ(Operator.Messages,
            (Texts{std::string("Authorized number list saved success\n") + kOtherDeviceBackedUp}));
  EXPECT_EQ(NumbersNotHeld(Device.Numbers(), Session().NumberGrid), std::vector<int>{});
  // Both hold factory settings, so the settings' page named no one; the list's first page told it.
  // Then the whole backup, and 125 pages written and read back.
  const auto seen = SeenSince(before);
  // (A reply that missed the moment of quiet on a loaded machine was asked for again.)
  EXPECT_EQ(Count(seen, CMD_WRITE) + Count(seen, CMD_READ), 125 + 2 + 375 + 125 + advances_ - advancesBefore);
  EXPECT_GE(Count(seen, CMD_WRITE), 125);
  EXPECT_GE(Count(seen, CMD_READ), 2 + 375 + 125);
}

// Esc while the backup's last page is on its way: that page is answered, and nothing is written.
TEST_F(ExchangeWindowTest, EscapeDuringTheBackupsLastPageWritesNothing) {
  Device.AddFault({.Kind = TFaultKind::Late,
                   .Command = CMD_READ,
                   .Region = TRegion::Numbers,
                   .Page = 375,
                   .DelayMs = 300});
  Session().NumberGrid.SetCell(kColNumber, 1, "555");
  Session().NumberGrid.SetCell(kColAlways, 1, kMarkYes);
  const size_t before = Seen().size();
  QTest::mouseClick(Window->NumbersPage().SaveButton(), Qt::LeftButton);
  ASSERT_TRUE(RunUntil([&] { return SeenSince(before).size() >= 375; }));
  QApplication::setActiveWindow(Window.get());
  QTest::keyClick(Window.get(), Qt::Key_Escape);
  ASSERT_TRUE(RunUntilIdle(1000));
  ASSERT_EQ(Operator.Messages.size(), 1u);
  EXPECT_EQ(Operator.Messages[0].rfind("Stopped after page 375 of 375. That was the backup read before the "
                                       "save: nothing was written to the device.",
                                       0),
            0u)
      << Operator.Messages[0];
  EXPECT_EQ(Count(SeenSince(before), CMD_WRITE), 0);
  EXPECT_FALSE(Window->StopButton()->isEnabled());
}

}  // namespace
}  // namespace torvane::testing
