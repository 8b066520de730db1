// SPDX-License-Identifier: GPL-3.0-or-later
// The Help tab's "Save trace": the frames of the last exchanges into a file, passwords hidden.
#include "app/help_page.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <QTest>
#include <fstream>
#include <sstream>

#include "app/main_window.h"
#include "support/fakes.h"
#include "support/qt_app.h"

namespace torvane {
namespace {

TEST(HelpPage, SaveTraceWritesTheFramesOfTheLastExchanges) {
  testing::EnsureQtApp();
  QTemporaryDir dir;
  testing::TFakeOperator op;
  TManualClock timers;
  TFixedClock clock{{2026, 12, 9, 10, 0, 0}};
  TForm1Options o;
  o.Operator = &op;
  o.Timers = &timers;
  o.Clock = &clock;
  o.ProgramDir = dir.path();
  o.SettingsFile = dir.filePath("options.ini");
  TForm1 window(o);
  TSession& s = window.Session();
  // A login and its reply, as they would have crossed the line.
  std::vector<uint8_t> page(256, 0);
  std::copy_n("4711", 4, page.begin());
  s.Login.BeginLogin();
  for (uint8_t b : testing::MakeFrame(CMD_READ, 0, page)) s.cm1ReceiveData(&b, 1);

  auto* help = qobject_cast<THelpPage*>(window.Pages().widget(3));
  ASSERT_NE(help, nullptr);
  const std::string file = dir.filePath("support.txt").toStdString();
  op.FileAnswers.push_back(file);
  QTest::mouseClick(help->SaveTraceButton(), Qt::LeftButton);
  EXPECT_EQ(op.ProposedNames.back(), "trace_2026-12-09_10-00-00.txt");
  std::ifstream in(file);
  std::stringstream text;
  text << in.rdbuf();
  std::vector<std::string> lines;
  for (std::string line; std::getline(text, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NE(lines[0].find("PC>  131 read   0x00000000 len   0 ok   23 83 00 00 00 00 00 00 83"),
            std::string::npos);
  EXPECT_NE(lines[1].find("<DEV 131 read   0x00000000 len 256 ok   23 83 00 00 00 00 01 00 ** ** ** ** 00"),
            std::string::npos)
      << lines[1];
  EXPECT_EQ(lines[1].find("34 37 31 31"), std::string::npos);
}

}  // namespace
}  // namespace torvane
