// The platform-free half of TComm: the property setters. Each line-setting setter stores a changed
// value and re-applies the line settings while the port is open; each time-out setter does the same
// for the time-outs. The platform back end (comm_posix.cpp) supplies the rest.
#include "serial/comm.h"

#include <string>

namespace torvane {

namespace {
template <typename T>
bool Store(T& field, T value) {
  if (field == value) return false;
  field = value;
  return true;
}
}  // namespace

std::string TComm::DevicePath(const std::string& commName) {
  return commName.find('/') != std::string::npos ? commName : "/dev/" + commName;
}

void TComm::SetCommPort(uint8_t port) {
  if (port == 0 || port == commPort_) return;
  commPort_ = port;
  commName_ = "COM" + std::to_string(port);
}

// A line setting the open port refuses leaves the property as it was, and the former settings are put
// back on the line (tcsetattr may have carried out part of the change), so the property still tells
// what the line runs at.
#define TORVANE_LINE_SETTER(Name, field, Type)   \
  void TComm::Set##Name(Type v) {                \
    const Type before = field;                   \
    if (!Store(field, v) || !PortOpen()) return; \
    try {                                        \
      ApplyLineSettings();                       \
    } catch (...) {                              \
      field = before;                            \
      RestoreLineSettings();                     \
      throw;                                     \
    }                                            \
  }
#define TORVANE_TIMEOUT_SETTER(Name, field, Type)       \
  void TComm::Set##Name(Type v) {                       \
    if (Store(field, v) && PortOpen()) ApplyTimeouts(); \
  }

TORVANE_LINE_SETTER(BaudRate, baudRate_, uint32_t)
TORVANE_LINE_SETTER(Parity, parity_, TParity)
TORVANE_LINE_SETTER(ParityCheck, parityCheck_, bool)
TORVANE_LINE_SETTER(ByteSize, byteSize_, TByteSize)
TORVANE_LINE_SETTER(StopBits, stopBits_, TStopBits)
TORVANE_LINE_SETTER(Outx_CtsFlow, outxCtsFlow_, bool)
TORVANE_LINE_SETTER(Outx_DsrFlow, outxDsrFlow_, bool)
TORVANE_LINE_SETTER(Outx_XonXoffFlow, outxXonXoffFlow_, bool)
TORVANE_LINE_SETTER(Inx_XonXoffFlow, inxXonXoffFlow_, bool)
TORVANE_LINE_SETTER(DtrControl, dtrControl_, TDtrControl)
TORVANE_LINE_SETTER(RtsControl, rtsControl_, TRtsControl)
TORVANE_LINE_SETTER(DsrSensitivity, dsrSensitivity_, bool)
TORVANE_LINE_SETTER(TxContinueOnXoff, txContinueOnXoff_, bool)
TORVANE_LINE_SETTER(ReplaceWhenParityError, replaceWhenParityError_, bool)
TORVANE_LINE_SETTER(IgnoreNullChar, ignoreNullChar_, bool)
TORVANE_LINE_SETTER(XonLimit, xonLimit_, uint16_t)
TORVANE_LINE_SETTER(XoffLimit, xoffLimit_, uint16_t)
TORVANE_LINE_SETTER(XonChar, xonChar_, char)
TORVANE_LINE_SETTER(XoffChar, xoffChar_, char)
TORVANE_LINE_SETTER(ReplacedChar, replacedChar_, char)

TORVANE_TIMEOUT_SETTER(ReadIntervalTimeout, readIntervalTimeout_, uint32_t)
TORVANE_TIMEOUT_SETTER(ReadTotalTimeoutMultiplier, readTotalTimeoutMultiplier_, uint32_t)
TORVANE_TIMEOUT_SETTER(ReadTotalTimeoutConstant, readTotalTimeoutConstant_, uint32_t)
TORVANE_TIMEOUT_SETTER(WriteTotalTimeoutMultiplier, writeTotalTimeoutMultiplier_, uint32_t)
TORVANE_TIMEOUT_SETTER(WriteTotalTimeoutConstant, writeTotalTimeoutConstant_, uint32_t)

#undef TORVANE_LINE_SETTER
#undef TORVANE_TIMEOUT_SETTER

void TComm::RestoreLineSettings() {
  try {
    ApplyLineSettings();
  } catch (const ECommsError&) {  // the first failure is the one the caller hears about
  }
}

// InputLen and InBufferSize are copied into the read worker when it starts: a change while open
// takes effect at the next OpenPort, as in the original component.
void TComm::SetInputLen(uint16_t v) {
  if (v == 0) v = inBufferSize_;
  if (v > inBufferSize_) return;
  inputLen_ = v;
}

void TComm::SetInBufferSize(uint16_t v) {
  inBufferSize_ = v == 0 ? 1 : v;
}

void TComm::SetOutput(std::string v) {
  output_ = std::move(v);
  // The property carries at most one block; a longer text is cut at the block limit.
  const size_t n = output_.size() > 0xFFFF ? 0xFFFF : output_.size();
  SendBytes(reinterpret_cast<const uint8_t*>(output_.data()), static_cast<uint16_t>(n));
}

}  // namespace torvane
