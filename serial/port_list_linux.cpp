// SPDX-License-Identifier: GPL-3.0-or-later
// The port list on Linux, read from sysfs: a tty whose /sys/class/tty entry has a device link is
// backed by hardware (a USB adapter, an ACM modem, a UART). The 8250 driver registers a fixed number
// of slots whether or not a UART is there; those slots report type 0 (unknown) and are left out.
// Nothing is opened: opening a port can toggle its modem lines and reset an attached device.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "serial/port_list.h"

namespace torvane {

namespace fs = std::filesystem;

Trecognitionserial::Trecognitionserial(std::string root)
    : root_(root.empty() ? std::string(1, '/') : std::move(root)) {}

namespace {

// The "type" attribute of a serial-core port: 0 is PORT_UNKNOWN, a slot with no UART behind it.
bool UnknownUart(const fs::path& entry) {
  std::ifstream in(entry / "type");
  if (!in) return false;
  long type = -1;
  if (!(in >> type)) return false;
  return type == 0;
}

}  // namespace

std::vector<std::string> Trecognitionserial::FillPortList() const {
  std::vector<std::string> names;
  const fs::path root(root_);
  const fs::path ttyClass = root / "sys/class/tty";
  std::error_code ec;
  for (fs::directory_iterator it(ttyClass, ec), end; !ec && it != end; it.increment(ec)) {
    const fs::path entry = it->path();
    const std::string name = entry.filename().string();
    std::error_code e;
    // No device link: a virtual terminal, the console, ptmx and the like.
    if (!fs::exists(entry / "device", e)) continue;
    if (UnknownUart(entry)) continue;
    // OpenPort forms /dev/NAME: list only what it can find.
    if (!fs::exists(root / "dev" / name, e)) continue;
    names.push_back(name);
  }
  std::sort(names.begin(), names.end(), NaturalLess);
  return names;
}

}  // namespace torvane
