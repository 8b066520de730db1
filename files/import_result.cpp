// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/import_result.h"

#include "core/message.h"
#include "files/import_texts.h"

namespace torvane {

namespace {

constexpr size_t kNamedRefusals = 10;

}  // namespace

std::string RefusalLines(const std::string& headline, const std::vector<TRefusal>& refused) {
  if (refused.empty()) return headline;
  std::vector<std::string> lines;
  for (const TRefusal& r : refused) lines.push_back(FillText(kRefusalLine, {r.Name, r.Why}));
  return headline + "\n" + JoinFirst(lines, kNamedRefusals, "\n", kRefusalMore);
}

std::string CleanedRowsText(int rows) {
  return rows == 1 ? std::string(kCleanedOneRow) : FillText(kCleanedRows, {std::to_string(rows)});
}

void ShowImportResult(IOperator& op, const TImportResult& result) {
  switch (result.File) {
    case TImportResult::TFile::Cancelled:
      return;
    case TImportResult::TFile::Unreadable:
      op.Error(result.FileError);
      return;
    case TImportResult::TFile::Broken:
      op.Message(result.FileError);
      return;
    case TImportResult::TFile::Read:
      break;
  }
  if (!result.Refused.empty())
    op.Message(result.RefusalText);
  else if (result.RowsCleaned > 0)
    op.Message(CleanedRowsText(result.RowsCleaned));
}

}  // namespace torvane
