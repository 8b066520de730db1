// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/spreadsheet.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "files/date_serial.h"
#include "files/spreadsheet_formats.h"

namespace torvane {

namespace sheetfile {

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

}  // namespace sheetfile

namespace {

using sheetfile::FailOpen;

// One piece of a date/time format code.
struct TToken {
  enum TType {
    Literal,
    Year,
    Month,
    Day,
    Hour,
    Minute,
    Second,
    AmPm,
    ElapsedHour,
    ElapsedMinute,
    ElapsedSecond,
    Fraction
  };
  TType Type;
  int Count = 0;     // letters, or fraction digits
  std::string Text;  // Literal; AmPm: "AM/PM" or "A/P"
};

bool StartsWithNoCase(std::string_view text, size_t at, std::string_view word) {
  if (text.size() - at < word.size()) return false;
  for (size_t i = 0; i < word.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(text[at + i])) !=
        std::tolower(static_cast<unsigned char>(word[i])))
      return false;
  return true;
}

void AddLiteral(std::vector<TToken>& tokens, std::string_view text) {
  if (!tokens.empty() && tokens.back().Type == TToken::Literal)
    tokens.back().Text += text;
  else
    tokens.push_back({TToken::Literal, 0, std::string(text)});
}

// What stands between brackets: an elapsed time ([h], [mm], [ss]) or a currency with its locale
// ([$EUR-407] shows "EUR"); a colour or a condition shows nothing.
void AddBracket(std::vector<TToken>& tokens, std::string_view inner) {
  std::string lowered(inner);
  for (char& ch : lowered) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  auto all = [&](char letter) {
    return !lowered.empty() && lowered.find_first_not_of(letter) == std::string::npos;
  };
  if (all('h'))
    tokens.push_back({TToken::ElapsedHour, static_cast<int>(lowered.size()), {}});
  else if (all('m'))
    tokens.push_back({TToken::ElapsedMinute, static_cast<int>(lowered.size()), {}});
  else if (all('s'))
    tokens.push_back({TToken::ElapsedSecond, static_cast<int>(lowered.size()), {}});
  else if (!inner.empty() && inner[0] == '$')
    AddLiteral(tokens, inner.substr(1, inner.find('-') == std::string_view::npos ? std::string_view::npos
                                                                                 : inner.find('-') - 1));
}

bool IsDateLetter(char lower) {
  return lower == 'y' || lower == 'e' || lower == 'm' || lower == 'd' || lower == 'h' || lower == 's';
}

// A run of one date or time letter ("yyyy", "mm", "ss"), whatever its case; "e" is the four-digit
// year. Returns where the run ends.
size_t AddDatePart(std::vector<TToken>& tokens, std::string_view code, size_t i) {
  const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(code[i])));
  size_t run = i;
  while (run < code.size() && std::tolower(static_cast<unsigned char>(code[run])) == lower) ++run;
  int count = static_cast<int>(run - i);
  TToken::TType type = lower == 'y' || lower == 'e' ? TToken::Year
                       : lower == 'm'               ? TToken::Month
                       : lower == 'd'               ? TToken::Day
                       : lower == 'h'               ? TToken::Hour
                                                    : TToken::Second;
  tokens.push_back({type, lower == 'e' ? 4 : count, {}});
  return run;
}

// ".0", ".00" right after the seconds are fractions of a second, not literal text.
bool FractionFollows(const std::vector<TToken>& tokens, std::string_view code, size_t i) {
  return code[i] == '.' && i + 1 < code.size() && code[i + 1] == '0' && !tokens.empty() &&
         (tokens.back().Type == TToken::Second || tokens.back().Type == TToken::ElapsedSecond);
}

// The token that starts at code[i]; returns where the next one starts.
size_t AddToken(std::vector<TToken>& tokens, std::string_view code, size_t i) {
  const char c = code[i];
  if (c == '"') {
    size_t end = code.find('"', i + 1);
    if (end == std::string_view::npos) end = code.size();
    AddLiteral(tokens, code.substr(i + 1, end - i - 1));
    return end + 1;
  }
  if (c == '\\') {
    if (i + 1 < code.size()) AddLiteral(tokens, code.substr(i + 1, 1));
    return i + 2;
  }
  if (c == '_') {
    AddLiteral(tokens, " ");
    return i + 2;
  }
  if (c == '*') return i + 2;
  if (c == '[') {
    size_t end = code.find(']', i);
    if (end == std::string_view::npos) end = code.size();
    AddBracket(tokens, code.substr(i + 1, end - i - 1));
    return end + 1;
  }
  if (StartsWithNoCase(code, i, "AM/PM")) {
    tokens.push_back({TToken::AmPm, 0, "AM/PM"});
    return i + 5;
  }
  if (StartsWithNoCase(code, i, "A/P")) {
    tokens.push_back({TToken::AmPm, 0, "A/P"});
    return i + 3;
  }
  if (StartsWithNoCase(code, i, "General")) return i + 7;
  if (IsDateLetter(static_cast<char>(std::tolower(static_cast<unsigned char>(c)))))
    return AddDatePart(tokens, code, i);
  if (FractionFollows(tokens, code, i)) {
    size_t run = i + 1;
    while (run < code.size() && code[run] == '0') ++run;
    tokens.push_back({TToken::Fraction, static_cast<int>(run - i - 1), {}});
    return run;
  }
  AddLiteral(tokens, code.substr(i, 1));
  return i + 1;
}

// Month and minute share "m": the "m" right after an hour or right before a second is the minute.
void MarkMinutes(std::vector<TToken>& tokens) {
  for (size_t t = 0; t < tokens.size(); ++t) {
    if (tokens[t].Type != TToken::Month || tokens[t].Count > 2) continue;
    bool minute = false;
    for (size_t p = t; p-- > 0;) {
      if (tokens[p].Type == TToken::Literal) continue;
      minute = tokens[p].Type == TToken::Hour || tokens[p].Type == TToken::ElapsedHour;
      break;
    }
    for (size_t n = t + 1; !minute && n < tokens.size(); ++n) {
      if (tokens[n].Type == TToken::Literal) continue;
      minute = tokens[n].Type == TToken::Second;
      break;
    }
    if (minute) tokens[t].Type = TToken::Minute;
  }
}

// The first section of the code (up to an unquoted ';'), cut into tokens.
std::vector<TToken> Tokenize(std::string_view code) {
  std::vector<TToken> tokens;
  for (size_t i = 0; i < code.size() && code[i] != ';';) i = AddToken(tokens, code, i);
  MarkMinutes(tokens);
  return tokens;
}

const char* const kMonthNames[] = {"January", "February", "March",     "April",   "May",      "June",
                                   "July",    "August",   "September", "October", "November", "December"};
const char* const kDayNames[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                 "Thursday", "Friday", "Saturday"};

std::string Padded(long long value, int width) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%0*lld", width, value);
  return buffer;
}

}  // namespace

std::string GeneralNumberText(double value) {
  if (std::isnan(value)) return "#NUM!";
  if (std::isinf(value)) return "#NUM!";
  if (value == 0) return "0";
  char buffer[64];
  double magnitude = std::fabs(value);
  if (magnitude >= 1e15 || magnitude < 1e-9) {
    std::snprintf(buffer, sizeof buffer, "%.14E", value);
    // Mantissa without trailing zeros, exponent as E+20 / E-10.
    std::string text = buffer;
    size_t e = text.find('E');
    std::string mantissa = text.substr(0, e);
    std::string exponent = text.substr(e + 1);
    if (mantissa.find('.') != std::string::npos) {
      while (mantissa.back() == '0') mantissa.pop_back();
      if (mantissa.back() == '.') mantissa.pop_back();
    }
    char sign = exponent[0];
    std::string digits = exponent.substr(1);
    while (digits.size() > 2 && digits[0] == '0') digits.erase(0, 1);
    return mantissa + "E" + sign + digits;
  }
  std::snprintf(buffer, sizeof buffer, "%.15g", value);
  return buffer;
}

std::string FormatDateTime(double serial, std::string_view code, bool date1904) {
  if (!IsDateSerial(serial)) return GeneralNumberText(serial);
  std::vector<TToken> tokens = Tokenize(code);
  TDateParts parts = SplitSerial(serial, date1904);
  bool twelveHour =
      std::any_of(tokens.begin(), tokens.end(), [](const TToken& t) { return t.Type == TToken::AmPm; });
  std::string out;
  for (const TToken& token : tokens) {
    switch (token.Type) {
      case TToken::Literal:
        out += token.Text;
        break;
      case TToken::Year:
        out += token.Count <= 2 ? Padded(parts.Year % 100, 2) : Padded(parts.Year, 4);
        break;
      case TToken::Month:
        if (token.Count == 1)
          out += std::to_string(parts.Month);
        else if (token.Count == 2)
          out += Padded(parts.Month, 2);
        else if (token.Count == 3)
          out += std::string(kMonthNames[parts.Month - 1], 3);
        else if (token.Count == 5)
          out += kMonthNames[parts.Month - 1][0];
        else
          out += kMonthNames[parts.Month - 1];
        break;
      case TToken::Day:
        if (token.Count == 1)
          out += std::to_string(parts.Day);
        else if (token.Count == 2)
          out += Padded(parts.Day, 2);
        else if (token.Count == 3)
          out += std::string(kDayNames[parts.Weekday], 3);
        else
          out += kDayNames[parts.Weekday];
        break;
      case TToken::Hour: {
        int hour = parts.Hour;
        if (twelveHour) hour = hour % 12 == 0 ? 12 : hour % 12;
        out += token.Count >= 2 ? Padded(hour, 2) : std::to_string(hour);
        break;
      }
      case TToken::Minute:
        out += token.Count >= 2 ? Padded(parts.Minute, 2) : std::to_string(parts.Minute);
        break;
      case TToken::Second:
        out += token.Count >= 2 ? Padded(parts.Second, 2) : std::to_string(parts.Second);
        break;
      case TToken::AmPm:
        if (token.Text == "A/P")
          out += parts.Hour < 12 ? "A" : "P";
        else
          out += parts.Hour < 12 ? "AM" : "PM";
        break;
      case TToken::ElapsedHour:
        out += Padded(parts.TotalSeconds / 3600, token.Count);
        break;
      case TToken::ElapsedMinute:
        out += Padded(parts.TotalSeconds / 60, token.Count);
        break;
      case TToken::ElapsedSecond:
        out += Padded(parts.TotalSeconds, token.Count);
        break;
      case TToken::Fraction: {
        long long scale = 1;
        for (int d = 0; d < token.Count; ++d) scale *= 10;
        long long digits = std::min(scale - 1, static_cast<long long>(std::floor(parts.Fraction * scale)));
        out += '.';
        out += Padded(digits, token.Count);
        break;
      }
    }
  }
  return out;
}

TDateKind DateKindOfFormat(std::string_view code) {
  bool date = false, time = false;
  for (const TToken& token : Tokenize(code)) {
    switch (token.Type) {
      case TToken::Year:
      case TToken::Month:
      case TToken::Day:
        date = true;
        break;
      case TToken::Hour:
      case TToken::Minute:
      case TToken::Second:
      case TToken::ElapsedHour:
      case TToken::ElapsedMinute:
      case TToken::ElapsedSecond:
        time = true;
        break;
      default:
        break;
    }
  }
  return date && time ? TDateKind::DateTime
         : date       ? TDateKind::Date
         : time       ? TDateKind::Time
                      : TDateKind::None;
}

// ---- TSheet ----

TSheet::TSheet() {
  formats_.push_back({"General", TDateKind::None, false});
  formats_.push_back({"@", TDateKind::None, false});
  formatIndex_.emplace("General", kGeneral);
  formatIndex_.emplace("@", kTextFormat);
}

const TCell* TSheet::Find(int row, int column) const {
  auto found = rows_.find(row);
  if (found == rows_.end() || column < 1 || static_cast<size_t>(column) > found->second.size())
    return nullptr;
  return &found->second[column - 1];
}

TCell& TSheet::At(int row, int column) {
  if (row < 1 || row > kMaxRows || column < 1 || column > kMaxColumns)
    throw ESpreadsheetError(
        EFileError::TAction::Open, "",
        "cell (" + std::to_string(row) + ", " + std::to_string(column) + ") lies outside the sheet");
  std::vector<TCell>& cells = rows_[row];
  if (static_cast<size_t>(column) > cells.size()) {
    size_t added = column - cells.size();
    if (cellCount_ + added > kMaxCells)
      throw ESpreadsheetError(EFileError::TAction::Open, "",
                              "the sheet has more than " + std::to_string(kMaxCells) + " cells");
    cellCount_ += added;
    cells.resize(column);
  }
  return cells[column - 1];
}

void TSheet::SetText(int row, int column, std::string_view text) {
  TCell& cell = At(row, column);
  cell.Kind = text.empty() ? TCellKind::Empty : TCellKind::Text;
  cell.Text.assign(text);
  cell.Number = 0;
  cell.Written = true;
}

std::string TSheet::Text(int row, int column) const {
  const TCell* cell = Find(row, column);
  if (cell == nullptr) return {};
  switch (cell->Kind) {
    case TCellKind::Empty:
      return {};
    case TCellKind::Text:
    case TCellKind::Error:
      return cell->Text;
    case TCellKind::Boolean:
      return cell->Number != 0 ? "TRUE" : "FALSE";
    case TCellKind::Number: {
      const TFormat& format = formats_[cell->Format];
      if (format.DateKind == TDateKind::None) return GeneralNumberText(cell->Number);
      if (format.SystemShortDate) {
        std::string code = DateFormat;
        if (format.DateKind == TDateKind::DateTime) code += " h:mm";
        return FormatDateTime(cell->Number, code, Date1904);
      }
      return FormatDateTime(cell->Number, format.Code, Date1904);
    }
  }
  return {};
}

std::string TSheet::Value(int row, int column) const {
  const TCell* cell = Find(row, column);
  if (cell == nullptr || cell->Kind != TCellKind::Number ||
      formats_[cell->Format].DateKind == TDateKind::None)
    return Text(row, column);
  double serial = cell->Number;
  if (!IsDateSerial(serial)) return GeneralNumberText(serial);
  long long seconds = std::llround(serial * 86400.0);
  bool hasDate = seconds >= 86400;
  bool hasTime = seconds % 86400 != 0;
  if (!hasDate) hasTime = true;  // a serial below 1 is a time of day, not a day of 1899
  std::string text;
  if (hasDate) text = FormatDateTime(serial, DateFormat, Date1904);
  if (hasTime) {
    if (!text.empty()) text += ' ';
    text += FormatDateTime(serial, "hh:mm", Date1904);
  }
  return text;
}

uint16_t TSheet::AddFormat(std::string_view code, bool systemShortDate) {
  std::string key(code);
  if (systemShortDate) key += '\1';
  auto found = formatIndex_.find(key);
  if (found != formatIndex_.end()) return found->second;
  if (formats_.size() >= 0xFFFF) return kGeneral;
  TDateKind kind = code == "@" ? TDateKind::None : DateKindOfFormat(code);
  formats_.push_back({std::string(code), kind, systemShortDate});
  auto index = static_cast<uint16_t>(formats_.size() - 1);
  formatIndex_.emplace(std::move(key), index);
  return index;
}

void TSheet::SetColumnWidth(int column, double width) {
  if (column < 1 || column > kMaxColumns) return;
  if (width <= 0)
    widths_.erase(column);
  else
    widths_[column] = std::min(width, 255.0);
}

double TSheet::ColumnWidth(int column) const {
  auto found = widths_.find(column);
  return found == widths_.end() ? 0 : found->second;
}

// ---- workbook objects ----

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
