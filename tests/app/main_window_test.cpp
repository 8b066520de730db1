// SPDX-License-Identifier: GPL-3.0-or-later
// The main window on the offscreen platform: its layout, the login lock, and Open/Close against a
// pseudo-terminal.
#include "app/main_window.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <fstream>

#include "app/help_page.h"
#include "app/history_page.h"
#include "app/numbers_page.h"
#include "app/settings_page.h"
#include "app/status_bar.h"
#include "app/tab_page.h"
#include "support/window_fixture.h"

namespace torvane {
namespace {

using testing::MakeFrame;
using testing::TFakeOperator;

// The device's end of a pseudo-terminal; the window opens the other end by its path.
class TPty {
 public:
  TPty() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ >= 0 && grantpt(master_) == 0 && unlockpt(master_) == 0) path_ = ptsname(master_);
  }
  ~TPty() {
    if (master_ >= 0) close(master_);
  }
  const std::string& Path() const { return path_; }
  int Master() const { return master_; }

 private:
  int master_ = -1;
  std::string path_;
};

class MainWindowTest : public testing::TWindowFixture {
 protected:
  MainWindowTest() : TWindowFixture({2026, 12, 7, 18, 30, 5}) {}

  QList<QPushButton*> OperationButtons() {
    QList<QPushButton*> all{window_->CheckModeButton(), window_->TimeSyncButton()};
    all += window_->SettingsPage().OperationButtons();
    all += window_->NumbersPage().OperationButtons();
    all += window_->HistoryPage().OperationButtons();
    return all;
  }

  QPushButton* Button(QWidget* within, const QString& caption) {
    for (QPushButton* b : within->findChildren<QPushButton*>())
      if (b->accessibleName() == caption) return b;
    return nullptr;
  }

  void TypePort(const QString& text) {
    QLineEdit* edit = window_->PortList()->lineEdit();
    edit->clear();
    QTest::keyClicks(edit, text);
  }

  void ClickOpenClose() { QTest::mouseClick(window_->OpenCloseButton(), Qt::LeftButton); }

  QString Caption() { return window_->OpenCloseButton()->text(); }

  static std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    for (const QString& l : QString::fromStdString(text).split('\n')) lines.push_back(l.toStdString());
    return lines;
  }
};

TEST_F(MainWindowTest, WindowHasItsCaptionAndFixedClientSize) {
  EXPECT_EQ(window_->windowTitle(), "Torvane Configurator V1.8.1");
  EXPECT_EQ(window_->size(), QSize(1062, 672));
  EXPECT_EQ(window_->minimumSize(), QSize(1062, 672));
  EXPECT_EQ(window_->maximumSize(), QSize(1062, 672));
  EXPECT_FALSE(window_->windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_EQ(window_->grab().size(), QSize(1062, 672));
}

TEST_F(MainWindowTest, TopBarControlsSitAtTheirPlaces) {
  QPushButton* open = window_->OpenCloseButton();
  EXPECT_EQ(open->text(), "Open");
  EXPECT_EQ(open->geometry(), QRect(197, 3, 90, 30));
  QPushButton* login = window_->LoginButton();
  EXPECT_EQ(login->text(), "Log in");
  EXPECT_EQ(login->geometry(), QRect(485, 3, 90, 30));
  EXPECT_EQ(window_->PortList()->x(), 85);
  EXPECT_EQ(window_->PortList()->width(), 89);
  EXPECT_TRUE(window_->PortList()->isEditable());
  EXPECT_EQ(window_->PasswordEdit()->x(), 373);
  EXPECT_EQ(window_->PasswordEdit()->width(), 93);
  EXPECT_EQ(window_->PasswordEdit()->text(), "6853");
  EXPECT_EQ(window_->Session().PasswordText, "6853");

  // Each label stands at its place or, in a wider font, just far enough left to clear its control.
  int labels = 0;
  for (QLabel* l : window_->findChildren<QLabel*>()) {
    const bool port = l->text() == "COM Port:";
    const QWidget* control = port                       ? static_cast<QWidget*>(window_->PortList())
                             : l->text() == "Password:" ? static_cast<QWidget*>(window_->PasswordEdit())
                                                        : nullptr;
    if (!control) continue;
    ++labels;
    EXPECT_LE(l->x(), port ? 28 : 319);
    EXPECT_LT(l->geometry().right(), control->x());
    EXPECT_GE(l->geometry().right(), control->x() - 12);
  }
  EXPECT_EQ(labels, 2);

  // The service commands exist but are never shown.
  EXPECT_EQ(window_->CheckModeButton()->text(), "HEX设置模式");
  EXPECT_EQ(window_->TimeSyncButton()->text(), "同步时间");
  EXPECT_FALSE(window_->CheckModeButton()->isVisible());
  EXPECT_FALSE(window_->TimeSyncButton()->isVisible());
}

TEST_F(MainWindowTest, FourTabsOnTheLeftWithTwoLineCaptions) {
  QTabWidget& pages = window_->Pages();
  EXPECT_EQ(pages.tabPosition(), QTabWidget::West);
  ASSERT_EQ(pages.count(), 4);
  EXPECT_EQ(pages.tabText(0), "Basic\nSettings");
  EXPECT_EQ(pages.tabText(1), "Number\nList");
  EXPECT_EQ(pages.tabText(2), "Historical\nData");
  EXPECT_EQ(pages.tabText(3), "Help");
  EXPECT_EQ(pages.widget(0), &window_->SettingsPage());
  EXPECT_EQ(pages.widget(1), &window_->NumbersPage());
  EXPECT_EQ(pages.widget(2), &window_->HistoryPage());
  EXPECT_NE(qobject_cast<THelpPage*>(pages.widget(3)), nullptr);
  EXPECT_EQ(pages.currentIndex(), 0);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(pages.tabBar()->tabRect(i).size(), QSize(75, 80)) << i;
  EXPECT_EQ(pages.geometry(), QRect(0, 36, 1062, 612));
}

TEST_F(MainWindowTest, SelectedTabCaptionIsBlue) {
  QTabBar* bar = window_->Pages().tabBar();
  auto blueIn = [&](int tab) {
    const QImage img = bar->grab(bar->tabRect(tab)).toImage();
    int blue = 0;
    for (int y = 0; y < img.height(); ++y)
      for (int x = 0; x < img.width(); ++x) {
        const QColor c = img.pixelColor(x, y);
        if (c.blue() > 200 && c.red() < 80 && c.green() < 80) ++blue;
      }
    return blue;
  };
  EXPECT_GT(blueIn(0), 20);
  EXPECT_EQ(blueIn(1), 0);
  window_->Pages().setCurrentIndex(1);
  EXPECT_EQ(blueIn(0), 0);
  EXPECT_GT(blueIn(1), 20);
}

TEST_F(MainWindowTest, HelpPageShowsItsPicture) {
  auto* help = qobject_cast<THelpPage*>(window_->Pages().widget(3));
  ASSERT_NE(help, nullptr);
  auto* picture = help->findChild<QLabel*>("HelpPicture");
  ASSERT_NE(picture, nullptr);
  // Not decoded while nobody has looked at it.
  EXPECT_FALSE(help->PictureLoaded());
  EXPECT_TRUE(picture->pixmap().isNull());
  window_->Pages().setCurrentIndex(3);
  EXPECT_TRUE(help->PictureLoaded());
  EXPECT_EQ(picture->geometry(), QRect(64, 40, 761, 521));
  EXPECT_EQ(picture->pixmap().size(), QSize(761, 521));
}

TEST_F(MainWindowTest, StatusBarPanelsLampAndProgressBar) {
  TStatusBar& bar = window_->StatusBar();
  EXPECT_EQ(bar.geometry(), QRect(0, 648, 1062, 24));
  EXPECT_EQ(bar.PanelText(0), "COM Port:");
  EXPECT_EQ(bar.PanelRect(0).width(), 100);
  EXPECT_EQ(bar.PanelRect(1).width(), 50);
  EXPECT_EQ(bar.PanelRect(2).width(), 200);
  // The SIM number's panel reaches the right edge; the progress bar's takes what lies between.
  EXPECT_EQ(bar.PanelRect(TStatusBar::kSimPanel), QRect(QPoint(1062 - 190, 2), QPoint(1061, 23)));
  EXPECT_EQ(bar.PanelRect(3).right(), 1062 - 190 - 3);
  EXPECT_FALSE(window_->LampGreen());
  EXPECT_EQ(bar.ProgressBar()->geometry(), bar.PanelRect(3));
  EXPECT_EQ(bar.ProgressBar()->minimum(), 0);
  EXPECT_EQ(bar.ProgressBar()->maximum(), 100);
  // Visible and empty from the start until the status line is first cleared.
  EXPECT_TRUE(bar.ProgressBar()->isVisible());
  EXPECT_EQ(bar.ProgressBar()->value(), 0);
}

TEST_F(MainWindowTest, StatusLineClearsThreeSecondsAfterStartUp) {
  TStatusBar& bar = window_->StatusBar();
  window_->Session().Status.ShowStatus("Data communication");
  EXPECT_EQ(bar.PanelText(2), "Data communication");
  clock_.Advance(2999);
  EXPECT_EQ(bar.PanelText(2), "Data communication");
  clock_.Advance(1);
  EXPECT_EQ(bar.PanelText(2), "");
  EXPECT_FALSE(bar.ProgressBar()->isVisible());
}

TEST_F(MainWindowTest, StatusTextIsShownWhicheverWayItWasSet) {
  TStatusBar& bar = window_->StatusBar();
  bar.SetStatusText("Data communication");
  bar.SetStatusText("Data communication");
  EXPECT_EQ(bar.PanelText(2), "Data communication");
  bar.SetPanelText(2, "Reading number list:1/375");
  // The same text as before the panel was set directly must still replace what it shows now.
  bar.SetStatusText("Data communication");
  EXPECT_EQ(bar.PanelText(2), "Data communication");
  EXPECT_EQ(bar.accessibleDescription(), "Data communication");
  bar.SetStatusText("");
  EXPECT_EQ(bar.PanelText(2), "");
}

TEST_F(MainWindowTest, ProgressAboveHundredShowsAFullBar) {
  TStatusBar& bar = window_->StatusBar();
  window_->Session().Progress.SetProgress(50);
  EXPECT_TRUE(bar.ProgressBar()->isVisible());
  EXPECT_EQ(bar.ProgressBar()->value(), 50);
  window_->Session().Progress.SetProgress(150);
  EXPECT_TRUE(bar.ProgressBar()->isVisible());
  EXPECT_EQ(bar.ProgressBar()->value(), 100);
  window_->Session().Progress.SetProgress(100);
  EXPECT_FALSE(bar.ProgressBar()->isVisible());
}

TEST_F(MainWindowTest, EveryOperationButtonIsLockedAfterStartUp) {
  const auto buttons = OperationButtons();
  for (QPushButton* b : buttons) EXPECT_FALSE(b->isEnabled()) << b->text().toStdString();
  // The ones the operator sees, page by page, are all among them.
  QStringList captions;
  for (QPushButton* b : buttons) captions << b->text();
  for (const char* c :
       {"Read Settings", "Save Settings", "Import profile", "Export profile", "Read", "Save", "Import .XLS",
        "Export .XLS", "Export .CSV", "All Always", "Read data", "Filter", "Export.XLS", "Export.CSV"})
    EXPECT_TRUE(captions.contains(c)) << c;
  EXPECT_EQ(captions.count("Delete all"), 2);
  EXPECT_TRUE(window_->OpenCloseButton()->isEnabled());
  EXPECT_TRUE(window_->LoginButton()->isEnabled());
  EXPECT_TRUE(window_->PasswordEdit()->isEnabled());
  EXPECT_TRUE(window_->PortList()->isEnabled());
}

TEST_F(MainWindowTest, UnlockEnablesOperationsAndAnOpenRequestHoldsTheOthers) {
  TExchange& link = window_->Session().Exchange;
  window_->Session().UnlockControls();
  for (QPushButton* b : OperationButtons()) EXPECT_TRUE(b->isEnabled()) << b->text().toStdString();

  // Log in sends a request (the port is closed, so it will time out) and the exchange stays open.
  QTest::mouseClick(window_->LoginButton(), Qt::LeftButton);
  ASSERT_TRUE(link.Busy());
  EXPECT_FALSE(window_->LoginButton()->isEnabled());
  EXPECT_FALSE(window_->CheckModeButton()->isEnabled());
  EXPECT_FALSE(window_->TimeSyncButton()->isEnabled());
  QList<QPushButton*> requests = window_->SettingsPage().RequestButtons() +
                                 window_->NumbersPage().RequestButtons() +
                                 window_->HistoryPage().RequestButtons();
  ASSERT_FALSE(requests.isEmpty());
  for (QPushButton* b : requests) EXPECT_FALSE(b->isEnabled()) << b->text().toStdString();
  // Exports only read the grid; imports change it, and wait with the requests.
  for (QPushButton* b : window_->SettingsPage().OperationButtons()) {
    if (!requests.contains(b)) {
      EXPECT_EQ(b->isEnabled(), !window_->SettingsPage().GridButtons().contains(b))
          << b->text().toStdString();
    }
  }

  clock_.Advance(3 * 3000);
  EXPECT_EQ(op_.Messages, std::vector<std::string>{"Receive timeout"});
  EXPECT_FALSE(link.Busy());
  EXPECT_TRUE(window_->LoginButton()->isEnabled());
  for (QPushButton* b : requests) EXPECT_TRUE(b->isEnabled()) << b->text().toStdString();

  window_->Session().LockControls();
  for (QPushButton* b : OperationButtons()) EXPECT_FALSE(b->isEnabled()) << b->text().toStdString();
}

TEST_F(MainWindowTest, PasswordBoxFeedsTheLogin) {
  QLineEdit* edit = window_->PasswordEdit();
  edit->clear();
  QTest::keyClicks(edit, "12aB");
  EXPECT_EQ(window_->Session().PasswordText, "12aB");
}

TEST_F(MainWindowTest, OpenCloseOpenAgainstAPseudoTerminal) {
  TPty pty;
  ASSERT_FALSE(pty.Path().empty());
  TypePort("  " + QString::fromStdString(pty.Path()) + " ");

  ClickOpenClose();
  EXPECT_EQ(Caption(), "Close");
  EXPECT_EQ(window_->ClickCounter(), 1);
  EXPECT_TRUE(window_->LampGreen());
  EXPECT_TRUE(window_->Comm().PortOpen());
  EXPECT_EQ(window_->Comm().CommName(), pty.Path());  // the blanks are gone
  EXPECT_EQ(window_->Comm().BaudRate(), 115200u);

  ClickOpenClose();
  EXPECT_EQ(Caption(), "Open");
  EXPECT_EQ(window_->ClickCounter(), 2);
  EXPECT_FALSE(window_->LampGreen());
  EXPECT_FALSE(window_->Comm().PortOpen());

  ClickOpenClose();
  EXPECT_EQ(Caption(), "Close");
  EXPECT_EQ(window_->ClickCounter(), 3);
  EXPECT_TRUE(window_->LampGreen());
  EXPECT_TRUE(op_.Messages.empty());
  EXPECT_EQ(window_->OpenCloseButton()->accessibleName(), "Close");
}

// A port that is missing, or a file that is no terminal: one box, and the window stays closed.
TEST_F(MainWindowTest, APortThatCannotBeOpenedFailsWithItsBox) {
  const QString notATerminal = dir_.filePath("not-a-port");
  std::ofstream(notATerminal.toStdString()) << "x";
  for (const QString& path : {QString("/dev/ttyTorvaneNoSuchPort0"), notATerminal}) {
    SCOPED_TRACE(path.toStdString());
    op_.Messages.clear();
    TypePort(path);
    ClickOpenClose();
    ASSERT_EQ(op_.Messages.size(), 1u);
    EXPECT_EQ(Lines(op_.Messages[0]).front(), "COM Port error");
    EXPECT_EQ(Caption(), "Open");
    EXPECT_EQ(window_->ClickCounter(), 0);
    EXPECT_FALSE(window_->LampGreen());
    EXPECT_FALSE(window_->Comm().PortOpen());
  }
}

TEST_F(MainWindowTest, AfterAFailedOpenTheNextClickTriesAgain) {
  TypePort("/dev/ttyTorvaneNoSuchPort0");
  ClickOpenClose();
  ASSERT_EQ(op_.Messages.size(), 1u);

  ClickOpenClose();
  EXPECT_EQ(op_.Messages.size(), 2u);  // opened again, failed again
  EXPECT_EQ(window_->ClickCounter(), 0);

  TPty pty;
  ASSERT_FALSE(pty.Path().empty());
  TypePort(QString::fromStdString(pty.Path()));
  ClickOpenClose();
  EXPECT_EQ(op_.Messages.size(), 2u);
  EXPECT_EQ(Caption(), "Close");
  EXPECT_TRUE(window_->LampGreen());
}

// The failure box keeps its own first line; the system's reason follows on the second, then the
// cause and its fix.
TEST_F(MainWindowTest, TheOpenFailureBoxSaysWhyAndHowToFixIt) {
  TPty pty;
  ASSERT_FALSE(pty.Path().empty());
  TQueueNotifyTarget holderTarget;
  TComm holder(holderTarget);  // another component of this program holds the pty
  holder.SetCommName(pty.Path());
  holder.OpenPort();
  ASSERT_TRUE(holder.PortOpen());
  const QString notATerminal = dir_.filePath("not-a-port");
  std::ofstream(notATerminal.toStdString()) << "x";
  struct TCase {
    QString Port;
    std::vector<std::string> Lines;  // the first ones, exactly
  };
  const std::string missing = "/dev/ttyTorvaneNoSuchPort0";
  const std::vector<TCase> cases = {
      {QString::fromStdString(missing),
       {"COM Port error", "No such file or directory",
        missing + " does not exist (any more): the adapter is unplugged, or it came back under another name.",
        "Fix: plug the adapter in and pick its port from the list."}},
      {notATerminal,
       {"COM Port error", "Inappropriate ioctl for device",
        notATerminal.toStdString() + " is not a serial port."}},
      {QString::fromStdString(pty.Path()),
       {"COM Port error", "Device or resource busy",
        pty.Path() + " is open in this program already: the port was named twice, perhaps under two names "
                     "(ttyUSB0 and /dev/ttyUSB0, or a link to it)."}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Port.toStdString());
    op_.Messages.clear();
    TypePort(c.Port);
    ClickOpenClose();
    ASSERT_EQ(op_.Messages.size(), 1u);
    const auto lines = Lines(op_.Messages[0]);
    ASSERT_GE(lines.size(), c.Lines.size()) << op_.Messages[0];
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + c.Lines.size()), c.Lines)
        << op_.Messages[0];
    EXPECT_EQ(Caption(), "Open");
    EXPECT_EQ(window_->ClickCounter(), 0);
  }
}

TEST_F(MainWindowTest, BytesFromThePortReachTheLogin) {
  TPty pty;
  ASSERT_FALSE(pty.Path().empty());
  TypePort(QString::fromStdString(pty.Path()));
  ClickOpenClose();
  ASSERT_TRUE(window_->Comm().PortOpen());

  QTest::mouseClick(window_->LoginButton(), Qt::LeftButton);
  std::vector<uint8_t> page(256, 0xFF);
  page[0] = '6', page[1] = '8', page[2] = '5', page[3] = '3';
  const auto reply = MakeFrame(131, 0, page);
  ASSERT_EQ(write(pty.Master(), reply.data(), reply.size()), static_cast<ssize_t>(reply.size()));
  // The read worker hands the bytes over through the event loop.
  ASSERT_TRUE(QTest::qWaitFor([&] { return !op_.Messages.empty(); }, 10000));
  EXPECT_EQ(op_.Messages, std::vector<std::string>{"Password confirmed!"});
  EXPECT_TRUE(window_->Session().Unlocked());
  EXPECT_TRUE(Button(&window_->SettingsPage(), "Read Settings")->isEnabled());
}

TEST_F(MainWindowTest, ConfigDirIsMadeBesideTheProgram) {
  EXPECT_EQ(window_->Session().ConfigDir, dir_.filePath("configuration").toStdString() + "/");
  EXPECT_TRUE(QFileInfo(dir_.filePath("configuration")).isDir());
}

// A portable copy reads its options from its own configuration folder, an ordinary one does not.
TEST(MainWindowPortable, KeepsItsOptionsBesideItself) {
  testing::EnsureQtApp();
  TFakeOperator op;
  TManualClock clock;
  for (const bool portable : {true, false}) {
    QTemporaryDir dir;
    QDir(dir.path()).mkpath("configuration");
    QSettings ini(dir.filePath("configuration/torvane-configurator.ini"), QSettings::IniFormat);
    ini.setValue("save/writeAllPages", true);
    ini.setValue("save/verifyAfterSaving", false);
    ini.sync();
    if (portable) QFile(dir.filePath("portable")).open(QIODevice::WriteOnly);
    TForm1Options o;
    o.Operator = &op;
    o.Timers = &clock;
    o.ProgramDir = dir.path();
    TForm1 window(o);
    EXPECT_EQ(window.Session().ConfigDir, dir.filePath("configuration").toStdString() + "/");
    EXPECT_EQ(window.Session().SaveOptions().WriteAllPages, portable) << portable;
    EXPECT_EQ(window.Session().SaveOptions().Verify, !portable) << portable;
  }
}

TEST(MainWindowPortList, NamedPortComesFirstAndSelected) {
  testing::EnsureQtApp();
  TFakeOperator op;
  TManualClock clock;
  QTemporaryDir dir;
  TForm1Options o;
  o.Operator = &op;
  o.Timers = &clock;
  o.ProgramDir = dir.path();
  o.FirstPort = "/dev/pts/77";
  TForm1 window(o);
  ASSERT_GE(window.PortList()->count(), 1);
  EXPECT_EQ(window.PortList()->itemText(0), "/dev/pts/77");
  EXPECT_EQ(window.PortList()->currentText(), "/dev/pts/77");
  EXPECT_EQ(window.PortList()->findText("/dev/pts/77"), 0);
}

}  // namespace
}  // namespace torvane
