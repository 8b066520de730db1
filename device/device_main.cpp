// SPDX-License-Identifier: GPL-3.0-or-later
// torvane-device: the controller on a pseudo-terminal, for trying the configurator without hardware.
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/version.h"
#include "device/dump.h"
#include "device/fault.h"
#include "device/virtual_device.h"

using namespace torvane::device;

namespace {

const char* kUsage =
    "Usage: torvane-device [options]\n"
    "       torvane-device --dump FILE\n"
    "Serves a virtual GSM relay controller on a pseudo-terminal. The first line printed is the path of\n"
    "its port; it serves until SIGINT, SIGTERM or SIGHUP.\n"
    "\n"
    "Options:\n"
    "  --state FILE        load the memory from FILE at start (when it exists) and save it there after\n"
    "                      every change (written to a temporary file, then renamed)\n"
    "  --populate numbers=N,history=M\n"
    "                      fill N number records and M history records with sample contents\n"
    "                      (after loading --state); either part may be left out\n"
    "  --seed S            seed of the sample contents and of noise bytes (default 1)\n"
    "  --baud B            pace the bytes as a UART at B baud, 10 bits a byte, both ways\n"
    "                      (default 0: full speed)\n"
    "  --latency MS        wait MS milliseconds before each reply (default 0)\n"
    "  --fault FAULT       commit a fault on chosen requests; repeatable (syntax below)\n"
    "  --trace             print every frame in and out in hexadecimal, one line each, time-stamped\n"
    "  --link PATH         also make a symbolic link PATH to the port (removed at exit)\n"
    "  --dump FILE         print the state file FILE in readable form and exit\n"
    "  --help              print this text and exit\n"
    "  --version           print the version and exit\n"
    "\n";

bool ParseUnsigned(const char* text, long max, long& out) {
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || v < 0 || v > max) return false;
  out = v;
  return true;
}

bool ParsePopulate(const std::string& text, int& numbers, int& history) {
  size_t pos = 0;
  while (pos < text.size()) {
    size_t comma = text.find(',', pos);
    if (comma == std::string::npos) comma = text.size();
    const std::string item = text.substr(pos, comma - pos);
    pos = comma + 1;
    const size_t eq = item.find('=');
    long v = 0;
    if (eq == std::string::npos) return false;
    const std::string key = item.substr(0, eq);
    if (key == "numbers" && ParseUnsigned(item.c_str() + eq + 1, kNumberRecords, v)) {
      numbers = static_cast<int>(v);
    } else if (key == "history" && ParseUnsigned(item.c_str() + eq + 1, kHistoryRecords, v)) {
      history = static_cast<int>(v);
    } else {
      return false;
    }
  }
  return true;
}

int Fail(const std::string& text) {
  std::fprintf(stderr, "torvane-device: %s\n", text.c_str());
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  TDeviceOptions options;
  std::vector<TFault> faults;
  int numbers = -1, history = -1;
  bool trace = false;
  std::string dump;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
    long v = 0;
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      std::fputs(FaultSyntaxHelp(), stdout);
      return 0;
    } else if (arg == "--version") {
      std::fputs(torvane::VersionText("torvane-device").c_str(), stdout);
      return 0;
    } else if (arg == "--trace") {
      trace = true;
    } else if (arg == "--state" || arg == "--link" || arg == "--dump" || arg == "--populate" ||
               arg == "--fault" || arg == "--seed" || arg == "--baud" || arg == "--latency") {
      const char* text = value();
      if (!text) return Fail(arg + " needs a value");
      if (arg == "--state") {
        options.StateFile = text;
      } else if (arg == "--link") {
        options.LinkPath = text;
      } else if (arg == "--dump") {
        dump = text;
      } else if (arg == "--populate") {
        if (numbers < 0) numbers = 0;
        if (history < 0) history = 0;
        if (!ParsePopulate(text, numbers, history)) {
          return Fail("bad --populate \"" + std::string(text) + "\" (numbers=0..3000,history=0..1000)");
        }
      } else if (arg == "--fault") {
        std::string error;
        auto fault = ParseFault(text, &error);
        if (!fault) return Fail(error);
        faults.push_back(*fault);
      } else if (!ParseUnsigned(text, arg == "--latency" ? 600000 : 0xFFFFFFFFL, v)) {
        return Fail("bad value for " + arg + ": \"" + text + "\"");
      } else if (arg == "--seed") {
        options.Seed = static_cast<uint32_t>(v);
      } else if (arg == "--baud") {
        options.Baud = static_cast<uint32_t>(v);
      } else {
        options.LatencyMs = static_cast<int>(v);
      }
    } else {
      return Fail("unknown option \"" + arg + "\" (see --help)");
    }
  }

  if (!dump.empty()) {
    TDeviceMemory memory;
    std::string error;
    if (!LoadState(memory, dump, &error)) return Fail(error);
    for (const std::string& line : DescribeMemory(memory)) std::printf("%s\n", line.c_str());
    return 0;
  }

  // The device's thread inherits this mask, so the signals reach sigwait below and nowhere else. A
  // reader that goes away after the port line must not kill the device either.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  if (trace) {
    options.Trace = [](const std::string& line) {
      std::printf("%s\n", line.c_str());
      std::fflush(stdout);
    };
  }
  TVirtualDevice device(options);
  for (const TFault& f : faults) device.AddFault(f);
  if (!device.Start()) return Fail(device.Error());
  if (numbers >= 0) device.Populate(numbers, history, options.Seed);
  std::printf("%s\n", device.PortPath().c_str());
  std::fflush(stdout);

  int signal = 0;
  sigwait(&stopSignals, &signal);
  device.Stop();
  return 0;
}
