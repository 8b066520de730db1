// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Trecognitionserial: the serial ports present on this machine, for the port combo.
#include <string>
#include <vector>

namespace torvane {

class Trecognitionserial {
 public:
  // Where the list is read; empty or "/" is the system's own. Linux: where the system tree starts, a
  // fake tree's folder in tests (it must hold sys/class/tty/... and dev/...). Windows: the registry
  // key that lists the ports, HKLM\HARDWARE\DEVICEMAP\SERIALCOMM unless a key under HKCU\ or
  // HKLM\ is named (a fake list in tests).
  explicit Trecognitionserial(std::string root = "/");

  // The names of the serial ports present ("ttyS0", "ttyUSB0", "ttyACM0", ...; "COM1", "COM7", ...
  // on Windows), in natural order. Each name is accepted by TComm::OpenPort as CommName. No port is
  // opened to find them.
  std::vector<std::string> FillPortList() const;

  // Natural order: digit runs compare as numbers, so "ttyUSB2" comes before "ttyUSB10".
  static bool NaturalLess(const std::string& a, const std::string& b);

 private:
  std::string root_;
};

}  // namespace torvane
