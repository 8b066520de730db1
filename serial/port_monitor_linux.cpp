// SPDX-License-Identifier: GPL-3.0-or-later
// Hot-plug on Linux through libudev. The monitor listens to udev's own events ("udev", not the
// kernel's): they come after udev has run its rules, so the device node exists (and its group and
// mode are set) when an "add" arrives. A thread of the source's own waits on the monitor's socket,
// so that the window needs nothing of it but the posted callback.
#include <libudev.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <thread>

#include "core/message.h"
#include "serial/port_monitor.h"
#include "serial/serial_texts.h"

namespace torvane {

namespace {

class TUdevPortEvents : public IPortEventSource {
 public:
  TUdevPortEvents(udev* u, udev_monitor* m, int stop) : udev_(u), monitor_(m), stop_(stop) {}
  ~TUdevPortEvents() override {
    if (thread_.joinable()) {
      const uint64_t one = 1;
      // An eventfd's counter is far from full: the write cannot fail.
      (void)!::write(stop_, &one, sizeof one);
      thread_.join();
    }
    ::close(stop_);
    udev_monitor_unref(monitor_);
    udev_unref(udev_);
  }
  TUdevPortEvents(const TUdevPortEvents&) = delete;
  TUdevPortEvents& operator=(const TUdevPortEvents&) = delete;

  // The thread starts with the first watch; until then the socket keeps what comes.
  void Watch(ICommNotifyTarget& target, std::function<void()> ready) override {
    queue_.Watch(target, std::move(ready));
    if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
  }
  void StopWatching() override { queue_.StopWatching(); }
  std::vector<TPortEvent> ReadEvents() override { return queue_.Take(); }

 private:
  void Run() {
    for (;;) {
      pollfd fds[2] = {{stop_, POLLIN, 0}, {udev_monitor_get_fd(monitor_), POLLIN, 0}};
      const int r = ::poll(fds, 2, -1);
      if (r < 0 && errno == EINTR) continue;
      // A failing poll leaves the list as it is: a reread after a hang-up still finds the truth.
      if (r < 0 || fds[0].revents) return;
      if (fds[1].revents & (POLLERR | POLLHUP | POLLNVAL)) return;
      queue_.Add(Receive());
    }
  }

  std::vector<TPortEvent> Receive() {
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

  udev* udev_;
  udev_monitor* monitor_;
  int stop_;  // eventfd: the source is going away
  TPortEventQueue queue_;
  std::thread thread_;
};

}  // namespace

std::unique_ptr<IPortEventSource> OpenPortEvents(std::string* why, const std::string& root) {
  auto fail = [why](const std::string& text) -> std::unique_ptr<IPortEventSource> {
    if (why) *why = text;
    return nullptr;
  };
  if (!root.empty() && root != "/") return fail(FillText(kUdevOtherRoot, {root}));
  // Without a running udev daemon libudev makes a monitor that never hears anything; say so instead.
  if (::access("/run/udev/control", F_OK) != 0)
    return fail(std::string("udev is not running: /run/udev/control: ") + std::strerror(errno));
  const int stop = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (stop < 0) return fail(std::string("eventfd: ") + std::strerror(errno));
  udev* u = udev_new();
  if (!u) {
    const int e = errno;
    ::close(stop);
    return fail(std::string("udev_new: ") + std::strerror(e));
  }
  udev_monitor* m = udev_monitor_new_from_netlink(u, "udev");
  if (!m) {
    const int e = errno;
    udev_unref(u);
    ::close(stop);
    return fail(std::string("udev monitor: ") + std::strerror(e));
  }
  auto events = std::make_unique<TUdevPortEvents>(u, m, stop);
  int r = udev_monitor_filter_add_match_subsystem_devtype(m, "tty", nullptr);
  if (r >= 0) r = udev_monitor_enable_receiving(m);
  if (r < 0) return fail(std::string("udev monitor: ") + std::strerror(-r));
  return events;
}

}  // namespace torvane
