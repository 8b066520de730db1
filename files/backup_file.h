#pragma once
// Backups of what a device held: every complete read of the settings or the number list, and the read
// a save makes first when it does not know the device's pages, is kept in a file of its own, so that an
// earlier state can be put back exactly.
//
// The file is text, one field a line, so that a person can read it and a support desk can compare two:
//
//   Torvane Configurator backup
//   format: 1
//   table: numbers                      (settings: 3 pages, numbers: 375 pages)
//   pages: 375
//   taken: 2026-12-09 14:03:22          (the PC's local time)
//   port: /dev/ttyUSB0
//   crc32: 1c291ca3                     (of all page bytes, in order; zlib's CRC-32)
//   page 1: 2b34393137...               (the page's 256 bytes as 512 hexadecimal digits)
//   ...
//   page 375: ffff...
//
// Files are named <table>_<yyyy-mm-dd_hh-mm-ss>.tvbackup (a "_2", "_3" ... before the extension when
// two are taken in one second) and written whole or not at all; the newest 200 of each table are kept.
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
  std::vector<uint8_t> Pages;  // PageCount x 256 bytes
};

std::string FormatBackup(const TBackup& backup);
// Empty, with the reason in *error, when the text is no complete, intact backup.
std::optional<TBackup> ParseBackup(std::string_view text, std::string* error);

// Writes the backup into `folder` (made when missing) under a new name, then removes the oldest of that
// table beyond `keep`. Returns the file's path; throws EFileError when it cannot be written.
std::string KeepBackup(const std::string& folder, const TBackup& backup, int keep = kBackupsKept);
// Reads and checks one backup; throws EFileError (naming the file and the reason) when it is no backup.
TBackup LoadBackup(const std::string& path);
// The backups of one table in `folder`, newest first.
std::vector<std::string> BackupsOf(const std::string& folder, const std::string& table);

}  // namespace torvane
