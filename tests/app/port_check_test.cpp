// SPDX-License-Identifier: GPL-3.0-or-later
// --check-port: the same open and diagnosis as the window's Open, printed; and the program itself
// run with it and no display.
#include "session/port_check.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "serial/pty.h"

namespace torvane {
namespace {

struct TOutcome {
  int Code;
  std::string Text;
};

TOutcome Check(const std::string& port) {
  char* buffer = nullptr;
  size_t size = 0;
  std::FILE* out = ::open_memstream(&buffer, &size);
  const int code = RunCheckPort(port, out);
  std::fclose(out);
  TOutcome o{code, std::string(buffer, size)};
  std::free(buffer);
  return o;
}

TEST(CheckPort, PrintsTheOutcomeAndTheDiagnosis) {
  testing::TPty pty;
  struct TCase {
    std::string Port;
    int Code;
    std::vector<std::string> Lines;  // the first ones, exactly
  };
  const std::vector<TCase> cases = {
      {pty.SlavePath(), 0, {pty.SlavePath() + ": opens (115200 8N1)"}},
      {"ttyTorvaneNoSuchPort7",
       1,
       {"/dev/ttyTorvaneNoSuchPort7: Error opening serial port: No such file or directory",
        "/dev/ttyTorvaneNoSuchPort7 does not exist (any more): the adapter is unplugged, or it came back "
        "under "
        "another name.",
        "Fix: plug the adapter in and pick its port from the list."}},
      {"/dev/null",
       1,
       {"/dev/null: File handle is not a comm handle: Inappropriate ioctl for device",
        "/dev/null is not a serial port."}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Port);
    const TOutcome o = Check(c.Port);
    EXPECT_EQ(o.Code, c.Code);
    std::string want;
    for (const std::string& l : c.Lines) want += l + "\n";
    EXPECT_EQ(o.Text.substr(0, want.size()), want) << o.Text;
  }
}

// The window's Open, --check-port and torvane's jobs open through TryOpenPort: a failure that raises
// and one that does not both end closed, the system's reason first among the lines shown.
TEST(TryOpenPort, EveryFailureEndsClosedWithItsReason) {
  testing::TPty pty;
  struct TCase {
    std::string Port;
    uint32_t Baud;
    bool Opens;
    std::string Error;   // PortOpenError
    std::string Reason;  // and the first line shown
  };
  const std::vector<TCase> cases = {
      {pty.SlavePath(), 115200, true, "", ""},
      // raises
      {"ttyTorvaneNoSuchPort7", 115200, false, "Error opening serial port", "No such file or directory"},
      // does not
      {"/dev/null", 115200, false, "File handle is not a comm handle ", "Inappropriate ioctl for device"},
      {pty.SlavePath(), 12345, false, "Unsupported baud rate 12345", "Invalid argument"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Port + " at " + std::to_string(c.Baud));
    TQueueNotifyTarget target;
    TComm comm(target);
    comm.SetCommName(c.Port);
    comm.SetBaudRate(c.Baud);
    EXPECT_EQ(TryOpenPort(comm), c.Opens);
    EXPECT_EQ(comm.PortOpen(), c.Opens);
    EXPECT_EQ(comm.PortOpenError(), c.Error);
    EXPECT_EQ(comm.PortOpenReason(), c.Reason);
    if (!c.Opens) {
      EXPECT_EQ(OpenFailureLines(comm).front(), c.Reason);
    }
  }
}

#ifdef TORVANE_CONFIGURATOR
// Runs the program with no display at all (no platform plugin named, no X or Wayland display):
// creating a QApplication there would abort, so a clean exit shows Qt was never started.
TOutcome RunProgram(const std::vector<std::string>& args) {
  int out[2];
  if (::pipe(out) != 0) return {-1, "pipe"};
  const pid_t child = ::fork();
  if (child == 0) {
    ::dup2(out[1], 1);
    ::dup2(out[1], 2);
    ::close(out[0]);
    ::close(out[1]);
    ::unsetenv("QT_QPA_PLATFORM");
    ::unsetenv("DISPLAY");
    ::unsetenv("WAYLAND_DISPLAY");
    std::vector<char*> argv{const_cast<char*>(TORVANE_CONFIGURATOR)};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(out[1]);
  std::string text;
  char buf[4096];
  for (;;) {
    pollfd p{out[0], POLLIN, 0};
    if (::poll(&p, 1, 30000) <= 0) break;
    const ssize_t n = ::read(out[0], buf, sizeof buf);
    if (n <= 0) break;
    text.append(buf, static_cast<size_t>(n));
  }
  ::close(out[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, text};
}

TEST(CheckPort, TheProgramChecksAPortWithNoDisplay) {
  testing::TPty pty;
  const TOutcome opened = RunProgram({"--check-port", pty.SlavePath()});
  EXPECT_EQ(opened.Code, 0) << opened.Text;
  EXPECT_EQ(opened.Text, pty.SlavePath() + ": opens (115200 8N1)\n");
  const TOutcome missing = RunProgram({"--check-port", "/dev/ttyTorvaneNoSuchPort7"});
  EXPECT_EQ(missing.Code, 1) << missing.Text;
  EXPECT_NE(missing.Text.find("No such file or directory"), std::string::npos) << missing.Text;
  const TOutcome noValue = RunProgram({"--check-port"});
  EXPECT_EQ(noValue.Code, 2) << noValue.Text;
}
#endif

}  // namespace
}  // namespace torvane
