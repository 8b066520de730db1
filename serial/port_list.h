#pragma once
// Trecognitionserial: the serial ports present on this machine, for the port combo.
#include <string>
#include <vector>

namespace torvane {

class Trecognitionserial {
 public:
  // `root` is where the system tree starts: "/" for the real one, a fake tree's folder in tests
  // (it must hold sys/class/tty/... and dev/...).
  explicit Trecognitionserial(std::string root = "/");

  // The names of the serial ports present ("ttyS0", "ttyUSB0", "ttyACM0", ...), in natural order.
  // Each name is accepted by TComm::OpenPort as CommName. No port is opened to find them.
  std::vector<std::string> FillPortList() const;

  // Natural order: digit runs compare as numbers, so "ttyUSB2" comes before "ttyUSB10".
  static bool NaturalLess(const std::string& a, const std::string& b);

 private:
  std::string root_;
};

}  // namespace torvane
