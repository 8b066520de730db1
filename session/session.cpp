// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/session.h"

#include <memory>

#include "core/config_dir.h"
#include "core/message.h"
#include "files/backup_file.h"
#include "files/safe_file.h"
#include "session/session_texts.h"

namespace torvane {

namespace {

std::string TableNoun(const std::string& table) {
  return table == TSession::kNumbersBackupTable    ? "number list"
         : table == TSession::kSettingsBackupTable ? "basic settings"
                                                   : table;
}

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
  HistoryFiles.ShownRow = [this](int row) { return HistoryFind.Shown(row); };
  // Every complete read of the two tables that can be saved, and the read a save makes first, is kept.
  Settings.OnBackup = [this](const std::vector<uint8_t>& pages) {
    return KeepBackup(kSettingsBackupTable, kSettingsPageCount, pages);
  };
  Numbers.OnBackup = [this](const std::vector<uint8_t>& pages) {
    return KeepBackup(kNumbersBackupTable, kNumberPageCount, pages);
  };
  // A login may be to another device on the same adapter (the cable moved from one controller to the
  // next): what the last one held says nothing about this one. The page it reads names the device.
  Login.OnLoginStarted = [this] {
    ForgetDevice();
    SimNumber.clear();
  };
  Login.OnPageRead = [this](std::span<const uint8_t, 256> page) {
    Settings.Device.Set(1, page);
    SimNumber = SimNumberOf(page);
  };
  Settings.OnPageSeen = [this](int page, std::span<const uint8_t, 256> bytes) {
    if (page == 1) SimNumber = SimNumberOf(bytes);
  };
  // The number list's remembered pages are proven with the settings' first page too; a probe that
  // finds another device makes everything remembered of the port's device void.
  Numbers.Identity = &Settings;
  Settings.OnOtherDevice = [this] { ForgetDevice(); };
  Numbers.OnOtherDevice = [this] { ForgetDevice(); };
  // Every frame goes into the trace; a frame-sized copy each way, never per byte.
  Trace.SetSecrets(SettingsSecrets());
  Trace.Awaited = [this]() -> std::optional<TFrameTrace::TAwaited> {
    if (!Exchange.AwaitsPage()) return std::nullopt;
    return TFrameTrace::TAwaited{Exchange.AwaitedCommand(), Exchange.AwaitedAddress()};
  };
  Exchange.OnFrameSent = [this](std::span<const uint8_t> frame) { Trace.Sent(frame); };
  Dispatcher.OnFrameReceived = [this](std::span<const uint8_t> frame, bool good) {
    Trace.Received(frame, good);
  };
  ReadsAsOneStep(Settings, SettingsUndo);
  ReadsAsOneStep(Numbers, NumbersUndo);
  StatusClearTimer->Start();
}

void TSession::ForgetDevice() {
  Settings.Device.Forget();
  Numbers.Device.Forget();
  History.Device.Forget();
}

void TSession::tmr1Timer() {
  // The engine asks again or, after the last try, ends the transfer with "Receive timeout".
  Exchange.OnReplyTimeout();
}

void TSession::PortLost() {
  Dispatcher.ResetAssembler();
  Exchange.Abandon(TExchangeFailure::Disconnected);
  // Another device may be on the port when it opens again.
  ForgetDevice();
  SimNumber.clear();
}

void TSession::SetSaveOptions(const TSaveOptions& options) {
  Settings.Options = options;
  Numbers.Options = options;
}

std::string TSession::BackupDirectory() const {
  if (!BackupDir.empty()) return BackupDir;
  if (ConfigDir.empty()) return std::string();
  return BackupDirBeside(ConfigDir);
}

std::optional<std::string> TSession::KeepBackup(const char* table, int pageCount,
                                                const std::vector<uint8_t>& pages) {
  const std::string folder = BackupDirectory();
  if (folder.empty()) return std::string();
  try {
    return torvane::KeepBackup(folder, TBackup{.Table = table,
                                               .PageCount = pageCount,
                                               .Taken = Exchange.Clock.Now(),
                                               .Port = PortName,
                                               .Sim = SimNumber,
                                               .Pages = pages});
  } catch (const EFileError& e) {
    Exchange.Operator.Error(kBackupNotKept + std::string(e.what()));
    return std::nullopt;
  }
}

void TSession::RestoreBackup(Tsend_rec_command& transfer, const char* table) {
  const auto file = Exchange.Operator.ChooseOpenFile(kBackupFilter, BackupDirectory());
  if (!file) return;
  try {
    const TBackup backup = LoadBackup(*file);
    if (backup.Table != table) {
      Exchange.Operator.Error(FillText(kBackupOfOtherTable, {TableNoun(backup.Table), TableNoun(table)}));
      return;
    }
    {
      // The whole backup, the lists' choices with it, is one step of the grid's history.
      TUndoStep step(&transfer == &Settings ? SettingsUndo : NumbersUndo);
      transfer.RestorePages(backup.Pages);
    }
    Exchange.Status.ShowStatus(kBackupRestored);
  } catch (const EFileError& e) {
    Exchange.Operator.Error(e.what());
  }
}

void TSession::tmr2Timer() {
  Status.ShowStatus("");
  Progress.SetProgress(100);
  StatusClearTimer->Stop();
}

}  // namespace torvane
