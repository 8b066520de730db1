// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A program run as a user runs it: its own process, standard output and error collected (both pipes
// drained together, so neither can fill up and stall it), an environment the test chooses, and its
// exit status. TChild lets a test act while the program runs (send it a signal); RunProgram waits.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

extern char** environ;

namespace torvane::testing {

struct TRun {
  int ExitCode = -1;  // -1 when the program did not exit normally (a crash, an abort)
  std::string Out;
  std::string Err;
};

class TChild {
 public:
  // `set` adds or replaces variables; a name in `drop` (or set to nothing with a leading '-') is removed.
  bool Start(const std::string& program, const std::vector<std::string>& args,
             const std::map<std::string, std::string>& set = {}, const std::vector<std::string>& drop = {}) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
      const std::string var = *e;
      const std::string name = var.substr(0, var.find('='));
      if (set.count(name) || std::find(drop.begin(), drop.end(), name) != drop.end()) continue;
      env.push_back(var);
    }
    for (const auto& [name, value] : set) env.push_back(name + "=" + value);
    int out[2], err[2];
    if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) {
      ADD_FAILURE() << "pipe: " << std::strerror(errno);
      return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    std::vector<std::string> argvText{program};
    argvText.insert(argvText.end(), args.begin(), args.end());
    std::vector<char*> argv, envp;
    for (auto& a : argvText) argv.push_back(a.data());
    argv.push_back(nullptr);
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    const int spawned = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    ::close(err[1]);
    out_ = out[0];
    err_ = err[0];
    if (spawned != 0) {
      ADD_FAILURE() << "posix_spawn " << program << ": " << std::strerror(spawned);
      pid_ = -1;
      return false;
    }
    return true;
  }
  void Signal(int sig) const {
    if (pid_ > 0) ::kill(pid_, sig);
  }
  // Collects everything the program prints until it ends, and its status.
  TRun Finish() {
    TRun run;
    pollfd fds[2] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}};
    std::string* sinks[2] = {&run.Out, &run.Err};
    int open = 0;
    for (const pollfd& p : fds) open += p.fd >= 0;
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
    out_ = err_ = -1;
    int status = 0;
    if (pid_ > 0 && ::waitpid(pid_, &status, 0) == pid_ && WIFEXITED(status))
      run.ExitCode = WEXITSTATUS(status);
    pid_ = -1;
    return run;
  }
  ~TChild() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      Finish();
    }
  }

 private:
  pid_t pid_ = -1;
  int out_ = -1, err_ = -1;
};

inline TRun RunProgram(const std::string& program, const std::vector<std::string>& args,
                       const std::map<std::string, std::string>& set = {},
                       const std::vector<std::string>& drop = {}) {
  TChild child;
  if (!child.Start(program, args, set, drop)) return {};
  return child.Finish();
}

}  // namespace torvane::testing
