// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the window says to the operator, in one place; what it shares with the command-line tool is
// in session/session_texts.h.
#include "session/session_texts.h"

namespace torvane {

inline constexpr char kCaption[] = "Torvane Configurator V1.8.1";

// Backups of what a device held.
inline constexpr char kRestoreBackupCaption[] = "Restore backup";
inline constexpr char kBackupSimColumn[] = "SIM number";
inline constexpr char kBackupTakenColumn[] = "Taken";
inline constexpr char kBackupHoldsColumn[] = "Holds";
inline constexpr char kBackupNoSim[] = "not set";
inline constexpr char kBackupThisDevice[] = "the controller on the lead";
inline constexpr char kBackupOtherFile[] = "Other file…";
inline constexpr char kNoBackupsYet[] = "No backup of this table has been kept yet.";

// The device's clock, set from this PC's.
inline constexpr char kSetClockCaption[] = "Set device clock";

// The SIM number of the controller on the lead, after each login.
inline constexpr char kSimPanel[] = "SIM %1";
inline constexpr char kSimNotSet[] = "SIM number not set";

// Closing with what was typed not saved.
inline constexpr char kCloseSave[] = "Save";
inline constexpr char kCloseDiscard[] = "Discard";

// The protocol trace.
inline constexpr char kSaveTraceCaption[] = "Save trace";
inline constexpr char kSaveTraceTip[] =
    "Write the last frames sent to and received from the device to a text file, for support. The "
    "passwords in them are hidden.";
inline constexpr char kTraceFilter[] = "Text file|*.txt|(*.*)|*.*";
inline constexpr char kTraceNamePrefix[] = "trace_";
inline constexpr char kTraceSaved[] = "Trace saved";
inline constexpr char kTraceNotOpened[] = "The trace file %1 cannot be written: %2";

// Stopping a running read or save.
inline constexpr char kStopCaption[] = "Stop";

// The options.
inline constexpr char kOptionsCaption[] = "Options";
inline constexpr char kOptionWriteAll[] = "Write all pages";
inline constexpr char kOptionVerify[] = "Verify after saving";

// Marks of what is not yet saved to the device.
inline constexpr char kUnsavedRows[] = "%1 rows not yet saved";
inline constexpr char kUnsavedParameters[] = "%1 parameters not yet saved";

// Rows of the number list whose validity window has ended.
inline constexpr char kExpiredRows[] = "%1 expired";
inline constexpr char kMarkExpiredCaption[] = "Mark expired for deletion";

// The program's own command line (--port, --trace, --screenshot, --tab). %1 is an option or a file.
inline constexpr char kProgramNeedsValue[] = "%1 needs a value";
inline constexpr char kProgramUnknownOption[] = "unknown option %1";
inline constexpr char kProgramTabNotNumber[] = "--tab takes a number";
// %1 is the last tab's number.
inline constexpr char kProgramTabRange[] = "--tab takes 0 to %1";
inline constexpr char kProgramScreenshotNotWritten[] = "cannot write %1";

}  // namespace torvane
