// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Why a file could not be read or written, where the reason names something of the file's own; each
// becomes the reason in "Cannot open "file": ...".
namespace torvane {

// The .xlsx reader: a part of the workbook's zip package (%1) that is amiss.
inline constexpr char kPartMissing[] = "the part \"%1\" of the workbook is missing";
inline constexpr char kPartDamaged[] = "the part \"%1\" of the workbook is damaged";
inline constexpr char kPartChecksum[] = "the part \"%1\" of the workbook is damaged (checksum error)";
inline constexpr char kPartNotUnpacked[] = "the part \"%1\" of the workbook cannot be unpacked";
inline constexpr char kPartTooLarge[] = "the part \"%1\" of the workbook unpacks to more than %2 MB";
// %2 is what the XML parser says, %3 where.
inline constexpr char kPartNotXml[] = "the part \"%1\" of the workbook is not valid XML (%2 at byte %3)";
inline constexpr char kPartTooManyTexts[] = "the part \"%1\" of the workbook holds more than %2 texts";
inline constexpr char kPartTooManyFormats[] =
    "the part \"%1\" of the workbook holds more than 65536 cell formats";
// %2 is the reference as written; %3 and %4 the rows and columns a sheet holds.
inline constexpr char kPartBadReference[] =
    "the part \"%1\" of the workbook has a bad reference \"%2\" (the sheet holds at most %3 rows and %4 "
    "columns)";
inline constexpr char kPartNoSuchText[] =
    "the part \"%1\" of the workbook refers to a shared string that does not exist (\"%2\")";
inline constexpr char kPartBadDate[] = "the part \"%1\" of the workbook holds a date that cannot be read";
inline constexpr char kPartBadNumber[] =
    "the part \"%1\" of the workbook holds a number that cannot be read (\"%2\")";
inline constexpr char kPartNotWorksheet[] = "the part \"%1\" of the workbook is not a worksheet";

// The .xls reader and writer, and the sheet both fill. %1 is a count, or what is damaged.
inline constexpr char kXlsDamaged[] = "the file is damaged (%1)";
inline constexpr char kWorkbookTooManyTexts[] = "the workbook holds more than %1 texts";
inline constexpr char kSheetTooManyRows[] = "the sheet has more than %1 rows";
inline constexpr char kSheetTooManyCells[] = "the sheet has more than %1 cells";
inline constexpr char kCellOutsideSheet[] = "cell (%1, %2) lies outside the sheet";
inline constexpr char kXlsTooLarge[] = "an .xls sheet holds at most %1 rows and %2 columns; save it as .xlsx";
inline constexpr char kXlsTooWide[] = "an .xls sheet holds at most %1 columns";

// The compound document an .xls is kept in. %1 is a stream's name.
inline constexpr char kStreamMissing[] = "it holds no stream \"%1\"";
inline constexpr char kStreamNotOpened[] = "the stream \"%1\" cannot be opened";
inline constexpr char kStreamNotMeasured[] = "the stream \"%1\" cannot be measured";
inline constexpr char kStreamNotRead[] = "the stream \"%1\" cannot be read";
inline constexpr char kStreamNotMade[] = "the stream \"%1\" cannot be made";
inline constexpr char kStreamNotWritten[] = "the stream \"%1\" cannot be written";
inline constexpr char kStreamFull[] = "the stream \"%1\" takes no more bytes";

// The safe save. %1 is a folder, or why the system refused.
inline constexpr char kFolderMissing[] = "the folder \"%1\" does not exist";
inline constexpr char kNotAFolder[] = "\"%1\" is not a folder";
inline constexpr char kTemporaryFileVanished[] = "the temporary file vanished: %1";

// Backups. %1 is a table's name, or a page's number.
inline constexpr char kBackupUnknownTable[] = "it names no table this program knows (\"%1\")";
inline constexpr char kBackupPageDamaged[] = "page %1 is damaged";
inline constexpr char kBackupPagesShort[] = "the pages read do not fill the table \"%1\"";

}  // namespace torvane
