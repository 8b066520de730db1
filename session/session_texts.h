#pragma once
// What the session says to the operator of its own, in one place: the backups of what a device held.
namespace torvane {

inline constexpr char kBackupFilter[] = "Backup|*.tvbackup|(*.*)|*.*";
inline constexpr char kBackupRestored[] = "Backup restored; Save writes it to the device";
inline constexpr char kBackupOfOtherTable[] = "This is a backup of the %1, not of the %2.";
inline constexpr char kBackupNotKept[] = "No backup of what the device held could be kept: ";

}  // namespace torvane
