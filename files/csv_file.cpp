// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/csv_file.h"

#include "files/safe_file.h"

namespace torvane {

std::string CsvField(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
  std::string quoted;
  quoted.reserve(text.size() + 2);
  quoted += '"';
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  quoted += '"';
  return quoted;
}

std::string CsvLine(const std::vector<std::string>& fields) {
  std::string line;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) line += ',';
    line += CsvField(fields[i]);
  }
  return line;
}

void TCsvFile::AddLine(std::initializer_list<std::string_view> fields) {
  std::string line;
  bool first = true;
  for (std::string_view field : fields) {
    if (!first) line += ',';
    first = false;
    line += CsvField(field);
  }
  lines_.push_back(std::move(line));
}

std::string TCsvFile::Bytes(const TCodePage& codePage) const {
  size_t size = 0;
  for (const std::string& line : lines_) size += line.size() + 2;
  std::string text;
  text.reserve(size);
  for (const std::string& line : lines_) {
    text += line;
    text += "\r\n";
  }
  // One conversion for the whole file: the code pages we meet keep CR, LF, ',' and '"' as the same
  // single bytes, so converting per line would only cost time.
  return codePage.FromUtf8(text);
}

void TCsvFile::Save(const std::string& fileName, const TCodePage& codePage) const {
  WriteFileAtomically(fileName, Bytes(codePage));
}

}  // namespace torvane
