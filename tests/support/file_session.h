// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A whole session on fakes for the tests of the file operations: its configuration folder is a fresh
// temporary folder, and the file dialogs answer what the test queues in Op().FileAnswers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "files/spreadsheet_test_util.h"
#include "support/fakes.h"

namespace torvane::testing {

class TFileSessionTest : public ::testing::Test {
 protected:
  TFileSessionTest() { S().ConfigDir = dir_.Path() + "/"; }
  TSession& S() { return *fake_.Session; }
  TFakeOperator& Op() { return fake_.Operator; }

  TTempDir dir_;
  TFakeSession fake_;
};

// Fills grid row `row` from column 1 on; column 0 (the serial) stays as it is.
inline void SetGridRow(TGrid& grid, int row, const std::vector<std::string>& cells) {
  for (size_t c = 0; c < cells.size(); ++c) grid.SetCell(static_cast<int>(c) + 1, row, cells[c]);
}

// A spreadsheet library that reads our files: the extension to write and the fixture script's command.
struct TReaderCase {
  const char* Extension;
  const char* Reader;
};

}  // namespace torvane::testing
