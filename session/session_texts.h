// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the session says to the operator of its own, in one place: the port, the backups of what a
// device held, and what was typed but not saved. The window and the command-line tool say it alike.
namespace torvane {

inline constexpr char kPortError[] = "COM Port error";
// The adapter was pulled out (or the device end went away) while the port was open.
inline constexpr char kDisconnected[] = "The device on %1 was disconnected; the port is closed.";

inline constexpr char kBackupFilter[] = "Backup|*.tvbackup|(*.*)|*.*";
inline constexpr char kBackupRestored[] = "Backup restored; Save writes it to the device";
inline constexpr char kBackupOfOtherTable[] = "This is a backup of the %1, not of the %2.";
inline constexpr char kBackupNotKept[] = "No backup of what the device held could be kept: %1";
inline constexpr char kBackupHoldsOneNumber[] = "1 number";
inline constexpr char kBackupHoldsNumbers[] = "%1 numbers";
inline constexpr char kBackupHoldsParameters[] = "%1 parameters";

// Before a read, a backup or a file replaces a grid that holds what the operator typed.
inline constexpr char kDiscardOneRow[] = "1 row is not saved to the device. Discard it?";
inline constexpr char kDiscardRows[] = "%1 rows are not saved to the device. Discard them?";
inline constexpr char kDiscardOneParameter[] = "1 parameter is not saved to the device. Discard it?";
inline constexpr char kDiscardParameters[] = "%1 parameters are not saved to the device. Discard them?";
inline constexpr char kDiscardBoth[] = "%1 parameters and %2 rows are not saved to the device. Discard them?";

}  // namespace torvane
