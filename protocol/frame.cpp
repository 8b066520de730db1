#include "protocol/frame.h"

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

}  // namespace torvane
