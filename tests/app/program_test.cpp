// SPDX-License-Identifier: GPL-3.0-or-later
// The program's options and its screenshot mode.
#include "app/program.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QTemporaryDir>

#include "app/main_window.h"
#include "app/status_bar.h"
#include "core/version.h"
#include "support/fakes.h"
#include "support/qt_app.h"

namespace torvane {
namespace {

TEST(ProgramArgs, ReadsEveryOption) {
  const auto a = ParseProgramArgs({"prog", "--port", "ttyUSB3", "--screenshot", "/tmp/x.png", "--tab", "2"});
  ASSERT_TRUE(a.has_value());
  EXPECT_EQ(a->Port, "ttyUSB3");
  EXPECT_EQ(a->Screenshot, "/tmp/x.png");
  EXPECT_EQ(a->Tab, 2);

  // Qt's own options (left in arguments() on Windows) stand beside ours, their values with them.
  const auto withQt = ParseProgramArgs(
      {"prog", "-platform", "minimal:enable_fonts", "--tab", "1", "-reverse", "-style", "windowsvista"});
  ASSERT_TRUE(withQt.has_value());
  EXPECT_EQ(withQt->Tab, 1);

  const auto none = ParseProgramArgs({"prog"});
  ASSERT_TRUE(none.has_value());
  EXPECT_TRUE(none->Port.isEmpty());
  EXPECT_TRUE(none->Screenshot.isEmpty());
  EXPECT_EQ(none->Tab, 0);
}

TEST(ProgramArgs, RefusesWhatItDoesNotKnow) {
  QString error;
  EXPECT_FALSE(ParseProgramArgs({"prog", "--colour", "red"}, &error).has_value());
  EXPECT_TRUE(error.contains("--colour"));
  EXPECT_FALSE(ParseProgramArgs({"prog", "--port"}, &error).has_value());
  EXPECT_TRUE(error.contains("--port"));
  EXPECT_FALSE(ParseProgramArgs({"prog", "--tab", "two"}, &error).has_value());
  EXPECT_FALSE(ParseProgramArgs({"prog", "-platform"}, &error).has_value());
  EXPECT_TRUE(error.contains("-platform"));
}

TEST(ProgramInfoText, AnswersHelpAndVersionWhereverTheyStand) {
  const QString version = QString::fromStdString(VersionText("torvane-configurator"));
  struct TCase {
    QStringList Arguments;
    std::optional<QString> Expected;  // "usage" stands for the help text
  };
  const TCase cases[] = {
      {{"prog", "--version"}, version},
      {{"prog", "--port", "ttyUSB0", "--version"}, version},
      {{"prog", "--help"}, "usage"},
      {{"prog", "-h"}, "usage"},
      {{"prog", "--version", "--help"}, version},
      {{"prog", "--help", "--version"}, "usage"},
      {{"prog", "--tab", "2", "--screenshot", "a.png", "--help"}, "usage"},
      // A value is never read as an option.
      {{"prog", "--port", "--help"}, std::nullopt},
      {{"prog", "--screenshot", "--version"}, std::nullopt},
      {{"prog"}, std::nullopt},
      {{"prog", "--port", "ttyUSB0"}, std::nullopt},
      {{"prog", "-platform", "minimal", "--version"}, version},
      {{"prog", "-style", "--help"}, std::nullopt},
  };
  for (const TCase& c : cases) {
    const auto text = InfoText(c.Arguments);
    const QString what = c.Arguments.join(' ');
    if (!c.Expected) {
      EXPECT_FALSE(text.has_value()) << qPrintable(what);
    } else if (*c.Expected == "usage") {
      ASSERT_TRUE(text.has_value()) << qPrintable(what);
      EXPECT_TRUE(text->startsWith("Usage: torvane-configurator [--port NAME]")) << qPrintable(what);
    } else {
      EXPECT_EQ(text, c.Expected) << qPrintable(what);
    }
  }
}

// The caption names the version as fixed text; it must be the version the program reports.
TEST(ProgramInfoText, CaptionCarriesTheProgramVersion) {
  testing::EnsureQtApp();
  testing::TFakeOperator op;
  TManualClock clock;
  QTemporaryDir dir;
  TForm1Options o;
  o.Operator = &op;
  o.Timers = &clock;
  o.ProgramDir = dir.path();
  TForm1 window(o);
  EXPECT_EQ(window.windowTitle(), QString("Torvane Configurator V") + kProgramVersion);
}

class ScreenshotTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::EnsureQtApp();
    ASSERT_TRUE(dir_.isValid());
    TForm1Options o;
    o.Operator = &op_;
    o.Timers = &clock_;
    o.ProgramDir = dir_.path();
    window_ = std::make_unique<TForm1>(o);
  }
  testing::TFakeOperator op_;
  TManualClock clock_;
  QTemporaryDir dir_;
  std::unique_ptr<TForm1> window_;
};

TEST_F(ScreenshotTest, WritesTheClientAreaWithTheChosenPage) {
  const QString file = dir_.filePath("shot.png");
  ASSERT_TRUE(SaveScreenshot(*window_, 3, file));
  EXPECT_EQ(window_->Pages().currentIndex(), 3);
  const QImage img(file);
  ASSERT_FALSE(img.isNull());
  EXPECT_EQ(img.size(), QSize(1062, 672));
  // The help picture sits at (64, 40) inside the page; its white background shows there.
  const QPoint inPicture = window_->Pages().widget(3)->mapTo(window_.get(), QPoint(64 + 380, 40 + 3));
  EXPECT_EQ(img.pixelColor(inPicture), QColor(Qt::white));
  // The lamp is red in a window whose port is closed.
  const QColor lamp = img.pixelColor(window_->StatusBar().PanelRect(1).left() + 15 + 8, 648 + 2 + 2 + 8);
  EXPECT_GT(lamp.red(), 150);
  EXPECT_LT(lamp.green(), 100);
}

TEST_F(ScreenshotTest, RefusesATabThatDoesNotExistAndAnUnwritableFile) {
  QString error;
  EXPECT_FALSE(SaveScreenshot(*window_, 4, dir_.filePath("a.png"), &error));
  EXPECT_TRUE(error.contains("--tab"));
  EXPECT_FALSE(SaveScreenshot(*window_, 0, dir_.filePath("no/such/folder/a.png"), &error));
  EXPECT_TRUE(error.contains("cannot write"));
}

}  // namespace
}  // namespace torvane
