// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What both back ends of TComm (comm_posix.cpp, comm_win32.cpp) share: the component's texts, the
// workers' way to the window thread, the write queue, and the read worker's cutting of what arrives
// into blocks (InputLen, the read time-outs, the frame read-ahead). A back end only waits, reads and
// writes; it decides nothing about blocks.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "serial/comm.h"

namespace torvane::comm_detail {

inline constexpr char kAlreadyOpened[] = "This serial port already opened";
inline constexpr char kErrorOpening[] = "Error opening serial port";
inline constexpr char kNotComm[] = "File handle is not a comm handle ";
inline constexpr char kNoCommBuffer[] = "Cannot setup comm buffer";
inline constexpr char kNoCommState[] = "Cannot setup comm state";
inline constexpr char kNoCommTimeouts[] = "Cannot setup comm timeouts";
inline constexpr char kBadBaudRate[] = "Unsupported baud rate";
inline constexpr char kNoEvent[] = "Unable to create event";
inline constexpr char kNoReadThread[] = "Unable to create read thread";
inline constexpr char kNoWriteThread[] = "Unable to create write thread";

// Line-error flags of 0x0402, as the Windows driver reports them (CE_*).
inline constexpr uint32_t kErrRxOver = 0x0001, kErrOverrun = 0x0002, kErrParity = 0x0004, kErrFrame = 0x0008,
                          kErrBreak = 0x0010;
// Modem events of 0x0404.
inline constexpr uint32_t kModemCarrier = 8, kModemRing = 4;
// How often a read worker looks at the driver's line state where no event tells it.
inline constexpr int kLinePollMs = 100;

using Clock = std::chrono::steady_clock;

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
  bool Data(std::vector<uint8_t> block, uint16_t n) const;
  bool Error(uint32_t flags) const;
  bool Hangup() const;
  bool Modem(uint32_t value) const;
  bool Empty() const;
};

// The write worker's message queue. `Idle` is SendQueueEmpty: cleared when a block is queued, set by
// the worker when it finds the queue empty and when it ends.
struct TWriteQueue {
  mutable std::mutex Lock;
  std::deque<std::vector<uint8_t>> Blocks;
  bool Idle = true;
  bool Ended = false;  // the worker is gone: nothing more can be posted to it

  bool IsIdle() const {
    std::lock_guard<std::mutex> lock(Lock);
    return Idle;
  }
  // Queues a copy; false when the worker is gone or there is no memory for it.
  bool Push(const uint8_t* bytes, size_t count);
  // Called by the worker as it ends: whatever waits is discarded.
  void End();
};

// Settings the read worker follows while it runs; the window thread may change them.
struct TLiveSettings {
  std::atomic<uint32_t> ReadInterval{0}, ReadMultiplier{0}, ReadConstant{0};
  std::atomic<bool> IgnoreNull{false};
};

// The read worker's bytes on their way to the window: split into blocks of InputLen, a short block
// ended by the read time-outs, a frame gathered whole by the read-ahead. The worker's loop is
//   BeforeWait -> wait for the line (at most the time it gives) -> Quiet, or Arrived and then a sleep
//   of ReadAheadSleep (watching the close event) -> again; Flush before it reports a hang-up.
class TReadBlocks {
 public:
  TReadBlocks(TPoster poster, uint16_t inputLen, TComm::TReadAhead readAhead, uint32_t baudRate,
              const TLiveSettings& live);

  // Delivers the block whose time-out fell due. `waitMs` is how long the next wait for the line may
  // last (-1: no limit). False when the target refused a delivery: the worker ends.
  bool BeforeWait(int& waitMs);
  // The wait ended with nothing new on the line.
  void Quiet() { gathering_ = false; }
  // Bytes came. False when the target refused a delivery: the worker ends.
  bool Arrived(const uint8_t* bytes, size_t count);
  // After Arrived: how long to sleep before looking at the line again, so that one look finds the
  // rest of the frame whole (zero: look at once).
  std::chrono::nanoseconds ReadAheadSleep();
  // The line went away: what has come goes out first.
  void Flush();
  const TPoster& Poster() const { return poster_; }

 private:
  bool Deliver();
  int NextTimeout(Clock::time_point now, bool& intervalDue, bool& totalDue) const;

  TPoster poster_;
  uint16_t inputLen_;
  TComm::TReadAhead readAhead_;
  std::chrono::nanoseconds byteTime_;
  const TLiveSettings& live_;
  std::vector<uint8_t> pending_;  // bytes of the block in progress (fewer than InputLen)
  Clock::time_point requestStart_, lastByte_;
  // A read-ahead wait just ended: nothing is delivered until the line has been quiet for a moment
  // (adapters and drivers hand bytes over in bursts about a millisecond apart).
  bool gathering_ = false;
};

// The write worker's loop on every platform. `io` is the platform's half:
//   bool WaitForWork()  waits until a block is queued (true) or the port closes or fails (false)
//   bool Write(block)   puts the block on the line whole; false ends the worker
// A failure of either posts the hang-up itself; a close ends quietly.
template <typename TIo>
void RunWriter(TWriteQueue& queue, const TPoster& poster, TIo& io) {
  bool reportEmpty = true;
  for (;;) {
    std::vector<uint8_t> block;
    bool got = false;
    {
      std::lock_guard<std::mutex> lock(queue.Lock);
      if (!queue.Blocks.empty()) {
        block = std::move(queue.Blocks.front());
        queue.Blocks.pop_front();
        got = true;
      } else {
        queue.Idle = true;
      }
    }
    if (!got) {
      if (reportEmpty) {
        if (!poster.Empty()) {
          poster.Hangup();
          break;
        }
        reportEmpty = false;
      }
      if (!io.WaitForWork()) break;
      continue;
    }
    if (!io.Write(block)) break;
    reportEmpty = true;
  }
  queue.End();
}

}  // namespace torvane::comm_detail
