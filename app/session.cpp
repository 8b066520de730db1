#include "app/session.h"

namespace torvane {

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
  SetUpSettingsGrid(SettingsGrid, SettingsLists);
  SetUpNumberGrid(NumberGrid);
  SetUpHistoryGrid(HistoryGrid);
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
