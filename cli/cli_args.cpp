// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/cli_args.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "cli/cli_texts.h"
#include "core/message.h"

namespace torvane::cli {

namespace {

using TMask = uint32_t;
constexpr TMask Bit(TCommand c) {
  return TMask{1} << static_cast<int>(c);
}
constexpr TMask kDeviceCommands = Bit(TCommand::Read) | Bit(TCommand::Write) | Bit(TCommand::Verify) |
                                  Bit(TCommand::Diff) | Bit(TCommand::SyncTime) |
                                  Bit(TCommand::DeleteHistory) | Bit(TCommand::Provision);
constexpr TMask kAll = kDeviceCommands | Bit(TCommand::Ports) | Bit(TCommand::None);

struct TCommandDef {
  TCommand Command;
  const char* Name;
  const char* Usage;  // after "torvane "
  const char* What;
};

// In the order --help lists them.
constexpr std::array<TCommandDef, 8> kCommands{{
    {TCommand::Ports, "ports", "ports",
     "list the serial ports, one a line (the same ports the window lists)"},
    {TCommand::Read, "read", "[-p PORT] [--password PW] read settings|numbers|history -o FILE",
     "read a table from the device into FILE (.xlsx, .xls, .json; numbers and history also .cvs);\n"
     "-o - writes JSON to standard output"},
    {TCommand::Write, "write",
     "[-p PORT] [--password PW] write settings|numbers FILE [--all-pages] [--no-verify] [--merge]",
     "write FILE to the device safely: a backup first, only the pages that differ, each read back;\n"
     "with --merge a number list is added to the device's by number"},
    {TCommand::Verify, "verify", "[-p PORT] [--password PW] verify settings|numbers FILE",
     "read the device and compare it with FILE (exit 4 when they differ)"},
    {TCommand::Diff, "diff", "[-p PORT] [--password PW] diff settings|numbers FILE",
     "print what differs between the device and FILE: parameter or serial, device value, file value"},
    {TCommand::SyncTime, "sync-time", "[-p PORT] [--password PW] sync-time",
     "set the device's clock to this PC's local time"},
    {TCommand::DeleteHistory, "delete-history", "[-p PORT] [--password PW] delete-history --yes",
     "delete the whole event log on the device"},
    {TCommand::Provision, "provision",
     "provision [--settings FILE] [--numbers FILE] [--sync-time] -p PORT [-p PORT]... [--report FILE.csv]",
     "on every named port at once: log in, write the settings and/or the numbers (each save reads back\n"
     "what it wrote), set the clock; one result line per device as it finishes"},
}};

struct TOptionDef {
  const char* Long;
  char Short;         // 0: none
  const char* Value;  // nullptr: a flag
  TMask Commands;
  const char* Help;
};

constexpr std::array<TOptionDef, 18> kOptions{{
    {"--port", 'p', "PORT", kDeviceCommands,
     "the port: a name from `torvane ports` (ttyUSB0) or a path; may be left out when exactly\n"
     "one port is listed; provision takes it once for every device"},
    {"--password", 0, "PW", kDeviceCommands,
     "the device password (default 6853, or $TORVANE_PASSWORD). A password on the command\n"
     "line shows in the process list to every user of this PC: set TORVANE_PASSWORD instead"},
    {"--output", 'o', "FILE", Bit(TCommand::Read), "the file read writes; - writes JSON to standard output"},
    {"--all-pages", 0, nullptr, Bit(TCommand::Write) | Bit(TCommand::Provision),
     "send every page, not only the pages that differ from the device's"},
    {"--no-verify", 0, nullptr, Bit(TCommand::Write), "do not read back the pages written"},
    {"--merge", 0, nullptr, Bit(TCommand::Write),
     "write numbers: read the device's list and add FILE to it by number (a number the device\n"
     "holds takes the file's window and marks, a new one the first empty row; the rest stays)"},
    {"--settings", 0, "FILE", Bit(TCommand::Provision), "the settings profile provision writes"},
    {"--numbers", 0, "FILE", Bit(TCommand::Provision), "the number list provision writes"},
    {"--sync-time", 0, nullptr, Bit(TCommand::Provision), "provision also sets each device's clock"},
    {"--report", 0, "FILE.csv", Bit(TCommand::Provision),
     "also write the result lines to FILE.csv (port,result,status,pages,seconds,notes,sim)"},
    {"--yes", 0, nullptr, Bit(TCommand::DeleteHistory),
     "yes, delete the event log (delete-history needs it)"},
    {"--backup-dir", 0, "DIR", kDeviceCommands,
     "keep the backups of what the devices held in DIR (default: the window's backups folder)"},
    {"--trace", 0, "FILE", kDeviceCommands,
     "append every frame sent and received to FILE, time-stamped, in hexadecimal with its\n"
     "command, address and length (the passwords in settings pages are written as **)"},
    {"--trace-secrets", 0, nullptr, kDeviceCommands,
     "show the passwords in the trace as they are (a trace is meant for someone else: think twice)"},
    {"--quiet", 'q', nullptr, kAll, "print nothing on standard error but errors (no progress bars)"},
    {"--json", 0, nullptr, kAll, "print every result line as a JSON object"},
    {"--help", 'h', nullptr, kAll, "print this text (or the command's) and exit"},
    {"--version", 0, nullptr, Bit(TCommand::None), "print the version and exit"},
}};

const TCommandDef* FindCommand(const std::string& name) {
  for (const TCommandDef& c : kCommands)
    if (name == c.Name) return &c;
  return nullptr;
}

const TCommandDef& DefOf(TCommand command) {
  for (const TCommandDef& c : kCommands)
    if (c.Command == command) return c;
  return kCommands[0];
}

const TOptionDef* FindOption(const std::string& arg) {
  for (const TOptionDef& o : kOptions) {
    if (arg == o.Long) return &o;
    if (o.Short && arg.size() == 2 && arg[0] == '-' && arg[1] == o.Short) return &o;
  }
  return nullptr;
}

TTable ParseTable(const std::string& word) {
  if (word == "settings") return TTable::Settings;
  if (word == "numbers") return TTable::Numbers;
  if (word == "history") return TTable::History;
  return TTable::None;
}

// "  -p, --port PORT     text", the text's further lines under its first.
std::string OptionLines(TMask commands) {
  constexpr size_t kColumn = 24;
  std::string out;
  for (const TOptionDef& o : kOptions) {
    if (!(o.Commands & commands)) continue;
    std::string head = "  ";
    head += o.Short ? std::string("-") + o.Short + ", " : "    ";
    head += o.Long;
    if (o.Value) head += std::string(" ") + o.Value;
    head += head.size() + 1 < kColumn ? std::string(kColumn - head.size(), ' ')
                                      : "\n" + std::string(kColumn, ' ');
    std::string help = o.Help;
    for (size_t at = help.find('\n'); at != std::string::npos; at = help.find('\n', at + 1))
      help.insert(at + 1, std::string(kColumn, ' '));
    out += head + help + "\n";
  }
  return out;
}

std::string Indented(const char* text, size_t by) {
  std::string s = std::string(by, ' ') + text;
  for (size_t at = s.find('\n'); at != std::string::npos; at = s.find('\n', at + 1))
    s.insert(at + 1, std::string(by, ' '));
  return s;
}

constexpr const char* kEnvironment =
    "Environment:\n"
    "  TORVANE_PASSWORD      the device password when --password is not given\n"
    "  TORVANE_CODEPAGE      the code page of the device's texts, for example CP936 (chosen\n"
    "                        from the locale when unset)\n";

constexpr const char* kExitStatus =
    "Exit status: 0 success; 1 a transfer failed (timeout, invalid data, a refused page, the\n"
    "port lost or not opened, stopped by a signal); 2 bad usage or a file that does not pass\n"
    "the checks; 3 wrong password; 4 the device does not hold what the file says; provision\n"
    "exits with the highest status of its devices.\n";

}  // namespace

const char* CommandName(TCommand command) {
  return command == TCommand::None ? "torvane" : DefOf(command).Name;
}

const char* TableName(TTable table) {
  switch (table) {
    case TTable::Settings:
      return "settings";
    case TTable::Numbers:
      return "numbers";
    case TTable::History:
      return "history";
    case TTable::None:
      break;
  }
  return "";
}

std::string UsageOf(TCommand command) {
  return std::string("Usage: torvane ") + DefOf(command).Usage + "\n";
}

std::string HelpText() {
  std::string text = "Usage: torvane ports\n";
  for (const TCommandDef& c : kCommands)
    if (c.Command != TCommand::Ports) text += std::string("       torvane ") + c.Usage + "\n";
  text += "       torvane --version | --help | COMMAND --help\n";
  text +=
      "Provisions Torvane GSM relay controllers over USB serial links (115200 8N1), many at once:\n"
      "their basic settings, their authorized numbers, their clocks and their event logs.\n\nCommands:\n";
  for (const TCommandDef& c : kCommands) {
    text += std::string("  ") + c.Name + "\n" + Indented(c.What, 4) + "\n";
  }
  text += "\nOptions:\n" + OptionLines(kAll) + "\n" + kEnvironment + "\n" + kExitStatus;
  return text;
}

std::string CommandHelpText(TCommand command) {
  const TCommandDef& c = DefOf(command);
  return UsageOf(command) + std::string(c.What) + ".\n\nOptions:\n" + OptionLines(Bit(command));
}

namespace {

void SetOption(TCliArgs& a, const TOptionDef& o, const std::string& value) {
  const std::string name = o.Long;
  if (name == "--port")
    a.Ports.push_back(value);
  else if (name == "--password")
    a.Password = value;
  else if (name == "--output")
    a.File = value;
  else if (name == "--all-pages")
    a.AllPages = true;
  else if (name == "--no-verify")
    a.NoVerify = true;
  else if (name == "--merge")
    a.Merge = true;
  else if (name == "--settings")
    a.SettingsFile = value;
  else if (name == "--numbers")
    a.NumbersFile = value;
  else if (name == "--sync-time")
    a.SyncTime = true;
  else if (name == "--report")
    a.Report = value;
  else if (name == "--yes")
    a.Yes = true;
  else if (name == "--backup-dir")
    a.BackupDir = value;
  else if (name == "--trace")
    a.Trace = value;
  else if (name == "--trace-secrets")
    a.TraceSecrets = true;
  else if (name == "--quiet")
    a.Quiet = true;
  else if (name == "--json")
    a.Json = true;
  else if (name == "--help")
    a.Help = true;
  else if (name == "--version")
    a.Version = true;
}

// The command line taken apart: the options are set in Args as they come, the other words are kept
// in order. Error names the first misused option; the rest is then not read.
struct TCommandLine {
  TCliArgs Args;
  std::vector<std::string> Words;
  std::vector<const TOptionDef*> Given;
  std::string Error;
};

TCommandLine ReadOptions(const std::vector<std::string>& args) {
  TCommandLine line;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string arg = args[i];
    std::optional<std::string> inlineValue;
    if (arg.rfind("--", 0) == 0 && arg.find('=') != std::string::npos) {
      inlineValue = arg.substr(arg.find('=') + 1);
      arg = arg.substr(0, arg.find('='));
    }
    // "-" alone is a value (standard output), never an option.
    if (arg.size() < 2 || arg[0] != '-') {
      line.Words.push_back(arg);
      continue;
    }
    const TOptionDef* o = FindOption(arg);
    if (!o) {
      line.Error = FillText(kCliUnknownOption, {arg});
      return line;
    }
    std::string value;
    if (o->Value) {
      if (inlineValue) {
        value = *inlineValue;
      } else if (i + 1 < args.size()) {
        value = args[++i];
      } else {
        line.Error = FillText(kCliOptionNeedsValue, {o->Long, o->Value});
        return line;
      }
    } else if (inlineValue) {
      line.Error = FillText(kCliOptionTakesNoValue, {o->Long});
      return line;
    }
    line.Given.push_back(o);
    SetOption(line.Args, *o, value);
  }
  return line;
}

// The words after the command: read takes a table, write, verify and diff a table and a FILE.
// Returns why they do not fit, or nothing.
std::string ReadTableAndFile(TCliArgs& a, const std::vector<std::string>& words) {
  const std::string command = CommandName(a.Command);
  const std::vector<std::string> rest(words.begin() + 1, words.end());
  size_t wanted = 0;
  switch (a.Command) {
    case TCommand::Read:
      wanted = 1;
      break;
    case TCommand::Write:
    case TCommand::Verify:
    case TCommand::Diff:
      wanted = 2;
      break;
    default:
      break;
  }
  if (rest.size() != wanted) {
    if (rest.size() > wanted) return FillText(kCliUnexpectedWord, {rest[wanted]});
    return FillText(wanted == 1 ? kCliNeedsTable : kCliNeedsTableAndFile, {command});
  }
  if (wanted > 0) {
    a.Table = ParseTable(rest[0]);
    const bool historyToo = a.Command == TCommand::Read;
    if (a.Table == TTable::None || (a.Table == TTable::History && !historyToo))
      return FillText(historyToo ? kCliTakesAnyTable : kCliTakesSavedTable, {command, rest[0]});
    if (wanted == 2) a.File = rest[1];
  }
  return {};
}

// The options that only make sense together, or not at all for this command. Returns why, or nothing.
std::string CheckCombination(const TCliArgs& a) {
  const std::string command = CommandName(a.Command);
  if (a.Merge && a.Table != TTable::Numbers) return "--merge takes a number list: write numbers FILE --merge";
  if (a.Command == TCommand::Read && a.File.empty()) return "read needs -o FILE (- for standard output)";
  if (a.Ports.size() > 1 && a.Command != TCommand::Provision) return FillText(kCliTakesOnePort, {command});
  if (a.Command == TCommand::DeleteHistory && !a.Yes)
    return "delete-history deletes the whole event log on the device: add --yes to say so";
  if (a.Command == TCommand::Provision && a.SettingsFile.empty() && a.NumbersFile.empty() && !a.SyncTime)
    return "provision needs --settings FILE, --numbers FILE or --sync-time";
  std::vector<std::string> sorted = a.Ports;
  std::sort(sorted.begin(), sorted.end());
  if (std::adjacent_find(sorted.begin(), sorted.end()) != sorted.end()) return "a port is named twice";
  return {};
}

}  // namespace

std::optional<TCliArgs> ParseArgs(const std::vector<std::string>& args, std::string* error) {
  auto fail = [error](const std::string& why) {
    if (error) *error = why;
    return std::nullopt;
  };
  TCommandLine line = ReadOptions(args);
  if (!line.Error.empty()) return fail(line.Error);
  TCliArgs& a = line.Args;
  if (!line.Words.empty()) {
    const TCommandDef* c = FindCommand(line.Words[0]);
    if (!c) return fail(FillText(kCliUnknownCommand, {line.Words[0]}));
    a.Command = c->Command;
  }
  if (a.Help) return a;
  if (a.Version && a.Command == TCommand::None) return a;
  if (a.Command == TCommand::None) return fail("no command given (torvane --help lists them)");
  for (const TOptionDef* o : line.Given)
    if (!(o->Commands & Bit(a.Command)))
      return fail(FillText(kCliDoesNotTake, {CommandName(a.Command), o->Long}));
  if (std::string why = ReadTableAndFile(a, line.Words); !why.empty()) return fail(why);
  if (std::string why = CheckCombination(a); !why.empty()) return fail(why);
  return a;
}

}  // namespace torvane::cli
