// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the session says to the operator of its own, in one place: the port, and the backups of what a
// device held. The window and the command-line tool say it alike.
namespace torvane {

inline constexpr char kPortError[] = "COM Port error";
// The adapter was pulled out (or the device end went away) while the port was open.
inline constexpr char kDisconnected[] = "The device on %1 was disconnected; the port is closed.";

inline constexpr char kBackupFilter[] = "Backup|*.tvbackup|(*.*)|*.*";
inline constexpr char kBackupRestored[] = "Backup restored; Save writes it to the device";
inline constexpr char kBackupOfOtherTable[] = "This is a backup of the %1, not of the %2.";
inline constexpr char kBackupNotKept[] = "No backup of what the device held could be kept: ";

}  // namespace torvane
