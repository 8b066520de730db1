// SPDX-License-Identifier: GPL-3.0-or-later
// The diagnosis on Linux. The device's group comes from stat, the user's groups from getgroups (the
// session) and getgrouplist (the account), the holders from the fd links under /proc: no text search
// of /etc/group, and nothing is opened but /proc's own files.
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "core/message.h"
#include "serial/port_diagnosis.h"
#include "serial/serial_texts.h"

namespace torvane {

namespace fs = std::filesystem;

namespace {

using TCause = TPortDiagnosis::TCause;

std::vector<TGroupId> SystemSessionGroups() {
  std::vector<gid_t> groups;
  const int n = ::getgroups(0, nullptr);
  if (n > 0) {
    groups.resize(static_cast<size_t>(n));
    const int got = ::getgroups(n, groups.data());
    groups.resize(got > 0 ? static_cast<size_t>(got) : 0);
  }
  groups.push_back(::getegid());
  return {groups.begin(), groups.end()};
}

std::vector<TGroupId> SystemAccountGroups() {
  std::vector<char> buf(16384);
  passwd pw{};
  passwd* found = nullptr;
  if (::getpwuid_r(::getuid(), &pw, buf.data(), buf.size(), &found) != 0 || !found) return {};
  int n = 64;
  std::vector<gid_t> groups(static_cast<size_t>(n));
  if (::getgrouplist(pw.pw_name, pw.pw_gid, groups.data(), &n) < 0) {
    groups.resize(static_cast<size_t>(n));  // n now says how many there are
    if (::getgrouplist(pw.pw_name, pw.pw_gid, groups.data(), &n) < 0) return {};
  }
  groups.resize(static_cast<size_t>(n));
  return {groups.begin(), groups.end()};
}

std::string SystemGroupName(TGroupId gid) {
  std::vector<char> buf(16384);
  group gr{};
  group* found = nullptr;
  if (::getgrgid_r(static_cast<gid_t>(gid), &gr, buf.data(), buf.size(), &found) == 0 && found)
    return gr.gr_name;
  return std::to_string(gid);
}

// "crw-rw----", as ls shows it.
std::string ModeText(mode_t mode) {
  std::string t = S_ISCHR(mode) ? "c" : S_ISDIR(mode) ? "d" : S_ISREG(mode) ? "-" : "?";
  const char rwx[] = "rwx";
  for (int i = 8; i >= 0; --i) t += (mode & (1u << i)) ? rwx[(8 - i) % 3] : '-';
  return t;
}

bool Contains(const std::vector<TGroupId>& groups, TGroupId gid) {
  return std::find(groups.begin(), groups.end(), gid) != groups.end();
}

void PermissionLines(const std::string& path, const TDiagnosisSources& sources, TPortDiagnosis& d) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    d.Lines.push_back(FillText(kPortNotExamined, {path, std::strerror(errno)}));
    d.Lines.push_back(kPortDialoutFix);
    return;
  }
  const auto name = sources.GroupName ? sources.GroupName : SystemGroupName;
  d.Group = name(st.st_gid);
  const std::vector<TGroupId> session =
      sources.SessionGroups ? sources.SessionGroups() : SystemSessionGroups();
  const std::vector<TGroupId> account =
      sources.AccountGroups ? sources.AccountGroups() : SystemAccountGroups();
  const std::string mode = ModeText(st.st_mode);
  if (Contains(session, st.st_gid)) {
    d.Lines.push_back(FillText(kPortGroupMayNotUse, {path, mode, d.Group}));
    d.Lines.push_back(FillText(kPortGroupMayNotUseFix, {d.Group}));
  } else if (Contains(account, st.st_gid)) {
    d.Lines.push_back(FillText(kPortGroupJoinedLater, {path, mode, d.Group}));
    d.Lines.push_back(kPortGroupJoinedLaterFix);
  } else {
    d.Lines.push_back(FillText(kPortGroupNotJoined, {path, mode, d.Group}));
    d.Lines.push_back(FillText(kPortGroupNotJoinedFix, {d.Group}));
  }
}

std::string ReadComm(const fs::path& procEntry) {
  std::ifstream in(procEntry / "comm");
  std::string name;
  std::getline(in, name);
  return name;
}

// Every process with a descriptor on the device. Processes of other users cannot be looked into
// without privileges; they are passed over.
std::vector<TPortHolder> FindHolders(const std::string& path, const std::string& procRoot, TProcessId self,
                                     bool& heldBySelf) {
  heldBySelf = false;
  std::error_code ec;
  std::vector<std::string> targets{path};
  const fs::path canonical = fs::weakly_canonical(path, ec);
  if (!ec && canonical.string() != path) targets.push_back(canonical.string());

  std::vector<TPortHolder> holders;
  for (fs::directory_iterator it(procRoot, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string pidText = it->path().filename().string();
    if (pidText.empty() ||
        !std::all_of(pidText.begin(), pidText.end(), [](unsigned char c) { return std::isdigit(c) != 0; }))
      continue;
    std::error_code e;
    for (fs::directory_iterator fd(it->path() / "fd", e), fdEnd; !e && fd != fdEnd; fd.increment(e)) {
      std::error_code le;
      const std::string target = fs::read_symlink(fd->path(), le).string();
      if (le || std::find(targets.begin(), targets.end(), target) == targets.end()) continue;
      const TProcessId pid = std::stoll(pidText);
      if (pid == self)
        heldBySelf = true;
      else
        holders.push_back({pid, ReadComm(it->path())});
      break;
    }
  }
  std::sort(holders.begin(), holders.end(),
            [](const TPortHolder& a, const TPortHolder& b) { return a.Pid < b.Pid; });
  return holders;
}

void BusyLines(const std::string& path, const TDiagnosisSources& sources, TPortDiagnosis& d) {
  bool heldBySelf = false;
  d.Holders = FindHolders(path, sources.ProcRoot, sources.SelfPid ? sources.SelfPid : ::getpid(), heldBySelf);
  if (heldBySelf) d.Lines.push_back(FillText(kPortOpenHere, {path}));
  if (d.Holders.empty() && heldBySelf) return;
  if (d.Holders.empty()) {
    d.Lines.push_back(FillText(kPortHolderUnknown, {path}));
    d.Lines.push_back(FillText(kPortHolderUnknownFix, {path}));
    return;
  }
  for (const TPortHolder& h : d.Holders) {
    const std::string pid = std::to_string(h.Pid);
    d.Lines.push_back(FillText(kPortHeldBy, {path, h.Name, pid}));
    if (h.Name == "ModemManager") {
      d.Lines.push_back(kPortHeldByModemManager);
    } else if (h.Name == "brltty") {
      d.Lines.push_back(kPortHeldByBrltty);
    } else {
      d.Lines.push_back(FillText(kPortHeldByFix, {h.Name, pid}));
    }
  }
}

TCause CauseOf(int error) {
  switch (error) {
    case 0:
      return TCause::Opened;
    case EACCES:
    case EPERM:
      return TCause::PermissionDenied;
    case EBUSY:
    case EWOULDBLOCK:
      return TCause::Busy;
    case ENOENT:
    case ENODEV:
    case ENXIO:
      return TCause::Vanished;
    case ENOTTY:
    case EISDIR:
    case ENOTDIR:
      return TCause::NotASerialPort;
    default:
      return TCause::Other;
  }
}

}  // namespace

TPortDiagnosis DiagnosePort(const std::string& path, int error, const TDiagnosisSources& sources) {
  TPortDiagnosis d;
  d.Cause = CauseOf(error);
  if (error != 0) d.Reason = std::strerror(error);
  switch (d.Cause) {
    case TCause::Opened:
    case TCause::Other:
      break;
    case TCause::PermissionDenied:
      PermissionLines(path, sources, d);
      break;
    case TCause::Busy:
      BusyLines(path, sources, d);
      break;
    case TCause::Vanished:
      d.Lines.push_back(FillText(error == ENOENT ? kPortMissing : kPortNoDevice, {path}));
      d.Lines.push_back(kPortMissingFix);
      break;
    case TCause::NotASerialPort:
      d.Lines.push_back(FillText(kPortNotSerial, {path}));
      d.Lines.push_back(kPortNotSerialFix);
      break;
  }
  return d;
}

}  // namespace torvane
