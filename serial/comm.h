// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// TComm: the serial port component. The window thread opens and closes the port and queues byte
// blocks; a write worker puts them on the line in order, and a read worker hands every received block
// to a notification target that delivers it on the window thread, in arrival order.
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

#include "serial/send_port.h"

namespace torvane {

// what() is the component's own text ("Error opening serial port", ...); the operating system's reason
// (strerror; FormatMessage's text on Windows) and its error code stay apart, so the program's texts
// never change with the system's language.
class ECommsError : public std::runtime_error {
 public:
  explicit ECommsError(const std::string& message, std::string reason = {}, int error = 0)
      : std::runtime_error(message), reason_(std::move(reason)), error_(error) {}
  const std::string& Reason() const { return reason_; }  // empty when the system gave none
  int Error() const { return error_; }                   // errno (Windows: GetLastError), 0 when none

 private:
  std::string reason_;
  int error_;
};

enum class TParity { None, Odd, Even, Mark, Space };
enum class TStopBits { _1, _1_5, _2 };
enum class TByteSize { _5, _6, _7, _8 };
enum class TDtrControl { DtrEnable, DtrDisable, DtrHandshake };
enum class TRtsControl { RtsEnable, RtsDisable, RtsHandshake, RtsTransmissionAvailable };

// Worker-to-window notifications. 0x0401 carries at most InputLen bytes (one byte each with the
// default InputLen 1); 0x0402 the driver's line-error flags; 0x0403 means the device went away (a
// read or write failed, the line hung up) and that worker has ended; 0x0404 carrier (8) / ring (4)
// changes; 0x0405 comes once after the port opens and once each time the write queue runs dry after
// a write. Deliveries queued for a component that no longer exists do nothing.
constexpr uint32_t kCommReceiveData = 0x0401;
constexpr uint32_t kCommReceiveError = 0x0402;
constexpr uint32_t kCommRequestHangup = 0x0403;
constexpr uint32_t kCommModemStateChange = 0x0404;
constexpr uint32_t kCommSendDataEmpty = 0x0405;

// The window thread's end of the workers' notifications. Post is called on a worker thread and must
// run `deliver` later on the window thread, in posting order; false when it cannot post.
class ICommNotifyTarget {
 public:
  virtual ~ICommNotifyTarget() = default;
  virtual bool Post(std::function<void()> deliver) = 0;
};

class TComm : public ISendPort {
 public:
  explicit TComm(ICommNotifyTarget& target);
  ~TComm() override;  // stops both workers before the component goes away
  TComm(const TComm&) = delete;
  TComm& operator=(const TComm&) = delete;

  // Opens CommName (see DevicePath). Raises ECommsError on "Error opening serial port" and "Cannot
  // setup comm buffer" only (the two the Open button's handler has always expected); every other
  // failure (line settings the port refuses, an unsupported baud rate among them) leaves the port
  // closed and returns. Either way the failure is kept in PortOpenError, and the system's reason in
  // PortOpenReason and PortOpenErrno (TryOpenPort in session/port_check.h takes both kinds alike).
  // The port is held exclusively: a second opener (another component or program) is refused (EBUSY;
  // ERROR_ACCESS_DENIED on Windows).
  void OpenPort();
  // Stops both workers (promptly, even with a write held up by a full line) and releases the port;
  // queued and unsent bytes are discarded.
  void ClosePort();
  bool PortOpen() const;
  void SetPortOpen(bool open) { open ? OpenPort() : ClosePort(); }
  const std::string& PortOpenError() const { return portOpenError_; }
  const std::string& PortOpenReason() const { return portOpenReason_; }  // the system's text
  int PortOpenErrno() const { return portOpenErrno_; }  // errno (Windows: GetLastError), 0 when none
  // The device path OpenPort forms from a port name. Linux: "ttyUSB0" means /dev/ttyUSB0, a name
  // with "/" is a path. Windows: "COM7" means \\.\COM7 (the only form that reaches COM10 and up),
  // a name that begins with "\\" is a path.
  static std::string DevicePath(const std::string& commName);
  bool SendBytes(const uint8_t* bytes, uint16_t count) override;
  bool SendQueueEmpty() const;

  // Properties (defaults of the component; the window sets BaudRate 115200). A line setting changed
  // while the port is open is applied at once; one the port refuses raises ECommsError and the
  // property keeps its former value.
  const std::string& CommName() const { return commName_; }
  void SetCommName(std::string name) { commName_ = std::move(name); }
  uint8_t CommPort() const { return commPort_; }
  void SetCommPort(uint8_t port);
  uint32_t BaudRate() const { return baudRate_; }
  void SetBaudRate(uint32_t baud);
  TParity Parity() const { return parity_; }
  void SetParity(TParity p);
  bool ParityCheck() const { return parityCheck_; }
  void SetParityCheck(bool v);
  TByteSize ByteSize() const { return byteSize_; }
  void SetByteSize(TByteSize v);
  TStopBits StopBits() const { return stopBits_; }
  void SetStopBits(TStopBits v);
  bool Outx_CtsFlow() const { return outxCtsFlow_; }
  void SetOutx_CtsFlow(bool v);
  bool Outx_DsrFlow() const { return outxDsrFlow_; }
  void SetOutx_DsrFlow(bool v);
  bool Outx_XonXoffFlow() const { return outxXonXoffFlow_; }
  void SetOutx_XonXoffFlow(bool v);
  bool Inx_XonXoffFlow() const { return inxXonXoffFlow_; }
  void SetInx_XonXoffFlow(bool v);
  TDtrControl DtrControl() const { return dtrControl_; }
  void SetDtrControl(TDtrControl v);
  TRtsControl RtsControl() const { return rtsControl_; }
  void SetRtsControl(TRtsControl v);
  bool DsrSensitivity() const { return dsrSensitivity_; }
  void SetDsrSensitivity(bool v);
  bool TxContinueOnXoff() const { return txContinueOnXoff_; }
  void SetTxContinueOnXoff(bool v);
  bool ReplaceWhenParityError() const { return replaceWhenParityError_; }
  void SetReplaceWhenParityError(bool v);
  bool IgnoreNullChar() const { return ignoreNullChar_; }
  void SetIgnoreNullChar(bool v);
  uint16_t XonLimit() const { return xonLimit_; }
  void SetXonLimit(uint16_t v);
  uint16_t XoffLimit() const { return xoffLimit_; }
  void SetXoffLimit(uint16_t v);
  char XonChar() const { return xonChar_; }
  void SetXonChar(char v);
  char XoffChar() const { return xoffChar_; }
  void SetXoffChar(char v);
  char ReplacedChar() const { return replacedChar_; }
  void SetReplacedChar(char v);
  uint32_t ReadIntervalTimeout() const { return readIntervalTimeout_; }
  void SetReadIntervalTimeout(uint32_t v);
  uint32_t ReadTotalTimeoutMultiplier() const { return readTotalTimeoutMultiplier_; }
  void SetReadTotalTimeoutMultiplier(uint32_t v);
  uint32_t ReadTotalTimeoutConstant() const { return readTotalTimeoutConstant_; }
  void SetReadTotalTimeoutConstant(uint32_t v);
  uint32_t WriteTotalTimeoutMultiplier() const { return writeTotalTimeoutMultiplier_; }
  void SetWriteTotalTimeoutMultiplier(uint32_t v);
  uint32_t WriteTotalTimeoutConstant() const { return writeTotalTimeoutConstant_; }
  void SetWriteTotalTimeoutConstant(uint32_t v);
  uint16_t InputLen() const { return inputLen_; }
  void SetInputLen(uint16_t v);
  uint16_t InBufferSize() const { return inBufferSize_; }
  void SetInBufferSize(uint16_t v);
  // Read-ahead: given the bytes that arrived since the last delivery, how many more the block in
  // progress still lacks (0: it is whole, or nothing has begun). When set, the read worker sleeps for
  // that many byte times at the port's speed and delivers the block whole, in one notification,
  // instead of a notification for every burst the driver hands over; when the line stays quiet past
  // the expected bytes, what has arrived is delivered as it is. It only ever times deliveries: a
  // wrong answer costs a wait, never a byte. Like InputLen, it takes effect at the next OpenPort.
  using TReadAhead = std::function<size_t(const uint8_t* bytes, size_t count)>;
  void SetReadAhead(TReadAhead f) { readAhead_ = std::move(f); }
  const std::string& Output() const { return output_; }
  void SetOutput(std::string v);

  // Events, run on the window thread. Unassigned events make their notification a no-op.
  std::function<void(TComm& sender, const char* buffer, uint16_t length)> OnReceiveData;
  std::function<void(TComm& sender, uint32_t eventMask)> OnReceiveError;
  std::function<void(TComm& sender, uint32_t modemEvent)> OnModemStateChange;
  std::function<void(TComm& sender)> OnRequestHangup;
  std::function<void(TComm& sender)> OnSendDataEmpty;

 private:
  struct TImpl;  // the platform's handle, close event and workers (comm_posix.cpp, comm_win32.cpp)
  void ApplyLineSettings();  // raises ECommsError with the system's reason
  void RestoreLineSettings();
  void ApplyTimeouts();  // raises ECommsError with the system's reason

  ICommNotifyTarget& target_;
  std::unique_ptr<TImpl> impl_;
  std::string portOpenError_;
  std::string portOpenReason_;
  int portOpenErrno_ = 0;
  std::string commName_ = "COM1";
  uint8_t commPort_ = 1;
  uint32_t baudRate_ = 9600;
  TParity parity_ = TParity::None;
  bool parityCheck_ = false;
  TByteSize byteSize_ = TByteSize::_8;
  TStopBits stopBits_ = TStopBits::_1;
  bool outxCtsFlow_ = false, outxDsrFlow_ = false, outxXonXoffFlow_ = false, inxXonXoffFlow_ = false;
  TDtrControl dtrControl_ = TDtrControl::DtrDisable;
  TRtsControl rtsControl_ = TRtsControl::RtsDisable;
  bool dsrSensitivity_ = false, txContinueOnXoff_ = false, replaceWhenParityError_ = false,
       ignoreNullChar_ = false;
  uint16_t xonLimit_ = 500, xoffLimit_ = 500;
  char xonChar_ = 0x11, xoffChar_ = 0x13, replacedChar_ = 0x00;
  uint32_t readIntervalTimeout_ = 100, readTotalTimeoutMultiplier_ = 0, readTotalTimeoutConstant_ = 0;
  uint32_t writeTotalTimeoutMultiplier_ = 0, writeTotalTimeoutConstant_ = 0;
  uint16_t inputLen_ = 1, inBufferSize_ = 2048;
  TReadAhead readAhead_;
  std::string output_;
};

// A notification target for tests and window-less programs: Post queues, Pump runs what is queued on
// the calling thread.
class TQueueNotifyTarget : public ICommNotifyTarget {
 public:
  TQueueNotifyTarget();
  ~TQueueNotifyTarget() override;
  bool Post(std::function<void()> deliver) override;
  // Runs everything queued so far; returns how many ran.
  size_t Pump();
  // Waits up to timeoutMs for something to be queued, then pumps. Returns how many ran.
  size_t WaitAndPump(int timeoutMs);
  // How many notifications wait for the next Pump.
  size_t Queued() const;

 private:
  struct TState;
  std::unique_ptr<TState> state_;
};

}  // namespace torvane
