// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Hot-plug events made by the test: each one is posted to the watcher as the system's source posts
// the events it hears.
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "serial/port_monitor.h"

namespace torvane::testing {

class TFakePortEvents : public IPortEventSource {
 public:
  void Watch(ICommNotifyTarget& target, std::function<void()> ready) override {
    queue_.Watch(target, std::move(ready));
  }
  void StopWatching() override { queue_.StopWatching(); }
  std::vector<TPortEvent> ReadEvents() override { return queue_.Take(); }

  void Post(TPortEvent::TAction action, const std::string& name) { queue_.Add({{action, name}}); }
  void Added(const std::string& name) { Post(TPortEvent::TAction::Added, name); }
  void Removed(const std::string& name) { Post(TPortEvent::TAction::Removed, name); }
  bool Waiting() const { return queue_.Waiting(); }

 private:
  TPortEventQueue queue_;
};

}  // namespace torvane::testing
