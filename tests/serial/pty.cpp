// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/pty.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace torvane::testing {

TPty::TPty() {
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0)
    throw std::runtime_error("no pseudo-terminal");
  char name[128];
  if (::ptsname_r(master_, name, sizeof name) != 0) throw std::runtime_error("no pseudo-terminal name");
  slave_ = name;
  ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
}

TPty::~TPty() {
  CloseMaster();
}

void TPty::CloseMaster() {
  if (master_ >= 0) ::close(master_);
  master_ = -1;
}

void TPty::Send(const std::vector<uint8_t>& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t w = ::write(master_, bytes.data() + done, bytes.size() - done);
    if (w > 0) {
      done += static_cast<size_t>(w);
    } else if (w < 0 && (errno == EAGAIN || errno == EINTR)) {
      pollfd p{master_, POLLOUT, 0};
      ::poll(&p, 1, 100);
    } else {
      throw std::runtime_error("pty write failed");
    }
  }
}

std::vector<uint8_t> TPty::Receive(size_t count, int timeoutMs) {
  std::vector<uint8_t> got;
  uint8_t buf[4096];
  while (got.size() < count) {
    pollfd p{master_, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) <= 0 || !(p.revents & POLLIN)) break;
    const ssize_t r = ::read(master_, buf, sizeof buf);
    if (r <= 0) {
      if (r < 0 && (errno == EAGAIN || errno == EINTR)) continue;
      break;
    }
    got.insert(got.end(), buf, buf + r);
  }
  return got;
}

std::vector<uint8_t> TPty::Drain(int ms) {
  return Receive(SIZE_MAX, ms);
}

static size_t CountEntries(const char* dir) {
  size_t n = 0;
  if (DIR* d = ::opendir(dir)) {
    while (dirent* e = ::readdir(d))
      if (e->d_name[0] != '.') ++n;
    ::closedir(d);
  }
  return n;
}

size_t CountOpenFds() {
  return CountEntries("/proc/self/fd") - 1;
}  // less opendir's own
size_t CountThreads() {
  return CountEntries("/proc/self/task");
}

}  // namespace torvane::testing
