#include "app/session.h"

namespace torvane {

TSession::TSession(TSessionPorts p)
    : ReplyTimer(p.Timers.CreateTimer(3000)),
      StatusClearTimer(p.Timers.CreateTimer(3000)),
      Status(p.StatusView, *StatusClearTimer),
      Progress(p.StatusView),
      Link(p.Port, p.Operator, Status, Progress, *ReplyTimer, p.Clock),
      Numbers(Link, NumberGrid),
      History(Link, HistoryGrid),
      Settings(Link, SettingsGrid, SettingsLists),
      Login(Link, [this] { return PasswordText; }),
      CheckMode(Link, CMD_CHECK_MODE),
      DeleteHistory(Link, CMD_DELETE_HISTORY),
      TimeSync(Link),
      Dispatcher(Link, RecData, ValidCom, Login, Settings, Numbers, History) {
  ReplyTimer->OnTimer = [this] { tmr1Timer(); };
  StatusClearTimer->OnTimer = [this] { tmr2Timer(); };
  Link.LockControls();
  RecData.RawCount = 0;
  SetUpSettingsGrid(SettingsGrid, SettingsLists);
  SetUpNumberGrid(NumberGrid);
  SetUpHistoryGrid(HistoryGrid);
  StatusClearTimer->Start();
}

void TSession::tmr1Timer() {
  ReplyTimer->Stop();
  // A frame cut short would otherwise keep the assembler collecting and swallow the next reply, and a
  // login left pending would take the next settings read for a password check.
  Dispatcher.ResetAssembler();
  Login.Verifying = false;
  Link.EndExchange();
  Link.Operator.Message("Receive timeout");
  Status.SetPanelText("");
  Progress.SetProgress(100);
}

void TSession::tmr2Timer() {
  Status.ShowStatus("");
  Progress.SetProgress(100);
  StatusClearTimer->Stop();
}

}  // namespace torvane
