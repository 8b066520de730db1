// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The port list while the program runs: serial adapters plugged in appear, unplugged ones go. The
// events come from a source that watches the system on a thread of its own (udev's monitor on Linux,
// the registry's list on Windows, a fake in tests) and posts a callback to the window thread when
// some wait; the list itself is always read anew from the system, so it keeps the port list's filter
// and natural order, and a lost event costs nothing once the next one comes.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "serial/comm.h"
#include "serial/port_list.h"

namespace torvane {

struct TPortEvent {
  enum class TAction { Added, Removed };
  TAction Action = TAction::Added;
  std::string Name;  // "ttyUSB0", "COM7"
};

class IPortEventSource {
 public:
  virtual ~IPortEventSource() = default;
  // From now on, when events come to wait, `ready` is posted through `target` (it runs on the
  // target's thread): once for a batch, and again for the next event after it has run. A second
  // call replaces the first. `target` must stay until StopWatching or the source's end.
  virtual void Watch(ICommNotifyTarget& target, std::function<void()> ready) = 0;
  // Nothing more is posted, and a post still on its way runs nothing. Call it on the target's thread.
  virtual void StopWatching() = 0;
  // Takes the events that wait, in order, without blocking; empty when there are none.
  virtual std::vector<TPortEvent> ReadEvents() = 0;
};

// The events of a source on their way to its watcher: kept for ReadEvents, with one post of the
// watcher's callback for each batch. Add may be called on any thread.
class TPortEventQueue {
 public:
  TPortEventQueue();
  ~TPortEventQueue();
  TPortEventQueue(const TPortEventQueue&) = delete;
  TPortEventQueue& operator=(const TPortEventQueue&) = delete;

  void Watch(ICommNotifyTarget& target, std::function<void()> ready);
  void StopWatching();
  void Add(std::vector<TPortEvent> events);
  std::vector<TPortEvent> Take();
  bool Waiting() const;

 private:
  struct TState;
  std::shared_ptr<TState> state_;  // shared with the posts on their way
};

// The system's hot-plug events (udev's monitor of tty devices on Linux, changes of the registry's
// port list on Windows), for the port list read from `root` (Trecognitionserial's). Null, with the
// reason in `why`, where there are none: a container has no udev daemon, and may have no netlink
// either; udev knows nothing of a fake tree.
std::unique_ptr<IPortEventSource> OpenPortEvents(std::string* why = nullptr, const std::string& root = "/");

class TPortMonitor {
 public:
  // Reads the list once at once. Without a source the list stays as it was first read.
  TPortMonitor(Trecognitionserial lister, std::shared_ptr<IPortEventSource> events);
  ~TPortMonitor();  // stops watching: the source may outlive the monitor
  TPortMonitor(const TPortMonitor&) = delete;
  TPortMonitor& operator=(const TPortMonitor&) = delete;

  bool Live() const { return events_ != nullptr; }
  // `ready` runs on the target's thread when events wait (see IPortEventSource::Watch); it would
  // call Update. Nothing happens without a source.
  void Watch(ICommNotifyTarget& target, std::function<void()> ready);
  const std::vector<std::string>& Ports() const { return ports_; }

  // Takes the waiting events and reads the list again; true when it changed.
  bool Update();
  // Reads the list again whatever the events say (after the open port's adapter went away, where no
  // events come); true when it changed.
  bool Reread();

 private:
  Trecognitionserial lister_;
  std::shared_ptr<IPortEventSource> events_;
  std::vector<std::string> ports_;
};

}  // namespace torvane
