// SPDX-License-Identifier: GPL-3.0-or-later
// The platform-free half of TComm: the property setters, and what the back ends' workers share
// (comm_internal.h). Each line-setting setter stores a changed value and re-applies the line settings
// while the port is open; each time-out setter does the same for the time-outs. The platform back end
// (comm_posix.cpp, comm_win32.cpp) supplies the rest.
#include "serial/comm.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>
#include <string>

#include "serial/comm_internal.h"

namespace torvane {

namespace {
template <typename T>
bool Store(T& field, T value) {
  if (field == value) return false;
  field = value;
  return true;
}
}  // namespace

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
#define TORVANE_TIMEOUT_SETTER(Name, field, Type) \
  void TComm::Set##Name(Type v) {                 \
    const Type before = field;                    \
    if (!Store(field, v) || !PortOpen()) return;  \
    try {                                         \
      ApplyTimeouts();                            \
    } catch (...) {                               \
      field = before;                             \
      throw;                                      \
    }                                             \
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

namespace comm_detail {

bool TPoster::Data(std::vector<uint8_t> block, uint16_t n) const {
  return Post([block = std::move(block), n](TComm& c) {
    if (c.OnReceiveData) c.OnReceiveData(c, reinterpret_cast<const char*>(block.data()), n);
  });
}

bool TPoster::Error(uint32_t flags) const {
  return Post([flags](TComm& c) {
    if (c.OnReceiveError) c.OnReceiveError(c, flags);
  });
}

bool TPoster::Hangup() const {
  return Post([](TComm& c) {
    if (c.OnRequestHangup) c.OnRequestHangup(c);
  });
}

bool TPoster::Modem(uint32_t value) const {
  return Post([value](TComm& c) {
    if (c.OnModemStateChange) c.OnModemStateChange(c, value);
  });
}

bool TPoster::Empty() const {
  return Post([](TComm& c) {
    if (c.OnSendDataEmpty) c.OnSendDataEmpty(c);
  });
}

bool TWriteQueue::Push(const uint8_t* bytes, size_t count) {
  std::lock_guard<std::mutex> lock(Lock);
  if (Ended) return false;  // the worker ended on an error: the post fails
  try {
    Blocks.emplace_back(bytes, bytes + count);
  } catch (const std::bad_alloc&) {
    return false;
  }
  Idle = false;
  return true;
}

void TWriteQueue::End() {
  std::lock_guard<std::mutex> lock(Lock);
  Idle = true;
  Ended = true;
  Blocks.clear();
}

namespace {
constexpr int kQuietMs = 3;
constexpr std::chrono::nanoseconds kBurst = std::chrono::milliseconds(1);
constexpr std::chrono::nanoseconds kMargin = std::chrono::microseconds(250);
constexpr std::chrono::nanoseconds kLongestSleep = std::chrono::milliseconds(50);
}  // namespace

TReadBlocks::TReadBlocks(TPoster poster, uint16_t inputLen, TComm::TReadAhead readAhead, uint32_t baudRate,
                         const TLiveSettings& live)
    : poster_(std::move(poster)),
      inputLen_(inputLen),
      readAhead_(std::move(readAhead)),
      // Ten bits a byte: start, eight data bits, stop.
      byteTime_(10'000'000'000LL / (baudRate > 0 ? baudRate : 9600)),
      live_(live),
      requestStart_(Clock::now()),
      lastByte_(requestStart_) {
  pending_.reserve(inputLen_);
}

bool TReadBlocks::Deliver() {
  const auto n = static_cast<uint16_t>(pending_.size());
  bool ok;
  try {
    std::vector<uint8_t> block(n + 1, 0);
    std::memcpy(block.data(), pending_.data(), n);
    ok = poster_.Data(std::move(block), n);
  } catch (const std::bad_alloc&) {
    ok = false;
  }
  pending_.clear();
  requestStart_ = Clock::now();
  if (!ok) poster_.Hangup();
  return ok;
}

// Milliseconds the wait may last before a time-out of the current request falls due (-1: none).
int TReadBlocks::NextTimeout(Clock::time_point now, bool& intervalDue, bool& totalDue) const {
  intervalDue = totalDue = false;
  int64_t best = -1;
  auto consider = [&](Clock::time_point at, bool& due) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(at - now).count();
    if (ms <= 0) due = true;
    const int64_t wait = ms < 0 ? 0 : ms;
    if (best < 0 || wait < best) best = wait;
  };
  const uint32_t interval = live_.ReadInterval.load(std::memory_order_relaxed);
  const uint32_t mult = live_.ReadMultiplier.load(std::memory_order_relaxed);
  const uint32_t constant = live_.ReadConstant.load(std::memory_order_relaxed);
  // Windows: an interval of MAXDWORD with both totals 0 returns what has arrived at once.
  if (!pending_.empty() && interval == UINT32_MAX && mult == 0 && constant == 0) {
    intervalDue = true;
    return 0;
  }
  if (!pending_.empty() && interval != 0 && interval != UINT32_MAX)
    consider(lastByte_ + std::chrono::milliseconds(interval), intervalDue);
  if (mult != 0 || constant != 0) {
    const uint64_t total = uint64_t(mult) * inputLen_ + constant;
    consider(requestStart_ + std::chrono::milliseconds(total), totalDue);
  }
  return best > INT_MAX ? INT_MAX : static_cast<int>(best);
}

bool TReadBlocks::BeforeWait(int& waitMs) {
  for (;;) {
    if (gathering_) {
      waitMs = kQuietMs;
      return true;
    }
    bool intervalDue, totalDue;
    waitMs = NextTimeout(Clock::now(), intervalDue, totalDue);
    if (!intervalDue && !totalDue) return true;
    // A request that times out empty is simply started again (the original ended its worker on an
    // empty completion, which a total time-out would make on any quiet line).
    if (!pending_.empty()) {
      if (!Deliver()) return false;
    } else {
      requestStart_ = Clock::now();
    }
  }
}

bool TReadBlocks::Arrived(const uint8_t* bytes, size_t count) {
  gathering_ = false;
  const bool ignoreNull = live_.IgnoreNull.load(std::memory_order_relaxed);
  for (size_t i = 0; i < count; ++i) {
    if (ignoreNull && bytes[i] == 0) continue;
    pending_.push_back(bytes[i]);
    if (pending_.size() >= inputLen_ && !Deliver()) return false;
  }
  lastByte_ = Clock::now();
  return true;
}

std::chrono::nanoseconds TReadBlocks::ReadAheadSleep() {
  if (!readAhead_ || pending_.empty()) return {};
  const size_t need = readAhead_(pending_.data(), pending_.size());
  if (need == 0) return {};
  gathering_ = true;
  // The rest of the block is still on the wire. A long rest is slept through, to a moment after its
  // last byte is due (the workers wake a little before that and take the last of it as it comes); a
  // short one (a burst or two) is simply waited for.
  const auto rest = byteTime_ * static_cast<int64_t>(need);
  if (rest <= 2 * kBurst) return {};
  return std::min(rest + kMargin, kLongestSleep);
}

void TReadBlocks::Flush() {
  if (!pending_.empty()) Deliver();
}

}  // namespace comm_detail

}  // namespace torvane
