// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/spreadsheet_formats.h"

#include <cmath>

namespace torvane::sheetfile {

void FailOpen(const std::string& fileName, const std::string& reason) {
  throw ESpreadsheetError(EFileError::TAction::Open, fileName, reason);
}

void FailSave(const std::string& fileName, const std::string& reason) {
  throw ESpreadsheetError(EFileError::TAction::Save, fileName, reason);
}

std::string BuiltinFormat(int id, bool* systemShortDate) {
  *systemShortDate = false;
  switch (id) {
    case 0:
      return "General";
    case 1:
      return "0";
    case 2:
      return "0.00";
    case 3:
      return "#,##0";
    case 4:
      return "#,##0.00";
    case 9:
      return "0%";
    case 10:
      return "0.00%";
    case 11:
      return "0.00E+00";
    case 12:
      return "# ?/?";
    case 13:
      return "# ?\?/?\?";
    case 14:
      *systemShortDate = true;
      return "yyyy/mm/dd";
    case 15:
      return "d-mmm-yy";
    case 16:
      return "d-mmm";
    case 17:
      return "mmm-yy";
    case 18:
      return "h:mm AM/PM";
    case 19:
      return "h:mm:ss AM/PM";
    case 20:
      return "h:mm";
    case 21:
      return "h:mm:ss";
    case 22:
      return "yyyy/mm/dd h:mm";
    case 37:
      return "#,##0 ;(#,##0)";
    case 38:
      return "#,##0 ;[Red](#,##0)";
    case 39:
      return "#,##0.00;(#,##0.00)";
    case 40:
      return "#,##0.00;[Red](#,##0.00)";
    case 45:
      return "mm:ss";
    case 46:
      return "[h]:mm:ss";
    case 47:
      return "mmss.0";
    case 48:
      return "##0.0E+0";
    case 49:
      return "@";
    default:
      break;
  }
  // The East Asian built-in date formats; shown with the system's short date.
  if ((id >= 27 && id <= 36) || (id >= 50 && id <= 58)) {
    *systemShortDate = true;
    return "yyyy/mm/dd";
  }
  return {};
}

uint16_t SheetFormatOf(TSheet& sheet, int id, const std::string* customCode) {
  bool systemShortDate = false;
  const std::string code = customCode ? *customCode : BuiltinFormat(id, &systemShortDate);
  if (code.empty() || code == "General") return TSheet::kGeneral;
  if (code == "@") return TSheet::kTextFormat;
  return sheet.AddFormat(code, systemShortDate);
}

double StoredColumnWidth(double characters) {
  if (characters <= 0) return 0;
  return std::floor((characters * 7 + 5) / 7 * 256) / 256;
}

double CharactersOfStoredWidth(double stored) {
  if (stored <= 0) return 0;
  double characters = (stored * 7 - 5) / 7;
  return characters <= 0 ? 0 : std::round(characters * 100) / 100;
}

}  // namespace torvane::sheetfile
