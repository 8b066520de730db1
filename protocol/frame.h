// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One frame on the wire, both directions:
//   0x23 | command | address (4, MSB first) | length N (2, MSB first) | N payload bytes | checksum
// The checksum is the XOR of every byte after the start byte. There is no escaping: a 0x23 inside
// the body is plain data.
#include <array>
#include <cstddef>
#include <cstdint>

namespace torvane {

constexpr uint8_t kFrameStart = 0x23;
constexpr int kMaxPayload = 256;

constexpr uint8_t CMD_TIME_SYNC = 3;
constexpr uint8_t CMD_CHECK_MODE = 4;
constexpr uint8_t CMD_WRITE = 130;
constexpr uint8_t CMD_READ = 131;
constexpr uint8_t CMD_DELETE_HISTORY = 133;

// Address regions as replies are routed: settings below 0x1000, the number list up to 0x2FFFF,
// history from 0x30000. Pages are 0x100 apart within a region.
constexpr int32_t kSettingsBase = 0x000;
constexpr int32_t kNumbersBase = 0x1000;
constexpr int32_t kHistoryBase = 0x30000;
constexpr int32_t kPageSpan = 0x100;

class TDataPackage {
 public:
  uint8_t Command = 0;
  std::array<uint8_t, 4> AddressBytes{};
  std::array<uint8_t, 2> LengthBytes{};
  std::array<uint8_t, kMaxPayload> Payload{};
  uint8_t Checksum = 0;
  std::array<uint8_t, 303> Frame{};
  int32_t FrameLength = 0;

  void SetCommand(uint8_t code) { Command = code; }
  void SetAddress(int32_t value);
  void SetLength(int32_t n);
  int PayloadLength() const { return LengthBytes[0] * 256 + LengthBytes[1]; }
  // Copies exactly the length set by SetLength from the start of bytes (callers pass enough).
  void SetPayload(const uint8_t* bytes);
  void ComputeChecksum();
  void BuildFrame();
};

// The reply assembler's record: one lives as long as the program.
class TRecData : public TDataPackage {
 public:
  bool Receiving = false;
  int32_t ReceivedChecksum = 0;
  std::array<uint8_t, 304> RawBytes{};
  int32_t RawCount = 0;
  int32_t ExpectedLength = 0;
};

// How many bytes the last frame begun in `bytes` still lacks: 0 when every frame there is whole or
// none has begun. While a header is incomplete, only the rest of the header counts; a declared length
// above kMaxPayload counts as kMaxPayload. The serial component's read-ahead: it times deliveries only.
size_t FrameBytesMissing(const uint8_t* bytes, size_t count);

// Base of every transfer and command object.
class TTemplate {
 public:
  virtual ~TTemplate() = default;
};

}  // namespace torvane
