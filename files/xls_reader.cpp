// SPDX-License-Identifier: GPL-3.0-or-later
// .xls (Excel 97-2003, BIFF8). The compound file opens the container; the workbook stream's records are
// read here with every length checked against what is left, because a hostile file must not be able
// to make the reader step outside its buffers (freexl 1.0.6 can be made to, by a bad directory entry
// or a bad string length, so it is not used for files the operator picks).
#include <cstdint>
#include <cstring>
#include <map>
#include <optional>
#include <vector>

#include "core/codepage.h"
#include "core/message.h"
#include "files/compound_file.h"
#include "files/file_texts.h"
#include "files/spreadsheet_formats.h"

namespace torvane::sheetfile {

namespace {

constexpr size_t kMaxRecordLength = 8224;

uint16_t U16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | p[1] << 8);
}
uint32_t U32(const uint8_t* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

double F64(const uint8_t* p) {
  uint64_t bits = 0;
  for (int i = 7; i >= 0; --i) bits = bits << 8 | p[i];
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

// The 30-bit packed number of RK and MULRK records.
double RkValue(uint32_t rk) {
  double value;
  if (rk & 2) {
    value = static_cast<double>(static_cast<int32_t>(rk) >> 2);
  } else {
    uint64_t bits = static_cast<uint64_t>(rk & 0xFFFFFFFC) << 32;
    std::memcpy(&value, &bits, sizeof value);
  }
  return (rk & 1) ? value / 100 : value;
}

struct TRecord {
  uint16_t Type;
  const uint8_t* Data;
  size_t Length;
};

class TBiffReader {
 public:
  TBiffReader(const std::string& fileName, const std::string& stream)
      : fileName_(fileName), stream_(stream) {}

  [[noreturn]] void Damaged(const std::string& what) const {
    FailOpen(fileName_, FillText(kXlsDamaged, {what}));
  }

  bool At(size_t position) {
    if (position > stream_.size()) return false;
    position_ = position;
    return true;
  }
  // The next record; false at the end of the stream.
  bool Next(TRecord& record) {
    if (stream_.size() - position_ < 4) return false;
    const auto* p = reinterpret_cast<const uint8_t*>(stream_.data()) + position_;
    record.Type = U16(p);
    record.Length = U16(p + 2);
    if (record.Length > kMaxRecordLength || stream_.size() - position_ - 4 < record.Length)
      Damaged("a record runs past the end of the workbook");
    record.Data = p + 4;
    position_ += 4 + record.Length;
    return true;
  }
  // The type of the record that follows, without moving; 0 at the end.
  uint16_t PeekType() const {
    if (stream_.size() - position_ < 4) return 0;
    return U16(reinterpret_cast<const uint8_t*>(stream_.data()) + position_);
  }

 private:
  std::string fileName_;
  const std::string& stream_;
  size_t position_ = 0;
};

// Reads the pieces of a record and of the CONTINUE records after it as one run of bytes, with the
// one BIFF8 twist: character data that runs into a CONTINUE record starts there with a fresh option
// byte saying whether the characters are one or two bytes wide.
class TPieces {
 public:
  TPieces(TBiffReader& reader, const TRecord& first) : reader_(reader), record_(first) {}

  bool Empty() const { return offset_ == record_.Length; }

  void Need(size_t bytes) {
    if (record_.Length - offset_ >= bytes) return;
    if (offset_ == record_.Length && NextContinue() && record_.Length >= bytes) return;
    reader_.Damaged("a text or number runs past its record");
  }
  uint8_t U8() {
    Need(1);
    return record_.Data[offset_++];
  }
  uint16_t Word() {
    Need(2);
    uint16_t v = U16(record_.Data + offset_);
    offset_ += 2;
    return v;
  }
  uint32_t Dword() {
    Need(4);
    uint32_t v = U32(record_.Data + offset_);
    offset_ += 4;
    return v;
  }
  void Skip(size_t bytes) {
    while (bytes > 0) {
      if (offset_ == record_.Length && !NextContinue()) reader_.Damaged("a text runs past its record");
      size_t step = std::min(bytes, record_.Length - offset_);
      offset_ += step;
      bytes -= step;
    }
  }
  // A Unicode string whose character count is `count` (XLUnicodeString or a shared-string entry).
  std::string Text(size_t count, bool readFlags = true, uint8_t flags = 0) {
    if (readFlags) flags = U8();
    bool wide = flags & 1;
    size_t runs = (flags & 8) ? Word() : 0;
    size_t extra = (flags & 4) ? Dword() : 0;
    std::string text;
    uint32_t pendingHigh = 0;
    for (size_t done = 0; done < count;) {
      if (offset_ == record_.Length) {
        if (!NextContinue()) reader_.Damaged("a text runs past its record");
        wide = U8() & 1;
        continue;
      }
      uint32_t unit;
      if (wide) {
        Need(2);
        unit = U16(record_.Data + offset_);
        offset_ += 2;
      } else {
        unit = record_.Data[offset_++];
      }
      ++done;
      if (unit >= 0xD800 && unit < 0xDC00) {
        pendingHigh = unit;
        continue;
      }
      if (unit >= 0xDC00 && unit < 0xE000 && pendingHigh != 0) {
        AppendUtf8(text, 0x10000 + ((pendingHigh - 0xD800) << 10) + (unit - 0xDC00));
      } else {
        AppendUtf8(text, unit >= 0xD800 && unit < 0xE000 ? 0xFFFD : unit);
      }
      pendingHigh = 0;
    }
    Skip(runs * 4 + extra);
    return text;
  }

 private:
  bool NextContinue() {
    if (reader_.PeekType() != 0x003C) return false;
    TRecord next;
    if (!reader_.Next(next)) return false;
    record_ = next;
    offset_ = 0;
    return true;
  }

  TBiffReader& reader_;
  TRecord record_;
  size_t offset_ = 0;
};

// The "Workbook" stream of the compound document ("Book" is the older format's name).
std::string WorkbookStream(const std::string& fileName, const std::string& bytes) {
  std::optional<TCompoundFileReader> compound;
  try {
    compound.emplace(bytes);
  } catch (const ECompoundFileError&) {
    FailOpen(fileName, "the file is damaged (its compound document cannot be read)");
  }
  if (!compound->HasStream("Workbook")) {
    if (compound->HasStream("Book"))
      FailOpen(fileName,
               "the workbook is in an old Excel format; only Excel 97-2003 (BIFF8) .xls files can be read");
    FailOpen(fileName, "the file holds no Excel workbook");
  }
  try {
    return compound->ReadStream("Workbook", kMaxFileBytes);
  } catch (const ECompoundFileError&) {
    FailOpen(fileName, "the file is damaged (its workbook stream cannot be read)");
  }
}

// The first record must say BIFF8: older workbooks keep their texts differently.
void ReadBiff8Start(TBiffReader& reader, const std::string& fileName) {
  TRecord record{};
  if (!reader.Next(record) || record.Type != 0x0809 || record.Length < 4)
    FailOpen(fileName, "the file holds no Excel workbook");
  if (U16(record.Data) != 0x0600)
    FailOpen(fileName,
             "the workbook is in an old Excel format; only Excel 97-2003 (BIFF8) .xls files can be read");
}

// What the workbook globals tell about the first worksheet's cells.
struct TWorkbookGlobals {
  std::map<uint16_t, std::string> FormatCodes;  // the file's own number formats by id
  std::vector<uint16_t> XfFormats;              // the number format id of each cell format
  std::vector<std::string> Strings;             // the shared texts
  int64_t SheetOffset = -1;                     // where the first worksheet starts in the stream
};

void ReadSharedStrings(TBiffReader& reader, const TRecord& record, const std::string& fileName,
                       std::vector<std::string>& strings) {
  TPieces pieces(reader, record);
  pieces.Dword();
  uint32_t unique = pieces.Dword();
  if (unique > kMaxCells) FailOpen(fileName, FillText(kWorkbookTooManyTexts, {std::to_string(kMaxCells)}));
  strings.reserve(unique);
  for (uint32_t i = 0; i < unique; ++i) {
    uint16_t count = pieces.Word();
    strings.push_back(pieces.Text(count));
  }
}

// Date system, number formats, cell formats, the first worksheet, shared strings; up to the globals'
// end.
TWorkbookGlobals ReadWorkbookGlobals(TBiffReader& reader, const std::string& fileName, TSheet& sheet) {
  TWorkbookGlobals globals;
  TRecord record{};
  while (reader.Next(record) && record.Type != 0x000A) {
    switch (record.Type) {
      case 0x002F:
        FailOpen(fileName, "the workbook is encrypted");
      case 0x0022:
        if (record.Length >= 2) sheet.Date1904 = U16(record.Data) == 1;
        break;
      case 0x041E: {
        TPieces pieces(reader, record);
        uint16_t id = pieces.Word();
        uint16_t count = pieces.Word();
        globals.FormatCodes[id] = pieces.Text(count);
        break;
      }
      case 0x00E0:
        if (record.Length < 4) reader.Damaged("a cell format record is too short");
        globals.XfFormats.push_back(U16(record.Data + 2));
        break;
      case 0x0085:
        // The first sheet that is a worksheet (not a chart or macro sheet).
        if (record.Length < 6) reader.Damaged("a sheet record is too short");
        if (globals.SheetOffset < 0 && record.Data[5] == 0) globals.SheetOffset = U32(record.Data);
        break;
      case 0x00FC:
        ReadSharedStrings(reader, record, fileName, globals.Strings);
        break;
      default:
        break;
    }
  }
  if (globals.SheetOffset < 0) FailOpen(fileName, "the workbook has no worksheet");
  return globals;
}

// The sheet's number format for each cell format of the file.
std::vector<uint16_t> SheetFormatsOfXfs(const TWorkbookGlobals& globals, TSheet& sheet) {
  std::vector<uint16_t> formats;
  for (uint16_t id : globals.XfFormats) {
    auto found = globals.FormatCodes.find(id);
    formats.push_back(
        SheetFormatOf(sheet, id, found != globals.FormatCodes.end() ? &found->second : nullptr));
  }
  return formats;
}

// Reads the cell and column records of one worksheet into the sheet. Each cell record starts with
// its row, column and cell format.
class TWorksheetReader {
 public:
  TWorksheetReader(TBiffReader& reader, TSheet& sheet, const std::vector<std::string>& strings,
                   std::vector<uint16_t> xfFormats)
      : reader_(reader), sheet_(sheet), strings_(strings), xfFormats_(std::move(xfFormats)) {}

  void Read(int64_t sheetOffset) {
    if (!reader_.At(static_cast<size_t>(sheetOffset)) || !reader_.Next(record_) || record_.Type != 0x0809)
      reader_.Damaged("the first worksheet cannot be found");
    while (reader_.Next(record_) && record_.Type != 0x000A) {
      switch (record_.Type) {
        case 0x00FD:  // a shared text
          Need(10);
          if (U32(record_.Data + 6) >= strings_.size())
            reader_.Damaged("a cell refers to a text that does not exist");
          Put(record_.Data, TCellKind::Text, 0, strings_[U32(record_.Data + 6)]);
          break;
        case 0x0204:  // a text of its own, and the same with formatting runs
        case 0x00D6: {
          Need(8);
          TPieces pieces(reader_, record_);
          pieces.Skip(6);
          uint16_t count = pieces.Word();
          Put(record_.Data, TCellKind::Text, 0, pieces.Text(count));
          break;
        }
        case 0x0203:
          Need(14);
          Put(record_.Data, TCellKind::Number, F64(record_.Data + 6), {});
          break;
        case 0x027E:
          Need(10);
          Put(record_.Data, TCellKind::Number, RkValue(U32(record_.Data + 6)), {});
          break;
        case 0x00BD:
          PackedNumbers();
          break;
        case 0x0205:
          BooleanOrError();
          break;
        case 0x0006:
          FormulaResult();
          break;
        case 0x007D:
          ColumnWidths();
          break;
        default:
          break;
      }
    }
  }

 private:
  void Need(size_t length) const {
    if (record_.Length < length) reader_.Damaged("a cell record is too short");
  }

  void Put(const uint8_t* head, TCellKind kind, double number, std::string text) {
    if (kind == TCellKind::Text && text.empty()) return;
    TCell& cell = sheet_.At(U16(head) + 1, U16(head + 2) + 1);
    cell.Kind = kind;
    cell.Number = number;
    cell.Text = std::move(text);
    const uint16_t xf = U16(head + 4);
    cell.Format = xf < xfFormats_.size() ? xfFormats_[xf] : TSheet::kGeneral;
  }

  // Several packed numbers in a row, each with its own cell format.
  void PackedNumbers() {
    Need(6);
    uint16_t row = U16(record_.Data);
    uint16_t first = U16(record_.Data + 2);
    size_t count = (record_.Length - 6) / 6;
    for (size_t i = 0; i < count; ++i) {
      const uint8_t* item = record_.Data + 4 + 6 * i;
      uint8_t head[6] = {static_cast<uint8_t>(row & 0xFF),
                         static_cast<uint8_t>(row >> 8),
                         static_cast<uint8_t>((first + i) & 0xFF),
                         static_cast<uint8_t>((first + i) >> 8),
                         item[0],
                         item[1]};
      Put(head, TCellKind::Number, RkValue(U32(item + 2)), {});
    }
  }

  void BooleanOrError() {
    Need(8);
    if (record_.Data[7] == 0) {
      Put(record_.Data, TCellKind::Boolean, record_.Data[6] != 0, {});
      return;
    }
    static const std::map<uint8_t, const char*> kErrors = {
        {0x00, "#NULL!"}, {0x07, "#DIV/0!"}, {0x0F, "#VALUE!"}, {0x17, "#REF!"},
        {0x1D, "#NAME?"}, {0x24, "#NUM!"},   {0x2A, "#N/A"}};
    auto found = kErrors.find(record_.Data[6]);
    Put(record_.Data, TCellKind::Error, 0, found != kErrors.end() ? found->second : "#N/A");
  }

  // A formula: its last result.
  void FormulaResult() {
    Need(14);
    const uint8_t* result = record_.Data + 6;
    if (U16(result + 6) != 0xFFFF) {
      Put(record_.Data, TCellKind::Number, F64(result), {});
    } else if (result[0] == 0) {
      // Its text follows, after the shared-formula or array records that may come between.
      while (reader_.PeekType() == 0x04BC || reader_.PeekType() == 0x0221 || reader_.PeekType() == 0x0236) {
        TRecord skipped{};
        reader_.Next(skipped);
      }
      if (reader_.PeekType() != 0x0207) return;
      TRecord text{};
      reader_.Next(text);
      if (text.Length < 2) reader_.Damaged("a formula's text is too short");
      TPieces pieces(reader_, text);
      uint16_t count = pieces.Word();
      Put(record_.Data, TCellKind::Text, 0, pieces.Text(count));
    } else if (result[0] == 1) {
      Put(record_.Data, TCellKind::Boolean, result[2] != 0, {});
    } else if (result[0] == 2) {
      Put(record_.Data, TCellKind::Error, 0, "#N/A");
    }
  }

  void ColumnWidths() {
    Need(6);
    double width = CharactersOfStoredWidth(U16(record_.Data + 4) / 256.0);
    for (unsigned c = U16(record_.Data);
         c <= U16(record_.Data + 2) && c < static_cast<unsigned>(kMaxXlsColumns); ++c)
      sheet_.SetColumnWidth(static_cast<int>(c) + 1, width);
  }

  TBiffReader& reader_;
  TSheet& sheet_;
  const std::vector<std::string>& strings_;
  const std::vector<uint16_t> xfFormats_;
  TRecord record_{};
};

}  // namespace

void ReadXls(const std::string& fileName, const std::string& bytes, TSheet& sheet) {
  std::string stream = WorkbookStream(fileName, bytes);
  TBiffReader reader(fileName, stream);
  ReadBiff8Start(reader, fileName);
  const TWorkbookGlobals globals = ReadWorkbookGlobals(reader, fileName, sheet);
  TWorksheetReader(reader, sheet, globals.Strings, SheetFormatsOfXfs(globals, sheet))
      .Read(globals.SheetOffset);
}

}  // namespace torvane::sheetfile
