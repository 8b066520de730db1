#pragma once
// Hot-plug events made by the test: each one makes the descriptor readable, as udev's monitor does.
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "serial/port_monitor.h"

namespace torvane::testing {

class TFakePortEvents : public IPortEventSource {
 public:
  TFakePortEvents() : fd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
    if (fd_ < 0) throw std::runtime_error("no eventfd");
  }
  ~TFakePortEvents() override { ::close(fd_); }
  TFakePortEvents(const TFakePortEvents&) = delete;
  TFakePortEvents& operator=(const TFakePortEvents&) = delete;

  int Fd() const override { return fd_; }
  std::vector<TPortEvent> ReadEvents() override {
    uint64_t n;
    (void)!::read(fd_, &n, sizeof n);
    return std::exchange(events_, {});
  }

  void Post(TPortEvent::TAction action, const std::string& name) {
    events_.push_back({action, name});
    const uint64_t one = 1;
    (void)!::write(fd_, &one, sizeof one);
  }
  void Added(const std::string& name) { Post(TPortEvent::TAction::Added, name); }
  void Removed(const std::string& name) { Post(TPortEvent::TAction::Removed, name); }
  bool Waiting() const { return !events_.empty(); }

 private:
  int fd_;
  std::vector<TPortEvent> events_;
};

}  // namespace torvane::testing
