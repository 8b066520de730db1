// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Backups of what a device held: every complete read of the settings or the number list, and the read
// a save makes first when it does not know the device's pages, is kept in a file of its own, so that an
// earlier state can be put back exactly.
//
// The file is text, one field a line, so that a person can read it and a support desk can compare two:
//
//   Torvane Configurator backup
//   format: 2
//   table: numbers                      (settings: 3 pages, numbers: 375 pages)
//   pages: 375
//   taken: 2026-12-09 14:03:22          (the PC's local time)
//   port: /dev/ttyUSB0
//   sim: +8613912345678                 (the controller's own number; empty when it has none)
//   crc32: 1c291ca3                     (of all page bytes, in order; zlib's CRC-32)
//   page 1: 2b34393137...               (the page's 256 bytes as 512 hexadecimal digits)
//   ...
//   page 375: ffff...
//
// Format 1, written before the SIM number was kept, has no sim line and is read as it is. Lines may end
// in CRLF (a file that went through a Windows editor or a mail) and the last needs no end.
//
// Files are named <table>_<sim digits, or nosim>_<yyyy-mm-dd_hh-mm-ss>.tvbackup, with a "_2", "_3" ...
// before the extension when two are taken in one second; format 1 files are named without the SIM
// part. The name is reserved by an exclusive create before anything is written, so two programs saving
// in the same second never overwrite each other's backup, and the file is written whole or not at all.
// Backups hold the device's passwords and the residents' numbers: they are 0600 in a 0700 folder.
//
// A file counts as a backup only when its name has exactly one of these two forms and its header
// reads; anything else in the folder is neither listed nor ever removed. The newest 200 of each table,
// by the files' modification times (a clock once ahead must not push new backups out), are kept.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/clock.h"

namespace torvane {

inline constexpr char kBackupExtension[] = ".tvbackup";
inline constexpr int kBackupsKept = 200;

struct TBackup {
  std::string Table;  // "settings" or "numbers"
  int PageCount = 0;
  TDateTime Taken;
  std::string Port;
  std::string Sim;             // the controller's SIM number as its settings hold it: '+' and digits
  std::vector<uint8_t> Pages;  // PageCount x 256 bytes
};

std::string FormatBackup(const TBackup& backup);
// When a backup was taken, as its header and the chooser give it: "2026-12-09 14:03:22".
std::string BackupStamp(const TDateTime& taken);
// Empty, with the reason in *error, when the text is no complete, intact backup.
std::optional<TBackup> ParseBackup(std::string_view text, std::string* error);

// Writes the backup into `folder` (made when missing) under a new name, then removes the oldest of that
// table beyond `keep`, never the one just written. Returns the file's path; throws EFileError when it
// cannot be written.
std::string KeepBackup(const std::string& folder, const TBackup& backup, int keep = kBackupsKept);
// Reads and checks one backup; throws EFileError (naming the file and the reason) when it is no backup.
TBackup LoadBackup(const std::string& path);
// The backups of one table in `folder`, newest (by modification time) first.
std::vector<std::string> BackupsOf(const std::string& folder, const std::string& table);

}  // namespace torvane
