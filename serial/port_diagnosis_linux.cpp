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

#include "serial/port_diagnosis.h"

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
    d.Lines.push_back(path + " cannot be examined: " + std::strerror(errno) + ".");
    d.Lines.push_back(
        "Serial ports usually belong to group dialout: sudo adduser $USER dialout, then log out and "
        "log in again.");
    return;
  }
  const auto name = sources.GroupName ? sources.GroupName : SystemGroupName;
  d.Group = name(st.st_gid);
  const std::vector<TGroupId> session =
      sources.SessionGroups ? sources.SessionGroups() : SystemSessionGroups();
  const std::vector<TGroupId> account =
      sources.AccountGroups ? sources.AccountGroups() : SystemAccountGroups();
  const std::string owned = path + " (" + ModeText(st.st_mode) + ") belongs to group " + d.Group;
  if (Contains(session, st.st_gid)) {
    d.Lines.push_back(owned + ", which you are in, but the group may not read and write it.");
    d.Lines.push_back("Fix: give the group read and write access (a udev rule with GROUP=\"" + d.Group +
                      "\", MODE=\"0660\"), or ask the administrator.");
  } else if (Contains(account, st.st_gid)) {
    d.Lines.push_back(owned + ": you were added to it, but this session started before that.");
    d.Lines.push_back("Fix: log out and log in again (or restart the computer).");
  } else {
    d.Lines.push_back(owned + ", and you are not in it.");
    d.Lines.push_back("Fix: sudo adduser $USER " + d.Group + ", then log out and log in again.");
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
  if (heldBySelf)
    d.Lines.push_back(path +
                      " is open in this program already: the port was named twice, perhaps under two "
                      "names (ttyUSB0 and /dev/ttyUSB0, or a link to it).");
  if (d.Holders.empty() && heldBySelf) return;
  if (d.Holders.empty()) {
    d.Lines.push_back(path +
                      " is in use by another program, which could not be found (it may run as another "
                      "user).");
    d.Lines.push_back("Fix: find it with: sudo fuser -v " + path + ", and close it.");
    return;
  }
  for (const TPortHolder& h : d.Holders) {
    const std::string pid = std::to_string(h.Pid);
    d.Lines.push_back(path + " is held by " + h.Name + " (process " + pid + ").");
    if (h.Name == "ModemManager") {
      d.Lines.push_back(
          "ModemManager probes every new serial port for a modem. Stop it with: sudo systemctl stop "
          "ModemManager. The torvane-configurator package's udev rule (ID_MM_DEVICE_IGNORE) keeps "
          "it off the common USB serial adapters; plug the adapter in again after installing it.");
    } else if (h.Name == "brltty") {
      d.Lines.push_back(
          "brltty (a Braille display service) takes some USB serial adapters (CH340, CP210x) for "
          "itself. Stop it with: sudo systemctl stop brltty, or remove it: sudo apt remove brltty.");
    } else {
      d.Lines.push_back("Fix: close " + h.Name + ", or stop it with: kill " + pid + ".");
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
      d.Lines.push_back(error == ENOENT
                            ? path +
                                  " does not exist (any more): the adapter is unplugged, or it came "
                                  "back under another name."
                            : path +
                                  " has no device behind it: the adapter is unplugged or its driver "
                                  "is gone.");
      d.Lines.push_back("Fix: plug the adapter in and pick its port from the list.");
      break;
    case TCause::NotASerialPort:
      d.Lines.push_back(path + " is not a serial port.");
      d.Lines.push_back("Fix: pick a serial port (ttyUSB*, ttyACM*, ttyS*) from the list.");
      break;
  }
  return d;
}

}  // namespace torvane
