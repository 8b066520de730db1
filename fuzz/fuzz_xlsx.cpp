// SPDX-License-Identifier: GPL-3.0-or-later
// The .xlsx reader fed arbitrary files. A broken file must end in ESpreadsheetError, the one failure
// the import buttons report to the operator; any other exception, crash or sanitizer report is a
// finding.
#include <string>

#include "files/spreadsheet_formats.h"
#include "fuzz/sheet_walk.h"

using namespace torvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  TSheet sheet;
  try {
    sheetfile::ReadXlsx("fuzz.xlsx", bytes, sheet);
  } catch (const ESpreadsheetError&) {
    return 0;
  }
  fuzz::WalkSheet(sheet);
  return 0;
}
