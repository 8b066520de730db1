// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/frame.h"

#include <algorithm>
#include <cstring>

namespace torvane {

void TDataPackage::SetAddress(int32_t value) {
  const uint32_t v = static_cast<uint32_t>(value);
  AddressBytes = {static_cast<uint8_t>(v >> 24), static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 8),
                  static_cast<uint8_t>(v)};
}

void TDataPackage::SetLength(int32_t n) {
  LengthBytes = {static_cast<uint8_t>(n / 256), static_cast<uint8_t>(n % 256)};
}

void TDataPackage::SetPayload(const uint8_t* bytes) {
  const int n = PayloadLength();
  std::memcpy(Payload.data(), bytes, n > kMaxPayload ? kMaxPayload : n);
}

void TDataPackage::ComputeChecksum() {
  uint8_t x = Command;
  for (uint8_t b : AddressBytes) x ^= b;
  for (uint8_t b : LengthBytes) x ^= b;
  const int n = PayloadLength() > kMaxPayload ? kMaxPayload : PayloadLength();
  for (int i = 0; i < n; ++i) x ^= Payload[i];
  Checksum = x;
}

void TDataPackage::BuildFrame() {
  const int n = PayloadLength() > kMaxPayload ? kMaxPayload : PayloadLength();
  Frame[0] = kFrameStart;
  Frame[1] = Command;
  std::memcpy(&Frame[2], AddressBytes.data(), 4);
  std::memcpy(&Frame[6], LengthBytes.data(), 2);
  std::memcpy(&Frame[8], Payload.data(), n);
  ComputeChecksum();
  Frame[8 + n] = Checksum;
  FrameLength = n + 9;
}

size_t FrameBytesMissing(const uint8_t* bytes, size_t count) {
  constexpr size_t kHeader = 8;  // start, command, address (4), length (2)
  size_t at = 0;
  for (;;) {
    while (at < count && bytes[at] != kFrameStart) ++at;
    if (at == count) return 0;
    const size_t have = count - at;
    if (have < kHeader) return kHeader - have;
    const size_t declared = std::min<size_t>(bytes[at + 6] * 256u + bytes[at + 7], kMaxPayload);
    const size_t whole = kHeader + declared + 1;
    if (have < whole) return whole - have;
    at += whole;
  }
}

}  // namespace torvane
