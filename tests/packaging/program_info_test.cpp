// SPDX-License-Identifier: GPL-3.0-or-later
// --version and --help of every packaged program, run as a user would run them (no display), and
// the man pages that describe the same options.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cstring>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/version.h"
#include "support/run_program.h"

namespace torvane {
namespace {

// Runs `program` with `args` and an environment without a display: a program that reaches for one
// aborts (Qt does when it cannot connect), which the exit code shows.
testing::TRun RunProgram(const std::string& program, const std::vector<std::string>& args) {
  return testing::RunProgram(program, args, {}, {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"});
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Every --option the text names.
std::set<std::string> LongOptions(const std::string& text) {
  static const std::regex kOption("--[a-z][a-z-]*");
  std::set<std::string> found;
  for (auto it = std::sregex_iterator(text.begin(), text.end(), kOption); it != std::sregex_iterator(); ++it)
    found.insert(it->str());
  return found;
}

// The options a man page's OPTIONS section lists: the first word of each .TP heading.
std::set<std::string> ManPageOptions(const std::string& page) {
  std::set<std::string> found;
  std::istringstream lines(page);
  std::string line;
  bool inOptions = false, heading = false;
  while (std::getline(lines, line)) {
    if (line.rfind(".SH", 0) == 0) {
      inOptions = line == ".SH OPTIONS";
      continue;
    }
    if (!inOptions) continue;
    if (line.rfind(".TP", 0) == 0) {
      heading = true;
      continue;
    }
    if (heading) {
      heading = false;
      std::string plain = std::regex_replace(line, std::regex(R"(\\-)"), "-");
      std::smatch m;
      if (std::regex_search(plain, m, std::regex("--[a-z][a-z-]*"))) found.insert(m.str());
    }
  }
  return found;
}

struct TProgram {
  const char* Name;
  const char* Path;
};

// Test names show the program, not its bytes.
void PrintTo(const TProgram& program, std::ostream* out) {
  *out << program.Name;
}

class ProgramInfoTest : public ::testing::TestWithParam<TProgram> {};

TEST_P(ProgramInfoTest, VersionIsTheProjectVersionAndNeedsNoDisplay) {
  const testing::TRun run = RunProgram(GetParam().Path, {"--version"});
  EXPECT_EQ(run.ExitCode, 0) << run.Err;
  // The first line is what scripts read; the licence follows it.
  EXPECT_EQ(run.Out.substr(0, run.Out.find('\n') + 1),
            std::string(GetParam().Name) + " " + kProgramVersion + "\n");
  EXPECT_NE(run.Out.find("License GPL-3.0-or-later"), std::string::npos) << run.Out;
  EXPECT_EQ(run.Err, "");
}

TEST_P(ProgramInfoTest, HelpShowsTheUsageAndNeedsNoDisplay) {
  const testing::TRun run = RunProgram(GetParam().Path, {"--help"});
  EXPECT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_EQ(run.Out.rfind(std::string("Usage: ") + GetParam().Name + " ", 0), 0u) << run.Out;
  EXPECT_TRUE(run.Out.find("--help") != std::string::npos && run.Out.find("--version") != std::string::npos)
      << run.Out;
  EXPECT_EQ(run.Err, "");
}

TEST_P(ProgramInfoTest, ManPageListsTheOptionsHelpShows) {
  const std::string page = ReadFile(std::string(TORVANE_MAN_DIR) + "/" + GetParam().Name + ".1");
  ASSERT_FALSE(page.empty()) << "no man page for " << GetParam().Name;
  const testing::TRun help = RunProgram(GetParam().Path, {"--help"});
  ASSERT_EQ(help.ExitCode, 0);
  const std::set<std::string> inHelp = LongOptions(help.Out);
  ASSERT_GE(inHelp.size(), 3u);
  EXPECT_EQ(ManPageOptions(page), inHelp);
  // The heading carries the version the program prints.
  EXPECT_NE(page.find(std::string("\"") + GetParam().Name + " " + kProgramVersion + "\""), std::string::npos)
      << page.substr(0, page.find('\n'));
}

INSTANTIATE_TEST_SUITE_P(Packaged, ProgramInfoTest,
                         ::testing::Values(TProgram{"torvane-configurator", TORVANE_CONFIGURATOR_PROGRAM},
                                           TProgram{"torvane", TORVANE_CLI_PROGRAM},
                                           TProgram{"torvane-device", TORVANE_DEVICE_PROGRAM}),
                         [](const auto& info) {
                           std::string name = info.param.Name;
                           for (char& c : name)
                             if (c == '-') c = '_';
                           return name;
                         });

// Without --help or --version the configurator does need its display, so the tests above would see
// an abort if it reached for one: they can tell a program that answers early from one that does not.
TEST(ProgramInfo, TheWindowWithoutADisplayDoesNotStart) {
  const rlimit noCore{0, 0};  // Qt aborts; its core file is of no use here
  ASSERT_EQ(::setrlimit(RLIMIT_CORE, &noCore), 0) << std::strerror(errno);
  const testing::TRun run = RunProgram(TORVANE_CONFIGURATOR_PROGRAM, {"--tab", "0"});
  EXPECT_NE(run.ExitCode, 0);
}

}  // namespace
}  // namespace torvane
