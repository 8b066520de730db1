// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/dispatcher.h"

#include <algorithm>
#include <array>
#include <string>

#include "protocol/protocol_texts.h"

namespace torvane {
namespace {

// Shown for every byte that arrives; one string kept rather than one made per byte.
const std::string kByteText = kDataCommunication;

}  // namespace

void TReceiveDispatcher::ResetAssembler() {
  rec_.RawCount = 0;
  rec_.Receiving = false;
  skip_ = 0;
}

void TReceiveDispatcher::cm1ReceiveData(const uint8_t* buffer, uint16_t length) {
  if (!buffer) return;
  // The serial component hands over one byte per call; should a block ever carry more, every byte
  // is taken rather than all but the first lost.
  for (uint16_t i = 0; i < length; ++i) TakeByte(buffer[i]);
}

void TReceiveDispatcher::TakeByte(uint8_t b) {
  // Only one request is ever outstanding, so a frame still half collected when a new request (or a
  // repeat) went out is a stale remnant: start afresh rather than let it swallow the new answer.
  if (exchange_.SendCount() != seenSendCount_) {
    seenSendCount_ = exchange_.SendCount();
    ResetAssembler();
  }
  if (skip_ > 0) {
    // The rest of a frame too long to take passes without a word per byte; once it is all there, the
    // device has said all it will say to this try.
    if (--skip_ == 0) exchange_.OnBadFrame(true);
    return;
  }
  // Bytes nobody waits for (the tail of a reply given up on) leave the status line alone: it says why
  // the last transfer ended.
  if (exchange_.Outstanding()) context_.Status.ShowStatus(kByteText);
  Collect(b);
}

void TReceiveDispatcher::Collect(uint8_t b) {
  if (!rec_.Receiving) {
    if (b == kFrameStart) rec_.Receiving = true;
    return;
  }
  rec_.RawBytes[rec_.RawCount] = b;
  if (rec_.RawCount == 7) {
    rec_.ExpectedLength = rec_.RawBytes[5] * 256 + rec_.RawBytes[6];
    // The record holds at most 256 payload bytes; a longer declared length can only be garbage, and the
    // bytes it declares (payload and checksum) are let pass.
    if (rec_.ExpectedLength > kMaxPayload) {
      if (OnFrameReceived) {
        std::array<uint8_t, 8> header{kFrameStart};
        std::copy_n(rec_.RawBytes.begin(), 7, header.begin() + 1);
        OnFrameReceived(header, false);
      }
      // The byte just taken was the first of the declared payload; the rest of it and the checksum
      // are still to come.
      const int rest = rec_.ExpectedLength;
      ResetAssembler();
      skip_ = rest;
      exchange_.OnBadFrame(false);
      return;
    }
  }
  ++rec_.RawCount;
  if (rec_.RawCount == rec_.ExpectedLength + 8) Complete();
}

void TReceiveDispatcher::Complete() {
  const int n = rec_.ExpectedLength;
  rec_.ReceivedChecksum = rec_.RawBytes[n + 7];
  rec_.Command = rec_.RawBytes[0];
  std::copy_n(&rec_.RawBytes[1], 4, rec_.AddressBytes.begin());
  std::copy_n(&rec_.RawBytes[5], 2, rec_.LengthBytes.begin());
  std::copy_n(&rec_.RawBytes[7], n, rec_.Payload.begin());
  rec_.ComputeChecksum();
  const bool good = rec_.Checksum == rec_.ReceivedChecksum;
  rec_.RawCount = 0;
  rec_.Receiving = false;
  if (OnFrameReceived) {
    std::array<uint8_t, kMaxPayload + 9> whole{kFrameStart};
    std::copy_n(rec_.RawBytes.begin(), n + 8, whole.begin() + 1);
    OnFrameReceived(std::span<const uint8_t>(whole.data(), static_cast<size_t>(n) + 9), good);
  }
  if (!good) {
    exchange_.OnBadFrame(true);
    return;
  }
  const uint8_t command = rec_.Command;
  // Regions are compared unsigned: an address with its top bit set lies above the history base.
  const auto address =
      static_cast<int32_t>((uint32_t{rec_.AddressBytes[0]} << 24) | (uint32_t{rec_.AddressBytes[1]} << 16) |
                           (uint32_t{rec_.AddressBytes[2]} << 8) | uint32_t{rec_.AddressBytes[3]});
  const bool known = command == CMD_READ || command == CMD_WRITE || command == CMD_TIME_SYNC ||
                     command == CMD_CHECK_MODE || command == CMD_DELETE_HISTORY;
  if (!known) {
    if (exchange_.Outstanding()) context_.Status.ShowStatus(kUndefinedData);
    return;
  }
  if (command == CMD_WRITE && static_cast<uint32_t>(address) >= static_cast<uint32_t>(kHistoryBase)) {
    // Nothing is ever written to the log.
    if (exchange_.Outstanding()) context_.Status.ShowStatus(kUndefinedAddress);
    return;
  }
  // The payload is handed over where it lies; the engine and the transfer read it during the call.
  exchange_.OnFrame(command, address, std::span<const uint8_t>(rec_.Payload.data(), static_cast<size_t>(n)));
}

}  // namespace torvane
