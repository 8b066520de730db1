// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The virtual device as a separate process (torvane-device), so that whatever this process spends
// is the configurator's side alone.
#include <sys/types.h>

#include <string>
#include <vector>

namespace torvane::bench {

class TDeviceProcess {
 public:
  // Starts `program` with `args` and waits for the port path it prints first. False with Error() set
  // when it cannot be started or prints nothing within a few seconds.
  bool Start(const std::string& program, const std::vector<std::string>& args);
  // Ends the child (SIGTERM) and waits for it. Also done by the destructor.
  void Stop();
  ~TDeviceProcess() { Stop(); }

  const std::string& PortPath() const { return portPath_; }
  const std::string& Error() const { return error_; }
  pid_t Pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  std::string portPath_;
  std::string error_;
};

}  // namespace torvane::bench
