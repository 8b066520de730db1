#pragma once
// The single commands: checking mode (4), delete history (133) and time sync (3).
#include "protocol/frame.h"
#include "protocol/link.h"

namespace torvane {

class Tsingalcmd : public TTemplate {
 public:
  Tsingalcmd(TLink& link, uint8_t code) : CommandCode(code), link_(link) {}
  uint8_t CommandCode;
  virtual void Send();

 protected:
  TLink& link_;
};

class Tsynchronizationtime_sc : public Tsingalcmd {
 public:
  explicit Tsynchronizationtime_sc(TLink& link) : Tsingalcmd(link, CMD_TIME_SYNC) {}
  void Send() override;
};

}  // namespace torvane
