// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The file formats behind TWorkbook: one reader and one writer per format, and what they share (the
// failures, Excel's built-in number formats, column widths). Only the spreadsheet component's own
// files include this.
#include <string>
#include <string_view>

#include "files/sheet.h"

namespace torvane::sheetfile {

[[noreturn]] void FailOpen(const std::string& fileName, const std::string& reason);
[[noreturn]] void FailSave(const std::string& fileName, const std::string& reason);

// `bytes` is the whole file; `fileName` only names it in messages.
void ReadXlsx(const std::string& fileName, const std::string& bytes, TSheet& sheet);
void ReadXls(const std::string& fileName, const std::string& bytes, TSheet& sheet);

// Write the sheet to `path` (the temporary file); `fileName` names the target in messages.
void WriteXlsx(const TSheet& sheet, const std::string& path, const std::string& fileName);
std::string BuildXls(const TSheet& sheet, const std::string& fileName);

// Excel's built-in number formats by id; empty for an unknown id. `systemShortDate` tells that the
// format follows the system's short date.
std::string BuiltinFormat(int id, bool* systemShortDate);

// The sheet's format for a cell-format record of number format `id`: the file's own code for it when
// it defines one (`customCode`), otherwise the built-in one.
uint16_t SheetFormatOf(TSheet& sheet, int id, const std::string* customCode);

// Column widths: the spreadsheet's character units <-> the stored width, which includes the cell
// padding (5 pixels on a 7-pixel digit of the default font).
double StoredColumnWidth(double characters);
double CharactersOfStoredWidth(double stored);

}  // namespace torvane::sheetfile
