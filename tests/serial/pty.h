// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A pseudo-terminal pair for the serial tests: TComm opens the slave, the test plays the device on
// the master side.
#include <cstdint>
#include <string>
#include <vector>

namespace torvane::testing {

class TPty {
 public:
  TPty();
  ~TPty();
  TPty(const TPty&) = delete;
  TPty& operator=(const TPty&) = delete;

  const std::string& SlavePath() const { return slave_; }
  int Master() const { return master_; }
  void CloseMaster();

  // Writes all bytes to the line (the device sends).
  void Send(const std::vector<uint8_t>& bytes);
  // Reads until `count` bytes came or `timeoutMs` passed without any; returns what came.
  std::vector<uint8_t> Receive(size_t count, int timeoutMs = 2000);
  // Whatever arrives within `ms`.
  std::vector<uint8_t> Drain(int ms);

 private:
  int master_ = -1;
  std::string slave_;
};

// Open descriptors and threads of this process, from /proc/self.
size_t CountOpenFds();
size_t CountThreads();

}  // namespace torvane::testing
