// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The command line of torvane: its commands and options in one table, the parsing, and the help
// texts made from that table (the man page torvane(1) lists the same options; a test keeps them alike).
#include <optional>
#include <string>
#include <vector>

namespace torvane::cli {

// Exit statuses; provision exits with the highest of its devices'.
constexpr int kExitOk = 0;
constexpr int kExitTransfer = 1;  // timeout, invalid data, a refused page, the port lost or not opened
constexpr int kExitUsage = 2;     // bad usage, or a file that does not pass the checks
constexpr int kExitPassword = 3;  // the device password does not match
constexpr int kExitDiffers = 4;   // the device does not hold what the file says

enum class TCommand { None, Ports, Read, Write, Verify, Diff, SyncTime, DeleteHistory, Provision };
enum class TTable { None, Settings, Numbers, History };

const char* CommandName(TCommand command);
const char* TableName(TTable table);

struct TCliArgs {
  TCommand Command = TCommand::None;
  TTable Table = TTable::None;
  std::string File;  // write/verify/diff FILE, read -o FILE
  std::vector<std::string> Ports;
  std::optional<std::string> Password;
  std::string SettingsFile, NumbersFile;  // provision
  std::string Report;                     // provision --report
  std::string Trace;
  std::string BackupDir;
  bool SyncTime = false;
  bool AllPages = false;
  bool NoVerify = false;
  bool Merge = false;
  bool Yes = false;
  bool Quiet = false;
  bool Json = false;
  bool TraceSecrets = false;
  bool Help = false;
  bool Version = false;
};

// The arguments after the program's name. Nothing, with the reason in *error, for bad usage.
std::optional<TCliArgs> ParseArgs(const std::vector<std::string>& args, std::string* error);

// `torvane --help`, and `torvane COMMAND --help`.
std::string HelpText();
std::string CommandHelpText(TCommand command);
// The usage lines of one command (for a usage error).
std::string UsageOf(TCommand command);

}  // namespace torvane::cli
