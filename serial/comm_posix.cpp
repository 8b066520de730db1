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
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <deque>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "serial/comm.h"

namespace torvane {

namespace {

constexpr char kAlreadyOpened[] = "This serial port already opened";
constexpr char kErrorOpening[] = "Error opening serial port";
constexpr char kNotComm[] = "File handle is not a comm handle ";
constexpr char kNoCommBuffer[] = "Cannot setup comm buffer";
constexpr char kNoCommState[] = "Cannot setup comm state";
constexpr char kBadBaudRate[] = "Unsupported baud rate";
constexpr char kNoEvent[] = "Unable to create event";
constexpr char kNoReadThread[] = "Unable to create read thread";
constexpr char kNoWriteThread[] = "Unable to create write thread";

// Line-error flags of 0x0402, as the Windows driver reports them (CE_*).
constexpr uint32_t kErrRxOver = 0x0001, kErrOverrun = 0x0002, kErrParity = 0x0004, kErrFrame = 0x0008,
                   kErrBreak = 0x0010;
// Modem events of 0x0404.
constexpr uint32_t kModemCarrier = 8, kModemRing = 4;
// How often the read worker looks at the driver's line counters, where the driver keeps them.
constexpr int kLinePollMs = 100;

using Clock = std::chrono::steady_clock;

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

// The worker's way to the window thread. Each notification checks, on the window thread, that the
// component still exists before it touches it.
struct TPoster {
  ICommNotifyTarget* Target;
  std::weak_ptr<TComm*> Alive;

  template <typename F>
  bool Post(F&& f) const {
    try {
      return Target->Post([alive = Alive, f = std::forward<F>(f)]() mutable {
        if (auto p = alive.lock()) f(**p);
      });
    } catch (...) {  // no memory for the notification: the post fails
      return false;
    }
  }
  // `block` holds the n bytes and a terminating zero; the window thread frees it after the event.
  bool Data(std::vector<uint8_t> block, uint16_t n) const {
    return Post([block = std::move(block), n](TComm& c) {
      if (c.OnReceiveData) c.OnReceiveData(c, reinterpret_cast<const char*>(block.data()), n);
    });
  }
  bool Error(uint32_t flags) const {
    return Post([flags](TComm& c) {
      if (c.OnReceiveError) c.OnReceiveError(c, flags);
    });
  }
  bool Hangup() const {
    return Post([](TComm& c) {
      if (c.OnRequestHangup) c.OnRequestHangup(c);
    });
  }
  bool Modem(uint32_t value) const {
    return Post([value](TComm& c) {
      if (c.OnModemStateChange) c.OnModemStateChange(c, value);
    });
  }
  bool Empty() const {
    return Post([](TComm& c) {
      if (c.OnSendDataEmpty) c.OnSendDataEmpty(c);
    });
  }
};

// The write worker's message queue. `Idle` is SendQueueEmpty: cleared when a block is queued, set by
// the worker when it finds the queue empty and when it ends.
struct TWriteQueue {
  std::mutex Lock;
  std::deque<std::vector<uint8_t>> Blocks;
  bool Idle = true;
  bool Ended = false;  // the worker is gone: nothing more can be posted to it
};

// Settings the read worker follows while it runs; the window thread may change them.
struct TLiveSettings {
  std::atomic<uint32_t> ReadInterval{0}, ReadMultiplier{0}, ReadConstant{0};
  std::atomic<bool> IgnoreNull{false};
};

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
  TPoster Poster;
  uint16_t InputLen;
  uint16_t BufferSize;
  TComm::TReadAhead ReadAhead;
  std::chrono::nanoseconds ByteTime;
  const TLiveSettings* Live;

  std::vector<uint8_t> Pending;  // bytes of the request in progress (fewer than InputLen)
  Clock::time_point RequestStart, LastByte;

  bool Deliver() {
    const auto n = static_cast<uint16_t>(Pending.size());
    bool ok;
    try {
      std::vector<uint8_t> block(n + 1, 0);
      std::memcpy(block.data(), Pending.data(), n);
      ok = Poster.Data(std::move(block), n);
    } catch (const std::bad_alloc&) {
      ok = false;
    }
    Pending.clear();
    RequestStart = Clock::now();
    if (!ok) Poster.Hangup();
    return ok;
  }

  // Milliseconds poll may wait before a time-out of the current request falls due (-1: none).
  int NextTimeout(Clock::time_point now, bool& intervalDue, bool& totalDue) const {
    intervalDue = totalDue = false;
    int64_t best = -1;
    auto consider = [&](Clock::time_point at, bool& due) {
      const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(at - now).count();
      if (ms <= 0) due = true;
      const int64_t wait = ms < 0 ? 0 : ms;
      if (best < 0 || wait < best) best = wait;
    };
    const uint32_t interval = Live->ReadInterval.load(std::memory_order_relaxed);
    const uint32_t mult = Live->ReadMultiplier.load(std::memory_order_relaxed);
    const uint32_t constant = Live->ReadConstant.load(std::memory_order_relaxed);
    // Windows: an interval of MAXDWORD with both totals 0 returns what has arrived at once.
    if (!Pending.empty() && interval == UINT32_MAX && mult == 0 && constant == 0) {
      intervalDue = true;
      return 0;
    }
    if (!Pending.empty() && interval != 0 && interval != UINT32_MAX)
      consider(LastByte + std::chrono::milliseconds(interval), intervalDue);
    if (mult != 0 || constant != 0) {
      const uint64_t total = uint64_t(mult) * InputLen + constant;
      consider(RequestStart + std::chrono::milliseconds(total), totalDue);
    }
    return best > INT_MAX ? INT_MAX : static_cast<int>(best);
  }

  void Run() {
    RaisePriority(2);
    std::vector<uint8_t> chunk(BufferSize > InputLen ? BufferSize : InputLen);
    Pending.reserve(InputLen);
    RequestStart = LastByte = Clock::now();

    // Line errors, carrier and ring come from the driver's interrupt counters. Drivers without
    // them (a pseudo-terminal, some USB adapters) simply report none.
    serial_icounter_struct counts{};
    const bool watchLine = ::ioctl(Fd, TIOCGICOUNT, &counts) == 0;

    // A read-ahead wait just ended: nothing is delivered until the line has been quiet for a moment
    // (adapters and drivers hand bytes over in bursts about a millisecond apart).
    bool gathering = false;
    for (;;) {
      bool intervalDue, totalDue;
      int timeout = NextTimeout(Clock::now(), intervalDue, totalDue);
      if (gathering) {
        intervalDue = totalDue = false;
        timeout = kQuietMs;
      }
      if (intervalDue || totalDue) {
        // A request that times out empty is simply started again (the original ended its worker
        // on an empty completion, which a total time-out would make on any quiet line).
        if (!Pending.empty()) {
          if (!Deliver()) break;
        } else {
          RequestStart = Clock::now();
        }
        continue;
      }
      if (watchLine && (timeout < 0 || timeout > kLinePollMs)) timeout = kLinePollMs;

      pollfd fds[2] = {{CloseEvent, POLLIN, 0}, {Fd, POLLIN, 0}};
      const int r = PollRetry(fds, 2, timeout);
      if (r < 0) {
        Poster.Hangup();
        break;
      }
      if (fds[0].revents) break;
      if (watchLine && !CheckLine(counts)) break;
      if (r == 0) {
        gathering = false;  // the line went quiet before the block was whole: it goes out as it is
        continue;
      }

      const short ev = fds[1].revents;
      if (ev & POLLNVAL) break;  // the handle is gone: end quietly
      if (ev & POLLIN) {
        const ssize_t got = ::read(Fd, chunk.data(), chunk.size());
        if (got > 0) {
          if (!Take(chunk.data(), static_cast<size_t>(got))) break;
          gathering = false;
          if (ReadAhead && !Pending.empty()) {
            const size_t need = ReadAhead(Pending.data(), Pending.size());
            if (need > 0) {
              // The rest of the block is still on the wire. A long rest is slept through, to a
              // moment after its last byte is due, so that one look finds it whole; a short one (a
              // burst or two) is simply waited for.
              const auto rest = ByteTime * static_cast<int64_t>(need);
              if (rest > 2 * kBurst && WaitSignalled(CloseEvent, std::min(rest + kMargin, kLongestSleep)))
                break;
              gathering = true;
            }
          }
          continue;
        }
        if (got < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        if (got < 0 && errno == EBADF) break;
        // 0 (hung up) or EIO: the device went away.
        if (!Pending.empty()) Deliver();
        Poster.Hangup();
        break;
      }
      if (ev & (POLLHUP | POLLERR)) {
        if (!Pending.empty()) Deliver();
        Poster.Hangup();
        break;
      }
    }
    (void)::tcflush(Fd, TCIFLUSH);
  }

  static constexpr int kQuietMs = 3;
  static constexpr std::chrono::nanoseconds kBurst = std::chrono::milliseconds(1);
  static constexpr std::chrono::nanoseconds kMargin = std::chrono::microseconds(250);
  static constexpr std::chrono::nanoseconds kLongestSleep = std::chrono::milliseconds(50);

  // Splits what arrived into requests of InputLen bytes, in arrival order.
  bool Take(const uint8_t* bytes, size_t n) {
    const bool ignoreNull = Live->IgnoreNull.load(std::memory_order_relaxed);
    for (size_t i = 0; i < n; ++i) {
      if (ignoreNull && bytes[i] == 0) continue;
      Pending.push_back(bytes[i]);
      if (Pending.size() >= InputLen && !Deliver()) return false;
    }
    LastByte = Clock::now();
    return true;
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
    if (errors != 0 && !Poster.Error(errors)) return false;
    if (modem != 0 && !Poster.Modem(modem)) return false;
    return true;
  }
};

// ---- write worker ----

struct TWriter {
  int Fd;
  int CloseEvent;
  int WakeEvent;
  TPoster Poster;
  TWriteQueue* Queue;

  // Writes one block whole. False ends the worker.
  bool WriteBlock(const std::vector<uint8_t>& block) {
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

  void Run() {
    RaisePriority(1);
    bool reportEmpty = true;
    for (;;) {
      std::vector<uint8_t> block;
      bool got = false;
      {
        std::lock_guard<std::mutex> lock(Queue->Lock);
        if (!Queue->Blocks.empty()) {
          block = std::move(Queue->Blocks.front());
          Queue->Blocks.pop_front();
          got = true;
        } else {
          Queue->Idle = true;
        }
      }
      if (!got) {
        if (reportEmpty) {
          if (!Poster.Empty()) {
            Poster.Hangup();
            break;
          }
          reportEmpty = false;
        }
        pollfd fds[2] = {{CloseEvent, POLLIN, 0}, {WakeEvent, POLLIN, 0}};
        if (PollRetry(fds, 2, -1) < 0) {
          Poster.Hangup();
          break;
        }
        if (fds[0].revents) break;
        uint64_t count;
        (void)!::read(WakeEvent, &count, sizeof count);
        continue;
      }
      if (Signalled(CloseEvent)) break;
      if (!WriteBlock(block)) break;
      reportEmpty = true;
    }
    (void)::tcflush(Fd, TCOFLUSH);
    std::lock_guard<std::mutex> lock(Queue->Lock);
    Queue->Idle = true;
    Queue->Ended = true;
    Queue->Blocks.clear();
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
  if (!impl_->Port) return true;
  std::lock_guard<std::mutex> lock(impl_->Port->Queue.Lock);
  return impl_->Port->Queue.Idle;
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
  ApplyTimeouts();
  try {
    ApplyLineSettings();
  } catch (const ECommsError& e) {
    impl_->Port.reset();
    portOpenError_ = e.what();
    portOpenReason_ = e.Reason();
    portOpenErrno_ = e.Error();
    throw;
  }

  const TPoster poster{&target_, impl_->Alive};
  try {
    p.Reader = std::thread(
        [r = TReader{p.Fd,
                     p.CloseEvent,
                     poster,
                     inputLen_,
                     inBufferSize_,
                     readAhead_,
                     std::chrono::nanoseconds(10'000'000'000LL / (baudRate_ > 0 ? baudRate_ : 9600)),
                     &p.Live,
                     {},
                     {},
                     {}}]() mutable { r.Run(); });
  } catch (const std::system_error& e) {
    impl_->Port.reset();
    fail(kNoReadThread, e.code().value());
    return;
  }
  try {
    p.Writer =
        std::thread([w = TWriter{p.Fd, p.CloseEvent, p.WakeEvent, poster, &p.Queue}]() mutable { w.Run(); });
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
