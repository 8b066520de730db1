// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The protocol trace: every frame sent and received, time-stamped, with its command, address, length
// and the checksum's verdict. The last 2000 are always kept in memory, so that when something goes
// wrong there is something to send to support; a trace can also be written as it happens.
//
// A trace is meant to leave the PC, so the secrets in settings pages (the device password, the GPRS
// and MQTT passwords) are written as "**" unless the operator asks for them. A reply is masked by the
// page that was asked for, not by the address it carries: a device that answers page 2 with page 3's
// address still sends page 2's passwords. A settings page that answers no request outstanding is
// masked whole. The ring itself keeps the bytes as they were, for as long as the program runs.
//
// One line a frame:
//   2026-12-09 14:03:22.123 PC>  131 read   0x00001000 len   0 ok   23 83 00 00 10 00 00 00 93
//   2026-12-09 14:03:22.147 <DEV 131 read   0x00001000 len 256 ok   23 83 00 00 10 00 01 00 2b 34 ...
#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "protocol/frame.h"

namespace torvane {

// Bytes of a page that are secret: in frames at PageAddress, payload bytes Offset .. Offset + Length - 1.
struct TSecretRange {
  int32_t PageAddress = 0;
  int Offset = 0;
  int Length = 0;
};

class TFrameTrace {
 public:
  static constexpr size_t kKept = 2000;
  using TClock = std::function<std::chrono::system_clock::time_point()>;
  // The page request a reply must answer.
  struct TAwaited {
    uint8_t Command = 0;
    int32_t Address = 0;
  };

  explicit TFrameTrace(TClock now = {});
  // The wall clock the time stamps come from (tests stand it still).
  void SetClock(TClock now) { now_ = std::move(now); }

  void Sent(std::span<const uint8_t> frame);
  // A frame that declared more than a frame may carry is traced by its header alone, as bad.
  void Received(std::span<const uint8_t> frame, bool good);

  void SetSecrets(std::vector<TSecretRange> ranges) { secrets_ = std::move(ranges); }
  // The page request outstanding when a frame is received (nothing when none is).
  std::function<std::optional<TAwaited>()> Awaited;
  // Secrets written as they are (the operator's own choice).
  bool ShowSecrets = false;

  // The kept frames, oldest first, one line each.
  std::vector<std::string> Lines() const;
  size_t Size() const { return count_; }
  // Every frame's line as it is traced (a trace written as it happens).
  std::function<void(const std::string& line)> OnLine;

 private:
  struct TEntry {
    std::chrono::system_clock::time_point Time;
    bool Sent = false;
    bool Good = true;
    uint16_t Length = 0;
    // The page whose secrets are hidden, or every payload byte.
    int32_t MaskPage = 0;
    bool MaskWhole = false;
    std::array<uint8_t, kMaxPayload + 9> Bytes{};
  };
  void Add(std::span<const uint8_t> frame, bool sent, bool good);
  std::string Format(const TEntry& e) const;
  bool Secret(int32_t address, int payloadOffset) const;

  TClock now_;
  std::vector<TEntry> ring_;
  size_t next_ = 0, count_ = 0;
  std::vector<TSecretRange> secrets_;
};

}  // namespace torvane
