// The platform-free half of the port monitor: the list read anew on every batch of events.
#include "serial/port_monitor.h"

#include <algorithm>
#include <map>
#include <utility>

namespace torvane {

TPortMonitor::TPortMonitor(Trecognitionserial lister, std::shared_ptr<IPortEventSource> events)
    : lister_(std::move(lister)), events_(std::move(events)), ports_(lister_.FillPortList()) {}

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
