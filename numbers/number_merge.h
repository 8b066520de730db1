// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A number list file added to the grid by number instead of by place, for "Add from file…" and
// `torvane write numbers FILE --merge`. Numbers are one number however they are written
// (PhoneNumberKey). A number the grid holds takes the file's window and marks, and keeps its serial
// and its own text; a new one goes into the first row without a number; a number the file gives twice
// counts once, as its later row says; rows without a number are passed over. The rest of the grid
// stays as it was.
#include <string>
#include <vector>

#include "core/grid.h"
#include "core/operator.h"
#include "files/import_result.h"
#include "numbers/number_import.h"

namespace torvane {

struct TNumberMergeCounts {
  int Added = 0;
  int Updated = 0;
  int Unchanged = 0;
  int NotPlaced = 0;  // new numbers for which no empty row was left
};

struct TNumberCellChange {
  int Col = 0, Row = 0;
  std::string Text;
};

struct TNumberMerge {
  TNumberMergeCounts Counts;
  std::vector<TNumberCellChange> Changes;  // only cells whose text differs from the grid's
};

// What merging the judged file (CheckNumberFile) into the grid comes to; the grid is not touched.
TNumberMerge MergeNumbers(const TGrid& grid, const TNumberFile& file,
                          const std::vector<TNumberRowCheck>& checks);
// Makes the merge's changes as one change of the grid.
void ApplyNumberMerge(TGrid& grid, const TNumberMerge& merge);
// What the operator is told of a merge.
std::string NumberMergeSummary(const TNumberMergeCounts& counts);

// A number list file of either kind, as its extension says: JSON (.json) or a spreadsheet. Unjudged;
// Unreadable or Broken when it cannot be read as one.
TImportResult ReadNumberListFile(const std::string& fileName, TNumberFile& out);
// Reads and judges the file whole and, when nothing is refused, merges it into the grid; `counts`
// gets what the merge did. Nothing is shown.
TImportResult MergeNumberListFile(const std::string& fileName, TGrid& grid, TNumberMergeCounts& counts);
// The "Add from file…" button: asks for a file, merges it and says in one box what came of it.
void AddNumbersFromFile(IOperator& op, TGrid& grid, const std::string& configDir);

}  // namespace torvane
