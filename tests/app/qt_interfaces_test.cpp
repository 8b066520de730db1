// SPDX-License-Identifier: GPL-3.0-or-later
// The window's ports: file filters for the dialogs and the hand-over of worker notifications.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "app/qt_interfaces.h"
#include "support/qt_app.h"

namespace torvane {
namespace {

TEST(ToQtFilter, PairsBecomeQtFilters) {
  EXPECT_EQ(ToQtFilter("Excel files|*.xls;*.xlsx|(*.*)|*.*"), "Excel files (*.xls *.xlsx);;(*.*) (*)");
  EXPECT_EQ(ToQtFilter("CSV|*.cvs"), "CSV (*.cvs)");
  EXPECT_EQ(ToQtFilter(""), "");
  // A description without its pattern is dropped rather than shown as a broken entry.
  EXPECT_EQ(ToQtFilter("CSV|*.cvs|Orphan"), "CSV (*.cvs)");
}

TEST(DefaultSuffixOf, IsTheChosenFiltersFirstExtension) {
  const std::pair<const char*, const char*> cases[] = {
      {"EXCEL file (*.xlsx *.xls)", "xlsx"}, {"EXCEL file (*.xls *.xlsx)", "xls"},
      {"CVS file (*.cvs *.cvs)", "cvs"},     {"(*.*) (*)", ""},
      {"Any (*.xls? *.xlsx)", ""},           {"No pattern", ""},
  };
  for (const auto& [filter, suffix] : cases) EXPECT_EQ(DefaultSuffixOf(filter), suffix) << filter;
}

TEST(QtNotifyTarget, RunsPostedClosuresOnTheWindowThreadInOrder) {
  testing::EnsureQtApp();
  TQtNotifyTarget target;
  std::vector<int> seen;
  bool allOnMain = true;
  QThread* mainThread = QThread::currentThread();
  std::thread worker([&] {
    for (int i = 0; i < 500; ++i)
      ASSERT_TRUE(target.Post([&, i] {
        seen.push_back(i);
        if (QThread::currentThread() != mainThread) allOnMain = false;
      }));
  });
  worker.join();
  EXPECT_TRUE(seen.empty());  // nothing runs on the worker
  QCoreApplication::processEvents();
  ASSERT_EQ(seen.size(), 500u);
  for (int i = 0; i < 500; ++i) ASSERT_EQ(seen[i], i);
  EXPECT_TRUE(allOnMain);
  // The whole burst waited for one Qt event (and one more kept ready while it was delivered).
  EXPECT_LE(target.EventsPosted(), 2);
  // Once the queue has run dry and the spare event has come and found nothing, the next closure
  // needs an event of its own.
  QCoreApplication::processEvents();
  const int before = target.EventsPosted();
  target.Post([&] { seen.push_back(500); });
  EXPECT_EQ(target.EventsPosted(), before + 1);
  QCoreApplication::processEvents();
  EXPECT_EQ(seen.back(), 500);
}

// A delivery that opens a modal box runs an event loop of its own before it returns. That loop must
// go on delivering, in order, both what was already queued behind it and what arrives meanwhile,
// and the outer drain must not run any of it again.
TEST(QtNotifyTarget, DeliveriesGoOnInOrderInsideANestedEventLoop) {
  testing::EnsureQtApp();
  for (const int modalAt : {1, 4}) {  // in the middle of the queue, and its last closure
    TQtNotifyTarget target;
    std::vector<int> seen;
    std::vector<int> depthSeen;
    int depth = 0;
    auto record = [&](int i) {
      seen.push_back(i);
      depthSeen.push_back(depth);
    };
    for (int i = 0; i < 5; ++i)
      target.Post([&, i] {
        record(i);
        if (i != modalAt) return;
        ++depth;
        std::thread worker([&] {
          for (int j = 100; j < 103; ++j) target.Post([&, j] { record(j); });
        });
        worker.join();
        QEventLoop modal;
        QTimer::singleShot(0, &modal, &QEventLoop::quit);
        modal.exec();
        --depth;
      });
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    const std::vector<int> expected{0, 1, 2, 3, 4, 100, 101, 102};
    EXPECT_EQ(seen, expected) << "modal at " << modalAt;
    for (size_t k = 0; k < seen.size(); ++k)
      EXPECT_EQ(depthSeen[k], seen[k] > modalAt ? 1 : 0) << "closure " << seen[k] << ", modal at " << modalAt;
  }
}

TEST(QtNotifyTarget, ADeliveryThatEndsTheTargetDropsTheRest) {
  testing::EnsureQtApp();
  auto target = std::make_unique<TQtNotifyTarget>();
  std::vector<int> seen;
  target->Post([&] { seen.push_back(0); });
  target->Post([&] {
    seen.push_back(1);
    target.reset();
  });
  target->Post([&] { seen.push_back(2); });
  QCoreApplication::processEvents();
  QCoreApplication::processEvents();
  EXPECT_EQ(seen, (std::vector<int>{0, 1}));
}

// The timer's deadline is kept by hand; the QTimer behind it is only woken (here: Wake() is called
// as its timeout would) and fires the handler once the deadline has passed.
class QtTimerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::EnsureQtApp();
    timer_ = std::make_unique<TQtTimer>(3000, [this] { return nowMs_ * 1'000'000; });
    timer_->OnTimer = [this] { ++fired_; };
  }
  void At(int64_t ms) { nowMs_ = ms; }

  int64_t nowMs_ = 0;
  int fired_ = 0;
  std::unique_ptr<TQtTimer> timer_;
};

TEST_F(QtTimerTest, StopAndStartPerByteDoNotRearmTheQtTimer) {
  timer_->Start();
  EXPECT_TRUE(timer_->Enabled());
  EXPECT_TRUE(timer_->Armed());
  EXPECT_EQ(timer_->ArmCount(), 1);
  for (int i = 1; i <= 1000; ++i) {
    At(i);
    timer_->Stop();
    EXPECT_FALSE(timer_->Enabled());
    timer_->Start();
  }
  EXPECT_EQ(timer_->ArmCount(), 1);
  // Stop then Start is a fresh period: due 3000 ms after the last Start, not the first.
  At(3000);
  timer_->Wake();
  EXPECT_EQ(fired_, 0);
  At(3999);
  timer_->Wake();
  EXPECT_EQ(fired_, 0);
  At(4000);
  timer_->Wake();
  EXPECT_EQ(fired_, 1);
}

TEST_F(QtTimerTest, StartingARunningTimerKeepsItsPeriod) {
  timer_->Start();
  At(2000);
  timer_->Start();
  timer_->SetInterval(3000);  // the interval it has: nothing changes
  At(3000);
  timer_->Wake();
  EXPECT_EQ(fired_, 1);
  // It goes on ticking every period, counted from when each was due.
  At(5999);
  timer_->Wake();
  EXPECT_EQ(fired_, 1);
  At(6000);
  timer_->Wake();
  EXPECT_EQ(fired_, 2);
}

TEST_F(QtTimerTest, ANewIntervalStartsAFreshPeriod) {
  timer_->Start();
  At(1000);
  timer_->SetInterval(500);
  EXPECT_EQ(timer_->Interval(), 500);
  EXPECT_TRUE(timer_->Enabled());
  At(1499);
  timer_->Wake();
  EXPECT_EQ(fired_, 0);
  At(1500);
  timer_->Wake();
  EXPECT_EQ(fired_, 1);
  // A stopped timer only takes the new interval for its next Start.
  timer_->Stop();
  timer_->SetInterval(200);
  EXPECT_FALSE(timer_->Enabled());
  At(10000);
  timer_->Wake();
  EXPECT_EQ(fired_, 1);
  timer_->Start();
  At(10200);
  timer_->Wake();
  EXPECT_EQ(fired_, 2);
}

TEST_F(QtTimerTest, AHandlerMayStopItsTimer) {
  timer_->OnTimer = [this] {
    ++fired_;
    timer_->Stop();
  };
  timer_->Start();
  At(3000);
  timer_->Wake();
  At(6000);
  timer_->Wake();
  EXPECT_EQ(fired_, 1);
  EXPECT_FALSE(timer_->Enabled());
}

TEST(QtNotifyTarget, ClosuresStillQueuedWhenTheTargetGoesAreDropped) {
  testing::EnsureQtApp();
  int ran = 0;
  {
    TQtNotifyTarget target;
    target.Post([&] { ++ran; });
  }
  QCoreApplication::processEvents();
  EXPECT_EQ(ran, 0);
}

// Runs `act` on the dialog once it is up, from inside its own modal loop.
void WhenModal(std::function<void(QWidget*)> act, int triesLeft = 200) {
  QTimer::singleShot(5, [act, triesLeft] {
    if (QWidget* w = QApplication::activeModalWidget()) {
      act(w);
    } else if (triesLeft > 0) {
      WhenModal(act, triesLeft - 1);
    }
  });
}

QPushButton* ButtonCaptioned(QMessageBox* box, const QString& caption) {
  for (QAbstractButton* b : box->buttons())
    if (b->text() == caption) return qobject_cast<QPushButton*>(b);
  return nullptr;
}

struct TSeenBox {
  QString Title, Text;
  QMessageBox::Icon Icon = QMessageBox::NoIcon;
  QStringList Buttons;
  QPoint Pos;
};

TSeenBox Seen(QWidget* w) {
  TSeenBox s;
  auto* box = qobject_cast<QMessageBox*>(w);
  if (!box) return s;
  s.Title = box->windowTitle();
  s.Text = box->text();
  s.Icon = box->icon();
  for (QAbstractButton* b : box->buttons()) s.Buttons << b->text();
  s.Buttons.sort();
  s.Pos = box->pos();
  return s;
}

TEST(QtOperator, MessageHasAnEmptyTitleAndOneOkButton) {
  testing::EnsureQtApp();
  TQtOperator op(nullptr);
  TSeenBox seen;
  WhenModal([&](QWidget* w) {
    seen = Seen(w);
    static_cast<QMessageBox*>(w)->button(QMessageBox::Ok)->click();
  });
  op.Message("Password confirmed!");
  EXPECT_EQ(seen.Text, "Password confirmed!");
  EXPECT_EQ(seen.Title, "");
  EXPECT_EQ(seen.Buttons, QStringList{"OK"});
  EXPECT_EQ(seen.Icon, QMessageBox::NoIcon);
}

TEST(QtOperator, ReadConfirmationAsksWithItsOwnButtonsAtItsPlace) {
  testing::EnsureQtApp();
  TQtOperator op(nullptr);
  for (const bool yes : {true, false}) {
    TSeenBox seen;
    WhenModal([&, yes](QWidget* w) {
      seen = Seen(w);
      auto* box = static_cast<QMessageBox*>(w);
      ButtonCaptioned(box, yes ? "OK(&Y)" : "Cancel(&N)")->click();
    });
    EXPECT_EQ(op.Confirm("Read all settings?"), yes);
    EXPECT_EQ(seen.Text, "Read all settings?");
    EXPECT_EQ(seen.Title, "");
    EXPECT_EQ(seen.Icon, QMessageBox::Question);
    EXPECT_EQ(seen.Buttons, QStringList({"Cancel(&N)", "OK(&Y)"}));
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(seen.Pos, QPoint((screen.width() - 200) / 2, (screen.height() - 200) / 2) + screen.topLeft());
  }
}

TEST(QtOperator, WarningOffersOkAndCancel) {
  testing::EnsureQtApp();
  TQtOperator op(nullptr);
  for (const bool ok : {true, false}) {
    TSeenBox seen;
    WhenModal([&, ok](QWidget* w) {
      seen = Seen(w);
      static_cast<QMessageBox*>(w)->button(ok ? QMessageBox::Ok : QMessageBox::Cancel)->click();
    });
    EXPECT_EQ(op.WarnOkCancel("Delete?"), ok);
    EXPECT_EQ(seen.Icon, QMessageBox::Warning);
    EXPECT_EQ(seen.Title, "");
    EXPECT_EQ(seen.Buttons, QStringList({"Cancel", "OK"}));
  }
}

// The save dialog adds the chosen filter's extension to a name typed without one, and only then asks
// whether to replace a file: the question is about the file that is written.
TEST(QtOperator, SaveDialogAddsTheChosenFiltersExtensionBeforeItAsksAboutReplacing) {
  testing::EnsureQtApp();
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString existing = dir.filePath("log.xlsx");
  {
    QFile file(existing);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("the operator's own file");
  }
  TQtOperator op(nullptr);
  struct TCase {
    const char* Typed;
    int FilterDowns;  // the filter list stepped down this often, as with the keyboard
    const char* Written;
    bool Asked;
  };
  const TCase cases[] = {
      {"log", 0, "log.xlsx", true},
      {"log.xls", 0, "log.xls", false},
      {"plain", 1, "plain", false},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Typed);
    QString asked;
    auto current = std::make_shared<bool>(true);  // a poll left over from this case does nothing later
    WhenModal([&](QWidget* w) {
      auto* d = qobject_cast<QFileDialog*>(w);
      ASSERT_NE(d, nullptr);
      auto* filters = d->findChild<QComboBox*>("fileTypeCombo");
      auto* name = d->findChild<QLineEdit*>("fileNameEdit");
      if (!filters || !name) {
        ADD_FAILURE() << "the dialog's file name box or filter list is missing";
        d->reject();
        return;
      }
      for (int i = 0; i < c.FilterDowns; ++i) QTest::keyClick(filters, Qt::Key_Down);
      // Set whole: typed key by key into a line edit without the focus (offscreen), the dialog would
      // keep the file its completion selected on the way.
      name->setText(c.Typed);
      // The replace question, if the dialog asks one, is answered Yes from inside its own loop.
      WhenModal([&, current](QWidget* box) {
        if (!*current) return;
        if (auto* question = qobject_cast<QMessageBox*>(box)) {
          asked = question->text();
          question->button(QMessageBox::Yes)->click();
        }
      });
      static_cast<QDialog*>(d)->accept();
      if (d->isVisible()) {
        ADD_FAILURE() << "the dialog stayed open";
        d->reject();
      }
    });
    const auto chosen =
        op.ChooseSaveFile("EXCEL file|*.xlsx;*.xls|(*.*)|*.*", dir.path().toStdString(), "hisinf_R1");
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(QString::fromStdString(*chosen), dir.filePath(c.Written));
    EXPECT_EQ(asked, c.Asked ? "log.xlsx already exists.\nDo you want to replace it?" : "");
    *current = false;
  }
}

TEST(QtOperator, FileDialogsStartInTheFolderWithTheFilters) {
  testing::EnsureQtApp();
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  TQtOperator op(nullptr);
  QString folder, file;
  QStringList filters;
  WhenModal([&](QWidget* w) {
    auto* d = qobject_cast<QFileDialog*>(w);
    ASSERT_NE(d, nullptr);
    folder = d->directory().absolutePath();
    filters = d->nameFilters();
    d->selectFile("telinf_R1.xlsx");
    static_cast<QDialog*>(d)->accept();  // QFileDialog keeps its override protected
  });
  const auto chosen =
      op.ChooseSaveFile("Excel|*.xlsx;*.xls|(*.*)|*.*", dir.path().toStdString(), "telinf_R1.xlsx");
  EXPECT_EQ(folder, QDir(dir.path()).absolutePath());
  EXPECT_EQ(filters, QStringList({"Excel (*.xlsx *.xls)", "(*.*) (*)"}));
  ASSERT_TRUE(chosen.has_value());
  EXPECT_EQ(QFileInfo(QString::fromStdString(*chosen)).fileName(), "telinf_R1.xlsx");
  EXPECT_EQ(QFileInfo(QString::fromStdString(*chosen)).absolutePath(), QDir(dir.path()).absolutePath());

  WhenModal([&](QWidget* w) { static_cast<QDialog*>(w)->reject(); });
  EXPECT_FALSE(op.ChooseOpenFile("CSV|*.cvs", dir.path().toStdString()).has_value());
}

}  // namespace
}  // namespace torvane
