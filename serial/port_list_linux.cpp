// The port list on Linux, read from sysfs: a tty whose /sys/class/tty entry has a device link is
// backed by hardware (a USB adapter, an ACM modem, a UART). The 8250 driver registers a fixed number
// of slots whether or not a UART is there; those slots report type 0 (unknown) and are left out.
// Nothing is opened: opening a port can toggle its modem lines and reset an attached device.
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "serial/port_list.h"

namespace torvane {

namespace fs = std::filesystem;

Trecognitionserial::Trecognitionserial(std::string root)
    : root_(root.empty() ? std::string(1, '/') : std::move(root)) {}

bool Trecognitionserial::NaturalLess(const std::string& a, const std::string& b) {
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    const bool da = std::isdigit(static_cast<unsigned char>(a[i])) != 0;
    const bool db = std::isdigit(static_cast<unsigned char>(b[j])) != 0;
    if (da && db) {
      size_t ei = i, ej = j;
      while (ei < a.size() && std::isdigit(static_cast<unsigned char>(a[ei]))) ++ei;
      while (ej < b.size() && std::isdigit(static_cast<unsigned char>(b[ej]))) ++ej;
      // Compare as numbers of any length: skip leading zeros, then the longer is larger.
      size_t si = i, sj = j;
      while (si + 1 < ei && a[si] == '0') ++si;
      while (sj + 1 < ej && b[sj] == '0') ++sj;
      if (ei - si != ej - sj) return ei - si < ej - sj;
      const int c = a.compare(si, ei - si, b, sj, ej - sj);
      if (c != 0) return c < 0;
      if (ei - i != ej - j) return ei - i < ej - j;  // "01" after "1"
      i = ei;
      j = ej;
      continue;
    }
    if (a[i] != b[j]) return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
    ++i;
    ++j;
  }
  return a.size() - i < b.size() - j;
}

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
