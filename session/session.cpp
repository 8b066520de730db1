// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/session.h"

#include <algorithm>
#include <memory>

#include "core/config_dir.h"
#include "core/message.h"
#include "files/backup_file.h"
#include "files/safe_file.h"
#include "numbers/number_record.h"
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

// A read, however it ends, leaves the grid as the device gave it (what was typed before it was given
// up for it); a save that the device kept makes the grid what the device holds. A save that failed
// leaves what was typed as typed.
void TakesBaselineAfterTransfers(Tsend_rec_command& transfer, TGridBaseline& edits) {
  auto reading = std::make_shared<bool>(false);
  transfer.OnTransferStarted = [reading,
                                then = std::move(transfer.OnTransferStarted)](Tsend_rec_command::TMode mode) {
    *reading = mode == Tsend_rec_command::TMode::Reading;
    if (then) then(mode);
  };
  transfer.OnTransferEnded = [&edits, reading,
                              then = std::move(transfer.OnTransferEnded)](TTransferOutcome outcome) {
    if (*reading || outcome == TTransferOutcome::Done) edits.Take();
    if (then) then(outcome);
  };
}

// How much a backup holds, as the chooser says it: the numbers with a number, or the parameters.
std::string BackupContents(const TBackup& backup) {
  if (backup.Table != TSession::kNumbersBackupTable) return FillText(kBackupHoldsParameters, {"28"});
  int numbers = 0;
  for (size_t at = 0; at + kNumberRecordSize <= backup.Pages.size(); at += kNumberRecordSize)
    if (!DecodeNumberRecord(&backup.Pages[at]).Number.empty()) ++numbers;
  return numbers == 1 ? std::string(kBackupHoldsOneNumber)
                      : FillText(kBackupHoldsNumbers, {std::to_string(numbers)});
}

}  // namespace

TSession::TSession(TSessionInterfaces p)
    : ReplyTimer(p.Timers.CreateTimer(3000)),
      StatusClearTimer(p.Timers.CreateTimer(3000)),
      Status(p.StatusView, *StatusClearTimer),
      Progress(p.StatusView),
      Context{p.Operator, Status, Progress, p.Clock},
      Exchange(p.Port, *ReplyTimer, Context),
      Numbers(Exchange, Context, NumberGrid),
      History(Exchange, Context, HistoryGrid),
      Settings(Exchange, Context, SettingsGrid, SettingsLists),
      Login(Exchange, Context, [this] { return PasswordText; }),
      CheckMode(Exchange, Context, CMD_CHECK_MODE),
      DeleteHistory(Exchange, Context, CMD_DELETE_HISTORY),
      TimeSync(Exchange, Context),
      Dispatcher(Exchange, Context, RecData) {
  ReplyTimer->OnTimer = [this] { tmr1Timer(); };
  StatusClearTimer->OnTimer = [this] { tmr2Timer(); };
  // The buttons follow the engine's business as well as the lock.
  Exchange.OnBusyChanged = [this] { ControlsChanged(); };
  // The right password opens the lock; a wrong one closes it. A login that got no answer leaves it.
  Login.OnLoginEnded = [this](bool verified) {
    if (verified)
      UnlockControls();
    else if (Login.Answered)
      LockControls();
  };
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
  TakesBaselineAfterTransfers(Settings, SettingsEdits);
  TakesBaselineAfterTransfers(Numbers, NumberEdits);
  // The grids as set up are what nothing was typed into.
  SettingsEdits.Take();
  NumberEdits.Take();
  StatusClearTimer->Start();
}

void TSession::ForgetDevice() {
  Settings.Device.Forget();
  Numbers.Device.Forget();
  History.Device.Forget();
}

std::string TSession::DiscardQuestion(bool settings, bool numbers) const {
  const int parameters = settings ? SettingsEdits.EditedRows() : 0;
  const int rows = numbers ? NumberEdits.EditedRows() : 0;
  if (parameters > 0 && rows > 0)
    return FillText(kDiscardBoth, {std::to_string(parameters), std::to_string(rows)});
  if (parameters == 1) return kDiscardOneParameter;
  if (parameters > 1) return FillText(kDiscardParameters, {std::to_string(parameters)});
  if (rows == 1) return kDiscardOneRow;
  if (rows > 1) return FillText(kDiscardRows, {std::to_string(rows)});
  return std::string();
}

void TSession::SetUnlocked(bool unlocked) {
  unlocked_ = unlocked;
  ControlsChanged();
}

void TSession::ControlsChanged() {
  if (OnControlsChanged) OnControlsChanged();
}

bool TSession::MayDiscardSettings() {
  const std::string question = DiscardQuestion(true, false);
  return question.empty() || Context.Operator.WarnOkCancel(question);
}

bool TSession::MayDiscardNumbers() {
  const std::string question = DiscardQuestion(false, true);
  return question.empty() || Context.Operator.WarnOkCancel(question);
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

std::vector<TBackupEntry> TSession::BackupChoices(const char* table) const {
  std::vector<TBackupEntry> entries;
  const std::string folder = BackupDirectory();
  if (folder.empty()) return entries;
  for (const std::string& path : BackupsOf(folder, table)) {
    try {
      const TBackup backup = LoadBackup(path);
      entries.push_back({.Path = path,
                         .Sim = backup.Sim,
                         .Taken = BackupStamp(backup.Taken),
                         .Contents = BackupContents(backup),
                         .ThisDevice = !SimNumber.empty() && backup.Sim == SimNumber});
    } catch (const EFileError&) {
      // A damaged file is no choice; the file dialog still reaches it and says why.
    }
  }
  std::stable_partition(entries.begin(), entries.end(), [](const TBackupEntry& e) { return e.ThisDevice; });
  return entries;
}

std::optional<std::string> TSession::KeepBackup(const char* table, int pageCount,
                                                const std::vector<uint8_t>& pages) {
  const std::string folder = BackupDirectory();
  if (folder.empty()) return std::string();
  try {
    return torvane::KeepBackup(folder, TBackup{.Table = table,
                                               .PageCount = pageCount,
                                               .Taken = Context.Clock.Now(),
                                               .Port = PortName,
                                               .Sim = SimNumber,
                                               .Pages = pages});
  } catch (const EFileError& e) {
    Context.Operator.Error(FillText(kBackupNotKept, {e.what()}));
    return std::nullopt;
  }
}

void TSession::RestoreBackup(Tsend_rec_command& transfer, const char* table) {
  const bool settings = &transfer == &Settings;
  if (!(settings ? MayDiscardSettings() : MayDiscardNumbers())) return;
  const auto file = Context.Operator.ChooseBackup(BackupChoices(table), kBackupFilter, BackupDirectory());
  if (!file) return;
  try {
    const TBackup backup = LoadBackup(*file);
    if (backup.Table != table) {
      Context.Operator.Error(FillText(kBackupOfOtherTable, {TableNoun(backup.Table), TableNoun(table)}));
      return;
    }
    {
      // The whole backup, the lists' choices with it, is one step of the grid's history.
      TUndoStep step(settings ? SettingsUndo : NumbersUndo);
      transfer.RestorePages(backup.Pages);
    }
    (settings ? SettingsEdits : NumberEdits).Take();
    Context.Status.ShowStatus(kBackupRestored);
  } catch (const EFileError& e) {
    Context.Operator.Error(e.what());
  }
}

void TSession::tmr2Timer() {
  Status.ShowStatus("");
  Progress.SetProgress(100);
  StatusClearTimer->Stop();
}

}  // namespace torvane
