// The window's ports: file filters for the dialogs and the hand-over of worker notifications.
#include "app/qt_ports.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <functional>
#include <thread>
#include <vector>

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
    EXPECT_EQ(op.ConfirmRead("Read all settings?"), yes);
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
