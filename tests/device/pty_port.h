// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The PC's end of a virtual device's pty, opened with plain POSIX calls.
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

namespace torvane::device::testing {

class TPtyPort {
 public:
  explicit TPtyPort(const std::string& path) {
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ >= 0) {
      termios tio{};
      ::tcgetattr(fd_, &tio);
      ::cfmakeraw(&tio);
      ::tcsetattr(fd_, TCSANOW, &tio);
    }
  }
  ~TPtyPort() { Close(); }
  TPtyPort(const TPtyPort&) = delete;
  TPtyPort& operator=(const TPtyPort&) = delete;

  bool IsOpen() const { return fd_ >= 0; }
  void Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

  bool Write(const std::vector<uint8_t>& bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
      const ssize_t n = ::write(fd_, bytes.data() + sent, bytes.size() - sent);
      if (n > 0) {
        sent += static_cast<size_t>(n);
      } else {
        pollfd p{fd_, POLLOUT, 0};
        if (::poll(&p, 1, 5000) <= 0) return false;
      }
    }
    return true;
  }

  // Reads until `count` bytes have come or the time is up; returns what came.
  std::vector<uint8_t> Read(size_t count, int timeoutMs = 10000) {
    std::vector<uint8_t> got;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (got.size() < count) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now())
              .count();
      if (left <= 0) break;
      pollfd p{fd_, POLLIN, 0};
      const int r = ::poll(&p, 1, static_cast<int>(left));
      if (r <= 0 || !(p.revents & POLLIN)) break;
      uint8_t buf[512];
      const ssize_t n = ::read(fd_, buf, std::min(sizeof buf, count - got.size()));
      if (n <= 0) break;
      got.insert(got.end(), buf, buf + n);
    }
    return got;
  }

  // One whole frame as its header declares it (at most 256 payload bytes are waited for).
  std::vector<uint8_t> ReadFrame(int timeoutMs = 10000) {
    std::vector<uint8_t> f = Read(8, timeoutMs);
    if (f.size() < 8) return f;
    const size_t n = std::min(f[6] * 256 + f[7], 256);
    const std::vector<uint8_t> rest = Read(n + 1, timeoutMs);
    f.insert(f.end(), rest.begin(), rest.end());
    return f;
  }

  // Whatever is waiting right now, without blocking.
  std::vector<uint8_t> Pending() {
    std::vector<uint8_t> got;
    uint8_t buf[512];
    ssize_t n;
    while ((n = ::read(fd_, buf, sizeof buf)) > 0) got.insert(got.end(), buf, buf + n);
    return got;
  }

  // True when the other end has gone (poll reports a hang-up or a read fails).
  bool HungUp(int timeoutMs = 10000) {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) <= 0) return false;
    if (p.revents & (POLLHUP | POLLERR)) return true;
    uint8_t b;
    return ::read(fd_, &b, 1) <= 0;
  }

 private:
  int fd_ = -1;
};

// Hexadecimal text as bytes: "23 83 00" -> {0x23, 0x83, 0x00}.
inline std::vector<uint8_t> Hex(const std::string& text) {
  std::istringstream in(text);
  std::vector<uint8_t> out;
  std::string byte;
  while (in >> byte) out.push_back(static_cast<uint8_t>(std::stoi(byte, nullptr, 16)));
  return out;
}

}  // namespace torvane::device::testing
