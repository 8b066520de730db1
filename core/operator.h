// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The ways the logic talks to the operator. The window implements them with real dialogs; tests
// implement them with a recording fake that answers as the test says.
#include <optional>
#include <string>
#include <vector>

namespace torvane {

// The answer to the question before the window closes with what was typed not saved.
enum class TCloseAnswer { Save, Discard, Cancel };

// One backup the operator may choose from, as the chooser lists it.
struct TBackupEntry {
  std::string Path;
  std::string Sim;          // the controller's SIM number; empty when it had none
  std::string Taken;        // when it was taken, "2026-12-09 14:03:22"
  std::string Contents;     // how much it holds, as the operator reads it: "812 numbers", "28 parameters"
  bool ThisDevice = false;  // of the controller on the lead now (by its SIM number)
};

class IOperator {
 public:
  virtual ~IOperator() = default;
  // A modal message box with an empty title and one OK button.
  virtual void Message(const std::string& text) = 0;
  // The box that ends an operation well (a read or a save complete, the password confirmed, a command
  // the device accepted). The window shows it as any other box; the command line prints it as news,
  // not as a complaint.
  virtual void Success(const std::string& text) { Message(text); }
  // The application's error box (a failed conversion, a file that cannot be read or written).
  virtual void Error(const std::string& text) = 0;
  // A question before a read or a save: question icon, empty title, "OK(&Y)" / "Cancel(&N)", top-left corner
  // at
  // ((screen width - 200) div 2, (screen height - 200) div 2). True for yes.
  virtual bool Confirm(const std::string& text) = 0;
  // Warning icon, empty title, OK and Cancel. True for OK.
  virtual bool WarnOkCancel(const std::string& text) = 0;
  // Before the window closes with unsaved edits: save them first (offered only when `canSave`),
  // discard them, or stay. Without its own box, a warning with OK (discard) and Cancel.
  virtual TCloseAnswer AskBeforeClose(const std::string& text, bool canSave) {
    (void)canSave;
    return WarnOkCancel(text) ? TCloseAnswer::Discard : TCloseAnswer::Cancel;
  }
  // The backup to restore: one of `backups` (this device's first, then newest first) or, where the
  // operator looks elsewhere, any file. Without a chooser of its own, the file dialog in `folder`.
  virtual std::optional<std::string> ChooseBackup(const std::vector<TBackupEntry>& backups,
                                                  const std::string& filter, const std::string& folder) {
    (void)backups;
    return ChooseOpenFile(filter, folder);
  }
  // File dialogs. The filter is in the "Description|*.a;*.b|(*.*)|*.*" form. Empty when cancelled.
  virtual std::optional<std::string> ChooseOpenFile(const std::string& filter, const std::string& folder) = 0;
  virtual std::optional<std::string> ChooseSaveFile(const std::string& filter, const std::string& folder,
                                                    const std::string& proposedName) = 0;
};

}  // namespace torvane
