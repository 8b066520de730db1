// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/sheet.h"

#include <algorithm>
#include <cmath>

#include "core/message.h"
#include "files/date_serial.h"
#include "files/file_texts.h"

namespace torvane {

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
    throw ESpreadsheetError(EFileError::TAction::Open, "",
                            FillText(kCellOutsideSheet, {std::to_string(row), std::to_string(column)}));
  std::vector<TCell>& cells = rows_[row];
  if (static_cast<size_t>(column) > cells.size()) {
    size_t added = column - cells.size();
    if (cellCount_ + added > kMaxCells)
      throw ESpreadsheetError(EFileError::TAction::Open, "",
                              FillText(kSheetTooManyCells, {std::to_string(kMaxCells)}));
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

}  // namespace torvane
