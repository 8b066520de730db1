// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Fakes of the operator, the status bar and the port, and a whole session built on them with a
// manual clock: what most tests of the logic start from.
#include <algorithm>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/clock.h"
#include "core/operator.h"
#include "core/status.h"
#include "core/timer.h"
#include "serial/send_port.h"
#include "session/session.h"
#include "support/frames.h"

namespace torvane::testing {

// Records every dialog; answers confirmations and file dialogs from what the test queued.
class TFakeOperator : public IOperator {
 public:
  std::vector<std::string> Messages;   // Message() texts, in order
  std::vector<std::string> Errors;     // Error() texts
  std::vector<std::string> Questions;  // Confirm() and WarnOkCancel() texts
  bool ConfirmAnswer = true;
  bool WarnAnswer = true;
  TCloseAnswer CloseAnswer = TCloseAnswer::Cancel;
  std::vector<bool> CloseCouldSave;                    // AskBeforeClose's canSave, in order
  std::vector<std::vector<TBackupEntry>> BackupLists;  // what each ChooseBackup offered
  std::deque<std::optional<std::string>> FileAnswers;  // empty queue: cancelled
  std::vector<std::string> FileFilters, FileFolders, ProposedNames;
  // Called inside Message(), like a modal box's own loop (a test may pump replies there).
  std::function<void(const std::string&)> OnMessage;

  void Message(const std::string& text) override {
    Messages.push_back(text);
    if (OnMessage) OnMessage(text);
  }
  void Error(const std::string& text) override { Errors.push_back(text); }
  bool Confirm(const std::string& text) override {
    Questions.push_back(text);
    return ConfirmAnswer;
  }
  bool WarnOkCancel(const std::string& text) override {
    Questions.push_back(text);
    return WarnAnswer;
  }
  TCloseAnswer AskBeforeClose(const std::string& text, bool canSave) override {
    Questions.push_back(text);
    CloseCouldSave.push_back(canSave);
    return CloseAnswer;
  }
  // Answered from FileAnswers, as a file dialog is.
  std::optional<std::string> ChooseBackup(const std::vector<TBackupEntry>& backups, const std::string& filter,
                                          const std::string& folder) override {
    BackupLists.push_back(backups);
    return NextFile(filter, folder, "");
  }
  std::optional<std::string> ChooseOpenFile(const std::string& filter, const std::string& folder) override {
    return NextFile(filter, folder, "");
  }
  std::optional<std::string> ChooseSaveFile(const std::string& filter, const std::string& folder,
                                            const std::string& proposedName) override {
    return NextFile(filter, folder, proposedName);
  }
  std::string LastMessage() const { return Messages.empty() ? std::string() : Messages.back(); }

 private:
  std::optional<std::string> NextFile(const std::string& filter, const std::string& folder,
                                      const std::string& name) {
    FileFilters.push_back(filter);
    FileFolders.push_back(folder);
    ProposedNames.push_back(name);
    if (FileAnswers.empty()) return std::nullopt;
    auto a = FileAnswers.front();
    FileAnswers.pop_front();
    return a;
  }
};

class TFakeStatusView : public IStatusView {
 public:
  std::string Text;
  std::vector<std::string> History;  // every text written, in order
  bool KeepHistory = true;           // off where millions of texts would only pile up
  bool ProgressVisible = true;
  int ProgressPosition = 0;
  std::vector<int> Positions;
  void SetStatusText(const std::string& t) override {
    Text = t;
    if (KeepHistory) History.push_back(t);
  }
  void SetProgressVisible(bool v) override { ProgressVisible = v; }
  void SetProgressPosition(int p) override {
    ProgressPosition = p;
    Positions.push_back(p);
  }
};

// Keeps every block sent; a closed port refuses like the serial component does.
class TFakePort : public ISendPort {
 public:
  std::vector<std::vector<uint8_t>> Sent;
  bool Open = true;
  bool SendBytes(const uint8_t* bytes, uint16_t count) override {
    if (!Open || count == 0) return false;
    Sent.emplace_back(bytes, bytes + count);
    return true;
  }
};

// A whole session on fakes. Feed() hands reply bytes to the receive event one at a time, as the
// serial component does.
struct TFakeSession {
  TFakeOperator Operator;
  TFakeStatusView StatusView;
  TFakePort Port;
  TManualClock Timers;
  TFixedClock Clock{{2026, 12, 7, 18, 30, 5}};
  std::unique_ptr<TSession> Session;

  TFakeSession() {
    Session = std::make_unique<TSession>(TSessionInterfaces{Port, Operator, StatusView, Timers, Clock});
  }
  void Feed(const std::vector<uint8_t>& bytes) {
    for (uint8_t b : bytes) Session->cm1ReceiveData(&b, 1);
  }
};

}  // namespace torvane::testing
