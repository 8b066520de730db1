// SPDX-License-Identifier: GPL-3.0-or-later
// .xls: an Excel 97-2003 workbook (BIFF8) in a compound document. No Debian library writes BIFF8,
// so the records are built here: the workbook globals (code page, window, fonts, the cell formats,
// the one style, the sheet's entry, the shared strings) and one sheet (dimensions, column widths,
// the cells as shared-string labels or blanks, its window) in the compound file's one stream.
#include <cmath>
#include <cstdint>
#include <functional>
#include <unordered_map>
#include <utility>

#include "core/message.h"
#include "files/compound_file.h"
#include "files/file_texts.h"
#include "files/spreadsheet_formats.h"

namespace torvane::sheetfile {

namespace {

constexpr size_t kMaxRecordData = 8224;
constexpr uint16_t kXfGeneral = 15;
constexpr uint16_t kXfText = 16;
constexpr uint16_t kFormatText = 49;  // Excel's built-in "@"

class TStream {
 public:
  void U8(uint8_t v) { bytes_.push_back(static_cast<char>(v)); }
  void U16(uint16_t v) {
    U8(v & 0xFF);
    U8(v >> 8);
  }
  void U32(uint32_t v) {
    U16(v & 0xFFFF);
    U16(v >> 16);
  }
  void Raw(const std::string& data) { bytes_ += data; }
  void Record(uint16_t type, const std::string& data) {
    U16(type);
    U16(static_cast<uint16_t>(data.size()));
    bytes_ += data;
  }
  void PatchU32(size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes_[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
  }
  size_t Size() const { return bytes_.size(); }
  std::string& Bytes() { return bytes_; }

 private:
  std::string bytes_;
};

// Record bodies are built in a TStream too.
std::string Body(const std::function<void(TStream&)>& fill) {
  TStream body;
  fill(body);
  return body.Bytes();
}

// UTF-8 -> UTF-16 code units; a broken sequence becomes U+FFFD.
std::u16string Utf16(const std::string& text) {
  std::u16string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    uint32_t code = 0xFFFD;
    size_t length = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (length == 0 || i + length > text.size()) {
      ++i;
    } else {
      code = length == 1 ? c : c & (0x3F >> (length - 1));
      bool ok = true;
      for (size_t k = 1; k < length; ++k) {
        unsigned char next = static_cast<unsigned char>(text[i + k]);
        ok = ok && (next & 0xC0) == 0x80;
        code = (code << 6) | (next & 0x3F);
      }
      if (!ok) code = 0xFFFD, length = 1;
      i += length;
    }
    if (code >= 0x10000 && code <= 0x10FFFF) {
      code -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (code >> 10));
      out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
    } else {
      out += static_cast<char16_t>(code > 0x10FFFF ? 0xFFFD : code);
    }
  }
  return out;
}

bool Compressible(const std::u16string& text) {
  for (char16_t c : text)
    if (c > 0xFF) return false;
  return true;
}

// The characters of a string, one byte each when they all fit, else two.
void Characters(TStream& out, const std::u16string& text, size_t from, size_t count, bool wide) {
  for (size_t i = from; i < from + count; ++i) {
    if (wide)
      out.U16(text[i]);
    else
      out.U8(static_cast<uint8_t>(text[i]));
  }
}

// The shared string table: SST followed by as many CONTINUE records as it takes. A string that does
// not fit the rest of a record is split between characters, and its continuation starts with the
// option byte again. EXTSST records where every eighth string starts, for Excel's fast lookup.
void WriteSharedStrings(TStream& out, const std::vector<std::u16string>& strings, uint32_t references) {
  const size_t stride = std::max<size_t>(8, strings.size() / 128 + 1);
  std::string extsst;
  {
    TStream e;
    e.U16(static_cast<uint16_t>(stride));
    extsst = e.Bytes();
  }

  size_t recordStart = out.Size();  // of the record being filled, header included
  out.U16(0x00FC);
  out.U16(0);
  out.U32(references);
  out.U32(static_cast<uint32_t>(strings.size()));
  auto used = [&] { return out.Size() - recordStart - 4; };
  auto finish = [&] {
    size_t length = used();
    out.Bytes()[recordStart + 2] = static_cast<char>(length & 0xFF);
    out.Bytes()[recordStart + 3] = static_cast<char>(length >> 8);
  };
  auto startContinue = [&] {
    finish();
    recordStart = out.Size();
    out.U16(0x003C);
    out.U16(0);
  };

  for (size_t index = 0; index < strings.size(); ++index) {
    const std::u16string& text = strings[index];
    bool wide = !Compressible(text);
    size_t unit = wide ? 2 : 1;
    // The 3-byte header and at least one character stay together.
    if (kMaxRecordData - used() < 3 + unit) startContinue();
    if (index % stride == 0) {
      TStream e;
      e.U32(static_cast<uint32_t>(out.Size()));
      e.U16(static_cast<uint16_t>(out.Size() - recordStart));
      e.U16(0);
      extsst += e.Bytes();
    }
    out.U16(static_cast<uint16_t>(text.size()));
    out.U8(wide ? 1 : 0);
    size_t done = 0;
    while (done < text.size()) {
      size_t room = (kMaxRecordData - used()) / unit;
      if (room == 0) {
        startContinue();
        out.U8(wide ? 1 : 0);
        continue;
      }
      size_t count = std::min(room, text.size() - done);
      Characters(out, text, done, count, wide);
      done += count;
    }
  }
  finish();
  out.Record(0x00FF, extsst);
}

std::string Bof(uint16_t type) {
  return Body([&](TStream& b) {
    b.U16(0x0600);
    b.U16(type);
    b.U16(0x0DBB);
    b.U16(0x07CC);
    b.U32(0);
    b.U32(6);
  });
}

std::string Xf(uint16_t format, bool style, uint8_t usedAttributes) {
  return Body([&](TStream& b) {
    b.U16(0);  // font
    b.U16(format);
    b.U16(style ? 0xFFF5 : 0x0001);  // locked; a style has no parent, a cell's parent is style 0
    b.U8(0x20);                      // general alignment, bottom
    b.U8(0);
    b.U8(0);
    b.U8(usedAttributes);
    b.U32(0);
    b.U32(0);
    b.U16(0x20C0);  // pattern colours: automatic
  });
}

void Globals(TStream& out, const std::vector<std::u16string>& strings, uint32_t references,
             size_t& sheetOffsetAt) {
  out.Record(0x0809, Bof(0x0005));
  out.Record(0x0042, Body([](TStream& b) { b.U16(1200); }));  // texts are UTF-16
  out.Record(0x003D, Body([](TStream& b) {
               b.U16(0x01E0), b.U16(0x005A), b.U16(0x3FCF), b.U16(0x2A4E);
               b.U16(0x0038), b.U16(0), b.U16(0), b.U16(1), b.U16(0x0258);
             }));
  // Font 4 does not exist in BIFF, so four fonts make a complete table.
  for (int i = 0; i < 4; ++i) {
    out.Record(0x0031, Body([](TStream& b) {
                 b.U16(200), b.U16(0), b.U16(0x7FFF), b.U16(400), b.U16(0);
                 b.U8(0), b.U8(0), b.U8(0), b.U8(0);
                 b.U8(5), b.U8(0), b.Raw("Arial");
               }));
  }
  out.Record(0x041E, Body([](TStream& b) {
               b.U16(kFormatText);
               b.U16(1), b.U8(0), b.Raw("@");
             }));
  for (int i = 0; i < 15; ++i) out.Record(0x00E0, Xf(0, true, i == 0 ? 0x00 : 0xF4));
  out.Record(0x00E0, Xf(0, false, 0x00));            // 15: the default cell format
  out.Record(0x00E0, Xf(kFormatText, false, 0x04));  // 16: text "@"
  out.Record(0x0293, Body([](TStream& b) { b.U16(0x8000), b.U8(0), b.U8(0xFF); }));
  std::string sheetEntry = Body([](TStream& b) {
    b.U32(0);  // patched with the sheet's position
    b.U8(0), b.U8(0);
    b.U8(6), b.U8(0), b.Raw("Sheet1");
  });
  sheetOffsetAt = out.Size() + 4;
  out.Record(0x0085, sheetEntry);
  WriteSharedStrings(out, strings, references);
  out.Record(0x000A, {});
}

// How far the sheet reaches; a sheet beyond what .xls holds cannot be saved as .xls.
struct TExtent {
  int LastRow;
  size_t LastColumn;
};

TExtent XlsExtent(const TSheet& sheet, const std::string& fileName) {
  TExtent extent{sheet.LastRow(), 0};
  for (const auto& [row, cells] : sheet.Rows()) extent.LastColumn = std::max(extent.LastColumn, cells.size());
  if (extent.LastRow > kMaxXlsRows || extent.LastColumn > static_cast<size_t>(kMaxXlsColumns))
    FailSave(fileName, FillText(kXlsTooLarge, {std::to_string(kMaxXlsRows), std::to_string(kMaxXlsColumns)}));
  for (const auto& [column, width] : sheet.ColumnWidths())
    if (column > kMaxXlsColumns) FailSave(fileName, FillText(kXlsTooWide, {std::to_string(kMaxXlsColumns)}));
  return extent;
}

struct TXlsCell {
  uint16_t Row, Column;
  bool Blank;
  uint32_t String;
};

// The cells as the sheet's records name them (a blank, or a label of the shared string table), and
// that table.
struct TXlsCells {
  std::vector<TXlsCell> Cells;
  std::vector<std::u16string> Strings;
  uint32_t References = 0;
};

// Every cell is written as text (numbers and dates of an opened file as their displayed text).
TXlsCells XlsCells(const TSheet& sheet, const std::string& fileName) {
  TXlsCells out;
  std::unordered_map<std::string, uint32_t> stringIndex;
  for (const auto& [row, rowCells] : sheet.Rows()) {
    for (size_t i = 0; i < rowCells.size(); ++i) {
      const TCell& cell = rowCells[i];
      if (cell.Kind == TCellKind::Empty) {
        if (cell.Written || cell.Format != TSheet::kGeneral)
          out.Cells.push_back({static_cast<uint16_t>(row - 1), static_cast<uint16_t>(i), true, 0});
        continue;
      }
      std::string text = cell.Kind == TCellKind::Text ? cell.Text : sheet.Text(row, static_cast<int>(i) + 1);
      auto [found, added] = stringIndex.try_emplace(text, static_cast<uint32_t>(out.Strings.size()));
      if (added) {
        out.Strings.push_back(Utf16(text));
        if (out.Strings.back().size() > 32767) FailSave(fileName, "a cell holds more than 32767 characters");
      }
      ++out.References;
      out.Cells.push_back({static_cast<uint16_t>(row - 1), static_cast<uint16_t>(i), false, found->second});
    }
  }
  return out;
}

// The sheet's substream: dimensions, column widths, the cells, its window.
void Worksheet(TStream& out, const TSheet& sheet, const TExtent& extent, const std::vector<TXlsCell>& cells) {
  out.Record(0x0809, Bof(0x0010));
  out.Record(0x0200, Body([&](TStream& b) {
               b.U32(0), b.U32(static_cast<uint32_t>(extent.LastRow));
               b.U16(0), b.U16(static_cast<uint16_t>(extent.LastColumn));
               b.U16(0);
             }));
  for (const auto& entry : sheet.ColumnWidths()) {
    // Plain copies: clang before 16 cannot capture structured bindings in a lambda.
    const int column = entry.first;
    const double width = entry.second;
    out.Record(0x007D, Body([&](TStream& b) {
                 b.U16(static_cast<uint16_t>(column - 1)), b.U16(static_cast<uint16_t>(column - 1));
                 b.U16(static_cast<uint16_t>(std::min(65535.0, StoredColumnWidth(width) * 256)));
                 b.U16(kXfGeneral), b.U16(0x0002), b.U16(0);
               }));
  }
  for (const TXlsCell& cell : cells) {
    if (cell.Blank) {
      out.Record(0x0201, Body([&](TStream& b) { b.U16(cell.Row), b.U16(cell.Column), b.U16(kXfText); }));
    } else {
      out.Record(0x00FD, Body([&](TStream& b) {
                   b.U16(cell.Row), b.U16(cell.Column), b.U16(kXfText), b.U32(cell.String);
                 }));
    }
  }
  out.Record(0x023E, Body([](TStream& b) {
               b.U16(0x06B6), b.U16(0), b.U16(0), b.U16(0x40), b.U16(0);
               b.U16(0), b.U16(0), b.U32(0);
             }));
  out.Record(0x000A, {});
}

}  // namespace

std::string BuildXls(const TSheet& sheet, const std::string& fileName) {
  const TExtent extent = XlsExtent(sheet, fileName);
  const TXlsCells cells = XlsCells(sheet, fileName);

  TStream out;
  size_t sheetOffsetAt = 0;
  Globals(out, cells.Strings, cells.References, sheetOffsetAt);
  out.PatchU32(sheetOffsetAt, static_cast<uint32_t>(out.Size()));
  Worksheet(out, sheet, extent, cells.Cells);
  // Excel wants the workbook stream in the compound file's regular sectors, not the small-block
  // stream, so short workbooks are padded to 4096 bytes; readers stop at the globals' EOF anyway.
  if (out.Size() < 4096) out.Bytes().resize(4096, '\0');

  try {
    return BuildCompoundFile({{"Workbook", std::move(out.Bytes())}});
  } catch (const ECompoundFileError&) {
    FailSave(fileName, "the workbook could not be assembled");
  }
}

}  // namespace torvane::sheetfile
