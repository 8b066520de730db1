// SPDX-License-Identifier: GPL-3.0-or-later
// The number list JSON reader fed arbitrary text. Properties: a list that is broken or refused leaves
// the grid untouched, and says why; one that loads leaves well-formed UTF-8 in every cell, and every
// row it gives encodes into a record without a fault that holds the row as the file gives it, by
// value: what is imported is saved as it reads.
#include <string_view>

#include "fuzz/fuzz_util.h"
#include "numbers/number_import.h"
#include "numbers/number_json.h"
#include "numbers/telephone_send.h"

using namespace torvane;
using torvane::fuzz::Require;

namespace {

bool HoldsSomething(const TNumberFileRow& r) {
  return !r.Number.empty() || r.Always || r.Delete || !r.StartDate.empty() || !r.StartTime.empty() ||
         !r.EndDate.empty() || !r.EndTime.empty();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // One grid for every input: a fresh one of 3000 rows would cost more than the import.
  static TGrid grid(kNumberColCount, kNumberRows + 1);
  static int changes = 0;
  static const bool ready = [] {
    SetUpNumberGrid(grid);
    grid.AddListener([](int, int) { ++changes; });
    return true;
  }();
  Require(ready, "no grid");
  changes = 0;
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  const TImportResult result = NumbersFromJson(text, grid);
  if (!result.Loaded()) {
    Require(changes == 0, "a list that was not loaded changed the grid");
    Require(!result.FileError.empty() || !result.RefusalText.empty(), "a list refused without why");
    return 0;
  }
  TNumberFile file;
  Require(ReadNumbersJson(text, file).File == TImportResult::TFile::Read, "a loaded list reads broken");
  for (int serial = 1; serial <= kNumberRows; ++serial) {
    const TNumberFileRow& row = file.Rows[static_cast<size_t>(serial)];
    if (!HoldsSomething(row)) continue;
    for (int col = kColNumber; col <= kColDelete; ++col)
      Require(fuzz::ValidUtf8(grid.Cell(col, serial)), "cell not UTF-8");
    uint8_t record[kNumberRecordSize];
    Require(!EncodeNumberRecord(NumberRowCells(grid, serial), record), "an imported row cannot be saved");
    Require(!NumberRowDiffers(file, serial, CheckNumberRow(row), record),
            "an imported row is saved as another");
  }
  return 0;
}
