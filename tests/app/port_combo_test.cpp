// SPDX-License-Identifier: GPL-3.0-or-later
// The window's port combo while adapters come and go: a fake sysfs tree and a fake event source in
// place of the system's, the real window offscreen, and the event loop delivering the events.
#include "app/port_combo.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <memory>

#include "app/main_window.h"
#include "support/fake_port_events.h"
#include "support/fake_sysfs.h"
#include "support/fakes.h"
#include "support/qt_app.h"

namespace torvane {
namespace {

using testing::TFakePortEvents;
using testing::TFakeSysfs;

class PortComboTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::EnsureQtApp();
    sys_.Add("ttyS0", "platform/serial8250", 4);
    sys_.AddUsb("ttyUSB1");
  }
  std::unique_ptr<TForm1> MakeWindow(const QString& firstPort = {}) {
    TForm1Options o;
    o.Operator = &op_;
    o.Timers = &clock_;
    o.ProgramDir = dir_.path();
    o.FirstPort = firstPort;
    o.PortRoot = sys_.Root();
    o.PortEvents = events_;
    auto w = std::make_unique<TForm1>(o);
    w->show();
    return w;
  }
  // Lets the event loop hand the waiting events to the combo (the source's post).
  bool Deliver() {
    return QTest::qWaitFor([&] { return !events_->Waiting(); }, 10000);
  }
  static QStringList Items(QComboBox* c) {
    QStringList items;
    for (int i = 0; i < c->count(); ++i) items << c->itemText(i);
    return items;
  }

  TFakeSysfs sys_;
  std::shared_ptr<TFakePortEvents> events_ = std::make_shared<TFakePortEvents>();
  testing::TFakeOperator op_;
  TManualClock clock_;
  QTemporaryDir dir_;
};

TEST_F(PortComboTest, FollowsAdaptersAndKeepsTheSelectedPort) {
  auto window = MakeWindow();
  QComboBox* combo = window->PortList();
  ASSERT_TRUE(window->PortCombo().Live());
  EXPECT_EQ(Items(combo), (QStringList{"ttyS0", "ttyUSB1"}));
  EXPECT_EQ(combo->currentText(), "ttyS0");
  combo->setCurrentIndex(1);

  struct TStep {
    const char* What;
    std::function<void()> Happen;
    QStringList Items;
    QString Current;
  };
  const std::vector<TStep> steps = {
      {"plugged in, in natural order",
       [&] {
         sys_.AddUsb("ttyUSB0");
         events_->Added("ttyUSB0");
       },
       {"ttyS0", "ttyUSB0", "ttyUSB1"},
       "ttyUSB1"},
      {"another port pulled out",
       [&] {
         sys_.Remove("ttyS0");
         events_->Removed("ttyS0");
       },
       {"ttyUSB0", "ttyUSB1"},
       "ttyUSB1"},
      {"the selected one pulled out: its name stays in the box",
       [&] {
         sys_.Remove("ttyUSB1");
         events_->Removed("ttyUSB1");
       },
       {"ttyUSB0"},
       "ttyUSB1"},
      {"and it is selected again when it comes back",
       [&] {
         sys_.AddUsb("ttyUSB1");
         events_->Added("ttyUSB1");
       },
       {"ttyUSB0", "ttyUSB1"},
       "ttyUSB1"},
  };
  for (const TStep& s : steps) {
    SCOPED_TRACE(s.What);
    s.Happen();
    ASSERT_TRUE(Deliver());
    EXPECT_EQ(Items(combo), s.Items);
    EXPECT_EQ(combo->currentText(), s.Current);
  }
  EXPECT_EQ(combo->findText("ttyUSB1"), combo->currentIndex());
}

TEST_F(PortComboTest, TheNamedPortStaysFirstAndATypedNameIsLeftAlone) {
  auto window = MakeWindow("/dev/pts/77");
  QComboBox* combo = window->PortList();
  EXPECT_EQ(Items(combo), (QStringList{"/dev/pts/77", "ttyS0", "ttyUSB1"}));
  EXPECT_EQ(combo->currentText(), "/dev/pts/77");

  sys_.AddUsb("ttyACM0");
  events_->Added("ttyACM0");
  ASSERT_TRUE(Deliver());
  EXPECT_EQ(Items(combo), (QStringList{"/dev/pts/77", "ttyACM0", "ttyS0", "ttyUSB1"}));
  EXPECT_EQ(combo->currentText(), "/dev/pts/77");

  // A name being typed is not disturbed by an adapter coming.
  combo->lineEdit()->clear();
  QTest::keyClicks(combo->lineEdit(), "ttyUSB7");
  sys_.AddUsb("ttyUSB5");
  events_->Added("ttyUSB5");
  ASSERT_TRUE(Deliver());
  EXPECT_EQ(Items(combo), (QStringList{"/dev/pts/77", "ttyACM0", "ttyS0", "ttyUSB1", "ttyUSB5"}));
  EXPECT_EQ(combo->currentText(), "ttyUSB7");
  EXPECT_EQ(combo->lineEdit()->cursorPosition(), 7);
}

TEST_F(PortComboTest, AnEmptyBoxTakesTheFirstPortThatComes) {
  sys_.Remove("ttyS0");
  sys_.Remove("ttyUSB1");
  auto window = MakeWindow();
  QComboBox* combo = window->PortList();
  EXPECT_EQ(combo->count(), 0);
  EXPECT_EQ(combo->currentText(), "");
  sys_.AddUsb("ttyUSB0");
  events_->Added("ttyUSB0");
  ASSERT_TRUE(Deliver());
  EXPECT_EQ(Items(combo), (QStringList{"ttyUSB0"}));
  EXPECT_EQ(combo->currentText(), "ttyUSB0");
}

// Without hot-plug (no udev) the combo is filled once, as at any start-up, and stays as it is.
TEST_F(PortComboTest, WithoutEventsTheListIsTheStartUpOne) {
  QComboBox combo;
  combo.setEditable(true);
  TPortCombo ports(&combo, "ttyUSB9",
                   std::make_unique<TPortMonitor>(Trecognitionserial(sys_.Root()), nullptr));
  EXPECT_FALSE(ports.Live());
  EXPECT_EQ(Items(&combo), (QStringList{"ttyUSB9", "ttyS0", "ttyUSB1"}));
  EXPECT_EQ(combo.currentText(), "ttyUSB9");
  sys_.AddUsb("ttyUSB0");
  ports.Update();
  EXPECT_EQ(Items(&combo), (QStringList{"ttyUSB9", "ttyS0", "ttyUSB1"}));
}

}  // namespace
}  // namespace torvane
