// SPDX-License-Identifier: GPL-3.0-or-later
// TComm on Windows: CreateFileW on \\.\COMn with overlapped I/O, the DCB from the component's
// properties, WaitCommEvent for the read worker, overlapped WriteFile for the write worker, and a
// manual-reset event as the close event.
//
// As on Linux, the workers only move bytes and every wait watches the close event, so ClosePort
// returns promptly: a request the close cuts short is cancelled and waited out (its OVERLAPPED must
// outlive it). The read worker reads only what ClearCommError says is queued, so a ReadFile never
// waits on the line; InputLen and the read time-outs are kept by TReadBlocks, the same code as on
// Linux, and the driver's read time-outs never come to act.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "serial/comm.h"
#include "serial/comm_internal.h"
#include "serial/system_win32.h"

namespace torvane {

namespace {

using namespace comm_detail;

// The output queue the driver is asked for; the component publishes only the input one.
constexpr DWORD kOutBufferSize = 2048;
constexpr DWORD kEventMask = EV_RXCHAR | EV_ERR | EV_BREAK | EV_RLSD | EV_RING;
constexpr DWORD kPurgeAll = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;
// How often a port that cannot wait for its events is looked at (wine looks as often for its own).
constexpr DWORD kPollMs = 1;
// ... and while bytes flow, every tenth of a millisecond for a spell after the last of them.
constexpr std::chrono::microseconds kBusyPoll{100};
constexpr std::chrono::milliseconds kBusySpell{100};
constexpr std::chrono::milliseconds kWakeEarly{1};

[[noreturn]] void RaiseSystem(const std::string& text, DWORD error) {
  throw ECommsError(text, WindowsErrorText(error), static_cast<int>(error));
}

void CloseOne(HANDLE& h) {
  if (h != nullptr && h != INVALID_HANDLE_VALUE) ::CloseHandle(h);
  h = nullptr;
}

// The worker threads run above the window's, as on Linux; a refusal costs nothing but latency.
void RaisePriority(int steps) {
  (void)::SetThreadPriority(::GetCurrentThread(),
                            steps >= 2 ? THREAD_PRIORITY_HIGHEST : THREAD_PRIORITY_ABOVE_NORMAL);
}

// CREATE_WAITABLE_TIMER_HIGH_RESOLUTION (Windows 10 1803 on), which mingw's headers may not name.
constexpr DWORD kHighResolutionTimer = 0x00000002;

// One open port: everything from OpenPort to ClosePort.
struct TOpenPort {
  HANDLE Port = INVALID_HANDLE_VALUE;
  HANDLE CloseEvent = nullptr;  // manual reset, set once
  HANDLE WakeEvent = nullptr;   // auto reset: "a block was queued"
  // One manual-reset event for each overlapped request kind a worker has outstanding.
  HANDLE CommEvent = nullptr, ReadEvent = nullptr, WriteEvent = nullptr;
  // The read worker's sleeps: a waitable timer keeps time in 100 ns steps where a wait's time-out
  // keeps whole milliseconds (and the system's tick on Windows before 10).
  HANDLE SleepTimer = nullptr;
  TWriteQueue Queue;
  TLiveSettings Live;
  std::thread Reader, Writer;

  ~TOpenPort() {
    for (HANDLE* h : {&CloseEvent, &WakeEvent, &CommEvent, &ReadEvent, &WriteEvent, &SleepTimer})
      CloseOne(*h);
    CloseOne(Port);
  }
  bool MakeEvents() {
    CloseEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    WakeEvent = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
    CommEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ReadEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    WriteEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SleepTimer = ::CreateWaitableTimerExW(nullptr, nullptr, kHighResolutionTimer, TIMER_ALL_ACCESS);
    if (!SleepTimer) SleepTimer = ::CreateWaitableTimerW(nullptr, TRUE, nullptr);  // before Windows 10 1803
    return CloseEvent && WakeEvent && CommEvent && ReadEvent && WriteEvent && SleepTimer;
  }
  void SignalClose() const { (void)::SetEvent(CloseEvent); }
};

bool Signalled(HANDLE event) {
  return ::WaitForSingleObject(event, 0) == WAIT_OBJECT_0;
}

// Ends a request the worker gives up on and waits until the system is done with its OVERLAPPED.
void Abandon(HANDLE port, OVERLAPPED& ov) {
  DWORD n = 0;
  if (::CancelIoEx(port, &ov) || ::GetLastError() != ERROR_NOT_FOUND)
    (void)::GetOverlappedResult(port, &ov, &n, TRUE);
}

enum class TIo { Done, Closed, Failed };

// Waits for an overlapped request just made (`started` is its call's result) or the close event.
// On Failed, `error` holds the system's code.
TIo Await(HANDLE port, OVERLAPPED& ov, BOOL started, HANDLE closeEvent, DWORD& transferred, DWORD& error) {
  transferred = 0;
  if (!started && (error = ::GetLastError()) != ERROR_IO_PENDING) return TIo::Failed;
  const HANDLE waits[2] = {closeEvent, ov.hEvent};
  const DWORD r = ::WaitForMultipleObjects(2, waits, FALSE, INFINITE);
  if (r == WAIT_OBJECT_0) {
    Abandon(port, ov);
    return TIo::Closed;
  }
  if (r != WAIT_OBJECT_0 + 1) {
    error = ::GetLastError();
    Abandon(port, ov);
    return TIo::Failed;
  }
  if (::GetOverlappedResult(port, &ov, &transferred, FALSE)) return TIo::Done;
  error = ::GetLastError();
  // The close purges the line: a request it aborts is the close, not a failure.
  return error == ERROR_OPERATION_ABORTED && Signalled(closeEvent) ? TIo::Closed : TIo::Failed;
}

// ---- read worker ----

// The read worker's one WaitCommEvent, which outlives the waits for it that time out.
struct TCommWait {
  HANDLE Port;
  HANDLE Event;
  OVERLAPPED Ov{};
  DWORD Mask = 0;  // written by the driver until the request ends
  DWORD EventMask = kEventMask;
  bool Pending = false;

  // False when the port refuses to wait for its events.
  bool Start() {
    for (;;) {
      Ov = OVERLAPPED{};
      Ov.hEvent = Event;
      Mask = 0;
      if (::WaitCommEvent(Port, &Mask, &Ov) || ::GetLastError() == ERROR_IO_PENDING) {
        Pending = true;
        return true;
      }
      // A driver without line-state events may still tell of bytes; the look at the line finds its
      // errors.
      if (::GetLastError() != ERROR_NOT_SUPPORTED || EventMask == EV_RXCHAR) return false;
      EventMask = EV_RXCHAR;
      if (!::SetCommMask(Port, EventMask)) return false;
    }
  }
  // The request ended (its event is set): the events it reports, false when it failed.
  bool Finish(DWORD& events) {
    Pending = false;
    DWORD unused = 0;
    if (!::GetOverlappedResult(Port, &Ov, &unused, FALSE)) return false;
    events = Mask;
    return true;
  }
  // Setting the mask ends a pending wait (CancelIoEx does not reach every driver's, wine's among
  // them), and the request is waited out: the driver writes Mask and Ov until it is done.
  void Abandon() {
    if (!Pending) return;
    Pending = false;
    DWORD unused = 0;
    if (::SetCommMask(Port, EventMask) || ::CancelIoEx(Port, &Ov))
      (void)::GetOverlappedResult(Port, &Ov, &unused, TRUE);
  }
};

struct TReader {
  HANDLE Port;
  HANDLE CloseEvent;
  HANDLE CommEvent;
  HANDLE ReadEvent;
  HANDLE SleepTimer;
  size_t BufferSize;
  TReadBlocks Blocks;
  Clock::time_point lastSeen_{};  // when bytes last came

  enum class TStep { Go, Stop };

  // The line gave up (the adapter was pulled out, the device end closed): what came goes out first.
  TStep Lost() {
    Blocks.Flush();
    Blocks.Poster().Hangup();
    return TStep::Stop;
  }

  // Clears the line's errors, reporting them, and says how many bytes wait in the driver.
  TStep Look(DWORD& queued) {
    DWORD errors = 0;
    COMSTAT stat{};
    if (!::ClearCommError(Port, &errors, &stat)) return Signalled(CloseEvent) ? TStep::Stop : Lost();
    queued = stat.cbInQue;
    const uint32_t flags = errors & (kErrRxOver | kErrOverrun | kErrParity | kErrFrame | kErrBreak);
    if (flags != 0 && !Blocks.Poster().Error(flags)) return TStep::Stop;
    return TStep::Go;
  }

  TStep Read(std::vector<uint8_t>& chunk, DWORD queued) {
    const DWORD want = static_cast<DWORD>(std::min<size_t>(queued, chunk.size()));
    OVERLAPPED ov{};
    ov.hEvent = ReadEvent;
    DWORD got = 0, error = 0;
    const BOOL started = ::ReadFile(Port, chunk.data(), want, nullptr, &ov);
    switch (Await(Port, ov, started, CloseEvent, got, error)) {
      case TIo::Closed:
        return TStep::Stop;
      case TIo::Failed:
        return Lost();
      case TIo::Done:
        break;
    }
    // Nothing from a queue the driver called full: the port is no longer what it was.
    if (got == 0) return Lost();
    lastSeen_ = Clock::now();
    if (!Blocks.Arrived(chunk.data(), got)) return TStep::Stop;
    // The sleep ends a little before the rest is due; the last of it is waited for as it comes.
    const auto sleep = Blocks.ReadAheadSleep() - kWakeEarly;
    if (sleep.count() > 0) return SleepFor(sleep);
    return TStep::Go;
  }

  // Sleeps for `time` unless the port is closed first.
  TStep SleepFor(std::chrono::nanoseconds time) {
    LARGE_INTEGER due;
    due.QuadPart = -std::max<int64_t>(1, time.count() / 100);  // relative, in 100 ns steps
    if (!::SetWaitableTimer(SleepTimer, &due, 0, nullptr, nullptr, FALSE)) {
      const auto ms = std::chrono::ceil<std::chrono::milliseconds>(time).count();
      return ::WaitForSingleObject(CloseEvent, static_cast<DWORD>(ms)) == WAIT_OBJECT_0 ? TStep::Stop
                                                                                        : TStep::Go;
    }
    const HANDLE waits[2] = {CloseEvent, SleepTimer};
    return ::WaitForMultipleObjects(2, waits, FALSE, INFINITE) == WAIT_OBJECT_0 ? TStep::Stop : TStep::Go;
  }

  // Waits for the line without an event from the driver: looks at it every millisecond until bytes
  // wait or `timeoutMs` has passed (-1: no limit).
  TStep Poll(int timeoutMs, DWORD& queued) {
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    for (;;) {
      // While bytes flow (a transfer's replies) the line is looked at more often: the read-ahead
      // reckons the rest of a frame from the moment its first bytes are seen.
      if (Clock::now() - lastSeen_ < kBusySpell ? SleepFor(kBusyPoll) == TStep::Stop
                                                : ::WaitForSingleObject(CloseEvent, kPollMs) == WAIT_OBJECT_0)
        return TStep::Stop;
      if (Look(queued) == TStep::Stop) return TStep::Stop;
      if (queued > 0 || (timeoutMs >= 0 && Clock::now() >= end)) return TStep::Go;
    }
  }

  void Run() {
    RaisePriority(2);
    std::vector<uint8_t> chunk(BufferSize);
    TCommWait wait{Port, CommEvent};
    // Set when the port cannot wait for its events: wine's ports on a pseudo-terminal end every
    // WaitCommEvent that has to wait as aborted, as they find no modem lines.
    bool polling = false;
    for (;;) {
      int timeout;
      if (!Blocks.BeforeWait(timeout)) break;
      DWORD queued = 0;
      if (Look(queued) == TStep::Stop) break;
      if (queued == 0 && polling) {
        if (Poll(timeout, queued) == TStep::Stop) break;
        if (queued == 0) Blocks.Quiet();  // the line went quiet before the block was whole
      }
      if (queued > 0) {
        if (Read(chunk, queued) == TStep::Stop) break;
        continue;
      }
      if (polling) continue;
      if (!wait.Pending && !wait.Start()) {
        if (Signalled(CloseEvent)) break;
        polling = true;
        continue;
      }
      // Some drivers leave a wait pending when their device goes; a look at the line now and then
      // finds the port gone (and its errors) all the same.
      if (timeout < 0 || timeout > kLinePollMs) timeout = kLinePollMs;
      const HANDLE waits[2] = {CloseEvent, CommEvent};
      const DWORD r = ::WaitForMultipleObjects(2, waits, FALSE, static_cast<DWORD>(timeout));
      if (r == WAIT_OBJECT_0) break;
      if (r == WAIT_TIMEOUT) {
        Blocks.Quiet();  // the line went quiet before the block was whole: it goes out as it is
        continue;
      }
      if (r != WAIT_OBJECT_0 + 1) {
        Lost();
        break;
      }
      DWORD events = 0;
      if (!wait.Finish(events)) {
        if (Signalled(CloseEvent)) break;
        // A port that is gone fails the next look; one that is there cannot wait for its events.
        polling = true;
        continue;
      }
      uint32_t modem = 0;
      if (events & EV_RLSD) modem |= kModemCarrier;
      if (events & EV_RING) modem |= kModemRing;
      if (modem != 0 && !Blocks.Poster().Modem(modem)) break;
    }
    wait.Abandon();
    (void)::PurgeComm(Port, PURGE_RXABORT | PURGE_RXCLEAR);
  }
};

// ---- write worker: the platform's half of RunWriter ----

struct TWriterIo {
  HANDLE Port;
  HANDLE CloseEvent;
  HANDLE WakeEvent;
  HANDLE WriteEvent;
  TPoster Poster;

  bool WaitForWork() {
    const HANDLE waits[2] = {CloseEvent, WakeEvent};
    const DWORD r = ::WaitForMultipleObjects(2, waits, FALSE, INFINITE);
    if (r == WAIT_OBJECT_0 + 1) return true;
    if (r != WAIT_OBJECT_0) Poster.Hangup();
    return false;
  }

  bool Write(const std::vector<uint8_t>& block) {
    if (Signalled(CloseEvent)) return false;
    size_t done = 0;
    while (done < block.size()) {
      OVERLAPPED ov{};
      ov.hEvent = WriteEvent;
      DWORD written = 0, error = 0;
      const BOOL started =
          ::WriteFile(Port, block.data() + done, static_cast<DWORD>(block.size() - done), nullptr, &ov);
      switch (Await(Port, ov, started, CloseEvent, written, error)) {
        case TIo::Closed:
          return false;
        case TIo::Failed:
          Poster.Hangup();
          return false;
        case TIo::Done:
          break;
      }
      // A write time-out (WriteTotalTimeout*) ends a request short; the block is written whole all
      // the same, as on Linux.
      done += written;
    }
    return true;
  }
};

}  // namespace

struct TComm::TImpl {
  std::shared_ptr<TComm*> Alive;    // notifications check it on the window thread
  std::unique_ptr<TOpenPort> Port;  // null while closed
};

TComm::TComm(ICommNotifyTarget& target) : target_(target), impl_(std::make_unique<TImpl>()) {
  impl_->Alive = std::make_shared<TComm*>(this);
}

TComm::~TComm() {
  ClosePort();
  impl_->Alive.reset();
}

bool TComm::PortOpen() const {
  return impl_->Port != nullptr;
}

bool TComm::SendQueueEmpty() const {
  return !impl_->Port || impl_->Port->Queue.IsIdle();
}

std::string TComm::DevicePath(const std::string& commName) {
  return commName.rfind("\\\\", 0) == 0 ? commName : "\\\\.\\" + commName;
}

void TComm::OpenPort() {
  portOpenError_.clear();
  portOpenReason_.clear();
  portOpenErrno_ = 0;
  if (impl_->Port) {
    portOpenError_ = kAlreadyOpened;
    return;
  }
  auto fail = [this](const char* text, DWORD error) {
    portOpenError_ = text;
    portOpenErrno_ = static_cast<int>(error);
    portOpenReason_ = error != 0 ? WindowsErrorText(error) : std::string();
  };
  auto port = std::make_unique<TOpenPort>();
  // Not shared: a second opener, this program or another, is refused with ERROR_ACCESS_DENIED.
  port->Port = ::CreateFileW(WideFromUtf8(DevicePath(commName_)).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                             nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
  if (port->Port == INVALID_HANDLE_VALUE) {
    fail(kErrorOpening, ::GetLastError());
    throw ECommsError(kErrorOpening, portOpenReason_, portOpenErrno_);
  }
  // A character device that keeps no comm state (NUL, a printer) is no serial port either.
  DCB probe{};
  probe.DCBlength = sizeof probe;
  if (::GetFileType(port->Port) != FILE_TYPE_CHAR || !::GetCommState(port->Port, &probe)) {
    const DWORD error = ::GetLastError();
    fail(kNotComm, error != NO_ERROR ? error : ERROR_INVALID_FUNCTION);
    return;
  }
  if (!::SetupComm(port->Port, inBufferSize_, kOutBufferSize) || !::PurgeComm(port->Port, kPurgeAll)) {
    fail(kNoCommBuffer, ::GetLastError());
    throw ECommsError(kNoCommBuffer, portOpenReason_, portOpenErrno_);
  }
  if (!port->MakeEvents() || !::SetCommMask(port->Port, kEventMask)) {
    fail(kNoEvent, ::GetLastError());
    return;
  }
  impl_->Port = std::move(port);
  TOpenPort& p = *impl_->Port;
  try {
    ApplyTimeouts();
    ApplyLineSettings();
  } catch (const ECommsError& e) {
    impl_->Port.reset();
    portOpenError_ = e.what();
    portOpenReason_ = e.Reason();
    portOpenErrno_ = e.Error();
    return;
  }

  const TPoster poster{&target_, impl_->Alive};
  try {
    p.Reader = std::thread(
        [r = TReader{p.Port, p.CloseEvent, p.CommEvent, p.ReadEvent, p.SleepTimer,
                     std::max(inBufferSize_, inputLen_),
                     TReadBlocks(poster, inputLen_, readAhead_, baudRate_, p.Live)}]() mutable { r.Run(); });
  } catch (const std::system_error& e) {
    impl_->Port.reset();
    fail(kNoReadThread, static_cast<DWORD>(e.code().value()));
    return;
  }
  try {
    p.Writer = std::thread(
        [&queue = p.Queue, w = TWriterIo{p.Port, p.CloseEvent, p.WakeEvent, p.WriteEvent, poster}]() mutable {
          RaisePriority(1);
          RunWriter(queue, w.Poster, w);
          (void)::PurgeComm(w.Port, PURGE_TXABORT | PURGE_TXCLEAR);
        });
  } catch (const std::system_error& e) {
    p.SignalClose();
    p.Reader.join();
    impl_->Port.reset();
    fail(kNoWriteThread, static_cast<DWORD>(e.code().value()));
    return;
  }
}

void TComm::ClosePort() {
  portOpenError_.clear();
  portOpenReason_.clear();
  portOpenErrno_ = 0;
  if (!impl_->Port) return;
  TOpenPort& p = *impl_->Port;
  // Both workers watch the close event in every wait; the purge also ends at once a read or write
  // the driver is busy with (a write held up by flow control), so the joins below are prompt.
  p.SignalClose();
  (void)::PurgeComm(p.Port, kPurgeAll);
  if (p.Reader.joinable()) p.Reader.join();
  if (p.Writer.joinable()) p.Writer.join();
  impl_->Port.reset();
}

bool TComm::SendBytes(const uint8_t* bytes, uint16_t count) {
  if (!impl_->Port || count == 0 || bytes == nullptr) return false;
  TOpenPort& p = *impl_->Port;
  if (!p.Queue.Push(bytes, count)) return false;
  // An auto-reset event cannot be set "too often": a wake-up finds every block queued by then.
  (void)::SetEvent(p.WakeEvent);
  return true;
}

void TComm::ApplyTimeouts() {
  if (!impl_->Port) return;
  // The driver gets the time-outs as published: the write time-outs shorten a WriteFile there (the
  // worker writes on), the read ones meet only reads of bytes already queued.
  COMMTIMEOUTS t{};
  t.ReadIntervalTimeout = readIntervalTimeout_;
  t.ReadTotalTimeoutMultiplier = readTotalTimeoutMultiplier_;
  t.ReadTotalTimeoutConstant = readTotalTimeoutConstant_;
  t.WriteTotalTimeoutMultiplier = writeTotalTimeoutMultiplier_;
  t.WriteTotalTimeoutConstant = writeTotalTimeoutConstant_;
  if (!::SetCommTimeouts(impl_->Port->Port, &t)) RaiseSystem(kNoCommTimeouts, ::GetLastError());
  TLiveSettings& live = impl_->Port->Live;
  live.ReadInterval = readIntervalTimeout_;
  live.ReadMultiplier = readTotalTimeoutMultiplier_;
  live.ReadConstant = readTotalTimeoutConstant_;
}

// The DCB holds every line setting the component publishes, field for field.
void TComm::ApplyLineSettings() {
  if (!impl_->Port) return;
  const HANDLE h = impl_->Port->Port;
  // The driver drops NUL bytes itself (fNull); not every one does (wine's does not), so the read
  // worker drops them as well.
  impl_->Port->Live.IgnoreNull = ignoreNullChar_;
  if (baudRate_ == 0) RaiseSystem(std::string(kBadBaudRate) + " 0", ERROR_INVALID_PARAMETER);

  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!::GetCommState(h, &dcb)) RaiseSystem(kNoCommState, ::GetLastError());
  dcb.BaudRate = baudRate_;
  dcb.fBinary = TRUE;
  dcb.fParity = parityCheck_;
  dcb.fOutxCtsFlow = outxCtsFlow_;
  dcb.fOutxDsrFlow = outxDsrFlow_;
  static constexpr DWORD kDtr[] = {DTR_CONTROL_ENABLE, DTR_CONTROL_DISABLE, DTR_CONTROL_HANDSHAKE};
  dcb.fDtrControl = kDtr[static_cast<int>(dtrControl_)];
  dcb.fDsrSensitivity = dsrSensitivity_;
  dcb.fTXContinueOnXoff = txContinueOnXoff_;
  dcb.fOutX = outxXonXoffFlow_;
  dcb.fInX = inxXonXoffFlow_;
  dcb.fErrorChar = replaceWhenParityError_;
  dcb.fNull = ignoreNullChar_;
  static constexpr DWORD kRts[] = {RTS_CONTROL_ENABLE, RTS_CONTROL_DISABLE, RTS_CONTROL_HANDSHAKE,
                                   RTS_CONTROL_TOGGLE};
  dcb.fRtsControl = kRts[static_cast<int>(rtsControl_)];
  // An error would otherwise stop every read and write until ClearCommError; the worker clears and
  // reports errors as it looks at the line.
  dcb.fAbortOnError = FALSE;
  dcb.XonLim = xonLimit_;
  dcb.XoffLim = xoffLimit_;
  static constexpr BYTE kSizes[] = {5, 6, 7, 8};
  dcb.ByteSize = kSizes[static_cast<int>(byteSize_)];
  static constexpr BYTE kParities[] = {NOPARITY, ODDPARITY, EVENPARITY, MARKPARITY, SPACEPARITY};
  dcb.Parity = kParities[static_cast<int>(parity_)];
  static constexpr BYTE kStops[] = {ONESTOPBIT, ONE5STOPBITS, TWOSTOPBITS};
  dcb.StopBits = kStops[static_cast<int>(stopBits_)];
  dcb.XonChar = xonChar_;
  dcb.XoffChar = xoffChar_;
  dcb.ErrorChar = replacedChar_;
  if (!::SetCommState(h, &dcb)) RaiseSystem(kNoCommState, ::GetLastError());
}

}  // namespace torvane
