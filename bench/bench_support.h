// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the benchmark programs share: an operator that says yes to everything and answers file
// dialogs from a queue, a status view that keeps only the latest text, a whole session on a port
// that swallows what is sent, and the sample contents a populated device holds, already in grids.
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/clock.h"
#include "core/operator.h"
#include "core/status.h"
#include "core/timer.h"
#include "device/device_memory.h"
#include "serial/send_port.h"
#include "session/session.h"

namespace torvane::bench {

// Confirms every question and remembers the last message and error, so a run can tell a finished
// transfer from a failed one without keeping a history that grows with every page.
class TYesOperator : public IOperator {
 public:
  std::string LastMessage, LastError;
  int MessageCount = 0, ErrorCount = 0;
  std::deque<std::string> Files;  // the answers of the next file dialogs; empty: cancelled

  void Message(const std::string& text) override {
    LastMessage = text;
    ++MessageCount;
  }
  void Error(const std::string& text) override {
    LastError = text;
    ++ErrorCount;
  }
  bool Confirm(const std::string&) override { return true; }
  bool WarnOkCancel(const std::string&) override { return true; }
  std::optional<std::string> ChooseOpenFile(const std::string&, const std::string&) override {
    return Next();
  }
  std::optional<std::string> ChooseSaveFile(const std::string&, const std::string&,
                                            const std::string&) override {
    return Next();
  }

 private:
  std::optional<std::string> Next() {
    if (Files.empty()) return std::nullopt;
    std::string f = Files.front();
    Files.pop_front();
    return f;
  }
};

class TLatestStatusView : public IStatusView {
 public:
  std::string Text;
  int Progress = 0;
  void SetStatusText(const std::string& t) override { Text = t; }
  void SetProgressVisible(bool) override {}
  void SetProgressPosition(int p) override { Progress = p; }
};

// Counts what is sent and keeps only the last block.
class TSinkPort : public ISendPort {
 public:
  uint64_t Blocks = 0, Bytes = 0;
  std::vector<uint8_t> Last;
  bool SendBytes(const uint8_t* bytes, uint16_t count) override {
    ++Blocks;
    Bytes += count;
    Last.assign(bytes, bytes + count);
    return true;
  }
};

// A session with nothing behind its interfaces: for timing the logic alone.
struct TSessionOnSink {
  TYesOperator Operator;
  TLatestStatusView StatusView;
  TSinkPort Port;
  TManualClock Timers;
  TFixedClock Clock{{2026, 12, 7, 18, 30, 5}};
  std::unique_ptr<TSession> Session =
      std::make_unique<TSession>(TSessionInterfaces{Port, Operator, StatusView, Timers, Clock});
};

// A reply frame as the device sends it.
std::vector<uint8_t> ReplyFrame(uint8_t command, uint32_t address, const uint8_t* payload, size_t length);

// The memory of a device populated like `torvane-device --populate numbers=3000,history=1000`.
const device::TDeviceMemory& PopulatedMemory();

// The reply `memory` gives to the request in `request` (a read or a page write).
std::vector<uint8_t> ReplyFrom(const device::TDeviceMemory& memory, const std::vector<uint8_t>& request);

// Answers every request of the transfer in progress from `memory`, handing each reply to the
// session's receive event one byte at a time, until the transfer is over.
void AnswerUntilIdle(TSessionOnSink& s, const device::TDeviceMemory& memory);

// Settings, number list and history of PopulatedMemory() read into the session's grids.
void ReadEverything(TSessionOnSink& s);

// A fresh directory under `base` (the system's temporary folder when empty), removed with
// everything in it at exit.
class TScratchDir {
 public:
  explicit TScratchDir(const std::string& base = {});
  ~TScratchDir();
  TScratchDir(const TScratchDir&) = delete;
  TScratchDir& operator=(const TScratchDir&) = delete;
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

// Peak and current resident memory of this process, in kilobytes (VmHWM, VmRSS).
int64_t PeakResidentKb();
int64_t ResidentKb();

}  // namespace torvane::bench
