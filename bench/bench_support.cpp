// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/bench_support.h"

#include <stdlib.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "protocol/frame.h"

namespace torvane::bench {

std::vector<uint8_t> ReplyFrame(uint8_t command, uint32_t address, const uint8_t* payload, size_t length) {
  TDataPackage p;
  p.SetCommand(command);
  p.SetAddress(static_cast<int32_t>(address));
  p.SetLength(static_cast<int32_t>(length));
  p.SetPayload(payload);
  p.BuildFrame();
  return {p.Frame.begin(), p.Frame.begin() + p.FrameLength};
}

const device::TDeviceMemory& PopulatedMemory() {
  static const device::TDeviceMemory memory = [] {
    device::TDeviceMemory m = device::TDeviceMemory::Factory();
    device::Populate(m, device::kNumberRecords, device::kHistoryRecords, 1);
    return m;
  }();
  return memory;
}

std::vector<uint8_t> ReplyFrom(const device::TDeviceMemory& memory, const std::vector<uint8_t>& request) {
  if (request.size() < 9 || request[0] != kFrameStart) throw std::logic_error("not a request frame");
  const uint8_t command = request[1];
  const uint32_t address =
      (uint32_t{request[2]} << 24) | (uint32_t{request[3]} << 16) | (uint32_t{request[4]} << 8) | request[5];
  if (command == CMD_READ) {
    const device::TLocation at = device::Locate(address);
    if (!at.PageStart()) throw std::logic_error("read outside the pages");
    return ReplyFrame(command, address, memory.At(at), device::kPageSize);
  }
  const uint8_t ok = 1;
  return ReplyFrame(command, address, &ok, 1);
}

void AnswerUntilIdle(TSessionOnSink& s, const device::TDeviceMemory& memory) {
  TSession& session = *s.Session;
  while (session.Exchange.Busy()) {
    const std::vector<uint8_t> reply = ReplyFrom(memory, s.Port.Last);
    for (uint8_t b : reply) session.cm1ReceiveData(&b, 1);
  }
}

void ReadEverything(TSessionOnSink& s) {
  const device::TDeviceMemory& memory = PopulatedMemory();
  s.Session->Settings.StartRead();
  AnswerUntilIdle(s, memory);
  s.Session->Numbers.StartRead();
  AnswerUntilIdle(s, memory);
  s.Session->History.StartRead();
  AnswerUntilIdle(s, memory);
  if (s.Operator.ErrorCount > 0) throw std::runtime_error("reading failed: " + s.Operator.LastError);
}

TScratchDir::TScratchDir(const std::string& base) {
  const std::filesystem::path folder =
      base.empty() ? std::filesystem::temp_directory_path() : std::filesystem::path(base);
  std::string pattern = (folder / "torvane-bench-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot make a scratch folder");
  path_ = pattern;
}

TScratchDir::~TScratchDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

namespace {
int64_t StatusKb(const char* key) {
  std::ifstream in("/proc/self/status");
  std::string line;
  const size_t n = std::strlen(key);
  while (std::getline(in, line))
    if (line.compare(0, n, key) == 0) return std::strtoll(line.c_str() + n, nullptr, 10);
  return -1;
}
}  // namespace

int64_t PeakResidentKb() {
  return StatusKb("VmHWM:");
}
int64_t ResidentKb() {
  return StatusKb("VmRSS:");
}

}  // namespace torvane::bench
