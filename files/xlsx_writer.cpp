// SPDX-License-Identifier: GPL-3.0-or-later
#include <xlsxwriter.h>

#include <cstdio>
#include <map>

#include "files/spreadsheet_formats.h"

namespace torvane::sheetfile {

namespace {

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

void AppendEscape(std::string& out, unsigned code) {
  char escape[8];
  std::snprintf(escape, sizeof escape, "_x%04X_", code);
  out += escape;
}

// A cell text as the package spells it: characters XML cannot carry become _xHHHH_, and a text that
// already reads like such an escape gets its underscore escaped (_x005F_), so that every reader that
// follows the rule gives back the very bytes we were handed. libxlsxwriter takes C strings, which
// would end the text at its first zero byte; it escapes the other control characters itself, but
// leaves a literal "_x0041_" alone. What it is handed here holds no control character but tab and
// line feed, so it adds nothing of its own. A carriage return is escaped too: XML readers turn it
// into a line feed.
std::string EscapedText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x20 && byte != '\t' && byte != '\n') {
      AppendEscape(out, byte);
    } else if (byte == '_' && i + 6 < text.size() && text[i + 1] == 'x' && IsHexDigit(text[i + 2]) &&
               IsHexDigit(text[i + 3]) && IsHexDigit(text[i + 4]) && IsHexDigit(text[i + 5]) &&
               text[i + 6] == '_') {
      AppendEscape(out, '_');
    } else if (byte == 0xEF && i + 2 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0xBF &&
               (static_cast<unsigned char>(text[i + 2]) & 0xFE) == 0xBE) {
      // U+FFFE and U+FFFF are no XML characters either.
      AppendEscape(out, static_cast<unsigned char>(text[i + 2]) == 0xBE ? 0xFFFE : 0xFFFF);
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

// libxlsxwriter keeps its workbook until workbook_close(), which writes the file and frees it.
class TXlsxBook {
 public:
  TXlsxBook(const std::string& path, const std::string& fileName) : fileName_(fileName) {
    lxw_workbook_options options{};
    options.constant_memory = LXW_FALSE;
    book_ = workbook_new_opt(path.c_str(), &options);
    if (book_ == nullptr) FailSave(fileName_, "the workbook cannot be created");
  }
  ~TXlsxBook() {
    // An abandoned workbook still has to be freed; its output goes to the temporary file, which the
    // caller removes.
    if (book_ != nullptr) workbook_close(book_);
  }
  TXlsxBook(const TXlsxBook&) = delete;
  TXlsxBook& operator=(const TXlsxBook&) = delete;

  lxw_workbook* Get() { return book_; }

  void Close() {
    lxw_error error = workbook_close(book_);
    book_ = nullptr;
    if (error != LXW_NO_ERROR) FailSave(fileName_, lxw_strerror(error));
  }

  void Check(lxw_error error) {
    if (error == LXW_ERROR_MAX_STRING_LENGTH_EXCEEDED)
      FailSave(fileName_, "a cell holds more than 32767 characters");
    if (error != LXW_NO_ERROR) FailSave(fileName_, lxw_strerror(error));
  }

 private:
  std::string fileName_;
  lxw_workbook* book_ = nullptr;
};

}  // namespace

void WriteXlsx(const TSheet& sheet, const std::string& path, const std::string& fileName) {
  TXlsxBook book(path, fileName);
  lxw_worksheet* worksheet = workbook_add_worksheet(book.Get(), nullptr);
  if (worksheet == nullptr) FailSave(fileName, "the worksheet cannot be created");

  lxw_format* text = workbook_add_format(book.Get());
  format_set_num_format(text, "@");
  std::map<uint16_t, lxw_format*> numberFormats;
  auto numberFormat = [&](uint16_t index) -> lxw_format* {
    if (index == TSheet::kGeneral) return nullptr;
    if (index == TSheet::kTextFormat) return text;
    auto found = numberFormats.find(index);
    if (found != numberFormats.end()) return found->second;
    lxw_format* format = workbook_add_format(book.Get());
    format_set_num_format(format, sheet.FormatCode(index).c_str());
    numberFormats[index] = format;
    return format;
  };

  for (const auto& [column, width] : sheet.ColumnWidths())
    book.Check(worksheet_set_column(worksheet, static_cast<lxw_col_t>(column - 1),
                                    static_cast<lxw_col_t>(column - 1), width, nullptr));

  for (const auto& [row, cells] : sheet.Rows()) {
    auto r = static_cast<lxw_row_t>(row - 1);
    for (size_t i = 0; i < cells.size(); ++i) {
      const TCell& cell = cells[i];
      auto c = static_cast<lxw_col_t>(i);
      // What the program writes is text and is saved as text; cells that came from a file keep their kind.
      switch (cell.Kind) {
        case TCellKind::Text:
        case TCellKind::Error:
          book.Check(worksheet_write_string(worksheet, r, c, EscapedText(cell.Text).c_str(),
                                            cell.Written ? text : numberFormat(cell.Format)));
          break;
        case TCellKind::Number:
          // Our files always count dates from 1900.
          book.Check(worksheet_write_number(
              worksheet, r, c,
              cell.Number +
                  (sheet.Date1904 && sheet.FormatDateKind(cell.Format) != TDateKind::None ? 1462 : 0),
              numberFormat(cell.Format)));
          break;
        case TCellKind::Boolean:
          book.Check(worksheet_write_boolean(worksheet, r, c, cell.Number != 0, numberFormat(cell.Format)));
          break;
        case TCellKind::Empty:
          if (cell.Written || cell.Format != TSheet::kGeneral)
            book.Check(
                worksheet_write_blank(worksheet, r, c, cell.Written ? text : numberFormat(cell.Format)));
          break;
      }
    }
  }
  book.Close();
}

}  // namespace torvane::sheetfile
