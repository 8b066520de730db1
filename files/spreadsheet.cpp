// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/spreadsheet.h"

#include <cctype>
#include <cstring>

#include "files/spreadsheet_formats.h"

namespace torvane {

namespace {

using sheetfile::FailOpen;

}  // namespace

std::string SaveAsFileName(const std::string& fileName, bool* isXls) {
  size_t slash = fileName.find_last_of('/');
  size_t dot = fileName.find_last_of('.');
  bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash) &&
                      dot != (slash == std::string::npos ? 0 : slash + 1);  // ".hidden" has none
  std::string extension;
  if (hasExtension)
    for (char c : fileName.substr(dot))
      extension += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  *isXls = extension == ".xls";
  if (!hasExtension) return fileName + ".xlsx";
  return fileName;
}

std::unique_ptr<TSheet> ReadWorkbookFile(const std::string& fileName) {
  auto sheet = std::make_unique<TSheet>();
  std::string bytes;
  try {
    bytes = ReadWholeFile(fileName, kMaxFileBytes);
  } catch (const EFileError& error) {
    throw ESpreadsheetError(EFileError::TAction::Open, fileName, error.Reason());
  }
  static const char kZip[] = {'P', 'K', 3, 4};
  static const unsigned char kCompound[] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  try {
    if (bytes.size() >= 4 && std::memcmp(bytes.data(), kZip, 4) == 0) {
      sheetfile::ReadXlsx(fileName, bytes, *sheet);
    } else if (bytes.size() >= 8 && std::memcmp(bytes.data(), kCompound, 8) == 0) {
      sheetfile::ReadXls(fileName, bytes, *sheet);
    } else if (bytes.empty()) {
      FailOpen(fileName, "the file is empty");
    } else {
      FailOpen(fileName, "the file is not an Excel workbook (.xlsx or .xls)");
    }
  } catch (const ESpreadsheetError& error) {
    // Limits hit inside the sheet do not know the file's name.
    if (error.FileName().empty()) FailOpen(fileName, error.Reason());
    throw;
  }
  return sheet;
}

void WriteXlsxFile(const TSheet& sheet, const std::string& fileName) {
  SaveFileAtomically(fileName,
                     [&](const std::string& tempPath) { sheetfile::WriteXlsx(sheet, tempPath, fileName); });
}

void WriteXlsFile(const TSheet& sheet, const std::string& fileName) {
  std::string bytes = sheetfile::BuildXls(sheet, fileName);
  WriteFileAtomically(fileName, bytes);
}

void TWorkbook::SaveAs(const std::string& fileName) {
  bool isXls = false;
  std::string target = SaveAsFileName(fileName, &isXls);
  try {
    if (isXls)
      WriteXlsFile(sheet_, target);
    else
      WriteXlsxFile(sheet_, target);
  } catch (const ESpreadsheetError&) {
    throw;
  } catch (const EFileError& error) {
    throw ESpreadsheetError(EFileError::TAction::Save, target, error.Reason());
  }
  fileName_ = target;
}

void TWorkbook::Close() {
  if (owner_ != nullptr) owner_->Remove(this);
}

TWorkbook& TWorkbooks::Add() {
  books_.push_back(std::make_unique<TWorkbook>());
  books_.back()->SetOwner(this);
  books_.back()->ActiveSheet().DateFormat = DateFormat;
  return *books_.back();
}

TWorkbook& TWorkbooks::Open(const std::string& fileName) {
  std::unique_ptr<TSheet> sheet = ReadWorkbookFile(fileName);
  auto book = std::make_unique<TWorkbook>(fileName);
  book->ActiveSheet() = std::move(*sheet);
  book->ActiveSheet().DateFormat = DateFormat;
  book->SetOwner(this);
  books_.push_back(std::move(book));
  return *books_.back();
}

void TWorkbooks::Remove(TWorkbook* book) {
  std::erase_if(books_, [book](const std::unique_ptr<TWorkbook>& b) { return b.get() == book; });
}

void TCellRef::SetValue(std::string_view text) {
  sheet_.SetText(row_, column_, text);
}

void TCellRef::SetNumberFormatLocal(std::string_view code) {
  TCell& cell = sheet_.At(row_, column_);
  cell.Format = code == "@" ? TSheet::kTextFormat : sheet_.AddFormat(code);
  cell.Written = true;
}

std::string TCellRef::NumberFormatLocal() const {
  const TCell* cell = sheet_.Find(row_, column_);
  return cell == nullptr ? "General" : sheet_.FormatCode(cell->Format);
}

TSheet& TExcelApplication::ActiveSheet() {
  TWorkbook* book = books_.Active();
  if (book == nullptr) throw ESpreadsheetError(EFileError::TAction::Open, "", "no workbook is open");
  return book->ActiveSheet();
}

TCellRef TExcelApplication::Cells(int row, int column) {
  return TCellRef(ActiveSheet(), row, column);
}

TColumnRef TExcelApplication::Columns(int column) {
  return TColumnRef(ActiveSheet(), column);
}

}  // namespace torvane
