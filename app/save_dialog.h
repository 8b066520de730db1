// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Which file dialog asks for a file to save. The dialog must add the chosen filter's extension before
// it asks whether to replace an existing file, so that the question is about the file that is
// written: Qt's own dialog does that everywhere, and so does Windows' native one; the native dialogs
// of the Linux desktops need not.

namespace torvane {

bool NativeSaveDialogAddsTheExtensionFirst();

}  // namespace torvane
