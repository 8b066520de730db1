#pragma once
// Why a port would not open, and what to do about it: the lines shown under "COM Port error" and
// printed by --check-port. It looks at the device, the user's groups and the processes holding the
// device; it never opens the port itself.
#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

namespace torvane {

struct TPortHolder {
  pid_t Pid = 0;
  std::string Name;  // the process's command name, as /proc/PID/comm gives it
};

struct TPortDiagnosis {
  enum class TCause { Opened, PermissionDenied, Busy, Vanished, NotASerialPort, Other };
  TCause Cause = TCause::Opened;
  std::string Reason;              // the system's text for the error (strerror), empty when none
  std::vector<std::string> Lines;  // the cause and the fix, one line each
  std::vector<TPortHolder> Holders;
  std::string Group;  // the device's group (permission denied)
};

// Where the diagnosis looks; tests put a fake /proc and a fake group list in place.
struct TDiagnosisSources {
  std::string ProcRoot = "/proc";
  // The process asking (0: this one). It is never named as the holder: a port it holds itself was
  // named twice, under two names.
  pid_t SelfPid = 0;
  // The groups this process runs with (getgroups and the effective group).
  std::function<std::vector<gid_t>()> SessionGroups;
  // The groups the user's account is in now (getgrouplist): differs from the session's until the
  // user logs in again after being added to a group.
  std::function<std::vector<gid_t>()> AccountGroups;
  // A group's name; the number when it has none.
  std::function<std::string(gid_t)> GroupName;
};

// `path` is the device path that failed to open and `error` the errno of the failure (0: it opened).
TPortDiagnosis DiagnosePort(const std::string& path, int error, const TDiagnosisSources& sources = {});

}  // namespace torvane
