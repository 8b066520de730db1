// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One device's part of a torvane run: its port (TComm), its session and the steps it goes through
// (log in, read, save, set the clock, ...), one after the other, driven by the shared event loop. Every
// step starts what the window's button would start; the job learns of the end from the transfer's,
// the login's or the command's own end hooks (composed with whatever listened before) and goes on
// from the loop, never from inside a hook. The operator's boxes become messages, and its questions
// are answered yes: a command line is the operator's consent.
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/cli_args.h"
#include "cli/cli_output.h"
#include "core/clock.h"
#include "core/operator.h"
#include "core/status.h"
#include "protocol/paged_transfer.h"
#include "serial/comm.h"
#include "session/event_loop.h"
#include "session/session.h"

namespace torvane::cli {

struct TJobOptions {
  std::string Password = "6853";
  TSaveOptions Save;
  std::string BackupDir;  // empty: none kept
  bool TraceSecrets = false;
  std::function<void(const std::string& line)> TraceLine;  // every frame's trace line, when set
};

class TDeviceJob : private IOperator, private IStatusView {
 public:
  // `port` as the operator named it; empty for a job that only holds files.
  TDeviceJob(TEventLoop& loop, TCliOutput& out, std::string port, TJobOptions options);
  ~TDeviceJob() override;
  TDeviceJob(const TDeviceJob&) = delete;
  TDeviceJob& operator=(const TDeviceJob&) = delete;

  TSession& Session() { return *session_; }
  IOperator& Operator() { return *this; }
  const std::string& Port() const { return port_; }

  // ---- the steps, run in the order added once Start() has opened the port ----
  void AddLogin();
  void AddRead(TTable table);
  // The safe save of what the table's grid holds.
  void AddSave(TTable table);
  void AddSyncTime();
  void AddDeleteHistory();
  // Work of this program's own between transfers: returns an exit status, 0 to go on.
  void AddStep(std::function<int()> step);

  void Start();
  // A signal: the transfer running ends once its page in flight is answered, and nothing more starts.
  void Stop();

  bool Finished() const { return finished_; }
  int Status() const { return status_; }
  // "ok", or what ended the job (the last error shown).
  const std::string& Result() const { return result_; }
  int PagesWritten() const { return pagesWritten_; }
  double Seconds() const { return seconds_; }
  // What the operator should know of a result beyond it ("The device was not the one last read: it
  // was backed up first").
  const std::vector<std::string>& Notes() const { return notes_; }
  std::function<void(TDeviceJob&)> OnFinished;

  // What the file dialogs answer: the FILE of the command.
  std::string DialogFile;
  // Boxes and errors that were not a success, so far, and the last of them.
  int Complaints() const { return complaints_; }
  const std::string& LastComplaint() const { return lastComplaint_; }
  // An error of this program's own, shown and counted as the session's are.
  void Complain(const std::string& text) { Error(text); }

 private:
  enum class TWait { None, Login, Transfer, Command };

  // IOperator
  void Message(const std::string& text) override;
  void Success(const std::string& text) override;
  void Error(const std::string& text) override;
  bool Confirm(const std::string&) override { return true; }
  bool WarnOkCancel(const std::string&) override { return true; }
  std::optional<std::string> ChooseOpenFile(const std::string&, const std::string&) override;
  std::optional<std::string> ChooseSaveFile(const std::string&, const std::string&,
                                            const std::string&) override;
  // IStatusView
  void SetStatusText(const std::string& text) override;
  void SetProgressVisible(bool visible) override;
  void SetProgressPosition(int position) override;

  Tsend_rec_command& TransferOf(TTable table);
  void Later(std::function<void()> what);
  void RunNext();
  void Wait(TWait what, const void* whom);
  void Ended(TWait what, const void* whom, int status);
  void Finish(int status, const std::string& result);
  void HungUp();
  int StatusOf(TTransferOutcome outcome) const;

  TEventLoop& loop_;
  TCliOutput& out_;
  std::string port_;
  TJobOptions options_;
  TSystemClock clock_;
  std::unique_ptr<TComm> comm_;
  std::unique_ptr<TSession> session_;
  int bar_ = -1;

  std::vector<std::function<void()>> steps_;
  size_t next_ = 0;
  TWait waiting_ = TWait::None;
  const void* waitingFor_ = nullptr;
  bool ended_ = false;  // what the job waits for has ended (its continuation is posted)
  bool started_ = false, finished_ = false, stopping_ = false;
  bool lost_ = false;
  std::vector<std::string> notes_;
  int status_ = kExitOk;
  std::string result_;
  int pagesWritten_ = 0;
  int complaints_ = 0;
  std::string lastComplaint_;
  std::chrono::steady_clock::time_point startedAt_{};
  double seconds_ = 0;
  // Continuations posted and not yet run: the job must not go before them.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace torvane::cli
