// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A fake sysfs tree laid out like the kernel's, for the port list: /sys/class/tty entries are links
// into /sys/devices, hardware-backed ones have a "device" link, serial-core ports have "type", and
// /dev holds a node (a plain file) for each.
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace torvane::testing {

class TFakeSysfs {
 public:
  TFakeSysfs() {
    char tmpl[] = "/tmp/torvane-sysfs-XXXXXX";
    root_ = ::mkdtemp(tmpl);
    std::filesystem::create_directories(root_ / "sys/class/tty");
    std::filesystem::create_directories(root_ / "dev");
  }
  ~TFakeSysfs() {
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }
  TFakeSysfs(const TFakeSysfs&) = delete;
  TFakeSysfs& operator=(const TFakeSysfs&) = delete;
  std::string Root() const { return root_.string(); }

  // A tty; `hardware` names the device folder its "device" link points at (empty: none), `type` is
  // the serial-core type attribute (-1: none), `node` whether /dev/NAME exists.
  void Add(const std::string& name, const std::string& hardware, int type = -1, bool node = true) {
    namespace fs = std::filesystem;
    const fs::path real = root_ / "sys/devices/virtual/tty" / name;
    fs::create_directories(real);
    if (!hardware.empty()) {
      const fs::path dev = root_ / "sys/devices" / hardware;
      fs::create_directories(dev);
      fs::create_symlink(dev, real / "device");
    }
    if (type >= 0) std::ofstream(real / "type") << type << "\n";
    fs::create_symlink(real, root_ / "sys/class/tty" / name);
    if (node) std::ofstream(root_ / "dev" / name).put('\0');
  }
  // A USB adapter's tty, as the kernel adds it when the adapter is plugged in.
  void AddUsb(const std::string& name) { Add(name, "pci0000:00/usb1/1-1/" + name); }
  // Unplugged: the class entry, its device folder and the node go.
  void Remove(const std::string& name) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::remove(root_ / "sys/class/tty" / name, ec);
    fs::remove_all(root_ / "sys/devices/virtual/tty" / name, ec);
    fs::remove(root_ / "dev" / name, ec);
  }

 private:
  std::filesystem::path root_;
};

}  // namespace torvane::testing
