#pragma once
// The receive side: reply bytes arrive one at a time, are assembled into a frame, checked and routed
// by command code and address region.
#include <cstdint>

#include "protocol/frame.h"
#include "protocol/link.h"
#include "protocol/login.h"

namespace torvane {

class TReceiveDispatcher {
 public:
  TReceiveDispatcher(TLink& link, TRecData& rec, TRecValidCom& valid, Tpasswordverify& login,
                     Tsend_rec_command& settings, Tsend_rec_command& numbers, Tsend_rec_command& history)
      : link_(link),
        rec_(rec),
        valid_(valid),
        login_(login),
        settings_(settings),
        numbers_(numbers),
        history_(history) {}

  // The serial component's receive event: normally one byte per call.
  void cm1ReceiveData(const uint8_t* buffer, uint16_t length);
  // Back to hunting for a start byte.
  void ResetAssembler();

 private:
  TLink& link_;
  TRecData& rec_;
  TRecValidCom& valid_;
  Tpasswordverify& login_;
  Tsend_rec_command& settings_;
  Tsend_rec_command& numbers_;
  Tsend_rec_command& history_;
  uint64_t seenSendCount_ = 0;

  void TakeByte(uint8_t b);
  void Collect(uint8_t b);
  void Reject();
  void Route();
  void CopyInto(Tsend_rec_command& target, int count);
  void ShowPageProgress(const Tsend_rec_command& transfer);
};

}  // namespace torvane
