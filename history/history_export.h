// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The history grid in files: "Export.XLS" writes every grid row (the headings, then all 1000 rows,
// empty ones too), "Export.CSV" only the rows that hold a record. Both write what the grid shows at
// that moment, so after a filter they write the filtered rows, and while the find bar hides rows
// they leave those out too; the record number, hidden in the view, is written in both.
#include <functional>
#include <string>

#include "core/codepage.h"
#include "core/context.h"
#include "core/grid.h"
#include "history/history_texts.h"

namespace torvane {

// Carries the two history exports.
class Tcustomstringgrid_his {
 public:
  // configDir is read when a dialog opens (the window sets it after start-up).
  Tcustomstringgrid_his(TContext& link, const TGrid& grid, const std::string& configDir,
                        const TCodePage& codePage = TCodePage::System())
      : context_(link), grid_(grid), configDir_(configDir), codePage_(codePage) {}

  // Cancelling either dialog writes nothing; a failed save leaves any file of that name as it was
  // and is reported to the operator.
  void ExportHistoryXls();
  void ExportHistoryCsv();

  // The rows the view shows (the find bar hides the others); every row when not set. The headings
  // are always written.
  std::function<bool(int row)> ShownRow;

 private:
  TContext& context_;
  const TGrid& grid_;
  const std::string& configDir_;
  const TCodePage& codePage_;
};

}  // namespace torvane
