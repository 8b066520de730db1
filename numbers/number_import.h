// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A number list file judged before anything of it is loaded. Every row's number, once cleaned of the
// blanks and dashes people write numbers with, must be digits after an optional leading '+' that fit
// the record's 22 bytes; its dates and times must be ones the pickers could have made and the device
// can keep; and a number that is neither always allowed nor to be deleted needs a whole window, as the
// import has always checked. Otherwise the file is refused with the rows named. verify and diff
// compare the same rows with what a device holds, by value.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/grid.h"
#include "files/import_result.h"
#include "numbers/number_record.h"

namespace torvane {

// What a number list file says of one row, before any check.
struct TNumberFileRow {
  std::string Number, StartDate, StartTime, EndDate, EndTime;
  bool Always = false, Delete = false;
};

struct TNumberFile {
  std::vector<TNumberFileRow> Rows = std::vector<TNumberFileRow>(kNumberRows + 1);  // by serial; [0] unused
  // A JSON list loads its "delete" marks. A sheet's marks only spare their rows the window check: the
  // grid keeps its own, as the spreadsheet import always has.
  bool LoadsDeleteMarks = false;
};

// One row as it would load.
struct TNumberRowCheck {
  std::string Number;  // cleaned
  bool Cleaned = false;
  std::vector<std::string> Problems;  // why the device cannot keep the row as it stands
  bool WindowMissing = false;         // a number to call in without "always" or a whole window
  bool Refused() const { return WindowMissing || !Problems.empty(); }
};

TNumberRowCheck CheckNumberRow(const TNumberFileRow& row);

// Judges every row (by serial; [0] unused). `result` gets the rows read, the rows cleaned and every
// refusal (with its RefusalText).
std::vector<TNumberRowCheck> CheckNumberFile(const TNumberFile& file, TImportResult& result);

// Puts the checked rows into the grid as one change (`afterRow` after each).
void LoadNumberFile(const TNumberFile& file, const std::vector<TNumberRowCheck>& checks, TGrid& grid,
                    const std::function<void(int row)>& afterRow = {});

// Whether a file's row is not what the device's 32-byte record holds, by value: the cleaned number,
// the "always" mark, and for a number to call in its dates and times by their values ("2024/05/06" is
// "2024-05-06"); a row to be deleted is an empty one. A row the device could not keep differs from
// whatever it holds.
bool NumberRowDiffers(const TNumberFile& file, int serial, const TNumberRowCheck& check,
                      const uint8_t* record);

}  // namespace torvane
