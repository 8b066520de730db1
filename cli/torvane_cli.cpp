// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/torvane_cli.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <system_error>

#include "cli/cli_args.h"
#include "cli/cli_output.h"
#include "cli/cli_texts.h"
#include "cli/console.h"
#include "cli/device_job.h"
#include "cli/stop_signals.h"
#include "cli/table_files.h"
#include "core/config_dir.h"
#include "core/environment.h"
#include "core/message.h"
#include "core/utf8_path.h"
#include "core/version.h"
#include "files/safe_file.h"
#include "numbers/number_merge.h"
#include "serial/comm.h"
#include "serial/port_list.h"
#include "session/event_loop.h"

namespace torvane::cli {

namespace {

// Stop requests (signals, Ctrl+C): the first ends each transfer after its page in flight; more of them
// in the moments after it are the same request (an impatient second Ctrl+C must not cut a page in
// half), and only one that comes a while later ends the run at once.
constexpr auto kSignalPatience = std::chrono::seconds(2);

std::string Env(const char* name) {
  return EnvironmentVariable(name);
}

// The window's backups folder: beside its configuration folder next to the program when the window
// keeps one there (or the copy is portable), otherwise in the user's data folder
// (~/.local/share/torvane-configurator/backups, %LOCALAPPDATA%\Torvane Configurator\backups).
std::string DefaultBackupDir() {
  return BackupDirBeside(FindConfigDir(ProgramFolder(), EnvironmentVariable));
}

std::string Seconds(double s) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.1f", s);
  return buf;
}

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

class TRun {
 public:
  explicit TRun(const TCliArgs& args) : args_(args), out_(args.Quiet, args.Json, StandardErrorIsTerminal()) {}

  int Go() {
    if (args_.Command == TCommand::Ports) return Ports();
    std::vector<std::string> ports = args_.Ports;
    if (ports.empty()) {
      const auto listed = Trecognitionserial(Root()).FillPortList();
      if (listed.size() != 1) {
        return Usage(listed.empty()
                         ? "no serial port is listed; name one with -p PORT"
                         : FillText(kCliSeveralPorts, {JoinFirst(listed, listed.size(), ", ", "")}));
      }
      ports = listed;
    }
    if (!OpenTrace()) return kExitUsage;
    options_.Password = args_.Password ? *args_.Password : Env("TORVANE_PASSWORD");
    if (!args_.Password && options_.Password.empty()) options_.Password = "6853";
    options_.Save.WriteAllPages = args_.AllPages;
    options_.Save.Verify = !args_.NoVerify;
    options_.BackupDir = args_.BackupDir.empty() ? DefaultBackupDir() : args_.BackupDir;
    options_.TraceSecrets = args_.TraceSecrets;
    out_.SetPortsNamed(ports.size() > 1);

    switch (args_.Command) {
      case TCommand::Read:
        return Read(ports[0]);
      case TCommand::Write:
        return Write(ports[0]);
      case TCommand::Verify:
      case TCommand::Diff:
        return Compare(ports[0]);
      case TCommand::SyncTime:
      case TCommand::DeleteHistory: {
        TDeviceJob& job = NewJob(ports[0]);
        job.AddLogin();
        if (args_.Command == TCommand::SyncTime)
          job.AddSyncTime();
        else
          job.AddDeleteHistory();
        return RunJobs();
      }
      case TCommand::Provision:
        return Provision(ports);
      default:
        return kExitUsage;
    }
  }

 private:
  static std::string Root() {
    const std::string root = Env("TORVANE_SYSTEM_ROOT");
    return root.empty() ? "/" : root;
  }

  int Usage(const std::string& why) {
    out_.Error("", "torvane: " + why);
    return kExitUsage;
  }

  int Ports() {
    for (const std::string& name : Trecognitionserial(Root()).FillPortList())
      if (!out_.Result(name, {{"port", name}, {"path", TComm::DevicePath(name)}})) return kExitTransfer;
    return kExitOk;
  }

  bool OpenTrace() {
    if (args_.Trace.empty()) return true;
    // A trace that shows the passwords is for its owner's eyes only.
    if (args_.TraceSecrets) {
      try {
        EnsurePrivateFile(args_.Trace);
      } catch (const EFileError& e) {
        out_.Error("", std::string("torvane: ") + e.what());
        return false;
      }
    }
    trace_.open(PathFromUtf8(args_.Trace), std::ios::out | std::ios::app);
    if (!trace_) {
      out_.Error("", "torvane: " + FillText(kCliTraceNotWritten, {args_.Trace, std::strerror(errno)}));
      return false;
    }
    return true;
  }

  TDeviceJob& NewJob(const std::string& port) {
    TJobOptions options = options_;
    if (trace_.is_open()) {
      const std::string prefix = args_.Ports.size() > 1 ? port + " " : "";
      // Line by line to the disk: a trace is wanted most when the run did not end well.
      options.TraceLine = [this, prefix](const std::string& line) { trace_ << prefix << line << std::endl; };
    }
    jobs_.push_back(std::make_unique<TDeviceJob>(loop_, out_, port, std::move(options)));
    TDeviceJob& job = *jobs_.back();
    job.OnFinished = [this](TDeviceJob& j) { Finished(j); };
    return job;
  }

  // A job that only holds a file's table, on no port.
  std::unique_ptr<TDeviceJob> FileJob() { return std::make_unique<TDeviceJob>(loop_, out_, "", options_); }

  void Finished(TDeviceJob& job) {
    if (!resultLines_) return;
    std::string notes;
    for (const std::string& n : job.Notes()) notes += "; " + n;
    // Which controller it was, as far as the login found out.
    const std::string& sim = job.Session().SimNumber;
    nlohmann::ordered_json result{
        {"port", job.Port()},          {"sim", sim},
        {"result", job.Result()},      {"status", job.Status()},
        {"pages", job.PagesWritten()}, {"seconds", std::round(job.Seconds() * 1000) / 1000},
        {"notes", job.Notes()}};
    if (merged_) {
      result["added"] = merged_->Added;
      result["updated"] = merged_->Updated;
      result["unchanged"] = merged_->Unchanged;
      result["not_placed"] = merged_->NotPlaced;
    }
    const std::string pages = std::to_string(job.PagesWritten()), seconds = Seconds(job.Seconds());
    out_.Result(sim.empty() ? FillText(kCliResult, {job.Port(), job.Result(), pages, seconds, notes})
                            : FillText(kCliResultSim, {job.Port(), job.Result(), pages, seconds, sim, notes}),
                result);
  }

  // Runs every job at once on the one loop until all have finished; the highest status.
  int RunJobs() {
    const TStopSignals signals(loop_);
    for (auto& job : jobs_) job->Start();
    int handled = 0;
    bool abandon = false;
    std::chrono::steady_clock::time_point stoppedAt{};
    loop_.Run([&] {
      if (const int requests = signals.Count(); requests != handled) {
        const auto now = std::chrono::steady_clock::now();
        if (handled == 0) {
          stoppedAt = now;
          for (auto& job : jobs_) job->Stop();
        } else if (now - stoppedAt >= kSignalPatience) {
          abandon = true;
        }
        handled = requests;
      }
      return abandon || std::all_of(jobs_.begin(), jobs_.end(), [](const auto& j) { return j->Finished(); });
    });
    out_.EndBars();
    int status = kExitOk;
    for (auto& job : jobs_) status = std::max(status, job->Finished() ? job->Status() : kExitTransfer);
    // The ports are closed here at the latest, whatever ended the run.
    jobs_.clear();
    return status;
  }

  // Says what reading or importing `file` came to: why it could not be read, why it was refused, or
  // how many rows were cleaned. False when nothing is to be done with it.
  bool Present(const TImportResult& result, const std::string& file) {
    switch (result.File) {
      case TImportResult::TFile::Unreadable:
        out_.Error("", result.FileError);
        return false;
      case TImportResult::TFile::Broken:
      case TImportResult::TFile::Cancelled:
        out_.Error("", file + ": " + result.FileError);
        return false;
      case TImportResult::TFile::Read:
        break;
    }
    if (!result.Refused.empty()) {
      out_.Error("", result.RefusalText);
      return false;
    }
    if (result.RowsCleaned > 0) out_.Info("", CleanedRowsText(result.RowsCleaned));
    return true;
  }

  bool KnownKind(TTable table, const std::string& file) {
    std::string why;
    if (FileKindOf(table, file, false, &why)) return true;
    out_.Error("", why);
    return false;
  }

  // The file is judged whole before any port is opened: a refused one sends nothing to any device.
  bool LoadFile(TDeviceJob& into, TTable table, const std::string& file) {
    if (!KnownKind(table, file) || !Present(LoadTable(into, table, file), file)) return false;
    return SaveChecksPass(into, table);
  }

  int Read(const std::string& port) {
    std::string why;
    if (!FileKindOf(args_.Table, args_.File, true, &why)) return Usage(why);
    resultLines_ = args_.File != "-";
    TDeviceJob& job = NewJob(port);
    job.AddLogin();
    job.AddRead(args_.Table);
    job.AddStep(
        [this, &job] { return SaveTable(job, args_.Table, args_.File, out_) ? kExitOk : kExitUsage; });
    return RunJobs();
  }

  int Write(const std::string& port) {
    if (args_.Merge) return Merge(port);
    auto file = FileJob();
    if (!LoadFile(*file, args_.Table, args_.File)) return kExitUsage;
    TDeviceJob& job = NewJob(port);
    CopyTable(file->Session(), job.Session(), args_.Table);
    job.AddLogin();
    job.AddSave(args_.Table);
    return RunJobs();
  }

  // The file is judged before any port is opened, as for a write; the device's own list is read
  // first, the file merged into it, and what changed saved as any list is.
  int Merge(const std::string& port) {
    auto file = std::make_unique<TNumberFile>();
    if (!KnownKind(TTable::Numbers, args_.File)) return kExitUsage;
    TImportResult read = ReadNumberListFile(args_.File, *file);
    std::vector<TNumberRowCheck> checks;
    if (read.File == TImportResult::TFile::Read) checks = CheckNumberFile(*file, read);
    if (!Present(read, args_.File)) return kExitUsage;
    TDeviceJob& job = NewJob(port);
    job.AddLogin();
    job.AddRead(TTable::Numbers);
    job.AddStep([this, &job, file = file.get(), &checks] {
      TGrid& grid = job.Session().NumberGrid;
      const TNumberMerge merge = MergeNumbers(grid, *file, checks);
      ApplyNumberMerge(grid, merge);
      merged_ = merge.Counts;
      out_.Info(job.Port(), NumberMergeSummary(merge.Counts));
      return SaveChecksPass(job, TTable::Numbers) ? kExitOk : kExitUsage;
    });
    job.AddSave(TTable::Numbers);
    return RunJobs();
  }

  int Compare(const std::string& port) {
    // The file's own values, not what loading them would make of them: one the device cannot keep is
    // a difference, not a refusal.
    auto file = std::make_unique<TFileValues>();
    if (!KnownKind(args_.Table, args_.File) ||
        !Present(ReadTableFile(args_.Table, args_.File, *file), args_.File))
      return kExitUsage;
    const bool diff = args_.Command == TCommand::Diff;
    resultLines_ = !diff;
    TDeviceJob& job = NewJob(port);
    job.AddLogin();
    job.AddRead(args_.Table);
    job.AddStep([this, &job, diff, file = file.get()] {
      const std::vector<TDifference> found = Differences(job.Session(), *file, args_.Table);
      if (diff)
        for (const TDifference& d : found)
          if (!out_.Result(DifferencePlain(d), DifferenceJson(d))) return kExitTransfer;
      if (found.empty()) return kExitOk;
      const bool settings = args_.Table == TTable::Settings;
      std::vector<int> keys;
      for (const TDifference& d : found) keys.push_back(d.Key);
      job.Complain(
          FillText(settings ? kCliParametersDiffer : kCliSerialsDiffer,
                   {std::to_string(found.size()), args_.File, JoinFirst(keys, 10, ", ", kCliMoreDiffer)}));
      return kExitDiffers;
    });
    const int status = RunJobs();
    return status;
  }

  int Provision(const std::vector<std::string>& ports) {
    auto settings = FileJob(), numbers = FileJob();
    if (!args_.SettingsFile.empty() && !LoadFile(*settings, TTable::Settings, args_.SettingsFile))
      return kExitUsage;
    if (!args_.NumbersFile.empty() && !LoadFile(*numbers, TTable::Numbers, args_.NumbersFile))
      return kExitUsage;
    if (!args_.Report.empty()) {
      // Refused now rather than after every device has been programmed.
      std::ofstream probe(PathFromUtf8(args_.Report), std::ios::app);
      if (!probe) return Usage(FillText(kCliReportNotWritten, {args_.Report, std::strerror(errno)}));
    }
    for (const std::string& port : ports) {
      TDeviceJob& job = NewJob(port);
      job.AddLogin();
      if (!args_.SettingsFile.empty()) {
        CopyTable(settings->Session(), job.Session(), TTable::Settings);
        job.AddSave(TTable::Settings);
      }
      if (!args_.NumbersFile.empty()) {
        CopyTable(numbers->Session(), job.Session(), TTable::Numbers);
        job.AddSave(TTable::Numbers);
      }
      if (args_.SyncTime) job.AddSyncTime();
    }
    // The rows in the order of the ports named, whatever order they finished in.
    std::vector<std::string> rows(jobs_.size());
    for (size_t i = 0; i < jobs_.size(); ++i) {
      jobs_[i]->OnFinished = [this, &rows, i](TDeviceJob& j) {
        Finished(j);
        std::string notes;
        for (const std::string& n : j.Notes()) notes += (notes.empty() ? "" : "; ") + n;
        rows[i] = CsvField(j.Port()) + "," + CsvField(j.Result()) + "," + std::to_string(j.Status()) + "," +
                  std::to_string(j.PagesWritten()) + "," + Seconds(j.Seconds()) + "," + CsvField(notes) +
                  "," + CsvField(j.Session().SimNumber) + "\r\n";
      };
    }
    const int status = RunJobs();
    if (!args_.Report.empty()) {
      // The sim column came last, after files that scripts already read.
      std::string csv = "port,result,status,pages,seconds,notes,sim\r\n";
      for (const std::string& r : rows) csv += r;
      try {
        WriteFileAtomically(args_.Report, csv);
      } catch (const EFileError& e) {
        out_.Error("", e.what());
        return std::max(status, kExitUsage);
      }
    }
    return status;
  }

  const TCliArgs& args_;
  TCliOutput out_;
  TEventLoop loop_;
  TJobOptions options_;
  std::ofstream trace_;
  std::vector<std::unique_ptr<TDeviceJob>> jobs_;
  bool resultLines_ = true;
  std::optional<TNumberMergeCounts> merged_;  // what a merge did, for its result line
};

}  // namespace

int Main(int argc, char** argv) {
  PrepareConsole();
  const std::vector<std::string> words = CommandLineWords(argc, argv);
  std::string error;
  const auto args = ParseArgs(words, &error);
  if (!args) {
    std::fprintf(stderr, "torvane: %s\nTry torvane --help.\n", error.c_str());
    return kExitUsage;
  }
  if (args->Help) {
    std::fputs((args->Command == TCommand::None ? HelpText() : CommandHelpText(args->Command)).c_str(),
               stdout);
    return kExitOk;
  }
  if (args->Version) {
    std::fputs(VersionText("torvane").c_str(), stdout);
    return kExitOk;
  }
  try {
    TRun run(*args);
    return run.Go();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "torvane: %s\n", e.what());
    return kExitTransfer;
  }
}

}  // namespace torvane::cli
