// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the command-line tool says of its own, in one place; what it shares with the window is in
// session/session_texts.h.
namespace torvane {

// A command line that does not fit. %1 is an option or a command, as typed.
inline constexpr char kCliUnknownOption[] = "unknown option %1";
// %2 names the option's value, as --help does ("PORT").
inline constexpr char kCliOptionNeedsValue[] = "%1 needs a value (%2)";
inline constexpr char kCliOptionTakesNoValue[] = "%1 takes no value";
inline constexpr char kCliUnexpectedWord[] = "unexpected %1";
inline constexpr char kCliNeedsTable[] = "%1 needs a table";
inline constexpr char kCliNeedsTableAndFile[] = "%1 needs a table and a FILE";
// %2 is the table as typed.
inline constexpr char kCliTakesAnyTable[] = "%1 takes settings, numbers or history, not %2";
inline constexpr char kCliTakesSavedTable[] = "%1 takes settings or numbers, not %2";
inline constexpr char kCliTakesOnePort[] = "%1 takes one -p PORT";
inline constexpr char kCliUnknownCommand[] = "unknown command %1 (torvane --help lists them)";
// %1 is the command, %2 the option.
inline constexpr char kCliDoesNotTake[] = "%1 does not take %2";

// No port named and not exactly one listed. %1 is the ports listed.
inline constexpr char kCliSeveralPorts[] = "several ports are listed (%1); name one with -p PORT";

// Files the tool cannot write. %1 is the file, %2 why.
inline constexpr char kCliTraceNotWritten[] = "cannot write the trace file %1: %2";
inline constexpr char kCliReportNotWritten[] = "cannot write the report %1: %2";

// A file of the wrong kind for its table. %1 is the file, %2 the table.
inline constexpr char kCliFileKinds[] = "%1: %2 files are .xlsx, .xls, .cvs or .json";
inline constexpr char kCliFileKindsRead[] = "%1: %2 files are .xlsx, .xls or .json";

// One job's result: the port, the result, the pages written, the seconds taken, (the SIM number the
// login found,) then the job's notes, each after "; ".
inline constexpr char kCliResult[] = "%1: %2, %3 pages written, %4 s%5";
inline constexpr char kCliResultSim[] = "%1: %2, %3 pages written, %4 s, SIM %5%6";

// verify and diff: how many differ from the file (%2), and which (%3).
inline constexpr char kCliParametersDiffer[] = "%1 parameters differ from %2: %3";
inline constexpr char kCliSerialsDiffer[] = "%1 serials differ from %2: %3";
inline constexpr char kCliMoreDiffer[] = "%1 and %2 more";
// One difference: the parameter's name, or the row's serial, then the device's text and the file's.
inline constexpr char kCliParameterDiffers[] = "%1: device \"%2\", file \"%3\"";
inline constexpr char kCliSerialDiffers[] = "serial %1: device \"%2\", file \"%3\"";

}  // namespace torvane
