// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The receive side: reply bytes arrive one at a time and are assembled into a frame and checked. A good
// frame goes to the exchange engine as its command, address and payload; the engine decides whether it
// answers the request outstanding.
#include <cstdint>
#include <functional>
#include <span>

#include "protocol/exchange.h"
#include "protocol/frame.h"

namespace torvane {

class TReceiveDispatcher {
 public:
  TReceiveDispatcher(TExchange& exchange, TContext& context, TRecData& rec)
      : exchange_(exchange), context_(context), rec_(rec) {}

  // The serial component's receive event: normally one byte per call.
  void cm1ReceiveData(const uint8_t* buffer, uint16_t length);
  // Back to hunting for a start byte.
  void ResetAssembler();

  // Every whole frame as it came off the line, start byte included, and whether its checksum held.
  // A frame whose declared length does not fit is reported by its header alone.
  std::function<void(std::span<const uint8_t> frame, bool good)> OnFrameReceived;

 private:
  void TakeByte(uint8_t b);
  void Collect(uint8_t b);
  void Complete();
  TExchange& exchange_;
  TContext& context_;
  TRecData& rec_;
  uint64_t seenSendCount_ = 0;
  // Bytes still to come of a frame that declared more than the record holds: they are let pass.
  int skip_ = 0;
};

}  // namespace torvane
