#include "app/session.h"

#include <memory>

namespace torvane {

namespace {

// A read decodes page after page, one reply at a time; the whole read is one step of the table's
// history however it ends (a read cut short keeps the pages it decoded, and undoes them at once).
// Writes do not change the grid. Whatever else follows the transfer still does.
void ReadsAsOneStep(Tsend_rec_command& transfer, TUndoStack& undo) {
  auto reading = std::make_shared<bool>(false);
  transfer.OnTransferStarted = [&undo, reading,
                                then = std::move(transfer.OnTransferStarted)](Tsend_rec_command::TMode mode) {
    if (mode == Tsend_rec_command::TMode::Reading && !*reading) {
      *reading = true;
      undo.BeginStep();
    }
    if (then) then(mode);
  };
  transfer.OnTransferEnded = [&undo, reading,
                              then = std::move(transfer.OnTransferEnded)](TTransferOutcome outcome) {
    if (then) then(outcome);
    if (*reading) {
      *reading = false;
      undo.EndStep();
    }
  };
}

}  // namespace

TSession::TSession(TSessionPorts p)
    : ReplyTimer(p.Timers.CreateTimer(3000)),
      StatusClearTimer(p.Timers.CreateTimer(3000)),
      Status(p.StatusView, *StatusClearTimer),
      Progress(p.StatusView),
      Exchange(p.Port, p.Operator, Status, Progress, *ReplyTimer, p.Clock),
      Numbers(Exchange, NumberGrid),
      History(Exchange, HistoryGrid),
      Settings(Exchange, SettingsGrid, SettingsLists),
      Login(Exchange, [this] { return PasswordText; }),
      CheckMode(Exchange, CMD_CHECK_MODE),
      DeleteHistory(Exchange, CMD_DELETE_HISTORY),
      TimeSync(Exchange),
      Dispatcher(Exchange, RecData) {
  ReplyTimer->OnTimer = [this] { tmr1Timer(); };
  StatusClearTimer->OnTimer = [this] { tmr2Timer(); };
  Exchange.LockControls();
  RecData.RawCount = 0;
  SettingsLists.RecordIn(SettingsUndo);
  SettingsUndo.StartAfter([this] { SetUpSettingsGrid(SettingsGrid, SettingsLists); });
  NumbersUndo.StartAfter([this] { SetUpNumberGrid(NumberGrid); });
  SetUpHistoryGrid(HistoryGrid);
  ReadsAsOneStep(Settings, SettingsUndo);
  ReadsAsOneStep(Numbers, NumbersUndo);
  StatusClearTimer->Start();
}

void TSession::tmr1Timer() {
  // The engine asks again or, after the last try, ends the transfer with "Receive timeout".
  Exchange.OnReplyTimeout();
}

void TSession::PortLost() {
  Dispatcher.ResetAssembler();
  Exchange.Abandon(TExchangeFailure::Disconnected);
}

void TSession::tmr2Timer() {
  Status.ShowStatus("");
  Progress.SetProgress(100);
  StatusClearTimer->Stop();
}

}  // namespace torvane
