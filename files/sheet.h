// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The sheet model behind the spreadsheet component: one worksheet as the readers fill it and the
// writers save it (a sparse table of cells, the number formats they use, the column widths, the date
// system), the limits a workbook read from a file keeps to, and ESpreadsheetError, the failure of
// every spreadsheet operation.
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "files/number_format.h"
#include "files/safe_file.h"

namespace torvane {

class ESpreadsheetError : public EFileError {
 public:
  using EFileError::EFileError;
};

// The most a sheet takes (rows, columns, non-empty cells), and the most a file or one part of an
// .xlsx package may hold when read (see the limits in files/spreadsheet.h).
constexpr int kMaxRows = 1048576;
constexpr int kMaxColumns = 16384;
constexpr size_t kMaxCells = 1'000'000;
constexpr size_t kMaxPartBytes = 64u << 20;
constexpr size_t kMaxFileBytes = 128u << 20;
// An .xls sheet cannot hold more.
constexpr int kMaxXlsRows = 65536;
constexpr int kMaxXlsColumns = 256;

enum class TCellKind : uint8_t { Empty, Text, Number, Boolean, Error };

struct TCell {
  TCellKind Kind = TCellKind::Empty;
  // Index into the sheet's number formats (0 = "General", 1 = "@").
  uint16_t Format = 0;
  // Set by SetNumberFormatLocal or SetValue: the cell was touched and is saved even when empty.
  bool Written = false;
  double Number = 0;  // Number and Boolean (0 / 1)
  std::string Text;   // Text and Error
};

// One worksheet: a sparse table of cells, the number formats they use and the column widths.
class TSheet {
 public:
  static constexpr uint16_t kGeneral = 0;
  static constexpr uint16_t kTextFormat = 1;

  TSheet();

  const TCell* Find(int row, int column) const;
  // The cell, created when missing. Throws ESpreadsheetError beyond the limits.
  TCell& At(int row, int column);

  void SetText(int row, int column, std::string_view text);
  // What a spreadsheet program shows, and the value converted to text (see files/spreadsheet.h).
  std::string Text(int row, int column) const;
  std::string Value(int row, int column) const;

  // Number formats, by format code. A code already known returns its index.
  uint16_t AddFormat(std::string_view code, bool systemShortDate = false);
  const std::string& FormatCode(uint16_t format) const { return formats_[format].Code; }
  TDateKind FormatDateKind(uint16_t format) const { return formats_[format].DateKind; }

  // Widths in the spreadsheet's character units; 0 when the column keeps the default.
  void SetColumnWidth(int column, double width);
  double ColumnWidth(int column) const;
  const std::map<int, double>& ColumnWidths() const { return widths_; }

  bool Date1904 = false;
  // The program's short date format for dates read as values ("yyyy/MM/dd" set at start-up).
  std::string DateFormat = "yyyy/MM/dd";

  size_t CellCount() const { return cellCount_; }
  int LastRow() const { return rows_.empty() ? 0 : rows_.rbegin()->first; }
  // Rows in ascending order; each row holds its cells from column 1 to its last cell.
  const std::map<int, std::vector<TCell>>& Rows() const { return rows_; }

 private:
  struct TFormat {
    std::string Code;
    TDateKind DateKind;
    bool SystemShortDate;
  };
  std::vector<TFormat> formats_;
  std::unordered_map<std::string, uint16_t> formatIndex_;  // code + '\1' when it follows the short date
  std::map<int, std::vector<TCell>> rows_;
  std::map<int, double> widths_;
  size_t cellCount_ = 0;
};

}  // namespace torvane
