// --version and --help of every packaged program, run as a user would run them (no display), and
// the man pages that describe the same options.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/version.h"

extern char** environ;

namespace torvane {
namespace {

struct TRun {
  int ExitCode = -1;  // -1 when the program did not exit normally (a crash, an abort)
  std::string Out;
  std::string Err;
};

// Runs `program` with `args` and an environment without a display: a program that reaches for one
// aborts (Qt does when it cannot connect), which the exit code shows.
TRun RunProgram(const std::string& program, const std::vector<std::string>& args) {
  TRun run;
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    const std::string var = *e;
    if (var.rfind("DISPLAY=", 0) == 0 || var.rfind("WAYLAND_DISPLAY=", 0) == 0 ||
        var.rfind("QT_QPA_PLATFORM=", 0) == 0)
      continue;
    env.push_back(var);
  }
  int out[2], err[2];
  if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) {
    ADD_FAILURE() << "pipe: " << std::strerror(errno);
    return run;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err[1], 2);
  std::vector<std::string> argvText{program};
  argvText.insert(argvText.end(), args.begin(), args.end());
  std::vector<char*> argv, envp;
  for (auto& a : argvText) argv.push_back(a.data());
  argv.push_back(nullptr);
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  pid_t pid = -1;
  const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  ::close(err[1]);
  if (spawned != 0) {
    ADD_FAILURE() << "posix_spawn " << program << ": " << std::strerror(spawned);
    ::close(out[0]);
    ::close(err[0]);
    return run;
  }
  // Both pipes are drained together, so neither can fill up and stall the program.
  pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  std::string* sinks[2] = {&run.Out, &run.Err};
  int open = 2;
  while (open > 0) {
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      ADD_FAILURE() << "poll: " << std::strerror(errno);
      break;
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      char buf[4096];
      const ssize_t n = ::read(fds[i].fd, buf, sizeof buf);
      if (n > 0) {
        sinks[i]->append(buf, static_cast<size_t>(n));
      } else {
        ::close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      }
    }
  }
  for (pollfd& p : fds)
    if (p.fd >= 0) ::close(p.fd);
  int status = 0;
  if (::waitpid(pid, &status, 0) == pid && WIFEXITED(status)) run.ExitCode = WEXITSTATUS(status);
  return run;
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
  const TRun run = RunProgram(GetParam().Path, {"--version"});
  EXPECT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_EQ(run.Out, std::string(GetParam().Name) + " " + kProgramVersion + "\n");
  EXPECT_EQ(run.Err, "");
}

TEST_P(ProgramInfoTest, HelpShowsTheUsageAndNeedsNoDisplay) {
  const TRun run = RunProgram(GetParam().Path, {"--help"});
  EXPECT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_EQ(run.Out.rfind(std::string("Usage: ") + GetParam().Name + " ", 0), 0u) << run.Out;
  EXPECT_TRUE(run.Out.find("--help") != std::string::npos && run.Out.find("--version") != std::string::npos)
      << run.Out;
  EXPECT_EQ(run.Err, "");
}

TEST_P(ProgramInfoTest, ManPageListsTheOptionsHelpShows) {
  const std::string page = ReadFile(std::string(TORVANE_MAN_DIR) + "/" + GetParam().Name + ".1");
  ASSERT_FALSE(page.empty()) << "no man page for " << GetParam().Name;
  const TRun help = RunProgram(GetParam().Path, {"--help"});
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
  const TRun run = RunProgram(TORVANE_CONFIGURATOR_PROGRAM, {"--tab", "0"});
  EXPECT_NE(run.ExitCode, 0);
}

}  // namespace
}  // namespace torvane
