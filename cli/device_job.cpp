// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/device_job.h"

#include "core/message.h"
#include "history/history_delete.h"
#include "protocol/frame.h"
#include "protocol/protocol_texts.h"
#include "session/port_check.h"
#include "session/session_texts.h"

namespace torvane::cli {

namespace {

// Adds `then` after whatever the hook did before.
template <typename... A>
void After(std::function<void(A...)>& hook, std::function<void(A...)> then) {
  hook = [before = std::move(hook), then = std::move(then)](A... a) {
    if (before) before(a...);
    then(a...);
  };
}

}  // namespace

TDeviceJob::TDeviceJob(TEventLoop& loop, TCliOutput& out, std::string port, TJobOptions options)
    : loop_(loop), out_(out), port_(std::move(port)), options_(std::move(options)) {
  comm_ = std::make_unique<TComm>(loop_);
  session_ = std::make_unique<TSession>(TSessionInterfaces{*comm_, *this, *this, loop_, clock_});
  TSession& s = *session_;
  s.BackupDir = options_.BackupDir;
  s.PortName = port_;
  s.Trace.ShowSecrets = options_.TraceSecrets;
  s.Trace.OnLine = options_.TraceLine;
  comm_->OnReceiveData = [this](TComm&, const char* buffer, uint16_t length) {
    session_->cm1ReceiveData(reinterpret_cast<const uint8_t*>(buffer), length);
  };
  comm_->OnRequestHangup = [this](TComm&) { HungUp(); };

  After<>(s.Login.OnLoginEnded,
          std::function<void(bool)>([this](bool) { Ended(TWait::Login, &session_->Login, kExitOk); }));
  for (Tsend_rec_command* t : s.Transfers())
    After<>(t->OnTransferEnded, std::function<void(TTransferOutcome)>(
                                    [this, t](TTransferOutcome) { Ended(TWait::Transfer, t, kExitOk); }));
  for (Tsingalcmd* c : {static_cast<Tsingalcmd*>(&s.TimeSync), &s.DeleteHistory})
    After<>(c->OnCommandEnded, std::function<void(bool)>([this, c](bool accepted) {
              Ended(TWait::Command, c, accepted ? kExitOk : kExitTransfer);
            }));
  // Pages written: every page's first try (a repeat is the same page again).
  After<>(s.Exchange.OnFrameSent,
          std::function<void(std::span<const uint8_t>)>([this](std::span<const uint8_t> f) {
            if (f.size() > 1 && f[1] == CMD_WRITE && session_->Exchange.Try() == 1) ++pagesWritten_;
          }));
  if (!port_.empty()) bar_ = out_.AddBar(port_);
}

TDeviceJob::~TDeviceJob() {
  *alive_ = false;
  // The session goes before the port it listens to; the port is released on the way.
  session_.reset();
  comm_->ClosePort();
}

// ---- the operator ----

void TDeviceJob::Message(const std::string& text) {
  Error(text);
}

void TDeviceJob::Success(const std::string& text) {
  out_.Info(port_, text);
}

void TDeviceJob::Error(const std::string& text) {
  ++complaints_;
  lastComplaint_ = OneLine(text);
  out_.Error(port_, text);
}

std::optional<std::string> TDeviceJob::ChooseOpenFile(const std::string&, const std::string&) {
  if (DialogFile.empty()) return std::nullopt;
  return DialogFile;
}

std::optional<std::string> TDeviceJob::ChooseSaveFile(const std::string&, const std::string&,
                                                      const std::string&) {
  if (DialogFile.empty()) return std::nullopt;
  return DialogFile;
}

void TDeviceJob::SetStatusText(const std::string& text) {
  if (bar_ >= 0) out_.SetBarText(bar_, text);
}

void TDeviceJob::SetProgressVisible(bool visible) {
  if (bar_ >= 0) out_.SetBarVisible(bar_, visible);
}

void TDeviceJob::SetProgressPosition(int position) {
  if (bar_ >= 0) out_.SetBarPosition(bar_, position);
}

// ---- the steps ----

Tsend_rec_command& TDeviceJob::TransferOf(TTable table) {
  switch (table) {
    case TTable::Numbers:
      return session_->Numbers;
    case TTable::History:
      return session_->History;
    default:
      return session_->Settings;
  }
}

void TDeviceJob::AddLogin() {
  steps_.push_back([this] {
    session_->PasswordText = options_.Password;
    Wait(TWait::Login, &session_->Login);
    session_->Login.BeginLogin();
  });
}

void TDeviceJob::AddRead(TTable table) {
  steps_.push_back([this, table] {
    Tsend_rec_command& t = TransferOf(table);
    Wait(TWait::Transfer, &t);
    if (table == TTable::Settings) session_->Settings.StartRead();
    if (table == TTable::Numbers) session_->Numbers.StartRead();
    if (table == TTable::History) session_->History.StartRead();
    if (!ended_ && !t.Running()) Finish(kExitTransfer, lastComplaint_);
  });
}

void TDeviceJob::AddSave(TTable table) {
  steps_.push_back([this, table] {
    session_->SetSaveOptions(options_.Save);
    Tsend_rec_command& t = TransferOf(table);
    Wait(TWait::Transfer, &t);
    if (table == TTable::Settings) session_->Settings.StartSave();
    if (table == TTable::Numbers) session_->Numbers.StartSave();
    // The grid's own checks said no before anything was sent (the operator has been told).
    if (!ended_ && !t.Running()) Finish(kExitUsage, lastComplaint_);
  });
}

void TDeviceJob::AddSyncTime() {
  steps_.push_back([this] {
    Wait(TWait::Command, &session_->TimeSync);
    session_->TimeSync.Send();
  });
}

void TDeviceJob::AddDeleteHistory() {
  steps_.push_back([this] {
    Wait(TWait::Command, &session_->DeleteHistory);
    // The warning is answered yes: the command line said --yes.
    DeleteAllHistory(*this, session_->DeleteHistory);
  });
}

void TDeviceJob::AddStep(std::function<int()> step) {
  steps_.push_back([this, step = std::move(step)] {
    const int status = step();
    if (finished_) return;
    if (status != kExitOk) {
      Finish(status, lastComplaint_);
      return;
    }
    Later([this] { RunNext(); });
  });
}

void TDeviceJob::Start() {
  started_ = true;
  startedAt_ = std::chrono::steady_clock::now();
  comm_->SetCommName(port_);
  PrepareForDevice(*comm_);
  if (!TryOpenPort(*comm_)) {
    std::string text = kPortError;
    for (const std::string& line : OpenFailureLines(*comm_)) text += "\n" + line;
    Error(text);
    Finish(kExitTransfer, kPortError + std::string(": ") + OneLine(OpenFailureLines(*comm_).front()));
    return;
  }
  Later([this] { RunNext(); });
}

void TDeviceJob::Stop() {
  stopping_ = true;
  session_->StopTransfers();
  // Between two steps nothing is running: the job ends at once.
  if (started_ && !finished_ && waiting_ == TWait::None) Later([this] { RunNext(); });
}

void TDeviceJob::Later(std::function<void()> what) {
  loop_.Post([alive = std::weak_ptr<bool>(alive_), what = std::move(what)] {
    if (auto a = alive.lock(); a && *a) what();
  });
}

void TDeviceJob::RunNext() {
  if (finished_) return;
  waiting_ = TWait::None;
  waitingFor_ = nullptr;
  // A stop ends the job after the step that was running, unless that was its last: a save whose
  // every page was written and read back is a save, stopped or not.
  if (stopping_ && next_ < steps_.size()) {
    Finish(kExitTransfer, lastComplaint_.empty() ? std::string("Stopped") : lastComplaint_);
    return;
  }
  if (next_ >= steps_.size()) {
    Finish(kExitOk, "ok");
    return;
  }
  steps_[next_++]();
}

void TDeviceJob::Wait(TWait what, const void* whom) {
  waiting_ = what;
  waitingFor_ = whom;
  ended_ = false;
}

void TDeviceJob::Ended(TWait what, const void* whom, int status) {
  if (finished_ || waiting_ != what || waitingFor_ != whom || ended_) return;
  ended_ = true;
  // The engine's box comes after the end hook; the verdict waits until the loop is back.
  Later([this, what, status] {
    if (finished_) return;
    int verdict = status;
    if (what == TWait::Login && !session_->Login.Verified)
      verdict = session_->Login.Answered && !lost_ ? kExitPassword : kExitTransfer;
    if (what == TWait::Transfer) {
      const auto* transfer = static_cast<const Tsend_rec_command*>(waitingFor_);
      verdict = StatusOf(transfer->Outcome());
      if (transfer->DeviceWasOther()) notes_.push_back(kOtherDeviceBackedUp);
    }
    if (verdict != kExitOk) {
      Finish(verdict, lastComplaint_);
      return;
    }
    RunNext();
  });
}

int TDeviceJob::StatusOf(TTransferOutcome outcome) const {
  switch (outcome) {
    case TTransferOutcome::Done:
      return kExitOk;
    case TTransferOutcome::NotKept:
      return kExitDiffers;
    case TTransferOutcome::NotEncoded:
      return kExitUsage;
    default:
      return kExitTransfer;
  }
}

void TDeviceJob::HungUp() {
  // The notification may come from both workers: only an open port is closed.
  if (!comm_->PortOpen()) return;
  comm_->ClosePort();
  lost_ = true;
  session_->PortLost();
  Error(FillText(kDisconnected, {port_}));
  // Whatever was awaited has ended with the port (the transfers are told by PortLost); a login or a
  // command in flight is over too.
  if (!finished_)
    Later([this] {
      if (!finished_) Finish(kExitTransfer, lastComplaint_);
    });
}

void TDeviceJob::Finish(int status, const std::string& result) {
  if (finished_) return;
  finished_ = true;
  status_ = status;
  result_ = status == kExitOk ? "ok" : (result.empty() ? std::string("failed") : result);
  seconds_ =
      started_ ? std::chrono::duration<double>(std::chrono::steady_clock::now() - startedAt_).count() : 0;
  // Never left locked: the port is released the moment the device's part is over.
  comm_->ClosePort();
  if (bar_ >= 0) {
    out_.SetBarText(bar_, result_);
    out_.SetBarVisible(bar_, true);
    out_.SetBarPosition(bar_, 100);
  }
  if (OnFinished) OnFinished(*this);
}

}  // namespace torvane::cli
