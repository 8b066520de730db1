// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The spreadsheet component: the handful of spreadsheet-application operations the profile, number
// list and history files are made of, done natively on .xlsx and .xls files (no Excel, no office
// program). The object model follows the spreadsheet application's automation model so that the file
// code reads like the operations it performs:
//
//   Export                                          Import
//   TExcelApplication excel;                        TExcelApplication excel;
//   TWorkbook& book = excel.WorkBooks().Add();      excel.WorkBooks().Open(fileName);   // may throw
//   excel.Columns(1).SetColumnWidth(4);             if (excel.Cells(1, 1).Text() != "Serial") ...
//   excel.Cells(r, c).SetNumberFormatLocal("@");    std::string date = excel.Cells(r, 3).Value();
//   excel.Cells(r, c).SetValue(text);               std::string mark = excel.Cells(r, 7).Text();
//   book.SaveAs(chosenName);                        // may throw   excel.Quit();
//   book.Close();  excel.Quit();
//
// This file holds the application objects and the file operations. What they act on lives apart:
// the sheet and its cells in files/sheet.h, number formats in files/number_format.h, date serials in
// files/date_serial.h, the reader and writer of each format behind files/spreadsheet_formats.h.
//
// Rows and columns count from 1, as in the spreadsheet program. Cells() and Columns() act on the
// active workbook's only sheet: the one Add() made, or the first sheet of the file Open() read.
// Member names are ordinary C++ members here; nothing is looked up by name, so the case in which a
// caller spells a member has no meaning. The application's separate "sheet object" that exports
// create and drop has no counterpart: it does nothing.
//
// What the cells hold and how they read back:
// - SetValue(text) stores the text as text, always: "0123" stays "0123", "2024-05-06" stays a text.
//   A text cell reads back unchanged through Text() and Value(). An empty text empties the cell.
//   Every byte of a text is kept in both formats, a zero byte and other control characters included
//   (.xlsx spells what XML cannot carry _xHHHH_, and a literal "_x0041_" as "_x005F_x0041_").
// - Every cell that is written is saved in the text number format "@" (whether or not the caller set
//   it), so that other spreadsheet programs keep dates, times and numbers as the texts they were.
// - Cells of files written elsewhere: Text() is what a spreadsheet program shows, Value() is the
//   value converted to text:
//     text                 both: the text as it stands (leading, trailing and all-blank spaces kept)
//     number               both: general format: 123, 0.5, 13800138000, 1E+20 (no trailing zeros)
//     boolean              both: TRUE / FALSE
//     error                both: the error text, as #N/A
//     date/time (a number  Text(): the date/time as the cell's format shows it (a format that
//       with a date or       follows the system's short date shows DateFormat());
//       time format)       Value(): date part as DateFormat() ("yyyy/MM/dd"), time part as hh:mm;
//                            a date alone when there is no time of day, a time alone when there is
//                            no date (a serial below 1), else both separated by one space.
//   so a number list typed into Excel with real date and time cells imports as the operator sees it.
//
// Files:
// - Open() recognises the format by the content, not the name: a zip package is read as .xlsx, a
//   compound document as .xls (Excel 97-2003, BIFF8). Only the first sheet is read.
// - SaveAs(name) picks the format by the name: ".xlsx" -> xlsx, ".xls" -> xls, no extension ->
//   ".xlsx" is appended (as the spreadsheet application adds its own), any other extension -> xlsx
//   content under exactly that name. The extension is compared without regard to case. The file is
//   written to a temporary file in the same folder and renamed over the target, so a failed save
//   never damages an existing file.
// - Every failure (a missing, unreadable, broken, oversized or hostile file, a file that is not a
//   workbook, an .xls that is not BIFF8, a save that fails) throws ESpreadsheetError, an EFileError
//   whose what() names the file and the reason, ready for the operator's error box. Nothing of the
//   file is kept when Open() fails: the previously active workbook stays active.
// - Limits on reading: kMaxPartBytes uncompressed per part of an .xlsx package, kMaxFileBytes per
//   file, kMaxRows rows, kMaxColumns columns and kMaxCells non-empty cells.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "files/number_format.h"
#include "files/sheet.h"

namespace torvane {

class TWorkbook {
 public:
  explicit TWorkbook(std::string fileName = {}) : fileName_(std::move(fileName)) {}
  TSheet& ActiveSheet() { return sheet_; }
  const TSheet& ActiveSheet() const { return sheet_; }
  // The file the workbook was opened from or last saved as; empty for a new one.
  const std::string& FileName() const { return fileName_; }

  // Writes the workbook (format by name, see the header comment). Throws ESpreadsheetError.
  void SaveAs(const std::string& fileName);
  // Closes the workbook without saving; the workbook object must not be used afterwards.
  void Close();

  void SetOwner(class TWorkbooks* owner) { owner_ = owner; }

 private:
  std::string fileName_;
  TSheet sheet_;
  class TWorkbooks* owner_ = nullptr;
};

class TWorkbooks {
 public:
  // A new, empty workbook, made the active one.
  TWorkbook& Add();
  // Reads the file into a new workbook and makes it the active one. Throws ESpreadsheetError.
  TWorkbook& Open(const std::string& fileName);

  TWorkbook* Active() { return books_.empty() ? nullptr : books_.back().get(); }
  size_t Count() const { return books_.size(); }
  void Remove(TWorkbook* book);
  void Clear() { books_.clear(); }
  std::string DateFormat = "yyyy/MM/dd";

 private:
  std::vector<std::unique_ptr<TWorkbook>> books_;
};

// A cell of the active sheet, as Cells(row, column) hands it out.
class TCellRef {
 public:
  TCellRef(TSheet& sheet, int row, int column) : sheet_(sheet), row_(row), column_(column) {}
  std::string Text() const { return sheet_.Text(row_, column_); }
  std::string Value() const { return sheet_.Value(row_, column_); }
  void SetValue(std::string_view text);
  // "@" makes the cell a text cell; any other code is kept as the cell's format.
  void SetNumberFormatLocal(std::string_view code);
  std::string NumberFormatLocal() const;

 private:
  TSheet& sheet_;
  int row_;
  int column_;
};

class TColumnRef {
 public:
  TColumnRef(TSheet& sheet, int column) : sheet_(sheet), column_(column) {}
  void SetColumnWidth(double width) { sheet_.SetColumnWidth(column_, width); }
  double ColumnWidth() const { return sheet_.ColumnWidth(column_); }

 private:
  TSheet& sheet_;
  int column_;
};

// The application object. It is never visible and holds nothing but its workbooks.
class TExcelApplication {
 public:
  TWorkbooks& WorkBooks() { return books_; }
  // Throw ESpreadsheetError (without a file name) when no workbook is open.
  TCellRef Cells(int row, int column);
  TColumnRef Columns(int column);
  // Drops every workbook without saving. Harmless when called again.
  void Quit() { books_.Clear(); }

  // Dates read as values use this format (the program's short date format); Delphi-style codes
  // yyyy, MM, dd as in "yyyy/MM/dd".
  void SetDateFormat(std::string format) { books_.DateFormat = std::move(format); }

 private:
  TSheet& ActiveSheet();
  TWorkbooks books_;
};

// The building blocks, for the tests and for callers that want a sheet without the application.
std::unique_ptr<TSheet> ReadWorkbookFile(const std::string& fileName);
void WriteXlsxFile(const TSheet& sheet, const std::string& fileName);
void WriteXlsFile(const TSheet& sheet, const std::string& fileName);
// The file name SaveAs writes and whether it is .xls.
std::string SaveAsFileName(const std::string& fileName, bool* isXls);

}  // namespace torvane
