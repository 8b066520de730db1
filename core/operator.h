// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The ways the logic talks to the operator. The window implements them with real dialogs; tests
// implement them with a recording fake that answers as the test says.
#include <optional>
#include <string>

namespace torvane {

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
  // The read confirmation: question icon, empty title, "OK(&Y)" / "Cancel(&N)", top-left corner at
  // ((screen width - 200) div 2, (screen height - 200) div 2). True for yes.
  virtual bool ConfirmRead(const std::string& text) = 0;
  // Warning icon, empty title, OK and Cancel. True for OK.
  virtual bool WarnOkCancel(const std::string& text) = 0;
  // File dialogs. The filter is in the "Description|*.a;*.b|(*.*)|*.*" form. Empty when cancelled.
  virtual std::optional<std::string> ChooseOpenFile(const std::string& filter, const std::string& folder) = 0;
  virtual std::optional<std::string> ChooseSaveFile(const std::string& filter, const std::string& folder,
                                                    const std::string& proposedName) = 0;
};

}  // namespace torvane
