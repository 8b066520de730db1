// SPDX-License-Identifier: GPL-3.0-or-later
#include "device/virtual_device.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "protocol/frame.h"

namespace torvane::device {

namespace {

using TSteady = std::chrono::steady_clock;

// A partial request that stops arriving for this long is dropped, so a stray start byte cannot keep the
// device from taking the next real request.
constexpr int kPartialFrameMs = 500;
// A reply the PC does not take off the line within this long is lost, as on a real wire.
constexpr int kStalledWriteMs = 1000;

bool KnownCommand(uint8_t c) {
  return c == CMD_TIME_SYNC || c == CMD_CHECK_MODE || c == CMD_WRITE || c == CMD_READ ||
         c == CMD_DELETE_HISTORY;
}

int RegionPages(TRegion r) {
  switch (r) {
    case TRegion::Settings:
      return kSettingsPages;
    case TRegion::Numbers:
      return kNumberPages;
    case TRegion::History:
      return kHistoryPages;
    case TRegion::None:
      break;
  }
  return 0;
}

// What a request's header says: its command, the address it names and the length of its payload.
struct TRequest {
  uint8_t Command;
  uint32_t Address;
  int Length;
};

TRequest RequestOf(const std::vector<uint8_t>& frame) {
  return {frame[1],
          (uint32_t{frame[2]} << 24) | (uint32_t{frame[3]} << 16) | (uint32_t{frame[4]} << 8) | frame[5],
          frame[6] * 256 + frame[7]};
}

// The checksum a frame's last byte must hold: every byte between the start byte and itself, XORed.
uint8_t FrameChecksum(const std::vector<uint8_t>& bytes) {
  uint8_t sum = 0;
  for (size_t i = 1; i + 1 < bytes.size(); ++i) sum ^= bytes[i];
  return sum;
}

std::vector<uint8_t> ReplyFrame(uint8_t command, uint32_t address, const std::vector<uint8_t>& payload) {
  TDataPackage reply;
  reply.SetCommand(command);
  reply.SetLength(static_cast<int32_t>(payload.size()));
  reply.SetAddress(static_cast<int32_t>(address));
  reply.SetPayload(payload.data());
  reply.BuildFrame();
  return std::vector<uint8_t>(reply.Frame.begin(), reply.Frame.begin() + reply.FrameLength);
}

// Collects request frames from the byte stream: hunts for the start byte, then takes the header, the
// declared payload and the checksum. A declared length the device has no room for ends the frame.
class TRequestAssembler {
 public:
  // Returns true when `b` completed a frame, now in Frame().
  bool Feed(uint8_t b) {
    if (bytes_.empty()) {
      if (b == kFrameStart) bytes_.push_back(b);
      return false;
    }
    bytes_.push_back(b);
    if (bytes_.size() == 8) {
      expected_ = bytes_[6] * 256 + bytes_[7];
      if (expected_ > kMaxPayload) {
        Reset();
        return false;
      }
    }
    return bytes_.size() >= 8 && bytes_.size() == static_cast<size_t>(expected_) + 9;
  }
  bool Busy() const { return !bytes_.empty(); }
  const std::vector<uint8_t>& Frame() const { return bytes_; }
  void Reset() {
    bytes_.clear();
    expected_ = 0;
  }

 private:
  std::vector<uint8_t> bytes_;
  int expected_ = 0;
};

}  // namespace

TVirtualDevice::TVirtualDevice(TDeviceOptions options)
    : options_(std::move(options)), memory_(TDeviceMemory::Factory()), noiseState_(options_.Seed | 1) {}

TVirtualDevice::~TVirtualDevice() {
  Stop();
}

bool TVirtualDevice::Start() {
  Stop();
  error_.clear();
  if (!options_.StateFile.empty() && ::access(options_.StateFile.c_str(), F_OK) == 0) {
    std::lock_guard lock(memoryMutex_);
    if (!LoadState(memory_, options_.StateFile, &error_)) return false;
  }
  auto fail = [this](const char* what) {
    error_ = std::string(what) + ": " + std::strerror(errno);
    ClosePort();
    if (wake_ >= 0) ::close(wake_);
    wake_ = -1;
    return false;
  };
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0) return fail("posix_openpt");
  if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return fail("unlockpt");
  char name[128];
  if (::ptsname_r(master_, name, sizeof name) != 0) return fail("ptsname");
  portPath_ = name;
  slaveHold_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slaveHold_ < 0) return fail("open pty");
  termios tio{};
  if (::tcgetattr(slaveHold_, &tio) != 0) return fail("tcgetattr");
  ::cfmakeraw(&tio);
  ::cfsetispeed(&tio, B115200);
  ::cfsetospeed(&tio, B115200);
  if (::tcsetattr(slaveHold_, TCSANOW, &tio) != 0) return fail("tcsetattr");
  ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
  wake_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wake_ < 0) return fail("eventfd");
  if (!options_.LinkPath.empty()) {
    ::unlink(options_.LinkPath.c_str());
    if (::symlink(portPath_.c_str(), options_.LinkPath.c_str()) != 0) return fail("symlink");
  }
  stopping_ = false;
  hungUp_ = false;
  thread_ = std::thread([this] { Serve(); });
  return true;
}

void TVirtualDevice::Stop() {
  if (thread_.joinable()) {
    {
      std::lock_guard lock(sleepMutex_);
      stopping_ = true;
    }
    sleepCv_.notify_all();
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(wake_, &one, sizeof one);
    thread_.join();
  }
  ClosePort();
  if (wake_ >= 0) ::close(wake_);
  wake_ = -1;
  if (!options_.LinkPath.empty() && !portPath_.empty()) ::unlink(options_.LinkPath.c_str());
}

bool TVirtualDevice::Running() const {
  return thread_.joinable() && !hungUp_ && !stopping_;
}

void TVirtualDevice::ClosePort() {
  if (master_ >= 0) ::close(master_);
  if (slaveHold_ >= 0) ::close(slaveHold_);
  master_ = slaveHold_ = -1;
}

bool TVirtualDevice::SleepUntil(TSteady::time_point t) {
  std::unique_lock lock(sleepMutex_);
  return !sleepCv_.wait_until(lock, t, [this] { return stopping_.load(); });
}

void TVirtualDevice::Serve() {
  TRequestAssembler assembler;
  TSteady::time_point firstByte;
  uint8_t chunk[512];
  while (!stopping_ && !hungUp_) {
    pollfd fds[2] = {{master_, POLLIN, 0}, {wake_, POLLIN, 0}};
    const int ready = ::poll(fds, 2, assembler.Busy() ? kPartialFrameMs : -1);
    if (stopping_) break;
    if (ready == 0) {
      TraceLine("dropped: partial frame", assembler.Frame().data(), assembler.Frame().size());
      assembler.Reset();
      continue;
    }
    if (ready < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (!(fds[0].revents & POLLIN)) {
      // The device holds its own end of the slave open, so a hang-up here means the pty is gone.
      if (fds[0].revents & (POLLHUP | POLLERR)) SleepUntil(TSteady::now() + std::chrono::milliseconds(10));
      continue;
    }
    const ssize_t n = ::read(master_, chunk, sizeof chunk);
    if (n <= 0) continue;
    for (ssize_t i = 0; i < n && !hungUp_ && !stopping_; ++i) {
      if (!assembler.Busy()) firstByte = TSteady::now();
      if (assembler.Feed(chunk[i])) {
        const std::vector<uint8_t> frame = assembler.Frame();
        assembler.Reset();
        TakeFrame(frame, firstByte);
      }
    }
  }
}

void TVirtualDevice::TakeFrame(const std::vector<uint8_t>& frame, TSteady::time_point firstByte) {
  Bump(&TDeviceCounters::Received);
  TraceLine("in ", frame.data(), frame.size());
  struct THandled {
    TVirtualDevice* d;
    ~THandled() { d->Bump(&TDeviceCounters::Handled); }
  } handled{this};

  const TRequest request = RequestOf(frame);
  if (FrameChecksum(frame) != frame.back()) return TraceLine("dropped: bad checksum");
  if (!KnownCommand(request.Command)) return TraceLine("dropped: unknown command");
  const TLocation at = Locate(request.Address);
  if (at.Region == TRegion::None) return TraceLine("dropped: address outside every region");

  const std::optional<TSteady::time_point> heard = WaitTillHeard(frame.size(), firstByte);
  if (!heard) return;
  std::optional<TFault> fault = FireFault(request.Command, at);
  if (fault && fault->Kind == TFaultKind::Silence) return;
  if (fault && fault->Kind == TFaultKind::Hangup) {
    hungUp_ = true;
    ClosePort();
    return;
  }
  // The other controller the request reached answers it as any controller would.
  if (fault && fault->Kind == TFaultKind::Moved) fault.reset();

  std::vector<uint8_t> payload;
  if (fault && fault->Kind == TFaultKind::Refuse) {
    payload = {0};
  } else if (fault && fault->Kind == TFaultKind::Forget && request.Command == CMD_WRITE) {
    payload = {1};
  } else {
    payload = Carry(request.Command, at, frame.data() + 8, request.Length);
  }
  const bool wrongPage = fault && fault->Kind == TFaultKind::WrongPage;
  std::vector<uint8_t> bytes =
      ReplyFrame(request.Command, wrongPage ? request.Address + kPageSize : request.Address, payload);

  auto due = *heard + std::chrono::milliseconds(options_.LatencyMs);
  if (fault) due = SpoilReply(*fault, bytes, due);
  if (!SleepUntil(due)) return;
  SendReply(bytes, due);
  if (fault && fault->Kind == TFaultKind::Duplicate) SendReply(bytes, TSteady::now());
  Bump(&TDeviceCounters::Answered);
}

std::optional<TSteady::time_point> TVirtualDevice::WaitTillHeard(size_t frameBytes,
                                                                 TSteady::time_point firstByte) {
  // A real UART hands the request over only once its last byte has crossed the wire. The reply is
  // timed from that moment, not from whenever this thread wakes up: a late wake-up must not push
  // every later byte back.
  if (options_.Baud == 0) return TSteady::now();
  const auto wire =
      std::chrono::nanoseconds(10'000'000'000LL * static_cast<int64_t>(frameBytes) / options_.Baud);
  const auto heard = firstByte + wire;
  if (!SleepUntil(heard)) return std::nullopt;
  return heard;
}

std::optional<TFault> TVirtualDevice::FireFault(uint8_t command, const TLocation& at) {
  std::optional<TFault> fired;
  {
    std::lock_guard lock(memoryMutex_);
    if (const TFault* fault = MatchFault(command, at)) fired = *fault;
    if (fired && fired->Kind == TFaultKind::Moved) {
      // Nothing on the wire tells of it: the request simply reaches another controller.
      memory_ = MovedMemory(*fired);
      SaveLocked();
    }
  }
  if (fired) {
    Bump(&TDeviceCounters::Faults);
    TraceLine(std::string("fault: ") + FaultKindName(fired->Kind));
  }
  return fired;
}

TSteady::time_point TVirtualDevice::SpoilReply(const TFault& fault, std::vector<uint8_t>& bytes,
                                               TSteady::time_point due) {
  switch (fault.Kind) {
    case TFaultKind::BadChecksum:
      bytes.back() ^= 0xFF;
      break;
    case TFaultKind::Cut:
      bytes.resize(fault.KeepBytes < 0 ? bytes.size() / 2
                                       : std::min(bytes.size(), static_cast<size_t>(fault.KeepBytes)));
      break;
    case TFaultKind::Noise: {
      std::vector<uint8_t> noise;
      while (noise.size() < static_cast<size_t>(fault.NoiseBytes)) {
        noiseState_ = noiseState_ * 1103515245u + 12345u;
        const uint8_t b = static_cast<uint8_t>(noiseState_ >> 16);
        if (b != kFrameStart) noise.push_back(b);
      }
      bytes.insert(bytes.begin(), noise.begin(), noise.end());
      break;
    }
    case TFaultKind::Oversize:
      bytes[6] = static_cast<uint8_t>(fault.DeclaredLength >> 8);
      bytes[7] = static_cast<uint8_t>(fault.DeclaredLength);
      bytes.back() = FrameChecksum(bytes);
      break;
    case TFaultKind::Late:
      return due + std::chrono::milliseconds(fault.DelayMs);
    default:
      break;
  }
  return due;
}

const TFault* TVirtualDevice::MatchFault(uint8_t command, const TLocation& at) {
  const bool paged = command == CMD_READ || command == CMD_WRITE;
  const TFault* chosen = nullptr;
  for (TFaultState& s : faults_) {
    const TFault& f = s.Fault;
    if (f.Command >= 0 && f.Command != command) continue;
    if (f.Region != TRegion::None && (!paged || f.Region != at.Region)) continue;
    if (f.Page > 0 && (!paged || f.Page != at.Page)) continue;
    ++s.Matches;
    const bool due = s.Matches >= f.Nth && (f.Count == 0 || s.Matches < f.Nth + f.Count);
    if (due && !chosen) chosen = &s.Fault;
  }
  return chosen;
}

std::vector<uint8_t> TVirtualDevice::Carry(uint8_t command, const TLocation& at, const uint8_t* payload,
                                           int length) {
  std::lock_guard lock(memoryMutex_);
  switch (command) {
    case CMD_READ: {
      // A read from inside a page runs on to the end of the region at most.
      const int left = (RegionPages(at.Region) - at.Page + 1) * kPageSize - at.Offset;
      const uint8_t* from = memory_.At(at);
      return std::vector<uint8_t>(from, from + std::min(left, kPageSize));
    }
    case CMD_WRITE:
      if (!at.PageStart() || length != kPageSize) return {0};
      std::memcpy(memory_.At(at), payload, kPageSize);
      SaveLocked();
      return {1};
    case CMD_TIME_SYNC: {
      TDateTime t;
      if (length < 6 || !ClockFromPayload(payload, t)) return {0};
      memory_.Clock = t;
      SaveLocked();
      return {1};
    }
    case CMD_DELETE_HISTORY:
      std::fill(memory_.History.begin(), memory_.History.end(), 0xFF);
      SaveLocked();
      return {1};
    default:  // checking mode
      return {1};
  }
}

void TVirtualDevice::SendReply(const std::vector<uint8_t>& bytes, TSteady::time_point start) {
  if (master_ < 0) return;
  TraceLine("out", bytes.data(), bytes.size());
  const auto byteTime = options_.Baud > 0 ? std::chrono::nanoseconds(10'000'000'000LL / options_.Baud)
                                          : std::chrono::nanoseconds(0);
  size_t sent = 0;
  auto stalledSince = TSteady::now();
  while (sent < bytes.size() && !stopping_) {
    size_t upTo = bytes.size();
    if (options_.Baud > 0) {
      // Byte i leaves once i + 1 byte times have passed; whatever is due goes out in one write.
      const auto elapsed = TSteady::now() - start;
      upTo = std::min(bytes.size(), static_cast<size_t>(elapsed / byteTime));
      if (upTo <= sent) {
        // Bytes leave in bursts of about a millisecond rather than one wake-up per byte; the last
        // byte still leaves on time.
        const auto next = start + byteTime * static_cast<int64_t>(sent + 1);
        const auto end = start + byteTime * static_cast<int64_t>(bytes.size());
        if (!SleepUntil(std::max(next, std::min(TSteady::now() + std::chrono::milliseconds(1), end)))) return;
        continue;
      }
    }
    const ssize_t n = ::write(master_, bytes.data() + sent, upTo - sent);
    if (n > 0) {
      sent += static_cast<size_t>(n);
      stalledSince = TSteady::now();
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EINTR) return;
    if (TSteady::now() - stalledSince > std::chrono::milliseconds(kStalledWriteMs)) {
      TraceLine("dropped: the PC does not take the reply");
      return;
    }
    pollfd fds[2] = {{master_, POLLOUT, 0}, {wake_, POLLIN, 0}};
    ::poll(fds, 2, 50);
  }
}

void TVirtualDevice::SaveLocked() {
  if (options_.StateFile.empty()) return;
  std::string error;
  if (!SaveState(memory_, options_.StateFile, &error)) TraceLine("state not saved: " + error);
}

void TVirtualDevice::TraceLine(const std::string& what, const uint8_t* bytes, size_t count) {
  if (!options_.Trace) return;
  timespec ts{};
  ::clock_gettime(CLOCK_REALTIME, &ts);
  tm local{};
  ::localtime_r(&ts.tv_sec, &local);
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%02d:%02d:%02d.%03ld ", local.tm_hour, local.tm_min, local.tm_sec,
                ts.tv_nsec / 1000000);
  std::string line = stamp + what;
  for (size_t i = 0; i < count; ++i) {
    char hex[4];
    std::snprintf(hex, sizeof hex, " %02X", bytes[i]);
    line += hex;
  }
  options_.Trace(line);
}

void TVirtualDevice::Bump(uint64_t TDeviceCounters::*counter) {
  {
    std::lock_guard lock(counterMutex_);
    ++(counters_.*counter);
  }
  counterCv_.notify_all();
}

// ---- accessors ----

TDeviceMemory TVirtualDevice::Memory() const {
  std::lock_guard lock(memoryMutex_);
  return memory_;
}

void TVirtualDevice::SetMemory(const TDeviceMemory& memory) {
  std::lock_guard lock(memoryMutex_);
  memory_ = memory;
  SaveLocked();
}

std::array<uint8_t, kSettingsSize> TVirtualDevice::Settings() const {
  std::lock_guard lock(memoryMutex_);
  return memory_.Settings;
}

void TVirtualDevice::SetSettings(const std::array<uint8_t, kSettingsSize>& settings) {
  std::lock_guard lock(memoryMutex_);
  memory_.Settings = settings;
  SaveLocked();
}

std::vector<uint8_t> TVirtualDevice::Numbers() const {
  std::lock_guard lock(memoryMutex_);
  return memory_.Numbers;
}

void TVirtualDevice::SetNumbers(const std::vector<uint8_t>& numbers) {
  std::lock_guard lock(memoryMutex_);
  std::copy_n(numbers.begin(), std::min(numbers.size(), memory_.Numbers.size()), memory_.Numbers.begin());
  SaveLocked();
}

TNumberRecord TVirtualDevice::NumberRecord(int index) const {
  std::lock_guard lock(memoryMutex_);
  return memory_.NumberRecord(index);
}

void TVirtualDevice::SetNumberRecord(int index, const TNumberRecord& record) {
  std::lock_guard lock(memoryMutex_);
  memory_.SetNumberRecord(index, record);
  SaveLocked();
}

std::vector<uint8_t> TVirtualDevice::History() const {
  std::lock_guard lock(memoryMutex_);
  return memory_.History;
}

void TVirtualDevice::SetHistory(const std::vector<uint8_t>& history) {
  std::lock_guard lock(memoryMutex_);
  std::copy_n(history.begin(), std::min(history.size(), memory_.History.size()), memory_.History.begin());
  SaveLocked();
}

THistoryRecord TVirtualDevice::HistoryRecord(int index) const {
  std::lock_guard lock(memoryMutex_);
  return memory_.HistoryRecord(index);
}

void TVirtualDevice::SetHistoryRecord(int index, const THistoryRecord& record) {
  std::lock_guard lock(memoryMutex_);
  memory_.SetHistoryRecord(index, record);
  SaveLocked();
}

TDateTime TVirtualDevice::Clock() const {
  std::lock_guard lock(memoryMutex_);
  return memory_.Clock;
}

void TVirtualDevice::SetClock(const TDateTime& clock) {
  std::lock_guard lock(memoryMutex_);
  memory_.Clock = clock;
  SaveLocked();
}

void TVirtualDevice::Populate(int numbers, int history, uint32_t seed) {
  std::lock_guard lock(memoryMutex_);
  device::Populate(memory_, numbers, history, seed);
  SaveLocked();
}

void TVirtualDevice::ResetToFactory() {
  SetMemory(TDeviceMemory::Factory());
}

void TVirtualDevice::AddFault(const TFault& fault) {
  std::lock_guard lock(memoryMutex_);
  faults_.push_back({fault, 0});
}

void TVirtualDevice::ClearFaults() {
  std::lock_guard lock(memoryMutex_);
  faults_.clear();
}

TDeviceCounters TVirtualDevice::Counters() const {
  std::lock_guard lock(counterMutex_);
  return counters_;
}

bool TVirtualDevice::WaitFor(const std::function<bool(const TDeviceCounters&)>& done,
                             std::chrono::milliseconds timeout) const {
  std::unique_lock lock(counterMutex_);
  return counterCv_.wait_for(lock, timeout, [&] { return done(counters_); });
}

bool TVirtualDevice::WaitForHandled(uint64_t frames, std::chrono::milliseconds timeout) const {
  return WaitFor([frames](const TDeviceCounters& c) { return c.Handled >= frames; }, timeout);
}

}  // namespace torvane::device
