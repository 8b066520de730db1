#include "protocol/link.h"

#include "protocol/frame.h"

namespace torvane {

void TLink::SendFrame(uint8_t command, int32_t address, int32_t length, const uint8_t* payload,
                      const std::string& statusText) {
  TDataPackage p;
  p.SetCommand(command);
  p.SetLength(length);
  p.SetAddress(address);
  if (length > 0 && payload) p.SetPayload(payload);
  p.BuildFrame();
  Port.SendBytes(p.Frame.data(), static_cast<uint16_t>(p.FrameLength));
  ++sendCount_;
  SetBusy(true);
  Status.ShowStatus(statusText);
  ReplyTimer.Start();
}

void TLink::SetBusy(bool b) {
  if (busy_ == b) return;
  busy_ = b;
  if (OnControlsChanged) OnControlsChanged();
}

void TLink::SetUnlocked(bool u) {
  if (unlocked_ == u) return;
  unlocked_ = u;
  if (OnControlsChanged) OnControlsChanged();
}

}  // namespace torvane
