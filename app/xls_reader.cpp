// .xls (Excel 97-2003, BIFF8) through freexl. freexl sizes its cell table from the sheet's declared
// dimensions, so those are checked in an info-only pass before the cells are loaded.
#include <freexl.h>

#include <cstdio>

#include "app/spreadsheet_formats.h"

namespace torvane::sheetfile {

namespace {

std::string Reason(int code) {
  switch (code) {
    case FREEXL_FILE_NOT_FOUND:
      return "the file does not exist or cannot be read";
    case FREEXL_INSUFFICIENT_MEMORY:
      return "there is not enough memory to read it";
    case FREEXL_INVALID_CFBF_HEADER:
    case FREEXL_CFBF_INVALID_SIGNATURE:
    case FREEXL_CFBF_INVALID_SECTOR_SIZE:
      return "the file is not an Excel 97-2003 workbook (bad compound file header)";
    case FREEXL_BIFF_WORKBOOK_NOT_FOUND:
      return "the file holds no Excel workbook";
    case FREEXL_BIFF_INVALID_BOF:
      return "the workbook is not in the Excel 97-2003 (BIFF8) format";
    case FREEXL_CRAFTED_FILE:
      return "the file is severely damaged";
    case FREEXL_UNSUPPORTED_CHARSET:
    case FREEXL_INVALID_CHARACTER:
      return "the workbook's texts cannot be decoded";
    default:
      return "the file is damaged (error " + std::to_string(code) + ")";
  }
}

class TXlsHandle {
 public:
  TXlsHandle(const std::string& fileName, bool infoOnly) : fileName_(fileName) {
    int result =
        infoOnly ? freexl_open_info(fileName.c_str(), &handle_) : freexl_open(fileName.c_str(), &handle_);
    if (result != FREEXL_OK) {
      if (handle_ != nullptr) freexl_close(handle_);
      handle_ = nullptr;
      FailOpen(fileName_, Reason(result));
    }
  }
  ~TXlsHandle() {
    if (handle_ != nullptr) freexl_close(handle_);
  }
  TXlsHandle(const TXlsHandle&) = delete;
  TXlsHandle& operator=(const TXlsHandle&) = delete;

  unsigned Info(unsigned short what) {
    unsigned value = 0;
    Check(freexl_get_info(handle_, what, &value));
    return value;
  }
  void Check(int result) {
    if (result != FREEXL_OK) FailOpen(fileName_, Reason(result));
  }
  const void* Get() const { return handle_; }

  // Selects the first sheet and checks its size; rows and columns come back.
  void FirstSheet(unsigned& rows, unsigned short& columns) {
    if (Info(FREEXL_BIFF_SHEET_COUNT) == 0) FailOpen(fileName_, "the workbook has no sheet");
    Check(freexl_select_active_worksheet(handle_, 0));
    Check(freexl_worksheet_dimensions(handle_, &rows, &columns));
    if (rows > static_cast<unsigned>(kMaxXlsRows) || columns > kMaxXlsColumns ||
        static_cast<unsigned long long>(rows) * columns > kMaxCells)
      FailOpen(fileName_, "the sheet is larger than " + std::to_string(kMaxCells) + " cells");
  }

 private:
  std::string fileName_;
  const void* handle_ = nullptr;
};

int DaysFromCivil(int y, int m, int d) {
  y -= m <= 2;
  int era = (y >= 0 ? y : y - 399) / 400;
  int yoe = y - era * 400;
  int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

// freexl hands dates and times over as texts "YYYY-MM-DD", "YYYY-MM-DD HH:MM:SS", "HH:MM:SS"; back
// to the 1900-system serial they were.
bool SerialOfText(const char* text, int type, double& serial) {
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
  if (type == FREEXL_CELL_TIME) {
    if (std::sscanf(text, "%d:%d:%d", &h, &mi, &s) < 2) return false;
    serial = (h * 3600 + mi * 60 + s) / 86400.0;
    return true;
  }
  if (std::sscanf(text, "%d-%d-%d %d:%d:%d", &y, &mo, &d, &h, &mi, &s) < 3) return false;
  long long days = DaysFromCivil(y, mo, d) + 25569LL;
  if (days < 61) days -= 1;
  serial = static_cast<double>(days) + (h * 3600 + mi * 60 + s) / 86400.0;
  return true;
}

}  // namespace

void ReadXls(const std::string& fileName, TSheet& sheet) {
  {
    TXlsHandle info(fileName, true);
    if (info.Info(FREEXL_BIFF_VERSION) != FREEXL_BIFF_VER_8)
      FailOpen(fileName,
               "the workbook is in an old Excel format; only Excel 97-2003 (BIFF8) .xls files can be read");
    if (info.Info(FREEXL_BIFF_PASSWORD) == FREEXL_BIFF_OBFUSCATED)
      FailOpen(fileName, "the workbook is encrypted");
    unsigned rows = 0;
    unsigned short columns = 0;
    info.FirstSheet(rows, columns);
  }
  TXlsHandle xls(fileName, false);
  unsigned rows = 0;
  unsigned short columns = 0;
  xls.FirstSheet(rows, columns);
  uint16_t dateFormat = sheet.AddFormat("yyyy/mm/dd", true);
  uint16_t timeFormat = sheet.AddFormat("hh:mm");
  uint16_t dateTimeFormat = sheet.AddFormat("yyyy/mm/dd hh:mm");
  for (unsigned r = 0; r < rows; ++r) {
    for (unsigned short c = 0; c < columns; ++c) {
      FreeXL_CellValue value{};
      xls.Check(freexl_get_cell_value(xls.Get(), r, c, &value));
      TCell cell;
      switch (value.type) {
        case FREEXL_CELL_INT:
          cell.Kind = TCellKind::Number;
          cell.Number = value.value.int_value;
          break;
        case FREEXL_CELL_DOUBLE:
          cell.Kind = TCellKind::Number;
          cell.Number = value.value.double_value;
          break;
        case FREEXL_CELL_TEXT:
        case FREEXL_CELL_SST_TEXT:
          if (value.value.text_value == nullptr || *value.value.text_value == '\0') continue;
          cell.Kind = TCellKind::Text;
          cell.Text = value.value.text_value;
          break;
        case FREEXL_CELL_DATE:
        case FREEXL_CELL_DATETIME:
        case FREEXL_CELL_TIME:
          if (value.value.text_value == nullptr ||
              !SerialOfText(value.value.text_value, value.type, cell.Number))
            continue;
          cell.Kind = TCellKind::Number;
          cell.Format = value.type == FREEXL_CELL_DATE   ? dateFormat
                        : value.type == FREEXL_CELL_TIME ? timeFormat
                                                         : dateTimeFormat;
          break;
        default:
          continue;
      }
      sheet.At(static_cast<int>(r) + 1, c + 1) = std::move(cell);
    }
  }
}

}  // namespace torvane::sheetfile
