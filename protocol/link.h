#pragma once
// What every sender and the receive dispatcher share: the port, the operator, the status and progress
// helpers, the reply timer and the clock; the one send sequence; and the rule that at most one
// request is outstanding.
#include <cstdint>
#include <functional>
#include <string>

#include "core/clock.h"
#include "core/operator.h"
#include "core/status.h"
#include "core/timer.h"
#include "serial/send_port.h"

namespace torvane {

class TLink {
 public:
  TLink(ISendPort& port, IOperator& op, Tstatusbar_ctrl& status, Tprogressbar_ctrl& progress,
        ITimer& replyTimer, const IClock& clock)
      : Port(port), Operator(op), Status(status), Progress(progress), ReplyTimer(replyTimer), Clock(clock) {}

  ISendPort& Port;
  IOperator& Operator;
  Tstatusbar_ctrl& Status;
  Tprogressbar_ctrl& Progress;
  ITimer& ReplyTimer;
  const IClock& Clock;

  // The send sequence of every sender: build the frame, queue it, show the sender's status text,
  // start the reply timer. The exchange stays open until EndExchange.
  void SendFrame(uint8_t command, int32_t address, int32_t length, const uint8_t* payload,
                 const std::string& statusText);

  // An exchange is open from a request until its reply is handled without a further request, an
  // error is shown or the reply timer expires. While one is open, nothing may send another request.
  bool Busy() const { return busy_; }
  void EndExchange() { SetBusy(false); }
  // Counts requests sent, so the dispatcher can tell whether handling a reply sent the next one.
  uint64_t SendCount() const { return sendCount_; }

  // The login lock over the operation buttons.
  bool Unlocked() const { return unlocked_; }
  void LockControls() { SetUnlocked(false); }
  void UnlockControls() { SetUnlocked(true); }

  // The window listens here to enable and disable its buttons.
  std::function<void()> OnControlsChanged;

 private:
  void SetBusy(bool b);
  void SetUnlocked(bool u);
  bool busy_ = false;
  bool unlocked_ = false;
  uint64_t sendCount_ = 0;
};

}  // namespace torvane
