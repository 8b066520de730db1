// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The files of the three tables as torvane reads and writes them: the kind by the extension, the
// window's own file operations for spreadsheets and comma-separated files (through the job's file
// dialogs), JSON beside them, and the comparison of a file with what a device holds.
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "cli/cli_args.h"
#include "cli/device_job.h"
#include "files/import_result.h"
#include "numbers/number_import.h"
#include "session/session.h"
#include "settings/settings_import.h"

namespace torvane::cli {

enum class TFileKind { Xlsx, Xls, Cvs, Json, StandardOutput };

// The kind of FILE for `table`, to write to (`read -o`) or to load from; nothing, with why in *error,
// when the table has no files of that kind.
std::optional<TFileKind> FileKindOf(TTable table, const std::string& file, bool toWrite, std::string* error);

// Loads FILE (of a kind FileKindOf knows) into the job's grid of `table`, judged as the window's
// import judges it: nothing is loaded unless the result is Loaded(). Nothing is said; the caller
// presents the result.
TImportResult LoadTable(TDeviceJob& job, TTable table, const std::string& file);

// A file's own values, for verify and diff.
struct TFileValues {
  TSettingsFileValues Settings;
  TNumberFile Numbers;
};
// Reads FILE's values of `table` without judging them; Unreadable or Broken as an import would be.
TImportResult ReadTableFile(TTable table, const std::string& file, TFileValues& out);
// What a save checks before it sends anything (a savable password, every cell encodable, every
// number's window whole), on the table as loaded. False when it would not save; the operator has
// been told why.
bool SaveChecksPass(TDeviceJob& job, TTable table);
// Writes the job's table to FILE (- : JSON on standard output). False when it could not: the
// operator has said why.
bool SaveTable(TDeviceJob& job, TTable table, const std::string& file, TCliOutput& out);

// The table's cells (and the settings' lists) from one session's grid into another's.
void CopyTable(TSession& from, TSession& to, TTable table);

// One parameter or serial that differs between the device and a file.
struct TDifference {
  int Key = 0;       // parameter number or serial
  std::string Name;  // the parameter's label; empty for a serial
  std::string Device, File;
  nlohmann::ordered_json DeviceJson, FileJson;
};

// The rows of `table` where the device's pages (as last read) and the file's own values differ, by
// value (settings_import.h, number_import.h): a value the device could not keep differs.
std::vector<TDifference> Differences(TSession& device, const TFileValues& file, TTable table);
// A difference as a result line.
std::string DifferencePlain(const TDifference& d);
nlohmann::ordered_json DifferenceJson(const TDifference& d);

}  // namespace torvane::cli
