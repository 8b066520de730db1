// SPDX-License-Identifier: GPL-3.0-or-later
// .xlsx: a zip package of XML parts. Everything is read from memory with a cap on each part's
// uncompressed size, counted while inflating, so neither a lying header nor a zip bomb gets past it.
#include <minizip/unzip.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <pugixml.hpp>

#include "core/codepage.h"
#include "core/message.h"
#include "files/file_texts.h"
#include "files/spreadsheet_formats.h"

namespace torvane::sheetfile {

namespace {

// ---- minizip over a memory buffer ----

struct TMemoryZip {
  const std::string* Bytes;
  ZPOS64_T Position = 0;
};

voidpf ZipOpen(voidpf opaque, const void*, int) {
  return opaque;
}
uLong ZipRead(voidpf, voidpf stream, void* buffer, uLong size) {
  auto* zip = static_cast<TMemoryZip*>(stream);
  ZPOS64_T left = zip->Bytes->size() - std::min<ZPOS64_T>(zip->Position, zip->Bytes->size());
  uLong count = static_cast<uLong>(std::min<ZPOS64_T>(size, left));
  std::memcpy(buffer, zip->Bytes->data() + zip->Position, count);
  zip->Position += count;
  return count;
}
uLong ZipWrite(voidpf, voidpf, const void*, uLong) {
  return 0;
}
ZPOS64_T ZipTell(voidpf, voidpf stream) {
  return static_cast<TMemoryZip*>(stream)->Position;
}
long ZipSeek(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
  auto* zip = static_cast<TMemoryZip*>(stream);
  ZPOS64_T base = origin == ZLIB_FILEFUNC_SEEK_SET   ? 0
                  : origin == ZLIB_FILEFUNC_SEEK_CUR ? zip->Position
                                                     : zip->Bytes->size();
  if (base + offset > zip->Bytes->size()) return -1;
  zip->Position = base + offset;
  return 0;
}
int ZipClose(voidpf, voidpf) {
  return 0;
}
int ZipError(voidpf, voidpf) {
  return 0;
}

class TPackage {
 public:
  TPackage(const std::string& fileName, const std::string& bytes) : fileName_(fileName), memory_{&bytes} {
    zlib_filefunc64_def functions{};
    functions.zopen64_file = ZipOpen;
    functions.zread_file = ZipRead;
    functions.zwrite_file = ZipWrite;
    functions.ztell64_file = ZipTell;
    functions.zseek64_file = ZipSeek;
    functions.zclose_file = ZipClose;
    functions.zerror_file = ZipError;
    functions.opaque = &memory_;
    zip_ = unzOpen2_64("", &functions);
    if (zip_ == nullptr)
      FailOpen(fileName_, "the file is damaged or incomplete (its zip directory cannot be read)");
  }
  ~TPackage() { unzClose(zip_); }
  TPackage(const TPackage&) = delete;
  TPackage& operator=(const TPackage&) = delete;

  bool Has(const std::string& part) { return unzLocateFile(zip_, part.c_str(), 2) == UNZ_OK; }

  std::string Read(const std::string& part) {
    if (unzLocateFile(zip_, part.c_str(), 2) != UNZ_OK) Fail(kPartMissing, {part});
    unz_file_info64 info{};
    if (unzGetCurrentFileInfo64(zip_, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
      Fail(kPartDamaged, {part});
    if (info.flag & 1) FailOpen(fileName_, "the workbook is encrypted");
    if (info.uncompressed_size > kMaxPartBytes) TooLarge(part);
    if (unzOpenCurrentFile(zip_) != UNZ_OK) Fail(kPartNotUnpacked, {part});
    std::string data;
    data.reserve(static_cast<size_t>(info.uncompressed_size));
    char buffer[65536];
    for (;;) {
      int got = unzReadCurrentFile(zip_, buffer, sizeof buffer);
      if (got < 0) {
        unzCloseCurrentFile(zip_);
        Fail(kPartDamaged, {part});
      }
      if (got == 0) break;
      if (data.size() + static_cast<size_t>(got) > kMaxPartBytes) {
        unzCloseCurrentFile(zip_);
        TooLarge(part);
      }
      data.append(buffer, static_cast<size_t>(got));
    }
    if (unzCloseCurrentFile(zip_) != UNZ_OK) Fail(kPartChecksum, {part});
    return data;
  }

  // `pattern` names the part at %1.
  [[noreturn]] void Fail(const char* pattern, std::initializer_list<std::string> values) {
    FailOpen(fileName_, FillText(pattern, values));
  }

 private:
  [[noreturn]] void TooLarge(const std::string& part) {
    Fail(kPartTooLarge, {part, std::to_string(kMaxPartBytes >> 20)});
  }

  std::string fileName_;
  TMemoryZip memory_;
  unzFile zip_ = nullptr;
};

// ---- XML helpers: element names are compared without their namespace prefix ----

bool Is(const pugi::xml_node& node, const char* localName) {
  const char* name = node.name();
  const char* colon = std::strrchr(name, ':');
  return std::strcmp(colon != nullptr ? colon + 1 : name, localName) == 0;
}

pugi::xml_node Child(const pugi::xml_node& node, const char* localName) {
  for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling())
    if (child.type() == pugi::node_element && Is(child, localName)) return child;
  return {};
}

// An attribute by local name ("id" finds "r:id"); prefixed ones only when `prefixed`.
pugi::xml_attribute Attribute(const pugi::xml_node& node, const char* localName, bool prefixed) {
  for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
    const char* name = a.name();
    const char* colon = std::strrchr(name, ':');
    if ((colon != nullptr) == prefixed && std::strcmp(colon != nullptr ? colon + 1 : name, localName) == 0)
      return a;
  }
  return {};
}

class TXml {
 public:
  TXml(TPackage& package, const std::string& part, std::string data) : data_(std::move(data)) {
    pugi::xml_parse_result result = document_.load_buffer_inplace(
        data_.data(), data_.size(), pugi::parse_default | pugi::parse_ws_pcdata_single, pugi::encoding_auto);
    if (!result) package.Fail(kPartNotXml, {part, result.description(), std::to_string(result.offset)});
  }
  pugi::xml_node Root() const { return document_.document_element(); }

 private:
  std::string data_;
  pugi::xml_document document_;
};

// Part names inside the package have no leading '/'; ".." and "." steps are resolved.
std::string ResolveTarget(const std::string& sourceFolder, const std::string& target) {
  std::string path = !target.empty() && target[0] == '/' ? target.substr(1) : sourceFolder + target;
  std::vector<std::string> steps;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    std::string step = path.substr(start, end - start);
    if (step == "..") {
      if (!steps.empty()) steps.pop_back();
    } else if (!step.empty() && step != ".") {
      steps.push_back(step);
    }
    start = end + 1;
  }
  std::string resolved;
  for (const std::string& step : steps) resolved += (resolved.empty() ? "" : "/") + step;
  return resolved;
}

std::string FolderOf(const std::string& part) {
  size_t slash = part.find_last_of('/');
  return slash == std::string::npos ? std::string() : part.substr(0, slash + 1);
}

std::string RelsOf(const std::string& part) {
  size_t slash = part.find_last_of('/');
  std::string name = slash == std::string::npos ? part : part.substr(slash + 1);
  return FolderOf(part) + "_rels/" + name + ".rels";
}

bool EndsWith(const char* text, const char* tail) {
  size_t n = std::strlen(text), m = std::strlen(tail);
  return n >= m && std::strcmp(text + n - m, tail) == 0;
}

struct TRelationship {
  std::string Id, Type, Target;
};

std::vector<TRelationship> ReadRelationships(TPackage& package, const std::string& part) {
  std::vector<TRelationship> list;
  std::string relsPart = RelsOf(part);
  if (!package.Has(relsPart)) return list;
  TXml xml(package, relsPart, package.Read(relsPart));
  for (pugi::xml_node rel = xml.Root().first_child(); rel; rel = rel.next_sibling()) {
    if (!Is(rel, "Relationship")) continue;
    if (std::strcmp(rel.attribute("TargetMode").as_string(), "External") == 0) continue;
    list.push_back({rel.attribute("Id").as_string(), rel.attribute("Type").as_string(),
                    ResolveTarget(FolderOf(part), rel.attribute("Target").as_string())});
  }
  return list;
}

std::string TargetOfType(const std::vector<TRelationship>& rels, const char* typeTail) {
  for (const TRelationship& rel : rels)
    if (EndsWith(rel.Type.c_str(), typeTail)) return rel.Target;
  return {};
}

// The character a _xHHHH_ escape at `p` stands for, or -1 when `p` does not start one. Each byte is
// looked at only once the ones before it matched, so nothing past the text's closing zero is read.
long EscapeAt(const char* p) {
  if (p[0] != '_' || p[1] != 'x') return -1;
  long code = 0;
  for (int i = 2; i < 6; ++i) {
    const char c = p[i];
    const int digit = c >= '0' && c <= '9'   ? c - '0'
                      : c >= 'A' && c <= 'F' ? c - 'A' + 10
                      : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                             : -1;
    if (digit < 0) return -1;
    code = code * 16 + digit;
  }
  return p[6] == '_' ? code : -1;
}

// Text of an element, with the package's _xHHHH_ escapes for characters XML cannot carry (a zero byte
// included); "_x005F_" is the escaped underscore that keeps a literal "_x0041_" from being read as
// "A". Escapes are taken from left to right and never overlap. A character beyond U+FFFF may come as
// two escaped surrogates; a lone surrogate is no character and stays as the text it is.
void AppendUnescaped(std::string& out, const char* text) {
  for (const char* p = text; *p != '\0';) {
    long code = EscapeAt(p);
    int length = 7;
    if (code >= 0xD800 && code <= 0xDFFF) {
      const long low = code <= 0xDBFF ? EscapeAt(p + 7) : -1;
      if (low >= 0xDC00 && low <= 0xDFFF) {
        code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        length = 14;
      } else {
        code = -1;
      }
    }
    if (code < 0) {
      out += *p++;
      continue;
    }
    AppendUtf8(out, static_cast<uint32_t>(code));
    p += length;
  }
}

// A shared or inline string: its own <t>, or the <t> of each rich-text run; phonetic runs are not
// part of the text.
std::string StringItem(const pugi::xml_node& item) {
  std::string text;
  for (pugi::xml_node child = item.first_child(); child; child = child.next_sibling()) {
    if (Is(child, "t")) {
      AppendUnescaped(text, child.child_value());
    } else if (Is(child, "r")) {
      pugi::xml_node t = Child(child, "t");
      if (t) AppendUnescaped(text, t.child_value());
    }
  }
  return text;
}

// "AA10" -> column 27, row 10. False for anything else.
bool ParseReference(const char* ref, int& row, int& column) {
  long long c = 0, r = 0;
  const char* p = ref;
  while (*p >= 'A' && *p <= 'Z') {
    c = c * 26 + (*p - 'A' + 1);
    if (c > kMaxColumns) return false;
    ++p;
  }
  if (p == ref) return false;
  const char* digits = p;
  while (*p >= '0' && *p <= '9') {
    r = r * 10 + (*p - '0');
    if (r > kMaxRows) return false;
    ++p;
  }
  if (*p != '\0' || p == digits || r < 1) return false;
  row = static_cast<int>(r);
  column = static_cast<int>(c);
  return true;
}

bool ParseNumber(const char* text, double& value) {
  const char* end = text + std::strlen(text);
  while (text < end && (*text == ' ' || *text == '\t' || *text == '\n' || *text == '\r')) ++text;
  while (end > text && (end[-1] == ' ' || end[-1] == '\t' || end[-1] == '\n' || end[-1] == '\r')) --end;
  if (text < end && *text == '+') ++text;
  auto [stop, error] = std::from_chars(text, end, value);
  return error == std::errc() && stop == end && text != end;
}

// "2024-05-06T07:05:00" -> the 1900-system serial.
bool ParseIsoDate(const char* text, double& serial) {
  // Whole seconds only: %lf would follow the process locale's decimal point.
  int y = 0, m = 0, d = 0, hh = 0, mm = 0, ss = 0;
  int n = std::sscanf(text, "%d-%d-%dT%d:%d:%d", &y, &m, &d, &hh, &mm, &ss);
  if (n < 3) {
    n = std::sscanf(text, "%d:%d:%d", &hh, &mm, &ss);
    if (n < 2) return false;
    serial = (hh * 3600 + mm * 60 + ss) / 86400.0;
    return true;
  }
  // days from civil
  y -= m <= 2;
  long long era = (y >= 0 ? y : y - 399) / 400;
  long long yoe = y - era * 400;
  long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  long long days = era * 146097 + doe - 719468 + 25569;
  if (days < 61) days -= 1;
  serial = static_cast<double>(days) + (hh * 3600 + mm * 60 + ss) / 86400.0;
  return true;
}

// The workbook part and its relationships, which name the other parts.
struct TWorkbookParts {
  std::string Workbook;
  std::vector<TRelationship> Relationships;
};

TWorkbookParts FindWorkbookParts(TPackage& package, const std::string& fileName) {
  TWorkbookParts parts;
  parts.Workbook = TargetOfType(ReadRelationships(package, ""), "/officeDocument");
  if (parts.Workbook.empty()) parts.Workbook = "xl/workbook.xml";
  if (!package.Has(parts.Workbook))
    FailOpen(fileName, "the file is a zip archive but not an Excel workbook (it has no workbook part)");
  parts.Relationships = ReadRelationships(package, parts.Workbook);
  return parts;
}

// The workbook part gives the date system and the first sheet; returns that sheet's part.
std::string ReadWorkbookPart(TPackage& package, const std::string& fileName, const TWorkbookParts& parts,
                             TSheet& sheet) {
  TXml workbook(package, parts.Workbook, package.Read(parts.Workbook));
  pugi::xml_node properties = Child(workbook.Root(), "workbookPr");
  std::string date1904 = properties.attribute("date1904").as_string();
  sheet.Date1904 = date1904 == "1" || date1904 == "true";
  pugi::xml_node first = Child(Child(workbook.Root(), "sheets"), "sheet");
  if (!first) FailOpen(fileName, "the workbook has no sheet");
  std::string id = Attribute(first, "id", true).as_string();
  std::string sheetPart;
  for (const TRelationship& rel : parts.Relationships)
    if (rel.Id == id) sheetPart = rel.Target;
  if (sheetPart.empty()) FailOpen(fileName, "the workbook's first sheet cannot be found in the file");
  return sheetPart;
}

std::vector<std::string> ReadSharedStrings(TPackage& package, const TWorkbookParts& parts) {
  std::vector<std::string> strings;
  std::string stringsPart = TargetOfType(parts.Relationships, "/sharedStrings");
  if (stringsPart.empty() || !package.Has(stringsPart)) return strings;
  TXml xml(package, stringsPart, package.Read(stringsPart));
  for (pugi::xml_node item = xml.Root().first_child(); item; item = item.next_sibling())
    if (Is(item, "si")) {
      if (strings.size() == kMaxCells)
        package.Fail(kPartTooManyTexts, {stringsPart, std::to_string(kMaxCells)});
      strings.push_back(StringItem(item));
    }
  return strings;
}

// Cell style index -> the sheet's number format.
std::vector<uint16_t> ReadCellStyles(TPackage& package, const TWorkbookParts& parts, TSheet& sheet) {
  std::vector<uint16_t> styleFormats;
  std::string stylesPart = TargetOfType(parts.Relationships, "/styles");
  if (stylesPart.empty() || !package.Has(stylesPart)) return styleFormats;
  TXml xml(package, stylesPart, package.Read(stylesPart));
  std::map<int, std::string> custom;
  for (pugi::xml_node f = Child(xml.Root(), "numFmts").first_child(); f; f = f.next_sibling())
    if (Is(f, "numFmt")) custom[f.attribute("numFmtId").as_int(-1)] = f.attribute("formatCode").as_string();
  for (pugi::xml_node xf = Child(xml.Root(), "cellXfs").first_child(); xf; xf = xf.next_sibling()) {
    if (!Is(xf, "xf")) continue;
    if (styleFormats.size() == 65536) package.Fail(kPartTooManyFormats, {stylesPart});
    int id = xf.attribute("numFmtId").as_int(0);
    auto found = custom.find(id);
    styleFormats.push_back(SheetFormatOf(sheet, id, found != custom.end() ? &found->second : nullptr));
  }
  return styleFormats;
}

void ReadColumnWidths(const pugi::xml_node& worksheet, TSheet& sheet) {
  for (pugi::xml_node col = Child(worksheet, "cols").first_child(); col; col = col.next_sibling()) {
    if (!Is(col, "col") || !col.attribute("width")) continue;
    int first = std::max(1, col.attribute("min").as_int(1));
    int last = std::min(kMaxColumns, col.attribute("max").as_int(first));
    double width = CharactersOfStoredWidth(col.attribute("width").as_double());
    for (int c = first; c <= last && width > 0; ++c) sheet.SetColumnWidth(c, width);
  }
}

// Reads the rows of the sheet part's data into the sheet. A row or cell without its own reference
// follows the one before it.
class TSheetDataReader {
 public:
  TSheetDataReader(TPackage& package, const std::string& fileName, const std::string& sheetPart,
                   const std::vector<std::string>& strings, const std::vector<uint16_t>& styleFormats,
                   TSheet& sheet)
      : package_(package),
        fileName_(fileName),
        sheetPart_(sheetPart),
        strings_(strings),
        styleFormats_(styleFormats),
        sheet_(sheet) {}

  void Read(const pugi::xml_node& worksheet) {
    int rowNumber = 0;
    for (pugi::xml_node row = Child(worksheet, "sheetData").first_child(); row; row = row.next_sibling()) {
      if (!Is(row, "row")) continue;
      pugi::xml_attribute r = row.attribute("r");
      long long next = r ? r.as_llong(0) : rowNumber + 1LL;
      if (next < 1 || next > kMaxRows)
        FailOpen(fileName_, FillText(kSheetTooManyRows, {std::to_string(kMaxRows)}));
      rowNumber = static_cast<int>(next);
      int columnNumber = 0;
      for (pugi::xml_node c = row.first_child(); c; c = c.next_sibling()) {
        if (!Is(c, "c")) continue;
        int cellRow = rowNumber, cellColumn = columnNumber + 1;
        if (pugi::xml_attribute ref = c.attribute("r")) {
          if (!ParseReference(ref.value(), cellRow, cellColumn)) BadReference(ref.value());
        } else if (cellColumn > kMaxColumns) {
          BadReference("(a cell past the last column)");
        }
        columnNumber = cellColumn;
        ReadCell(c, cellRow, cellColumn);
      }
    }
  }

 private:
  [[noreturn]] void BadReference(const char* what) {
    package_.Fail(kPartBadReference,
                  {sheetPart_, what, std::to_string(kMaxRows), std::to_string(kMaxColumns)});
  }

  void ReadCell(const pugi::xml_node& c, int row, int column) {
    uint16_t format = TSheet::kGeneral;
    if (pugi::xml_attribute s = c.attribute("s")) {
      unsigned index = s.as_uint(0);
      if (index < styleFormats_.size()) format = styleFormats_[index];
    }
    TCell value = CellValue(c, format);
    if (value.Kind == TCellKind::Empty && format == TSheet::kGeneral) return;
    if (value.Kind == TCellKind::Text && value.Text.empty()) value.Kind = TCellKind::Empty;
    TCell& cell = sheet_.At(row, column);
    cell.Kind = value.Kind;
    cell.Format = format;
    cell.Number = value.Number;
    cell.Text = std::move(value.Text);
  }

  // The cell's kind, number and text by its type; a date may give the cell a date format.
  TCell CellValue(const pugi::xml_node& c, uint16_t& format) {
    const std::string type = c.attribute("t").as_string();
    const pugi::xml_node v = Child(c, "v");
    TCell value;
    if (type == "inlineStr") {
      value.Text = StringItem(Child(c, "is"));
      value.Kind = TCellKind::Text;
    } else if (!v) {
      value.Kind = TCellKind::Empty;
    } else if (type == "s") {
      double index = -1;
      if (!ParseNumber(v.child_value(), index) || index < 0 || index >= static_cast<double>(strings_.size()))
        package_.Fail(kPartNoSuchText, {sheetPart_, v.child_value()});
      value.Text = strings_[static_cast<size_t>(index)];
      value.Kind = TCellKind::Text;
    } else if (type == "str") {
      AppendUnescaped(value.Text, v.child_value());
      value.Kind = TCellKind::Text;
    } else if (type == "b") {
      value.Kind = TCellKind::Boolean;
      value.Number =
          std::strcmp(v.child_value(), "1") == 0 || std::strcmp(v.child_value(), "true") == 0 ? 1 : 0;
    } else if (type == "e") {
      value.Kind = TCellKind::Error;
      value.Text = v.child_value();
    } else if (type == "d") {
      if (!ParseIsoDate(v.child_value(), value.Number)) package_.Fail(kPartBadDate, {sheetPart_});
      value.Kind = TCellKind::Number;
      if (sheet_.FormatDateKind(format) == TDateKind::None)
        format = sheet_.AddFormat(value.Number < 1 ? "hh:mm:ss" : "yyyy/mm/dd", value.Number >= 1);
    } else if (*v.child_value() == '\0') {
      value.Kind = TCellKind::Empty;
    } else if (!ParseNumber(v.child_value(), value.Number)) {
      package_.Fail(kPartBadNumber, {sheetPart_, v.child_value()});
    } else {
      value.Kind = TCellKind::Number;
    }
    return value;
  }

  TPackage& package_;
  const std::string& fileName_;
  const std::string& sheetPart_;
  const std::vector<std::string>& strings_;
  const std::vector<uint16_t>& styleFormats_;
  TSheet& sheet_;
};

}  // namespace

void ReadXlsx(const std::string& fileName, const std::string& bytes, TSheet& sheet) {
  TPackage package(fileName, bytes);
  const TWorkbookParts parts = FindWorkbookParts(package, fileName);
  const std::string sheetPart = ReadWorkbookPart(package, fileName, parts, sheet);
  const std::vector<std::string> strings = ReadSharedStrings(package, parts);
  const std::vector<uint16_t> styleFormats = ReadCellStyles(package, parts, sheet);

  TXml xml(package, sheetPart, package.Read(sheetPart));
  pugi::xml_node worksheet = xml.Root();
  if (!Is(worksheet, "worksheet")) package.Fail(kPartNotWorksheet, {sheetPart});
  ReadColumnWidths(worksheet, sheet);
  TSheetDataReader(package, fileName, sheetPart, strings, styleFormats, sheet).Read(worksheet);
}

}  // namespace torvane::sheetfile
