// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Frames built the way the device and the PC put them on the wire, independently of the program's own
// encoder, for the tests on both sides.
#include <algorithm>
#include <cstdint>
#include <vector>

namespace torvane::testing {

// A whole frame: start byte, command, address, payload length, payload, XOR check byte.
inline std::vector<uint8_t> MakeFrame(uint8_t command, uint32_t address,
                                      const std::vector<uint8_t>& payload) {
  std::vector<uint8_t> f(8 + payload.size() + 1);
  f[0] = 0x23;
  f[1] = command;
  f[2] = static_cast<uint8_t>(address >> 24);
  f[3] = static_cast<uint8_t>(address >> 16);
  f[4] = static_cast<uint8_t>(address >> 8);
  f[5] = static_cast<uint8_t>(address);
  f[6] = static_cast<uint8_t>(payload.size() >> 8);
  f[7] = static_cast<uint8_t>(payload.size());
  std::copy(payload.begin(), payload.end(), f.begin() + 8);
  uint8_t x = 0;
  for (size_t i = 1; i + 1 < f.size(); ++i) x ^= f[i];
  f.back() = x;
  return f;
}

}  // namespace torvane::testing
