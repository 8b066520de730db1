// SPDX-License-Identifier: GPL-3.0-or-later
// The Help tab's "Save trace": the frames of the last exchanges into a file, passwords hidden.
#include "app/help_page.h"

#include <gtest/gtest.h>

#include <QTest>
#include <fstream>
#include <sstream>

#include "support/window_fixture.h"

namespace torvane {
namespace {

using HelpPage = testing::TWindowFixture;

TEST_F(HelpPage, SaveTraceWritesTheFramesOfTheLastExchanges) {
  TForm1& window = *window_;
  TSession& s = S();
  // A login and its reply, as they would have crossed the line.
  std::vector<uint8_t> page(256, 0);
  std::copy_n("4711", 4, page.begin());
  s.Login.BeginLogin();
  for (uint8_t b : testing::MakeFrame(CMD_READ, 0, page)) s.cm1ReceiveData(&b, 1);

  auto* help = qobject_cast<THelpPage*>(window.Pages().widget(3));
  ASSERT_NE(help, nullptr);
  const std::string file = dir_.filePath("support.txt").toStdString();
  op_.FileAnswers.push_back(file);
  QTest::mouseClick(help->SaveTraceButton(), Qt::LeftButton);
  EXPECT_EQ(op_.ProposedNames.back(), "trace_2026-12-09_10-00-00.txt");
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
