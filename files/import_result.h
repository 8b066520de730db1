// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What an import made of a file, for the window and torvane alike: whether the file could be read at
// all, how many rows it gave, how many of its numbers were cleaned, and which rows or parameters the
// device could not hold, each with why. A file goes into the grid whole or not at all: nothing is
// loaded while anything is refused.
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "core/message.h"
#include "core/operator.h"

namespace torvane {

struct TRefusal {
  int Key = 0;       // the parameter's number or the row's serial
  std::string Name;  // as the operator knows it: "2.SIM Card Phone No", "serial 12"
  std::string Why;
};

struct TImportResult {
  enum class TFile {
    Read,        // read whole; its values are judged in Refused
    Cancelled,   // the operator chose no file
    Unreadable,  // missing, unreadable or no spreadsheet: FileError names it
    Broken,      // not a file of this table, or not whole: FileError says why
  };
  TFile File = TFile::Read;
  std::string FileError;
  int RowsRead = 0;
  int RowsCleaned = 0;
  std::vector<TRefusal> Refused;
  // The refusal as the operator reads it, every refused row or parameter named (up to a point).
  std::string RefusalText;

  bool Loaded() const { return File == TFile::Read && Refused.empty(); }
  void Fail(TFile file, std::string why) {
    File = file;
    FileError = std::move(why);
  }
};

// The refusal's text: `headline`, then one line per refusal ("name: why"), the first ten of them.
std::string RefusalLines(const std::string& headline, const std::vector<TRefusal>& refused);
// What is said once when numbers were cleaned.
std::string CleanedRowsText(int rows);

// The window's one box for an import: an unreadable file as an error, a broken or refused one as a
// message, and after a load that cleaned numbers how many rows were cleaned; nothing else.
void ShowImportResult(IOperator& op, const TImportResult& result);

}  // namespace torvane
