// SPDX-License-Identifier: GPL-3.0-or-later
// TComm on POSIX (Linux): termios for the line settings, poll for every wait, an eventfd as the close
// event, and the two workers as std::thread.
//
// The workers only move bytes. The write worker owns each block from the moment SendBytes queues it;
// the read worker hands each received block over whole to the notification target, which delivers it
// on the window thread. The only state the threads share is the write queue (under its mutex), the
// close event, and the few settings that may change while the port is open (atomics).
//
// Nothing here may block without also watching the close event, so ClosePort always returns promptly:
// the port is non-blocking, and each worker waits only in poll() with the close event in its set.
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
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

namespace torvane {

namespace {

using namespace comm_detail;

// The read-ahead's sleep is cut this much short, so that it ends a little before the reply's last byte
// is due; the last of it is taken as it comes, and the reply is handed over when its last byte is in,
// not a wake-up later.
constexpr std::chrono::milliseconds kWakeEarly{1};

// The component's own text with the system's reason beside it.
[[noreturn]] void RaiseSystem(const std::string& text, int error) {
  throw ECommsError(text, std::strerror(error), error);
}

void CloseFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

// Raises the calling thread's priority by `steps` nice levels. Only a privileged process may; an
// ordinary user's refusal is expected and ignored.
void RaisePriority(int steps) {
  const auto tid = static_cast<id_t>(::syscall(SYS_gettid));
  errno = 0;
  const int now = ::getpriority(PRIO_PROCESS, tid);
  if (now == -1 && errno != 0) return;
  (void)::setpriority(PRIO_PROCESS, tid, now - steps);
}

// poll() that resumes after a signal. Returns poll's result (-1 only on a real failure).
int PollRetry(pollfd* fds, nfds_t n, int timeoutMs) {
  for (;;) {
    const int r = ::poll(fds, n, timeoutMs);
    if (r >= 0 || errno != EINTR) return r;
  }
}

// Waits up to `wait` for the event. True when it is set.
bool WaitSignalled(int eventFd, std::chrono::nanoseconds wait) {
  const timespec ts{static_cast<time_t>(wait.count() / 1000000000),
                    static_cast<long>(wait.count() % 1000000000)};
  for (;;) {
    pollfd p{eventFd, POLLIN, 0};
    const int r = ::ppoll(&p, 1, &ts, nullptr);
    if (r >= 0) return r > 0 && (p.revents & POLLIN);
    if (errno != EINTR) return false;
  }
}

bool Signalled(int eventFd) {
  pollfd p{eventFd, POLLIN, 0};
  return PollRetry(&p, 1, 0) > 0 && (p.revents & POLLIN);
}

// One open port: everything from OpenPort to ClosePort.
struct TOpenPort {
  int Fd = -1;
  int CloseEvent = -1;     // eventfd written once, never read: a manual-reset event
  int WakeEvent = -1;      // eventfd counter: "a block was queued"
  bool Exclusive = false;  // this open set TIOCEXCL (a refused opener must not clear another's mark)
  TWriteQueue Queue;
  TLiveSettings Live;
  std::thread Reader, Writer;

  ~TOpenPort() {
    CloseFd(WakeEvent);
    CloseFd(CloseEvent);
    // The mark stays with the terminal, not the descriptor: left set, it would refuse the next
    // ordinary opener while anyone else (a second descriptor, a pty master) keeps the line alive.
    if (Exclusive) (void)::ioctl(Fd, TIOCNXCL);
    CloseFd(Fd);
  }
  void SignalClose() const {
    const uint64_t one = 1;
    (void)!::write(CloseEvent, &one, sizeof one);
  }
};

// ---- read worker ----

struct TReader {
  int Fd;
  int CloseEvent;
  uint16_t BufferSize;
  TReadBlocks Blocks;

  void Run() {
    RaisePriority(2);
    const TPoster& poster = Blocks.Poster();
    std::vector<uint8_t> chunk(BufferSize);

    // Line errors, carrier and ring come from the driver's interrupt counters. Drivers without
    // them (a pseudo-terminal, some USB adapters) simply report none.
    serial_icounter_struct counts{};
    const bool watchLine = ::ioctl(Fd, TIOCGICOUNT, &counts) == 0;

    for (;;) {
      int timeout;
      if (!Blocks.BeforeWait(timeout)) break;
      if (watchLine && (timeout < 0 || timeout > kLinePollMs)) timeout = kLinePollMs;

      pollfd fds[2] = {{CloseEvent, POLLIN, 0}, {Fd, POLLIN, 0}};
      const int r = PollRetry(fds, 2, timeout);
      if (r < 0) {
        poster.Hangup();
        break;
      }
      if (fds[0].revents) break;
      if (watchLine && !CheckLine(counts)) break;
      if (r == 0) {
        Blocks.Quiet();  // the line went quiet before the block was whole: it goes out as it is
        continue;
      }

      const short ev = fds[1].revents;
      if (ev & POLLNVAL) break;  // the handle is gone: end quietly
      if (ev & POLLIN) {
        const ssize_t got = ::read(Fd, chunk.data(), chunk.size());
        if (got > 0) {
          if (!Blocks.Arrived(chunk.data(), static_cast<size_t>(got))) break;
          const auto sleep = Blocks.ReadAheadSleep() - kWakeEarly;
          if (sleep.count() > 0 && WaitSignalled(CloseEvent, sleep)) break;
          continue;
        }
        if (got < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        if (got < 0 && errno == EBADF) break;
        // 0 (hung up) or EIO: the device went away.
        Blocks.Flush();
        poster.Hangup();
        break;
      }
      if (ev & (POLLHUP | POLLERR)) {
        Blocks.Flush();
        poster.Hangup();
        break;
      }
    }
    (void)::tcflush(Fd, TCIFLUSH);
  }

  bool CheckLine(serial_icounter_struct& last) {
    serial_icounter_struct now{};
    if (::ioctl(Fd, TIOCGICOUNT, &now) != 0) return true;
    uint32_t errors = 0;
    if (now.buf_overrun != last.buf_overrun) errors |= kErrRxOver;
    if (now.overrun != last.overrun) errors |= kErrOverrun;
    if (now.parity != last.parity) errors |= kErrParity;
    if (now.frame != last.frame) errors |= kErrFrame;
    if (now.brk != last.brk) errors |= kErrBreak;
    uint32_t modem = 0;
    if (now.dcd != last.dcd) modem |= kModemCarrier;
    if (now.rng != last.rng) modem |= kModemRing;
    last = now;
    const TPoster& poster = Blocks.Poster();
    if (errors != 0 && !poster.Error(errors)) return false;
    if (modem != 0 && !poster.Modem(modem)) return false;
    return true;
  }
};

// ---- write worker: the platform's half of RunWriter ----

struct TWriterIo {
  int Fd;
  int CloseEvent;
  int WakeEvent;
  TPoster Poster;

  bool WaitForWork() {
    pollfd fds[2] = {{CloseEvent, POLLIN, 0}, {WakeEvent, POLLIN, 0}};
    if (PollRetry(fds, 2, -1) < 0) {
      Poster.Hangup();
      return false;
    }
    if (fds[0].revents) return false;
    uint64_t count;
    (void)!::read(WakeEvent, &count, sizeof count);
    return true;
  }

  bool Write(const std::vector<uint8_t>& block) {
    if (Signalled(CloseEvent)) return false;
    size_t done = 0;
    while (done < block.size()) {
      const ssize_t w = ::write(Fd, block.data() + done, block.size() - done);
      if (w > 0) {
        done += static_cast<size_t>(w);
        continue;
      }
      if (w < 0 && errno == EINTR) continue;
      if (w < 0 && errno == EAGAIN) {
        // The driver's output buffer is full (or flow control holds it): wait for room or close.
        pollfd fds[2] = {{CloseEvent, POLLIN, 0}, {Fd, POLLOUT, 0}};
        if (PollRetry(fds, 2, -1) < 0) {
          Poster.Hangup();
          return false;
        }
        if (fds[0].revents) return false;
        if (fds[1].revents & POLLNVAL) return false;
        if ((fds[1].revents & (POLLHUP | POLLERR)) && !(fds[1].revents & POLLOUT)) {
          Poster.Hangup();
          return false;
        }
        continue;
      }
      if (w < 0 && errno == EBADF) return false;
      Poster.Hangup();
      return false;
    }
    return true;
  }
};

speed_t SpeedCode(uint32_t baud) {
  switch (baud) {
    case 50:
      return B50;
    case 75:
      return B75;
    case 110:
      return B110;
    case 134:
      return B134;
    case 150:
      return B150;
    case 200:
      return B200;
    case 300:
      return B300;
    case 600:
      return B600;
    case 1200:
      return B1200;
    case 1800:
      return B1800;
    case 2400:
      return B2400;
    case 4800:
      return B4800;
    case 9600:
      return B9600;
    case 19200:
      return B19200;
    case 38400:
      return B38400;
    case 57600:
      return B57600;
    case 115200:
      return B115200;
    case 230400:
      return B230400;
    case 460800:
      return B460800;
    case 500000:
      return B500000;
    case 576000:
      return B576000;
    case 921600:
      return B921600;
    case 1000000:
      return B1000000;
    case 1152000:
      return B1152000;
    case 1500000:
      return B1500000;
    case 2000000:
      return B2000000;
    case 2500000:
      return B2500000;
    case 3000000:
      return B3000000;
    case 3500000:
      return B3500000;
    case 4000000:
      return B4000000;
    default:
      return B0;
  }
}

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
  return commName.find('/') != std::string::npos ? commName : "/dev/" + commName;
}

void TComm::OpenPort() {
  portOpenError_.clear();
  portOpenReason_.clear();
  portOpenErrno_ = 0;
  if (impl_->Port) {
    portOpenError_ = kAlreadyOpened;
    return;
  }
  auto fail = [this](const char* text, int error) {
    portOpenError_ = text;
    portOpenErrno_ = error;
    portOpenReason_ = error != 0 ? std::strerror(error) : std::string();
  };
  const std::string path = DevicePath(commName_);
  auto port = std::make_unique<TOpenPort>();
  port->Fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (port->Fd < 0) {
    fail(kErrorOpening, errno);
    throw ECommsError(kErrorOpening, portOpenReason_, portOpenErrno_);
  }
  // Unshared: TIOCEXCL (below) refuses other openers of the terminal, but not a privileged one, so
  // the port is also locked the way other serial programs on Linux lock theirs. A lock held by
  // another is the busy port it is, not flock's "try again".
  if (::flock(port->Fd, LOCK_EX | LOCK_NB) != 0) {
    fail(kErrorOpening, errno == EWOULDBLOCK ? EBUSY : errno);
    throw ECommsError(kErrorOpening, portOpenReason_, portOpenErrno_);
  }
  errno = 0;
  if (!::isatty(port->Fd)) {
    fail(kNotComm, errno != 0 ? errno : ENOTTY);
    return;
  }
  port->Exclusive = ::ioctl(port->Fd, TIOCEXCL) == 0;
  // There are no driver queue sizes to set on Linux; the step that stands for them is emptying the
  // driver's buffers.
  if (::tcflush(port->Fd, TCIOFLUSH) != 0) {
    fail(kNoCommBuffer, errno);
    throw ECommsError(kNoCommBuffer, portOpenReason_, portOpenErrno_);
  }

  port->CloseEvent = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (port->CloseEvent >= 0) port->WakeEvent = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (port->CloseEvent < 0 || port->WakeEvent < 0) {
    fail(kNoEvent, errno);
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
        [r = TReader{p.Fd, p.CloseEvent, std::max(inBufferSize_, inputLen_),
                     TReadBlocks(poster, inputLen_, readAhead_, baudRate_, p.Live)}]() mutable { r.Run(); });
  } catch (const std::system_error& e) {
    impl_->Port.reset();
    fail(kNoReadThread, e.code().value());
    return;
  }
  try {
    p.Writer =
        std::thread([&queue = p.Queue, w = TWriterIo{p.Fd, p.CloseEvent, p.WakeEvent, poster}]() mutable {
          RaisePriority(1);
          RunWriter(queue, w.Poster, w);
          (void)::tcflush(w.Fd, TCOFLUSH);
        });
  } catch (const std::system_error& e) {
    p.SignalClose();
    p.Reader.join();
    impl_->Port.reset();
    fail(kNoWriteThread, e.code().value());
    return;
  }
}

void TComm::ClosePort() {
  portOpenError_.clear();
  portOpenReason_.clear();
  portOpenErrno_ = 0;
  if (!impl_->Port) return;
  TOpenPort& p = *impl_->Port;
  // Both workers watch the close event in every wait, so the joins below are prompt: a write stuck on
  // a full output buffer (nobody reading the other end) ends as failed.
  p.SignalClose();
  (void)::tcflush(p.Fd, TCIFLUSH);
  if (p.Reader.joinable()) p.Reader.join();
  (void)::tcflush(p.Fd, TCOFLUSH);
  if (p.Writer.joinable()) p.Writer.join();
  // Discarded output leaves nothing for close() to drain, so it cannot wait on a held-up line.
  impl_->Port.reset();
}

bool TComm::SendBytes(const uint8_t* bytes, uint16_t count) {
  if (!impl_->Port || count == 0 || bytes == nullptr) return false;
  TOpenPort& p = *impl_->Port;
  {
    std::lock_guard<std::mutex> lock(p.Queue.Lock);
    if (p.Queue.Ended) return false;  // the worker ended on an error: the post fails
    size_t done = 0;
    if (p.Queue.Idle) {
      // Nothing is queued and the worker waits: the block goes straight to the driver, which
      // saves waking the worker for it (the port is non-blocking, so this never waits). What the
      // driver does not take, and every failure, is left to the worker as usual.
      const ssize_t w = ::write(p.Fd, bytes, count);
      if (w > 0) done = static_cast<size_t>(w);
      if (done == count) {
        (void)TPoster{&target_, impl_->Alive}.Empty();
        return true;
      }
    }
    try {
      p.Queue.Blocks.emplace_back(bytes + done, bytes + count);
    } catch (const std::bad_alloc&) {
      return false;
    }
    p.Queue.Idle = false;
  }
  const uint64_t one = 1;
  (void)!::write(p.WakeEvent, &one, sizeof one);
  return true;
}

void TComm::ApplyTimeouts() {
  if (!impl_->Port) return;
  TLiveSettings& live = impl_->Port->Live;
  live.ReadInterval = readIntervalTimeout_;
  live.ReadMultiplier = readTotalTimeoutMultiplier_;
  live.ReadConstant = readTotalTimeoutConstant_;
  // Writes are queued whole and written until done, as the original's write loop does; the write
  // time-outs only shortened single write requests there, so they have nothing to act on here.
}

// Line settings onto termios. What termios cannot express (DSR flow, DTR handshake, XON/XOFF limits,
// RTS toggling while sending, DSR sensitivity, continue-after-XOFF) is left out; a pseudo-terminal
// has no modem lines at all. What termios can express and the port refuses raises ECommsError: a
// link that silently stays at the wrong speed only shows up later as a device that never answers.
void TComm::ApplyLineSettings() {
  if (!impl_->Port) return;
  const int fd = impl_->Port->Fd;
  impl_->Port->Live.IgnoreNull = ignoreNullChar_;

  // Only the standard rates: the device runs at one of them, and a rate the table lacks would need
  // the driver's divisor, which some adapters round silently.
  const speed_t speed = SpeedCode(baudRate_);
  const std::string badBaud = std::string(kBadBaudRate) + " " + std::to_string(baudRate_);
  if (speed == B0) RaiseSystem(badBaud, EINVAL);

  termios t{};
  if (::tcgetattr(fd, &t) != 0) RaiseSystem(kNoCommState, errno);
  // Binary mode: no line editing, echo, signals or character translation.
  t.c_iflag &=
      ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY | INPCK | IGNPAR);
  t.c_oflag &= ~OPOST;
  t.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  t.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
  t.c_cflag |= CREAD | CLOCAL;

  static constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
  t.c_cflag |= kSizes[static_cast<int>(byteSize_)];
  switch (parity_) {
    case TParity::None:
      break;
    case TParity::Odd:
      t.c_cflag |= PARENB | PARODD;
      break;
    case TParity::Even:
      t.c_cflag |= PARENB;
      break;
    case TParity::Mark:
      t.c_cflag |= PARENB | CMSPAR | PARODD;
      break;
    case TParity::Space:
      t.c_cflag |= PARENB | CMSPAR;
      break;
  }
  // Linux has no 1.5 stop bits; the UART gives 1.5 for CSTOPB with 5 data bits.
  if (stopBits_ != TStopBits::_1) t.c_cflag |= CSTOPB;
  if (parityCheck_) {
    t.c_iflag |= INPCK;
    // Without replacement a byte with a parity error is dropped; with it, it arrives as a zero byte
    // (the driver's only replacement, which is ReplacedChar's default).
    if (!replaceWhenParityError_) t.c_iflag |= IGNPAR;
  }
  if (outxCtsFlow_ || rtsControl_ == TRtsControl::RtsHandshake) t.c_cflag |= CRTSCTS;
  if (outxXonXoffFlow_) t.c_iflag |= IXON;
  if (inxXonXoffFlow_) t.c_iflag |= IXOFF;
  t.c_cc[VSTART] = static_cast<cc_t>(xonChar_);
  t.c_cc[VSTOP] = static_cast<cc_t>(xoffChar_);
  // One byte makes a read return; an empty non-blocking read then reports EAGAIN, and 0 means the
  // line hung up.
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  if (::cfsetispeed(&t, speed) != 0 || ::cfsetospeed(&t, speed) != 0) RaiseSystem(badBaud, errno);
  if (::tcsetattr(fd, TCSANOW, &t) != 0) RaiseSystem(kNoCommState, errno);
  // tcsetattr succeeds when any part of the change was carried out; the speed is the part that
  // matters, so it is read back. (A pty, like some adapters, forces CS8 and no parity: those are not
  // compared.)
  termios now{};
  if (::tcgetattr(fd, &now) != 0) RaiseSystem(kNoCommState, errno);
  if (::cfgetospeed(&now) != speed || ::cfgetispeed(&now) != speed) RaiseSystem(badBaud, EINVAL);

  // DTR and RTS through the modem-control ioctls; a pty has neither line and refuses, which is fine.
  int dtr = TIOCM_DTR, rts = TIOCM_RTS;
  (void)::ioctl(fd, dtrControl_ == TDtrControl::DtrDisable ? TIOCMBIC : TIOCMBIS, &dtr);
  if (rtsControl_ != TRtsControl::RtsHandshake)
    (void)::ioctl(fd, rtsControl_ == TRtsControl::RtsEnable ? TIOCMBIS : TIOCMBIC, &rts);
}

}  // namespace torvane
