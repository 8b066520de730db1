// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/frame_trace.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace torvane {

namespace {

const char* CommandName(uint8_t command) {
  switch (command) {
    case CMD_TIME_SYNC:
      return "sync";
    case CMD_CHECK_MODE:
      return "check";
    case CMD_WRITE:
      return "write";
    case CMD_READ:
      return "read";
    case CMD_DELETE_HISTORY:
      return "delete";
    default:
      return "?";
  }
}

}  // namespace

TFrameTrace::TFrameTrace(TClock now) : now_(std::move(now)), ring_(kKept) {
  if (!now_) now_ = [] { return std::chrono::system_clock::now(); };
}

void TFrameTrace::Sent(std::span<const uint8_t> frame) {
  Add(frame, true, true);
}

void TFrameTrace::Received(std::span<const uint8_t> frame, bool good) {
  Add(frame, false, good);
}

void TFrameTrace::Add(std::span<const uint8_t> frame, bool sent, bool good) {
  TEntry& e = ring_[next_];
  e.Time = now_();
  e.Sent = sent;
  e.Good = good;
  e.Length = static_cast<uint16_t>(std::min(frame.size(), e.Bytes.size()));
  std::copy_n(frame.begin(), e.Length, e.Bytes.begin());
  e.MaskPage = 0;
  e.MaskWhole = false;
  if (e.Length >= 8) {
    const uint8_t command = e.Bytes[1];
    const auto address = static_cast<int32_t>(uint32_t{e.Bytes[2]} << 24 | uint32_t{e.Bytes[3]} << 16 |
                                              uint32_t{e.Bytes[4]} << 8 | e.Bytes[5]);
    e.MaskPage = address;
    const bool page = command == CMD_READ || command == CMD_WRITE;
    if (!sent && page) {
      // What was asked decides which secrets a reply carries; a settings page nobody asked for may
      // carry any of them.
      const std::optional<TAwaited> awaited = Awaited ? Awaited() : std::nullopt;
      const bool answers = awaited && awaited->Command == command && awaited->Address == address;
      if (!answers && (address < kNumbersBase || (awaited && awaited->Address < kNumbersBase)))
        e.MaskWhole = true;
    }
  }
  next_ = (next_ + 1) % ring_.size();
  count_ = std::min(count_ + 1, ring_.size());
  if (OnLine) OnLine(Format(e));
}

bool TFrameTrace::Secret(int32_t address, int payloadOffset) const {
  for (const TSecretRange& r : secrets_)
    if (r.PageAddress == address && payloadOffset >= r.Offset && payloadOffset < r.Offset + r.Length)
      return true;
  return false;
}

std::string TFrameTrace::Format(const TEntry& e) const {
  const auto t = std::chrono::system_clock::to_time_t(e.Time);
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(e.Time.time_since_epoch()).count() % 1000;
  tm local{};
  ::localtime_r(&t, &local);
  char head[128];
  std::snprintf(head, sizeof head, "%04d-%02d-%02d %02d:%02d:%02d.%03d %s", local.tm_year + 1900,
                local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                static_cast<int>(ms), e.Sent ? "PC> " : "<DEV");
  std::string line = head;
  // The header of a frame: start byte, command, address (4), length (2).
  if (e.Length >= 8) {
    const uint8_t command = e.Bytes[1];
    const auto address = static_cast<int32_t>(uint32_t{e.Bytes[2]} << 24 | uint32_t{e.Bytes[3]} << 16 |
                                              uint32_t{e.Bytes[4]} << 8 | e.Bytes[5]);
    const int length = e.Bytes[6] * 256 + e.Bytes[7];
    char fields[96];
    std::snprintf(fields, sizeof fields, " %3u %-6s 0x%08X len %3d %-4s", command, CommandName(command),
                  static_cast<uint32_t>(address), length, e.Good ? "ok" : "bad");
    line += fields;
    for (int i = 0; i < e.Length; ++i) {
      const int payload = i - 8;
      // The checksum byte would give the secret back with a little arithmetic: it is hidden with them.
      const bool hide =
          !ShowSecrets && payload >= 0 &&
          (e.MaskWhole || (payload < length && Secret(e.MaskPage, payload)) ||
           (payload == length && std::any_of(secrets_.begin(), secrets_.end(), [&](const TSecretRange& r) {
              return r.PageAddress == e.MaskPage && r.Offset < length;
            })));
      char hex[4];
      std::snprintf(hex, sizeof hex, " %02x", e.Bytes[i]);
      line += hide ? " **" : hex;
    }
  } else {
    line += " (a frame cut short)";
  }
  return line;
}

std::vector<std::string> TFrameTrace::Lines() const {
  std::vector<std::string> lines;
  lines.reserve(count_);
  const size_t first = (next_ + ring_.size() - count_) % ring_.size();
  for (size_t i = 0; i < count_; ++i) lines.push_back(Format(ring_[(first + i) % ring_.size()]));
  return lines;
}

}  // namespace torvane
