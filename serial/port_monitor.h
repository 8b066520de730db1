#pragma once
// The port list while the program runs: serial adapters plugged in appear, unplugged ones go. The
// events come from a source with a descriptor to poll (udev's monitor on Linux, a fake in tests);
// the list itself is always read anew from the system, so it keeps the port list's filter and
// natural order, and a lost event costs nothing once the next one comes.
#include <memory>
#include <string>
#include <vector>

#include "serial/port_list.h"

namespace torvane {

struct TPortEvent {
  enum class TAction { Added, Removed };
  TAction Action = TAction::Added;
  std::string Name;  // "ttyUSB0"
};

class IPortEventSource {
 public:
  virtual ~IPortEventSource() = default;
  // Readable (poll's POLLIN) while events wait.
  virtual int Fd() const = 0;
  // Takes the events that wait, in order, without blocking; empty when there are none.
  virtual std::vector<TPortEvent> ReadEvents() = 0;
};

// udev's monitor of tty devices, or null with the reason in `why` where there is no udev (a
// container has no udev daemon, and may have no netlink either).
std::unique_ptr<IPortEventSource> OpenUdevPortEvents(std::string* why = nullptr);

class TPortMonitor {
 public:
  // Reads the list once at once. Without a source the list stays as it was first read.
  TPortMonitor(Trecognitionserial lister, std::shared_ptr<IPortEventSource> events);

  bool Live() const { return events_ != nullptr; }
  int Fd() const { return events_ ? events_->Fd() : -1; }
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
