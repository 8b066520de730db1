// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstdint>

namespace torvane {

// Where frames go: the serial component, or a fake in tests.
class ISendPort {
 public:
  virtual ~ISendPort() = default;
  // Queues a copy of the bytes; false when nothing can be sent (port closed, count 0).
  virtual bool SendBytes(const uint8_t* bytes, uint16_t count) = 0;
};

}  // namespace torvane
