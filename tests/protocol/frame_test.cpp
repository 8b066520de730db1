// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/frame.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "protocol/commands.h"
#include "support/fakes.h"

namespace torvane {
namespace {

std::vector<uint8_t> Build(uint8_t command, int32_t address, const std::vector<uint8_t>& payload = {}) {
  TDataPackage p;
  p.SetCommand(command);
  p.SetLength(static_cast<int32_t>(payload.size()));
  p.SetAddress(address);
  if (!payload.empty()) p.SetPayload(payload.data());
  p.BuildFrame();
  return {p.Frame.begin(), p.Frame.begin() + p.FrameLength};
}

using Bytes = std::vector<uint8_t>;

TEST(Frame, ReadRequestsMatchTheWireExamples) {
  EXPECT_EQ(Build(CMD_READ, 0x000), (Bytes{0x23, 0x83, 0, 0, 0, 0, 0, 0, 0x83}));
  EXPECT_EQ(Build(CMD_READ, 0x100), (Bytes{0x23, 0x83, 0, 0, 0x01, 0, 0, 0, 0x82}));
  EXPECT_EQ(Build(CMD_READ, 0x1000), (Bytes{0x23, 0x83, 0, 0, 0x10, 0, 0, 0, 0x93}));
  EXPECT_EQ(Build(CMD_READ, 0x30000), (Bytes{0x23, 0x83, 0, 0x03, 0, 0, 0, 0, 0x80}));
  EXPECT_EQ(Build(CMD_DELETE_HISTORY, 0), (Bytes{0x23, 0x85, 0, 0, 0, 0, 0, 0, 0x85}));
}

TEST(Frame, BytesMissingFromTheLastFrameBegun) {
  const Bytes page = Build(CMD_READ, 0x100, Bytes(256, 0xFF));  // 265 bytes
  const Bytes ack = Build(CMD_WRITE, 0x100, {1});               // 10 bytes
  Bytes oversize{0x23, 0x83, 0, 0, 1, 0, 0x01, 0x2C};           // declares 300
  Bytes twoFrames = ack;
  twoFrames.insert(twoFrames.end(), page.begin(), page.begin() + 100);
  const struct {
    const char* what;
    Bytes bytes;
    size_t missing;
  } cases[] = {
      {"nothing", {}, 0},
      {"noise only", {0x00, 0x7F, 0xFF}, 0},
      {"the start byte alone: the header first", {0x23}, 7},
      {"noise, then half a header", {0x11, 0x23, 0x83, 0}, 5},
      {"a whole header of a page", Bytes(page.begin(), page.begin() + 8), 257},
      {"a page but its checksum", Bytes(page.begin(), page.end() - 1), 1},
      {"a whole page", page, 0},
      {"a whole acknowledgement", ack, 0},
      {"a 0x23 inside a whole frame's payload is data", Build(CMD_READ, 0, {0x23, 0x23}), 0},
      {"a whole frame, then a page begun", twoFrames, 165},
      {"a declared length above 256 counts as 256", oversize, 257},
  };
  for (const auto& c : cases)
    EXPECT_EQ(FrameBytesMissing(c.bytes.data(), c.bytes.size()), c.missing) << c.what;
}

TEST(Frame, TimeSyncExample) {
  EXPECT_EQ(Build(CMD_TIME_SYNC, 0, {0xEA, 0x0C, 0x07, 0x12, 0x1E, 0x05}),
            (Bytes{0x23, 0x03, 0, 0, 0, 0, 0, 0x06, 0xEA, 0x0C, 0x07, 0x12, 0x1E, 0x05, 0xED}));
}

TEST(Frame, ChecksumIsTheXorOfEverythingAfterTheStartByte) {
  const Bytes payload{0x23, 0x00, 0xFF, 0x23, 0x5A};
  const Bytes f = Build(CMD_WRITE, 0x0002A300, payload);
  ASSERT_EQ(f.size(), payload.size() + 9);
  uint8_t x = 0;
  for (size_t i = 1; i + 1 < f.size(); ++i) x ^= f[i];
  EXPECT_EQ(f.back(), x);
  // No escaping: a 0x23 in the payload goes out as it is.
  EXPECT_EQ(Bytes(f.begin() + 8, f.end() - 1), payload);
  EXPECT_EQ(Bytes(f.begin() + 2, f.begin() + 6), (Bytes{0x00, 0x02, 0xA3, 0x00}));
  EXPECT_EQ(Bytes(f.begin() + 6, f.begin() + 8), (Bytes{0x00, 0x05}));
}

TEST(Frame, AddressesAreSentMostSignificantByteFirst) {
  TDataPackage p;
  p.SetAddress(0x30000);
  EXPECT_EQ(p.AddressBytes, (std::array<uint8_t, 4>{0x00, 0x03, 0x00, 0x00}));
  p.SetAddress(0x1000 + 374 * 0x100);  // the last number-list page
  EXPECT_EQ(p.AddressBytes, (std::array<uint8_t, 4>{0x00, 0x01, 0x86, 0x00}));
  p.SetAddress(-1);
  EXPECT_EQ(p.AddressBytes, (std::array<uint8_t, 4>{0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST(Frame, FullPageCopiesExactly256BytesOfTheBuffer) {
  std::array<uint8_t, 1024> buffer{};
  for (size_t i = 0; i < buffer.size(); ++i) buffer[i] = static_cast<uint8_t>(i * 7 + 1);
  TDataPackage p;
  p.SetCommand(CMD_WRITE);
  p.SetLength(256);
  EXPECT_EQ(p.LengthBytes, (std::array<uint8_t, 2>{0x01, 0x00}));
  p.SetAddress(0x200);
  p.SetPayload(buffer.data());
  p.BuildFrame();
  ASSERT_EQ(p.FrameLength, 265);
  EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + 256, p.Frame.begin() + 8));
  uint8_t x = 0;
  for (int i = 1; i < 264; ++i) x ^= p.Frame[i];
  EXPECT_EQ(p.Frame[264], x);
  EXPECT_EQ(p.Checksum, x);
}

TEST(Frame, NewRecordIsAllZeroes) {
  TDataPackage p;
  EXPECT_EQ(p.Command, 0);
  EXPECT_EQ(p.FrameLength, 0);
  EXPECT_EQ(p.Checksum, 0);
  for (uint8_t b : p.Payload) ASSERT_EQ(b, 0);
  TRecData r;
  EXPECT_FALSE(r.Receiving);
  EXPECT_EQ(r.RawCount, 0);
  EXPECT_EQ(r.ExpectedLength, 0);
}

// The year goes out as the four-digit year modulo 256, not as year - 2000.
TEST(Frame, TimeSyncYearByte) {
  for (auto [year, expected] : {std::pair{2025, 0xE9}, std::pair{2026, 0xEA}, std::pair{2048, 0x00}}) {
    testing::TFakeSession s;
    s.Clock.Time = {year, 1, 2, 3, 4, 5};
    s.Session->TimeSync.Send();
    ASSERT_EQ(s.Port.Sent.size(), 1u);
    EXPECT_EQ(s.Port.Sent[0][8], expected) << year;
  }
}

}  // namespace
}  // namespace torvane
