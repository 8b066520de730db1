#pragma once
// Requests as the PC sends them to the virtual device, for the tests that talk to it over its pty.
#include <cstdint>
#include <vector>

#include "tests/device/pty_port.h"

namespace torvane::device::testing {

// A whole request frame: start byte, command, address, payload length, payload, XOR check byte.
inline std::vector<uint8_t> Frame(uint8_t command, uint32_t address, const std::vector<uint8_t>& payload) {
  std::vector<uint8_t> f = {0x23,
                            command,
                            uint8_t(address >> 24),
                            uint8_t(address >> 16),
                            uint8_t(address >> 8),
                            uint8_t(address),
                            uint8_t(payload.size() >> 8),
                            uint8_t(payload.size())};
  f.insert(f.end(), payload.begin(), payload.end());
  uint8_t x = 0;
  for (size_t i = 1; i < f.size(); ++i) x ^= f[i];
  f.push_back(x);
  return f;
}

inline const std::vector<uint8_t> kCheckMode = Hex("23 04 00 00 00 00 00 00 04");
inline const std::vector<uint8_t> kCheckModeReply = Hex("23 04 00 00 00 00 00 01 01 04");

}  // namespace torvane::device::testing
