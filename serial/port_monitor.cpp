// SPDX-License-Identifier: GPL-3.0-or-later
// The platform-free half of the port monitor: the events' way to the window thread, and the list
// read anew on every batch of them.
#include "serial/port_monitor.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <mutex>
#include <utility>

namespace torvane {

struct TPortEventQueue::TState {
  std::mutex Lock;
  std::vector<TPortEvent> Events;
  ICommNotifyTarget* Target = nullptr;
  std::function<void()> Ready;
  // Counts the watches: a post made for an earlier one (or before StopWatching) runs nothing.
  uint64_t Watch = 0;
  bool Posted = false;  // a post is on its way and has not run yet

  // With the lock held. The target's Post only queues, so it cannot come back here.
  void PostLocked(const std::shared_ptr<TState>& self) {
    if (!Target || !Ready || Posted || Events.empty()) return;
    Posted = Target->Post([weak = std::weak_ptr<TState>(self), watch = Watch] {
      const std::shared_ptr<TState> state = weak.lock();
      if (!state) return;
      std::function<void()> ready;
      {
        std::lock_guard<std::mutex> lock(state->Lock);
        if (state->Watch != watch) return;
        state->Posted = false;
        ready = state->Ready;
      }
      // Outside the lock: the callback takes the events.
      if (ready) ready();
    });
  }
};

TPortEventQueue::TPortEventQueue() : state_(std::make_shared<TState>()) {}

TPortEventQueue::~TPortEventQueue() = default;

void TPortEventQueue::Watch(ICommNotifyTarget& target, std::function<void()> ready) {
  std::lock_guard<std::mutex> lock(state_->Lock);
  state_->Target = &target;
  state_->Ready = std::move(ready);
  ++state_->Watch;
  state_->Posted = false;
  state_->PostLocked(state_);  // what came before the watch
}

void TPortEventQueue::StopWatching() {
  std::lock_guard<std::mutex> lock(state_->Lock);
  state_->Target = nullptr;
  state_->Ready = nullptr;
  ++state_->Watch;
  state_->Posted = false;
}

void TPortEventQueue::Add(std::vector<TPortEvent> events) {
  if (events.empty()) return;
  std::lock_guard<std::mutex> lock(state_->Lock);
  state_->Events.insert(state_->Events.end(), std::make_move_iterator(events.begin()),
                        std::make_move_iterator(events.end()));
  state_->PostLocked(state_);
}

std::vector<TPortEvent> TPortEventQueue::Take() {
  std::lock_guard<std::mutex> lock(state_->Lock);
  return std::exchange(state_->Events, {});
}

bool TPortEventQueue::Waiting() const {
  std::lock_guard<std::mutex> lock(state_->Lock);
  return !state_->Events.empty();
}

TPortMonitor::TPortMonitor(Trecognitionserial lister, std::shared_ptr<IPortEventSource> events)
    : lister_(std::move(lister)), events_(std::move(events)), ports_(lister_.FillPortList()) {}

TPortMonitor::~TPortMonitor() {
  if (events_) events_->StopWatching();
}

void TPortMonitor::Watch(ICommNotifyTarget& target, std::function<void()> ready) {
  if (events_) events_->Watch(target, std::move(ready));
}

bool TPortMonitor::Update() {
  if (!events_) return false;
  const std::vector<TPortEvent> events = events_->ReadEvents();
  if (events.empty()) return false;
  std::vector<std::string> ports = lister_.FillPortList();
  // A removed device's sysfs entry may outlive its "remove" for a moment; what was last heard of a
  // name wins over what the list still shows.
  std::map<std::string, TPortEvent::TAction> last;
  for (const TPortEvent& e : events) last[e.Name] = e.Action;
  for (const auto& [name, action] : last)
    if (action == TPortEvent::TAction::Removed)
      ports.erase(std::remove(ports.begin(), ports.end(), name), ports.end());
  if (ports == ports_) return false;
  ports_ = std::move(ports);
  return true;
}

bool TPortMonitor::Reread() {
  std::vector<std::string> ports = lister_.FillPortList();
  if (ports == ports_) return false;
  ports_ = std::move(ports);
  return true;
}

}  // namespace torvane
