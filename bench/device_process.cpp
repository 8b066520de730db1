// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/device_process.h"

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

extern char** environ;

namespace torvane::bench {

bool TDeviceProcess::Start(const std::string& program, const std::vector<std::string>& args) {
  int pipeFds[2];
  if (::pipe(pipeFds) != 0) {
    error_ = std::string("pipe: ") + std::strerror(errno);
    return false;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
  posix_spawn_file_actions_addclose(&actions, pipeFds[1]);
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const int rc = ::posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipeFds[1]);
  out_ = pipeFds[0];
  if (rc != 0) {
    pid_ = -1;
    error_ = program + ": " + std::strerror(rc);
    return false;
  }

  // The first line is the port; the device serves from the moment it is printed.
  std::string line;
  for (;;) {
    pollfd p{out_, POLLIN, 0};
    if (::poll(&p, 1, 5000) <= 0) {
      error_ = program + " printed no port";
      return false;
    }
    char c;
    const ssize_t n = ::read(out_, &c, 1);
    if (n <= 0) {
      error_ = program + " ended before printing its port";
      return false;
    }
    if (c == '\n') break;
    line += c;
  }
  portPath_ = line;
  return true;
}

void TDeviceProcess::Stop() {
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
  }
  if (out_ >= 0) {
    ::close(out_);
    out_ = -1;
  }
}

}  // namespace torvane::bench
