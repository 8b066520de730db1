// The window's ports: file filters for the dialogs and the hand-over of worker notifications.
#include "app/qt_ports.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QThread>
#include <thread>
#include <vector>

namespace torvane {
namespace {

void EnsureApp() {
  if (QApplication::instance()) return;
  static int argc = 1;
  static char name[] = "qt_ports_test";
  static char* argv[] = {name, nullptr};
  new QApplication(argc, argv);
}

TEST(ToQtFilter, PairsBecomeQtFilters) {
  EXPECT_EQ(ToQtFilter("Excel files|*.xls;*.xlsx|(*.*)|*.*"), "Excel files (*.xls *.xlsx);;(*.*) (*)");
  EXPECT_EQ(ToQtFilter("CSV|*.cvs"), "CSV (*.cvs)");
  EXPECT_EQ(ToQtFilter(""), "");
  // A description without its pattern is dropped rather than shown as a broken entry.
  EXPECT_EQ(ToQtFilter("CSV|*.cvs|Orphan"), "CSV (*.cvs)");
}

TEST(QtNotifyTarget, RunsPostedClosuresOnTheWindowThreadInOrder) {
  EnsureApp();
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
}

TEST(QtNotifyTarget, ClosuresStillQueuedWhenTheTargetGoesAreDropped) {
  EnsureApp();
  int ran = 0;
  {
    TQtNotifyTarget target;
    target.Post([&] { ++ran; });
  }
  QCoreApplication::processEvents();
  EXPECT_EQ(ran, 0);
}

}  // namespace
}  // namespace torvane
