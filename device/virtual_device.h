// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// TVirtualDevice: the controller on a pseudo-terminal. Start() opens a pty of its own, sets it raw
// and serves the protocol on a thread of its own until Stop(); the PC side opens PortPath() like any
// serial device. Memory can be set before or while serving and copied out at any time.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "device/device_memory.h"
#include "device/fault.h"

namespace torvane::device {

struct TDeviceOptions {
  // UART pacing: 10 bits per byte each way; 0 answers at full speed.
  uint32_t Baud = 0;
  // Turnaround between taking a request and the first byte of its reply.
  int LatencyMs = 0;
  // Seeds the stray bytes of the noise fault.
  uint32_t Seed = 1;
  // When set: loaded at Start() if it exists, saved after every change to memory.
  std::string StateFile;
  // When set: a symbolic link to the port, made at Start() and removed at Stop().
  std::string LinkPath;
  // Receives one line per frame in and out (time stamp, direction, hexadecimal bytes) and one per
  // fault fired or frame dropped. Called on the device's thread.
  std::function<void(const std::string&)> Trace;
};

struct TDeviceCounters {
  uint64_t Received = 0;  // complete frames taken off the line, good or bad
  uint64_t Answered = 0;  // requests that got a reply (a duplicated reply counts once)
  uint64_t Handled = 0;   // frames the device has finished with, whatever became of them
  uint64_t Faults = 0;    // faults fired
};

class TVirtualDevice {
 public:
  explicit TVirtualDevice(TDeviceOptions options = {});
  ~TVirtualDevice();
  TVirtualDevice(const TVirtualDevice&) = delete;
  TVirtualDevice& operator=(const TVirtualDevice&) = delete;

  // False with Error() set when the pty or the state file cannot be had.
  bool Start();
  // Safe to call at any time, also while the PC side keeps its port open or after a hang-up.
  void Stop();
  bool Running() const;
  // True once a hang-up fault has closed the port.
  bool HungUp() const { return hungUp_; }
  const std::string& PortPath() const { return portPath_; }
  const std::string& Error() const { return error_; }

  // ---- memory (thread-safe) ----
  TDeviceMemory Memory() const;
  void SetMemory(const TDeviceMemory& memory);
  std::array<uint8_t, kSettingsSize> Settings() const;
  void SetSettings(const std::array<uint8_t, kSettingsSize>& settings);
  std::vector<uint8_t> Numbers() const;  // kNumberRecords x 32 bytes
  void SetNumbers(const std::vector<uint8_t>& numbers);
  TNumberRecord NumberRecord(int index) const;  // 0-based
  void SetNumberRecord(int index, const TNumberRecord& record);
  std::vector<uint8_t> History() const;  // kHistoryRecords x 128 bytes
  void SetHistory(const std::vector<uint8_t>& history);
  THistoryRecord HistoryRecord(int index) const;  // 0-based
  void SetHistoryRecord(int index, const THistoryRecord& record);
  TDateTime Clock() const;
  void SetClock(const TDateTime& clock);
  void Populate(int numbers, int history, uint32_t seed);
  void ResetToFactory();

  // ---- faults ----
  void AddFault(const TFault& fault);
  void ClearFaults();

  // ---- counters ----
  TDeviceCounters Counters() const;
  // Waits until the counters satisfy `done` or the time is up; true when satisfied.
  bool WaitFor(const std::function<bool(const TDeviceCounters&)>& done,
               std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;
  bool WaitForHandled(uint64_t frames, std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;

 private:
  struct TFaultState {
    TFault Fault;
    int Matches = 0;
  };

  void Serve();
  void TakeFrame(const std::vector<uint8_t>& frame, std::chrono::steady_clock::time_point firstByte);
  // When the request's last byte has crossed the wire; nothing when stopped before that.
  std::optional<std::chrono::steady_clock::time_point> WaitTillHeard(
      size_t frameBytes, std::chrono::steady_clock::time_point firstByte);
  // The fault this request fires, if any, once it has done to the device what it does there.
  std::optional<TFault> FireFault(uint8_t command, const TLocation& at);
  // Spoils the reply as the fault says; returns when the reply is due to leave.
  std::chrono::steady_clock::time_point SpoilReply(const TFault& fault, std::vector<uint8_t>& bytes,
                                                   std::chrono::steady_clock::time_point due);
  const TFault* MatchFault(uint8_t command, const TLocation& at);
  std::vector<uint8_t> Carry(uint8_t command, const TLocation& at, const uint8_t* payload, int length);
  // Byte i of the reply leaves at start + (i + 1) byte times when paced.
  void SendReply(const std::vector<uint8_t>& bytes, std::chrono::steady_clock::time_point start);
  bool SleepUntil(std::chrono::steady_clock::time_point t);
  void ClosePort();
  void SaveLocked();
  void TraceLine(const std::string& what, const uint8_t* bytes = nullptr, size_t count = 0);
  void Bump(uint64_t TDeviceCounters::*counter);

  TDeviceOptions options_;
  std::string portPath_;
  std::string error_;
  int master_ = -1;
  int slaveHold_ = -1;  // keeps the pty alive and raw while the PC side has it closed
  int wake_ = -1;
  std::thread thread_;
  std::atomic<bool> stopping_{false};
  std::atomic<bool> hungUp_{false};
  std::mutex sleepMutex_;
  std::condition_variable sleepCv_;

  mutable std::mutex memoryMutex_;
  TDeviceMemory memory_;
  std::vector<TFaultState> faults_;  // guarded by memoryMutex_
  uint32_t noiseState_ = 1;

  mutable std::mutex counterMutex_;
  mutable std::condition_variable counterCv_;
  TDeviceCounters counters_;
};

}  // namespace torvane::device
