// SPDX-License-Identifier: GPL-3.0-or-later
// Why a port would not open: against a fake /proc and fake group lists, and once against a real
// process of the test holding a pseudo-terminal.
#include "serial/port_diagnosis.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "serial/comm.h"
#include "serial/pty.h"

namespace torvane {
namespace {

namespace fs = std::filesystem;
using TCause = TPortDiagnosis::TCause;

class TTempDir {
 public:
  TTempDir() {
    char tmpl[] = "/tmp/torvane-diagnosis-XXXXXX";
    path_ = ::mkdtemp(tmpl);
  }
  ~TTempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  const fs::path& Path() const { return path_; }

 private:
  fs::path path_;
};

// /proc/PID/comm and /proc/PID/fd/N links, as the kernel shows them.
class TFakeProc {
 public:
  std::string Root() const { return (dir_.Path() / "proc").string(); }
  void Process(pid_t pid, const std::string& name, const std::vector<std::string>& open) {
    const fs::path p = dir_.Path() / "proc" / std::to_string(pid);
    fs::create_directories(p / "fd");
    std::ofstream(p / "comm") << name << "\n";
    int fd = 3;
    for (const std::string& target : open) fs::create_symlink(target, p / "fd" / std::to_string(fd++));
  }

 private:
  TTempDir dir_;
};

bool Has(const std::vector<std::string>& lines, const std::string& part) {
  for (const std::string& l : lines)
    if (l.find(part) != std::string::npos) return true;
  return false;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string all;
  for (const std::string& l : lines) all += l + "\n";
  return all;
}

TEST(PortDiagnosis, NamesTheCauseAndTheFix) {
  // The port is a plain file here ("-rw-rw----"); a real one is a character device ("crw-rw----").
  TTempDir dev;
  const std::string port = (dev.Path() / "ttyUSB0").string();
  std::ofstream(port) << "";
  ::chmod(port.c_str(), 0660);
  struct stat st {};
  ASSERT_EQ(::stat(port.c_str(), &st), 0);
  const TGroupId dialout = st.st_gid;
  const TGroupId other = dialout + 1000;
  const std::string missing = (dev.Path() / "ttyUSB9").string();

  TFakeProc proc;
  proc.Process(1, "systemd", {"/dev/null", "socket:[123]"});
  proc.Process(812, "ModemManager", {"/dev/null", port});
  proc.Process(900, "brltty", {port});
  proc.Process(1200, "minicom", {"/dev/ttyS0"});
  TFakeProc pico;
  pico.Process(4321, "picocom", {port});
  TFakeProc nobody;
  nobody.Process(1, "systemd", {"/dev/null"});
  TFakeProc twice;
  twice.Process(1, "systemd", {"/dev/null"});
  twice.Process(5000, "torvane", {port});

  struct TCase {
    const char* What;
    std::string Path;
    int Errno;
    std::string Proc;
    std::vector<TGroupId> Session, Account;
    TCause Cause;
    std::vector<std::string> Says;  // parts of the lines, each in one of them
    std::vector<TProcessId> Holders = {};
    TProcessId Self = 0;  // the asking process, when the fake /proc holds it
  };
  const std::vector<TCase> cases = {
      {"not in the group",
       port,
       EACCES,
       proc.Root(),
       {other},
       {other},
       TCause::PermissionDenied,
       {port + " (-rw-rw----) belongs to group dialout, and you are not in it.",
        "Fix: sudo adduser $USER dialout, then log out and log in again."}},
      {"added, not logged in again",
       port,
       EACCES,
       proc.Root(),
       {other},
       {other, dialout},
       TCause::PermissionDenied,
       {"belongs to group dialout: you were added to it, but this session started before that.",
        "Fix: log out and log in again"}},
      {"in the group, which may not use it",
       port,
       EPERM,
       proc.Root(),
       {dialout},
       {dialout},
       TCause::PermissionDenied,
       {"belongs to group dialout, which you are in, but the group may not read and write it."}},
      {"device gone before it could be examined",
       missing,
       EACCES,
       proc.Root(),
       {},
       {},
       TCause::PermissionDenied,
       {missing + " cannot be examined: No such file or directory.", "sudo adduser $USER dialout"}},
      {"ModemManager and brltty",
       port,
       EBUSY,
       proc.Root(),
       {},
       {},
       TCause::Busy,
       {port + " is held by ModemManager (process 812).", "sudo systemctl stop ModemManager",
        "ID_MM_DEVICE_IGNORE", port + " is held by brltty (process 900).", "sudo systemctl stop brltty"},
       {812, 900}},
      {"another program",
       port,
       EBUSY,
       pico.Root(),
       {},
       {},
       TCause::Busy,
       {port + " is held by picocom (process 4321).", "Fix: close picocom, or stop it with: kill 4321."},
       {4321}},
      {"a holder that cannot be seen",
       port,
       EBUSY,
       nobody.Root(),
       {},
       {},
       TCause::Busy,
       {"in use by another program, which could not be found", "sudo fuser -v " + port}},
      {"held by the asking program itself",
       port,
       EBUSY,
       twice.Root(),
       {},
       {},
       TCause::Busy,
       {port + " is open in this program already: the port was named twice"},
       {},
       5000},
      {"unplugged",
       missing,
       ENOENT,
       proc.Root(),
       {},
       {},
       TCause::Vanished,
       {missing + " does not exist (any more)", "Fix: plug the adapter in"}},
      {"no device behind the node",
       port,
       ENXIO,
       proc.Root(),
       {},
       {},
       TCause::Vanished,
       {"has no device behind it"}},
      {"driver gone", port, ENODEV, proc.Root(), {}, {}, TCause::Vanished, {"has no device behind it"}},
      {"not a terminal",
       "/dev/null",
       ENOTTY,
       proc.Root(),
       {},
       {},
       TCause::NotASerialPort,
       {"/dev/null is not a serial port.", "Fix: pick a serial port"}},
      {"some other failure", port, EINVAL, proc.Root(), {}, {}, TCause::Other, {}},
      {"opened", port, 0, proc.Root(), {}, {}, TCause::Opened, {}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.What);
    TDiagnosisSources sources;
    sources.ProcRoot = c.Proc;
    sources.SelfPid = c.Self;
    sources.SessionGroups = [&] { return c.Session; };
    sources.AccountGroups = [&] { return c.Account; };
    sources.GroupName = [&](TGroupId g) { return g == dialout ? std::string("dialout") : std::to_string(g); };
    const TPortDiagnosis d = DiagnosePort(c.Path, c.Errno, sources);
    EXPECT_EQ(d.Cause, c.Cause);
    EXPECT_EQ(d.Reason, c.Errno ? std::strerror(c.Errno) : "");
    for (const std::string& part : c.Says)
      EXPECT_TRUE(Has(d.Lines, part)) << part << " not in:\n" << Joined(d.Lines);
    if (c.Self) {
      EXPECT_FALSE(Has(d.Lines, "held by")) << Joined(d.Lines);
    }
    if (c.Says.empty()) {
      EXPECT_TRUE(d.Lines.empty()) << Joined(d.Lines);
    }
    std::vector<TProcessId> holders;
    for (const TPortHolder& h : d.Holders) holders.push_back(h.Pid);
    EXPECT_EQ(holders, c.Holders);
    if (c.Cause == TCause::PermissionDenied && c.Path == port) {
      EXPECT_EQ(d.Group, "dialout");
    }
  }
}

// The groups of this process and its account, without fakes: root's group is its own.
TEST(PortDiagnosis, RealGroupsOfThisProcess) {
  TTempDir dev;
  const std::string port = (dev.Path() / "ttyUSB0").string();
  std::ofstream(port) << "";
  ASSERT_EQ(::chown(port.c_str(), ::geteuid(), ::getegid()), 0);
  const TPortDiagnosis d = DiagnosePort(port, EACCES);
  ASSERT_EQ(d.Cause, TCause::PermissionDenied);
  EXPECT_TRUE(Has(d.Lines, "which you are in")) << Joined(d.Lines);
  EXPECT_FALSE(d.Group.empty());
}

// A second process of the test opens the pseudo-terminal and locks it, as another serial program
// would; the component's open is refused as busy, and the diagnosis names that process.
TEST(PortDiagnosis, NamesTheProcessThatHoldsARealPort) {
  testing::TPty pty;
  int ready[2], release[2];
  ASSERT_EQ(::pipe(ready), 0);
  ASSERT_EQ(::pipe(release), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(ready[0]);
    ::close(release[1]);
    ::prctl(PR_SET_NAME, "torvane-holder");
    const int fd = ::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY);
    const char ok = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0 ? 'y' : 'n';
    (void)!::write(ready[1], &ok, 1);
    char c;
    (void)!::read(release[0], &c, 1);  // until the test closes its end
    ::_exit(0);
  }
  ::close(ready[1]);
  ::close(release[0]);
  pollfd p{ready[0], POLLIN, 0};
  ASSERT_EQ(::poll(&p, 1, 10000), 1);
  char ok = 0;
  ASSERT_EQ(::read(ready[0], &ok, 1), 1);
  ASSERT_EQ(ok, 'y');

  TQueueNotifyTarget target;
  TComm comm(target);
  comm.SetCommName(pty.SlavePath());
  EXPECT_THROW(comm.OpenPort(), ECommsError);
  EXPECT_EQ(comm.PortOpenErrno(), EBUSY);
  const TPortDiagnosis d = DiagnosePort(pty.SlavePath(), comm.PortOpenErrno());
  EXPECT_EQ(d.Cause, TCause::Busy);
  EXPECT_EQ(d.Reason, "Device or resource busy");
  ASSERT_EQ(d.Holders.size(), 1u) << Joined(d.Lines);
  EXPECT_EQ(d.Holders[0].Pid, child);
  EXPECT_EQ(d.Holders[0].Name, "torvane-holder");
  EXPECT_TRUE(
      Has(d.Lines, pty.SlavePath() + " is held by torvane-holder (process " + std::to_string(child) + ")."))
      << Joined(d.Lines);
  EXPECT_TRUE(Has(d.Lines, "kill " + std::to_string(child))) << Joined(d.Lines);

  ::close(release[1]);
  int status = 0;
  EXPECT_EQ(::waitpid(child, &status, 0), child);
  ::close(ready[0]);
  // Once it is gone the port opens.
  comm.OpenPort();
  EXPECT_TRUE(comm.PortOpen()) << comm.PortOpenError();
}

}  // namespace
}  // namespace torvane
