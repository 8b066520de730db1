// SPDX-License-Identifier: GPL-3.0-or-later
// torvane-bench-e2e --device PATH [--baud B]
// torvane-bench-e2e --port PATH   (a device already serving there, populated: a real one or
//                                  torvane-device --populate numbers=3000,history=1000)
//
// Every transfer of the program, end to end, with no window: the real session and the real serial
// component on one side of a pseudo-terminal, the virtual device as a separate process on the other.
// The main loop plays the window's part: it delivers what the serial workers post, runs the timers
// in real time and answers every question yes. For each transfer it prints the time it took, the
// time its bytes need on a 115200 8N1 wire (10 bits a byte) and the ratio of the two, and the CPU
// time this process (the configurator's side: main thread and serial workers) spent on it. The last
// line gives the peak resident memory after reading everything. Output: one JSON object per line.
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "bench/device_process.h"
#include "protocol/frame.h"
#include "serial/comm.h"
#include "session/port_check.h"
#include "session/session.h"

namespace torvane::bench {
namespace {

using TSteady = std::chrono::steady_clock;

constexpr double kWireBaud = 115200;
constexpr int kShortRuns = 5;

double CpuSeconds() {
  rusage u{};
  ::getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// The session's port: the serial component, with a count of what goes out and of the time the
// logic takes from the last byte of a reply to the next request.
class TCountingPort : public ISendPort {
 public:
  explicit TCountingPort(TComm& comm) : comm_(comm) {}
  uint64_t Bytes = 0;
  TSteady::time_point LastDelivery{};
  bool Delivered = false;
  double TurnaroundSum = 0;
  uint64_t Turnarounds = 0;
  bool SendBytes(const uint8_t* bytes, uint16_t count) override {
    if (Delivered) {
      TurnaroundSum += std::chrono::duration<double>(TSteady::now() - LastDelivery).count();
      ++Turnarounds;
      Delivered = false;
    }
    Bytes += count;
    return comm_.SendBytes(bytes, count);
  }

 private:
  TComm& comm_;
};

struct TResult {
  std::string Name;
  bool Ok = false;
  std::string Problem;
  double Elapsed = 0, Cpu = 0;
  uint64_t Bytes = 0;
  uint64_t Exchanges = 0;
  double Turnaround = 0;  // mean seconds from a reply's last byte on the main thread to the next request
};

class TRun {
 public:
  TRun() : Comm(Target), Port(Comm) {
    Comm.OnReceiveData = [this](TComm&, const char* buffer, uint16_t length) {
      Received += length;
      Port.LastDelivery = TSteady::now();
      Port.Delivered = true;
      Session->cm1ReceiveData(reinterpret_cast<const uint8_t*>(buffer), length);
    };
    Session = std::make_unique<TSession>(TSessionInterfaces{Port, Operator, StatusView, Timers, Clock});
  }
  ~TRun() {
    Session.reset();
    Comm.ClosePort();
  }

  bool Open(const std::string& path, std::string& problem) {
    Comm.SetCommName(path);
    // As the window and torvane have it.
    PrepareForDevice(Comm);
    try {
      Comm.OpenPort();
    } catch (const ECommsError& e) {
      problem = std::string(e.what()) + " " + Comm.PortOpenError();
      return false;
    }
    return Comm.PortOpen();
  }

  // Runs one transfer from the button's call until its exchange is over, as the window would: what
  // the workers post is delivered on this thread, and the timers follow the real clock, so a reply
  // timer fires only after three real seconds without a reply.
  TResult Measure(const std::string& name, const std::function<void()>& start, int timeoutMs = 60000) {
    TResult r;
    r.Name = name;
    const int errors = Operator.ErrorCount;
    const int messages = Operator.MessageCount;
    const uint64_t sent0 = Port.Bytes, received0 = Received;
    const uint64_t requests0 = Sends();
    const double turnSum0 = Port.TurnaroundSum;
    const uint64_t turns0 = Port.Turnarounds;
    const double cpu0 = CpuSeconds();
    const auto t0 = TSteady::now();
    auto ticked = t0;
    start();
    while (Session->Exchange.Busy()) {
      Target.WaitAndPump(5);
      const auto now = TSteady::now();
      const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now - ticked).count();
      if (ms > 0) {
        ticked += std::chrono::milliseconds(ms);
        Timers.Advance(ms);
      }
      if (now - t0 > std::chrono::milliseconds(timeoutMs)) {
        r.Problem = "no end after " + std::to_string(timeoutMs / 1000) + " s";
        break;
      }
    }
    r.Elapsed = std::chrono::duration<double>(TSteady::now() - t0).count();
    r.Cpu = CpuSeconds() - cpu0;
    r.Bytes = (Port.Bytes - sent0) + (Received - received0);
    r.Exchanges = Sends() - requests0;
    if (Port.Turnarounds > turns0)
      r.Turnaround = (Port.TurnaroundSum - turnSum0) / (Port.Turnarounds - turns0);
    if (r.Problem.empty() && Operator.ErrorCount != errors) r.Problem = Operator.LastError;
    if (r.Problem.empty() && Operator.LastMessage.find("rror") != std::string::npos &&
        Operator.MessageCount != messages)
      r.Problem = Operator.LastMessage;
    r.Ok = r.Problem.empty();
    return r;
  }

  uint64_t Sends() const { return Session->Exchange.SendCount(); }

  TYesOperator Operator;
  TLatestStatusView StatusView;
  TManualClock Timers;
  TFixedClock Clock{{2026, 12, 7, 18, 30, 5}};
  TQueueNotifyTarget Target;
  TComm Comm;
  TCountingPort Port;
  uint64_t Received = 0;
  std::unique_ptr<TSession> Session;
};

std::string Json(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    if (static_cast<unsigned char>(c) < 0x20) continue;
    out += c;
  }
  return out + "\"";
}

void Print(const TResult& r, const std::string& mode, bool expectOk, uint64_t expectedExchanges,
           const std::string& check, int runs) {
  const double floor = static_cast<double>(r.Bytes) * 10.0 / kWireBaud;
  std::string problem = r.Problem;
  if (problem.empty() && r.Exchanges != expectedExchanges)
    problem = std::to_string(r.Exchanges) + " requests instead of " + std::to_string(expectedExchanges);
  if (problem.empty() && !check.empty()) problem = check;
  std::printf(
      "{\"mode\": %s, \"transfer\": %s, \"ok\": %s, \"problem\": %s, \"elapsed_s\": %.4f, \"floor_s\": %.4f, "
      "\"ratio\": %.4f, \"cpu_s\": %.4f, \"bytes\": %llu, \"requests\": %llu, \"turnaround_us\": %.1f, "
      "\"runs\": %d}\n",
      Json(mode).c_str(), Json(r.Name).c_str(), expectOk && problem.empty() ? "true" : "false",
      Json(problem).c_str(), r.Elapsed, floor, floor > 0 ? r.Elapsed / floor : 0.0, r.Cpu,
      static_cast<unsigned long long>(r.Bytes), static_cast<unsigned long long>(r.Exchanges),
      r.Turnaround * 1e6, runs);
  std::fflush(stdout);
}

// Reads `pages` pages from `base` with a blocking loop on the raw port.
TResult BareRead(const std::string& port, const std::string& name, int32_t base, int pages) {
  TResult r;
  r.Name = name;
  const int fd = ::open(port.c_str(), O_RDWR | O_NOCTTY);
  termios tio{};
  if (fd < 0 || ::tcgetattr(fd, &tio) != 0) {
    r.Problem = "cannot open " + port;
    if (fd >= 0) ::close(fd);
    return r;
  }
  ::cfmakeraw(&tio);
  ::cfsetspeed(&tio, B115200);
  tio.c_cc[VMIN] = 1;
  tio.c_cc[VTIME] = 0;
  ::tcsetattr(fd, TCSANOW, &tio);
  const double cpu0 = CpuSeconds();
  const auto t0 = TSteady::now();
  std::vector<uint8_t> reply(265);
  for (int page = 1; page <= pages && r.Problem.empty(); ++page) {
    TDataPackage request;
    request.SetCommand(CMD_READ);
    request.SetAddress(base + (page - 1) * kPageSpan);
    request.SetLength(0);
    request.BuildFrame();
    if (::write(fd, request.Frame.data(), request.FrameLength) != request.FrameLength)
      r.Problem = "write failed";
    r.Bytes += request.FrameLength;
    for (size_t got = 0; got < reply.size() && r.Problem.empty();) {
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, 3000) <= 0) {
        r.Problem = "no reply to page " + std::to_string(page);
        break;
      }
      const ssize_t n = ::read(fd, reply.data() + got, reply.size() - got);
      if (n <= 0) r.Problem = "read failed";
      got += n > 0 ? static_cast<size_t>(n) : 0;
    }
    r.Bytes += reply.size();
    ++r.Exchanges;
  }
  r.Elapsed = std::chrono::duration<double>(TSteady::now() - t0).count();
  r.Cpu = CpuSeconds() - cpu0;
  r.Ok = r.Problem.empty();
  ::close(fd);
  return r;
}

int Usage() {
  std::fprintf(stderr,
               "usage: torvane-bench-e2e --device PATH-TO-torvane-device [--baud B]\n"
               "       torvane-bench-e2e --port PORT-OF-A-POPULATED-DEVICE\n");
  return 2;
}

int Main(int argc, char** argv) {
  std::string deviceProgram, port;
  long baud = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--device" && i + 1 < argc) {
      deviceProgram = argv[++i];
    } else if (a == "--port" && i + 1 < argc) {
      port = argv[++i];
    } else if (a == "--baud" && i + 1 < argc) {
      baud = std::strtol(argv[++i], nullptr, 10);
    } else {
      return Usage();
    }
  }
  if (deviceProgram.empty() == port.empty()) return Usage();
  const std::string mode = !port.empty() ? "port" : baud > 0 ? "paced " + std::to_string(baud) : "unpaced";

  TDeviceProcess device;
  if (port.empty()) {
    std::vector<std::string> args{"--populate", "numbers=3000,history=1000"};
    if (baud > 0) {
      args.push_back("--baud");
      args.push_back(std::to_string(baud));
    }
    if (!device.Start(deviceProgram, args)) {
      std::fprintf(stderr, "torvane-bench-e2e: %s\n", device.Error().c_str());
      return 1;
    }
    port = device.PortPath();
  }

  TRun run;
  std::string problem;
  if (!run.Open(port, problem)) {
    std::fprintf(stderr, "torvane-bench-e2e: cannot open %s: %s\n", port.c_str(), problem.c_str());
    return 1;
  }
  TSession& s = *run.Session;

  const TResult login = run.Measure("login", [&] { s.Login.BeginLogin(); });
  if (!login.Ok || !s.Unlocked()) {
    std::fprintf(stderr, "torvane-bench-e2e: login failed: %s %s\n", login.Problem.c_str(),
                 run.Operator.LastMessage.c_str());
    return 1;
  }
  auto expectMessage = [&](const std::string& text) {
    return run.Operator.LastMessage == text ? std::string()
                                            : "ended with \"" + run.Operator.LastMessage + "\"";
  };

  int failures = 0;
  auto report = [&](const TResult& r, uint64_t exchanges, const std::string& check, int runs = 1) {
    Print(r, mode, r.Ok, exchanges, check, runs);
    failures += !(r.Ok && r.Exchanges == exchanges && check.empty());
  };
  // The settings take three exchanges, a fraction of a second: one late wake-up of any thread on the
  // machine would be most of the figure, so they are run several times and the median is shown.
  auto median = [&](const std::string& name, const std::function<void()>& start, const std::string& done,
                    uint64_t exchanges) {
    std::vector<TResult> runs;
    std::string check;
    for (int i = 0; i < kShortRuns; ++i) {
      runs.push_back(run.Measure(name, start));
      if (check.empty()) check = expectMessage(done);
      if (!runs.back().Ok) {
        report(runs.back(), exchanges, check);
        return;
      }
    }
    std::sort(runs.begin(), runs.end(),
              [](const TResult& a, const TResult& b) { return a.Elapsed < b.Elapsed; });
    report(runs[runs.size() / 2], exchanges, check, kShortRuns);
  };

  median(
      "settings read", [&] { s.Settings.StartRead(); }, "Basic settings read to PC software success.", 3);
  // The safe save of one parameter: the three pages read first (the backup), the changed page written
  // and read back.
  median(
      "settings save, one parameter changed",
      [&] {
        static int heartbeat = 60;
        s.SettingsGrid.SetCell(1, 23, std::to_string(++heartbeat));
        s.Settings.StartSave();
      },
      "Basic setting saved success", 5);
  // Every page written, as the program always did, without reading back; the three pages are still
  // read first, as before every settings save.
  const TSaveOptions safe = s.SaveOptions();
  s.SetSaveOptions({.WriteAllPages = true, .Verify = false});
  median(
      "settings save, every page", [&] { s.Settings.StartSave(); }, "Basic setting saved success", 6);

  TResult r;

  r = run.Measure("number list read", [&] { s.Numbers.StartRead(); });
  std::string check = expectMessage("Authorized number list read to PC software success.");
  int numbers = 0;
  for (int row = 1; row <= 3000; ++row) numbers += !s.NumberGrid.Cell(1, row).empty();
  if (check.empty() && numbers != 3000) check = std::to_string(numbers) + " numbers read instead of 3000";
  report(r, 375, check);

  // The device's pages were just read: the probe of them, then all 375 pages.
  r = run.Measure("number list save, every page", [&] { s.Numbers.StartSave(); });
  report(r, s.Numbers.ProbeAddresses().size() + 375, expectMessage("Authorized number list saved success"));

  // The safe save: the probe of the remembered pages, then only the pages that differ, each read back.
  s.SetSaveOptions(safe);
  r = run.Measure("number list read", [&] { s.Numbers.StartRead(); });  // the device's pages known again
  s.NumberGrid.SetCell(1, 1234, "+4930555123456");
  r = run.Measure("safe save, one number changed, pages known", [&] { s.Numbers.StartSave(); });
  report(r, s.Numbers.ProbeAddresses().size() + 2, expectMessage("Authorized number list saved success"));

  s.ForgetDevice();
  for (int row = 1; row <= 3000; ++row)
    s.NumberGrid.SetCell(1, row, "+86139" + std::to_string(10000000 + row));
  r = run.Measure("safe save, every page changed, nothing known", [&] { s.Numbers.StartSave(); });
  report(r, 3 * 375, expectMessage("Authorized number list saved success"));

  r = run.Measure("history read", [&] { s.History.StartRead(); });
  int events = 0;
  for (int row = 1; row <= 1000; ++row) events += !s.HistoryGrid.Cell(1, row).empty();
  report(r, 500, events == 1000 ? "" : std::to_string(events) + " events read instead of 1000");

  // The trace is always kept in memory (every figure above has it); written to a file as it happens
  // too, as --trace FILE does, it must cost nothing that shows.
  {
    char name[] = "/tmp/torvane-bench-trace-XXXXXX";
    const int fd = ::mkstemp(name);
    FILE* traceFile = fd >= 0 ? ::fdopen(fd, "w") : nullptr;
    if (traceFile) {
      s.Trace.OnLine = [traceFile](const std::string& line) {
        std::fputs(line.c_str(), traceFile);
        std::fputc('\n', traceFile);
        std::fflush(traceFile);
      };
      r = run.Measure("number list read, trace to a file", [&] { s.Numbers.StartRead(); });
      report(r, 375, expectMessage("Authorized number list read to PC software success."));
      s.Trace.OnLine = nullptr;
      std::fclose(traceFile);
      ::unlink(name);
    }
  }

  std::printf("{\"mode\": %s, \"peak_rss_kb\": %lld, \"events\": %d, \"numbers\": %d}\n", Json(mode).c_str(),
              static_cast<long long>(PeakResidentKb()), events, numbers);
  std::fflush(stdout);

  // The same reads once more by the shortest road there is: one thread, blocking reads and writes on
  // the port, no dispatcher, no grid. What that loses to the wire floor belongs to the pseudo-terminal
  // and the device; only the rest is the program's.
  // A factory-fresh device and a list of 200 numbers imported into a window that has read nothing.
  if (!deviceProgram.empty()) {
    TDeviceProcess fresh;
    std::vector<std::string> args;
    if (baud > 0) args = {"--baud", std::to_string(baud)};
    if (!fresh.Start(deviceProgram, args)) {
      std::fprintf(stderr, "torvane-bench-e2e: %s\n", fresh.Error().c_str());
      return 1;
    }
    TRun second;
    if (!second.Open(fresh.PortPath(), problem)) {
      std::fprintf(stderr, "torvane-bench-e2e: cannot open %s: %s\n", fresh.PortPath().c_str(),
                   problem.c_str());
      return 1;
    }
    TSession& t = *second.Session;
    second.Measure("login", [&] { t.Login.BeginLogin(); });
    for (int row = 1; row <= 200; ++row) {
      t.NumberGrid.SetCell(1, row, "+4930" + std::to_string(7000000 + row));
      t.NumberGrid.SetCell(6, row, "yes");
    }
    const TResult imported =
        second.Measure("safe save, 200 imported onto a fresh device", [&] { t.Numbers.StartSave(); });
    const std::string done = second.Operator.LastMessage == "Authorized number list saved success"
                                 ? std::string()
                                 : "ended with \"" + second.Operator.LastMessage + "\"";
    report(imported, 375 + 25 + 25, done);
  }

  run.Comm.ClosePort();
  const TResult bareNumbers = BareRead(port, "bare number list read", kNumbersBase, 375);
  Print(bareNumbers, mode, bareNumbers.Ok, 375, "", 1);
  const TResult bareHistory = BareRead(port, "bare history read", kHistoryBase, 500);
  Print(bareHistory, mode, bareHistory.Ok, 500, "", 1);
  return failures == 0 && bareNumbers.Ok && bareHistory.Ok ? 0 : 1;
}

}  // namespace
}  // namespace torvane::bench

int main(int argc, char** argv) {
  return torvane::bench::Main(argc, argv);
}
