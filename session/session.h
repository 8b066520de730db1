// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program's logic without a window: every long-lived object the main window creates at start-up,
// in one place, so tests and benchmarks can build the whole program and drive it through its interfaces.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "core/clock.h"
#include "core/context.h"
#include "core/grid.h"
#include "core/grid_baseline.h"
#include "core/operator.h"
#include "core/status.h"
#include "core/timer.h"
#include "core/undo.h"
#include "history/history_export.h"
#include "history/history_find.h"
#include "history/history_inf.h"
#include "numbers/number_changes.h"
#include "numbers/number_expiry.h"
#include "numbers/telephone_send.h"
#include "protocol/commands.h"
#include "protocol/dispatcher.h"
#include "protocol/exchange.h"
#include "protocol/frame.h"
#include "protocol/frame_trace.h"
#include "protocol/login.h"
#include "serial/send_port.h"
#include "settings/basic_inf.h"
#include "settings/settings_changes.h"
#include "settings/settings_lists.h"
#include "settings/settings_profile.h"

namespace torvane {

struct TSessionInterfaces {
  ISendPort& Port;
  IOperator& Operator;
  IStatusView& StatusView;
  ITimerFactory& Timers;
  const IClock& Clock;
};

class TSession {
 public:
  explicit TSession(TSessionInterfaces ports);
  TSession(const TSession&) = delete;
  TSession& operator=(const TSession&) = delete;

  // The serial component's receive event.
  void cm1ReceiveData(const uint8_t* buffer, uint16_t length) { Dispatcher.cm1ReceiveData(buffer, length); }
  // Reply timer expiry and status-clear timer expiry.
  void tmr1Timer();
  void tmr2Timer();
  // The port went away (unplugged) or was closed: whatever runs ends now, without a box of its own,
  // and what the device holds is no longer known.
  void PortLost();

  // The login lock over the operation buttons: closed at start and by a wrong password, opened by the
  // right one.
  bool Unlocked() const { return unlocked_; }
  void LockControls() { SetUnlocked(false); }
  void UnlockControls() { SetUnlocked(true); }
  // Told when the lock or the engine's business changes: the window enables its buttons here.
  std::function<void()> OnControlsChanged;

  // The three paged transfers, for whatever treats them alike.
  std::array<Tsend_rec_command*, 3> Transfers() { return {&Settings, &Numbers, &History}; }
  // Ends whichever transfer runs once the page in flight is answered ("Stop").
  void StopTransfers() {
    for (Tsend_rec_command* t : Transfers()) t->Stop();
  }
  bool TransferRunning() {
    for (Tsend_rec_command* t : Transfers())
      if (t->Running()) return true;
    return false;
  }

  // How saves go about it (the window keeps the options between runs).
  void SetSaveOptions(const TSaveOptions& options);
  TSaveOptions SaveOptions() const { return Settings.Options; }
  // "Restore backup" on the settings and the number list: a backup the operator picks into the grid;
  // nothing is written until Save.
  void RestoreSettingsBackup() { RestoreBackup(Settings, kSettingsBackupTable); }
  void RestoreNumbersBackup() { RestoreBackup(Numbers, kNumbersBackupTable); }
  // The backups of a table for the chooser: those of the controller on the lead (by its SIM number)
  // first, each group newest first. Files that do not read are left out.
  std::vector<TBackupEntry> BackupChoices(const char* table) const;
  // Where backups are kept: BackupDir when set, else "backups/" beside ConfigDir; none when neither
  // is set (a test's session keeps none).
  std::string BackupDirectory() const;
  // What the devices held is no longer known (the port closed, a login began).
  void ForgetDevice();
  // Whatever was typed into the settings or the number list since it was last loaded or saved may go:
  // true when nothing was typed, or when the operator says it may. Asked before a read, a backup or a
  // file replaces the grid.
  bool MayDiscardSettings();
  bool MayDiscardNumbers();
  // The question before what was typed into the named grids is given up (closing asks of both); empty
  // when nothing was typed there.
  std::string DiscardQuestion(bool settings, bool numbers) const;

  std::unique_ptr<ITimer> ReplyTimer;        // 3000 ms, off at start
  std::unique_ptr<ITimer> StatusClearTimer;  // 3000 ms, on at start
  Tstatusbar_ctrl Status;
  Tprogressbar_ctrl Progress;
  // What the transfers, the commands and the file operations share: handed to each.
  TContext Context;
  TExchange Exchange;

  // The tables the operator sees.
  TGrid SettingsGrid{3, 29};
  TGrid NumberGrid{8, 3001};
  TGrid HistoryGrid{8, 1001};
  TSettingsLists SettingsLists;
  // What the operator can undo: the settings with their lists, and the number list. The history is
  // only ever read from the device, so it has none.
  TUndoStack SettingsUndo{SettingsGrid};
  TUndoStack NumbersUndo{NumberGrid};
  // The password box; the window keeps it in step with what is typed.
  std::string PasswordText = "6853";

  TRecData RecData;
  // The last frames sent and received, for support.
  TFrameTrace Trace;
  TtelephoneSend Numbers;
  THistoryInf History;
  TBasicInf Settings;
  Tpasswordverify Login;
  Tsingalcmd CheckMode;
  Tsingalcmd DeleteHistory;
  Tsynchronizationtime_sc TimeSync;
  TReceiveDispatcher Dispatcher;

  // Where file dialogs start (set by the window at start-up).
  std::string ConfigDir;
  std::string BackupDir;
  // The port the session talks through, as every backup names it.
  std::string PortName;
  // The SIM card number of the controller on the port, from the settings' first page as the login
  // (or any later read of it) found it, as every backup names it; empty when it has none or nothing
  // was read.
  std::string SimNumber;

  // The marks of what the grids hold that the device does not.
  TSettingsChanges SettingsChanges{SettingsGrid, SettingsLists, Settings.Device};
  TNumberChanges NumberChanges{NumberGrid, Numbers.Device};
  // The number list's rows whose validity window has ended by the PC's clock.
  TNumberExpiry NumberExpiry{NumberGrid, Context.Clock};
  // The rows of the history the find bar leaves shown; the exports write only those.
  THistoryFind HistoryFind{HistoryGrid};

  // What was typed into the two grids that can be saved, since each was last read, loaded from a file
  // or a backup, or saved: reads and saves take their own; whatever else loads a grid whole says so.
  TGridBaseline SettingsEdits{SettingsGrid, 1, [this](int row) {
                                const TListChoice* list = SettingsLists.ForRow(row);
                                return list ? std::to_string(list->ItemIndex) : std::string();
                              }};
  TGridBaseline NumberEdits{NumberGrid, 1};

  // The profile and history file operations (their dialogs start in ConfigDir).
  Tcustomstringgrid_basis Profiles{Context, SettingsGrid, SettingsLists, ConfigDir};
  Tcustomstringgrid_his HistoryFiles{Context, HistoryGrid, ConfigDir};

  static constexpr const char* kSettingsBackupTable = "settings";
  static constexpr const char* kNumbersBackupTable = "numbers";

 private:
  void SetUnlocked(bool unlocked);
  void ControlsChanged();
  bool unlocked_ = false;
  std::optional<std::string> KeepBackup(const char* table, int pageCount, const std::vector<uint8_t>& pages);
  void RestoreBackup(Tsend_rec_command& transfer, const char* table);
};

}  // namespace torvane
