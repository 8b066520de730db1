// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Comma-separated text files as the number list and history exports write them: fields joined by
// ",", every line ending in CR LF (the last one too), the text in the PC's ANSI code page, and the
// file replaced atomically (app/safe_file.h).
//
// Fields are written as they stand, with one exception: a field holding a comma, a double quote, a
// carriage return or a line feed is enclosed in double quotes with its inner quotes doubled, so that
// such a text (a history Content "Door, back") no longer shifts every later field of its line.
// Ordinary fields, empty ones included, are never quoted, so ordinary files are unchanged.
//
//   TCsvFile csv;
//   csv.AddLine({"1", "555", "", "", "", "", "no", "no", "", ""});   // 1,555,,,,,no,no,,
//   csv.Save(chosenName);                                            // throws EFileError
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "core/codepage.h"

namespace torvane {

// The field as it goes into a line (quoted only when it must be).
std::string CsvField(std::string_view text);
// The fields joined by ",", each through CsvField, without a line end.
std::string CsvLine(const std::vector<std::string>& fields);

class TCsvFile {
 public:
  void AddLine(const std::vector<std::string>& fields) { lines_.push_back(CsvLine(fields)); }
  void AddLine(std::initializer_list<std::string_view> fields);
  size_t LineCount() const { return lines_.size(); }
  // A line as it will be written (UTF-8, without its CR LF).
  const std::string& Line(size_t index) const { return lines_[index]; }

  // The whole file: each line + CR LF, converted from UTF-8 to `codePage`.
  std::string Bytes(const TCodePage& codePage = TCodePage::System()) const;
  // Replaces `fileName` atomically with Bytes(codePage); throws EFileError naming the file.
  void Save(const std::string& fileName, const TCodePage& codePage = TCodePage::System()) const;

 private:
  std::vector<std::string> lines_;
};

}  // namespace torvane
