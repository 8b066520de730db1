// Hot-plug on Linux through libudev. The monitor listens to udev's own events ("udev", not the
// kernel's): they come after udev has run its rules, so the device node exists (and its group and
// mode are set) when an "add" arrives.
#include <libudev.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "serial/port_monitor.h"

namespace torvane {

namespace {

class TUdevPortEvents : public IPortEventSource {
 public:
  TUdevPortEvents(udev* u, udev_monitor* m) : udev_(u), monitor_(m) {}
  ~TUdevPortEvents() override {
    udev_monitor_unref(monitor_);
    udev_unref(udev_);
  }
  TUdevPortEvents(const TUdevPortEvents&) = delete;
  TUdevPortEvents& operator=(const TUdevPortEvents&) = delete;

  int Fd() const override { return udev_monitor_get_fd(monitor_); }

  std::vector<TPortEvent> ReadEvents() override {
    std::vector<TPortEvent> events;
    // The monitor's socket does not block: null means nothing more waits (or a message was bad).
    while (udev_device* d = udev_monitor_receive_device(monitor_)) {
      const char* action = udev_device_get_action(d);
      const char* name = udev_device_get_sysname(d);
      if (action && name) {
        // "move" renames a device: the new name is added, and the list read anew loses the old one.
        if (std::strcmp(action, "add") == 0 || std::strcmp(action, "move") == 0)
          events.push_back({TPortEvent::TAction::Added, name});
        else if (std::strcmp(action, "remove") == 0)
          events.push_back({TPortEvent::TAction::Removed, name});
      }
      udev_device_unref(d);
    }
    return events;
  }

 private:
  udev* udev_;
  udev_monitor* monitor_;
};

}  // namespace

std::unique_ptr<IPortEventSource> OpenUdevPortEvents(std::string* why) {
  auto fail = [why](const std::string& text) -> std::unique_ptr<IPortEventSource> {
    if (why) *why = text;
    return nullptr;
  };
  // Without a running udev daemon libudev makes a monitor that never hears anything; say so instead.
  if (::access("/run/udev/control", F_OK) != 0)
    return fail(std::string("udev is not running: /run/udev/control: ") + std::strerror(errno));
  udev* u = udev_new();
  if (!u) return fail(std::string("udev_new: ") + std::strerror(errno));
  udev_monitor* m = udev_monitor_new_from_netlink(u, "udev");
  if (!m) {
    const int e = errno;
    udev_unref(u);
    return fail(std::string("udev monitor: ") + std::strerror(e));
  }
  auto events = std::make_unique<TUdevPortEvents>(u, m);
  int r = udev_monitor_filter_add_match_subsystem_devtype(m, "tty", nullptr);
  if (r >= 0) r = udev_monitor_enable_receiving(m);
  if (r < 0) return fail(std::string("udev monitor: ") + std::strerror(-r));
  return events;
}

}  // namespace torvane
