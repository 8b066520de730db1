// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Requests as the PC sends them to the virtual device, for the tests that talk to it over its pty.
#include <cstdint>
#include <vector>

#include "support/frames.h"
#include "tests/device/pty_port.h"

namespace torvane::device::testing {

// A whole request frame: start byte, command, address, payload length, payload, XOR check byte.
inline std::vector<uint8_t> Frame(uint8_t command, uint32_t address, const std::vector<uint8_t>& payload) {
  return torvane::testing::MakeFrame(command, address, payload);
}

inline const std::vector<uint8_t> kCheckMode = Hex("23 04 00 00 00 00 00 00 04");
inline const std::vector<uint8_t> kCheckModeReply = Hex("23 04 00 00 00 00 00 01 01 04");

}  // namespace torvane::device::testing
