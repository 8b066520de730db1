// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Why a port would not open, and what to do about it: the lines shown under "COM Port error" and
// printed by --check-port. On Linux it looks at the device, the user's groups and the processes
// holding the device; on Windows the error alone says enough to point at the tool that finds the
// rest. It never opens the port itself.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace torvane {

using TProcessId = std::int64_t;
using TGroupId = std::uint32_t;

struct TPortHolder {
  TProcessId Pid = 0;
  std::string Name;  // the process's command name, as /proc/PID/comm gives it
};

struct TPortDiagnosis {
  enum class TCause { Opened, PermissionDenied, Busy, Vanished, NotASerialPort, Other };
  TCause Cause = TCause::Opened;
  std::string Reason;              // the system's text for the error, empty when none
  std::vector<std::string> Lines;  // the cause and the fix, one line each
  std::vector<TPortHolder> Holders;
  std::string Group;  // the device's group (permission denied)
};

// Where the diagnosis looks on Linux; tests put a fake /proc and a fake group list in place. Windows
// has nothing to look at.
struct TDiagnosisSources {
  std::string ProcRoot = "/proc";
  // The process asking (0: this one). It is never named as the holder: a port it holds itself was
  // named twice, under two names.
  TProcessId SelfPid = 0;
  // The groups this process runs with (getgroups and the effective group).
  std::function<std::vector<TGroupId>()> SessionGroups;
  // The groups the user's account is in now (getgrouplist): differs from the session's until the
  // user logs in again after being added to a group.
  std::function<std::vector<TGroupId>()> AccountGroups;
  // A group's name; the number when it has none.
  std::function<std::string(TGroupId)> GroupName;
};

// `path` is the device path that failed to open (TComm::DevicePath) and `error` the failure's code
// as TComm::PortOpenErrno gives it (errno; GetLastError on Windows; 0: it opened).
TPortDiagnosis DiagnosePort(const std::string& path, int error, const TDiagnosisSources& sources = {});

}  // namespace torvane
