// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the number list part of the program says to the operator, in one place.
namespace torvane {

// Reading and saving the 375 pages.
inline constexpr char kNumbersReadQuestion[] =
    "Read the Authorized number list from GSM device to PC software?";
inline constexpr char kNumbersReadRequest[] = "Reading telephone number information";
inline constexpr char kNumbersReadReply[] = "Reading number list:";
inline constexpr char kNumbersReadDone[] = "Authorized number list read to PC software success.";
inline constexpr char kNumbersWriteRequest[] = "Save list";
inline constexpr char kNumbersWriteReply[] = "Save number list:";
inline constexpr char kNumbersWriteDone[] = "Authorized number list saved success";
inline constexpr char kNumbersWriteRefused[] = "Number list data error";
inline constexpr char kNumbersBackupRequest[] = "Backing up number list";
inline constexpr char kNumbersBackupReply[] = "Backing up number list:";
inline constexpr char kNumbersVerifyRequest[] = "Reading back number list";
inline constexpr char kNumbersVerifyReply[] = "Verifying number list:";
inline constexpr char kNumbersProbeRequest[] = "Checking the device is the one last read";
inline constexpr char kNumbersProbeReply[] = "Checking number list:";
inline constexpr char kNumbersTable[] = "number list";
inline constexpr char kNumbersNotKept[] =
    "The device did not keep these rows of the number list when they were saved: %1.";
// The summary before a save that changes much, or deletes numbers the device holds.
inline constexpr char kNumbersSaveSummary[] = "This save changes the device's number list:";
// One line each, under the summary's first: how many rows, then the first serials.
inline constexpr char kNumbersSummaryAdded[] = " added %1 rows (%2)";
inline constexpr char kNumbersSummaryChanged[] = " changed %1 rows (%2)";
inline constexpr char kNumbersSummaryDeleted[] = " deleted %1 rows (%2)";
inline constexpr char kNumbersSummaryQuestion[] = "Save it to the device?";
// The check before a save: a number the device would hold twice (each with its own window, so the
// device would judge a call by whichever it finds first).
inline constexpr char kNumbersDuplicates[] =
    "These numbers stand in more than one row: %1. Save the list as it is?";
inline constexpr char kNumbersDuplicateRows[] = "%1 (serials %2)";
inline constexpr char kNumbersMoreDuplicates[] = "%1 and %2 more";
inline constexpr char kNumbersWrongRows[] =
    "Wrong operation:please select \"Always\" or setting the Start-End date and time.Total:";
inline constexpr char kNumbersWrongSerials[] = "\rWrong serial number:";

// The find bar.
inline constexpr char kNumberFindPlaceholder[] = "Number, or # and a serial";
inline constexpr char kNumberFindResult[] = "%1 of %2";
inline constexpr char kNumberFindMatches[] = "%1 rows match.";
inline constexpr char kNumberFindNoMatch[] = "No row matches.";

// The files.
inline constexpr char kNumbersXlsExportFilter[] = "EXCEL file|*.xlsx;*.xls|(*.*)|*.*";
inline constexpr char kNumbersXlsImportFilter[] = "EXCEL file|*.xls;*.xlsx|(*.*)|*.*";
inline constexpr char kNumbersCsvFilter[] = "CVS file|*.cvs;*.cvs|(*.*)|*.*";
inline constexpr char kNumbersXlsNamePrefix[] = "telinf_R";
inline constexpr char kNumbersCsvNamePrefix[] = "telinf_CSV";
inline constexpr char kNumbersCsvExtension[] = ".cvs";
inline constexpr char kNumbersXlsSaveStatus[] = "Save:";
inline constexpr char kNumbersXlsImportStatus[] = "Import.xls";
inline constexpr char kNumbersCsvStatus[] = "Export.csv:";
inline constexpr char kWrongNumberSerials[] = "\rSerial: ";
// The number list import shares the settings profile's refusal text.
inline constexpr char kWrongNumbersFormat[] = "Wrong format of the setting profile";
inline constexpr char kWrongNumberRows[] =
    "Wrong information on the profile,please correct it and then import again,error:";
// A file refused before anything is loaded: the rows named by serial, each with why. Rows without a
// whole window keep the message above.
inline constexpr char kNumbersImportRefused[] =
    "Nothing was imported: the device cannot keep these rows as the file gives them.";
inline constexpr char kNumberSerial[] = "serial ";
inline constexpr char kNumberBadDate[] = "the date \"%1\" is no day of 2000 to 2099 written as yyyy-MM-dd";
inline constexpr char kNumberBadTime[] = "the time \"%1\" is no time from 00:00 to 23:59 written as HH:mm";
inline constexpr char kNumberNoWindow[] = "neither \"Always\" nor a whole Start-End date and time";

// A JSON file of the number list that cannot be read; %1 is a row's serial.
inline constexpr char kJsonSerialOutside[] = "serial %1 is outside 1 to %2";
inline constexpr char kJsonSerialTwice[] = "serial %1 is given twice";
// %2 is the key of the row's object.
inline constexpr char kJsonSerialNotText[] = "serial %1: \"%2\" is no text";
inline constexpr char kJsonSerialNotBoolean[] = "serial %1: \"%2\" is neither true nor false";

// A file added to the list by number ("Add from file…", torvane write numbers FILE --merge).
inline constexpr char kNumbersAddFromFileCaption[] = "Add from file…";
inline constexpr char kNumbersMergeFilter[] = "Number list|*.xlsx;*.xls;*.json|(*.*)|*.*";
inline constexpr char kNumbersMerged[] =
    "The file was merged into the number list. Added: %1, updated: %2, unchanged: %3, not placed (no empty "
    "row left): %4.";

}  // namespace torvane
