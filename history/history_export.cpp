// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/history_export.h"

#include <exception>
#include <vector>

#include "files/csv_file.h"
#include "files/file_stamp.h"
#include "files/grid_sheet.h"
#include "files/spreadsheet.h"
#include "history/history_record.h"

namespace torvane {

namespace {
constexpr double kColumnWidths[kHisColumnCount] = {5, 16, 13, 13, 16, 16, 22, 22};
constexpr int kCsvFields = 10;
}  // namespace

void Tcustomstringgrid_his::ExportHistoryXls() {
  try {
    TExcelApplication excel;
    TWorkbook& book = excel.WorkBooks().Add();
    const std::string proposed = kHistoryXlsNamePrefix + FileNameStamp(context_.Clock.Now());
    for (int c = 0; c < kHisColumnCount; ++c) excel.Columns(c + 1).SetColumnWidth(kColumnWidths[c]);
    const auto fileName = context_.Operator.ChooseSaveFile(kHistoryXlsFilter, configDir_, proposed);
    if (!fileName || !MaySaveWorkbookAs(context_.Operator, *fileName)) return;

    WriteGridAsText(
        excel, grid_, kHistoryRows, kHisColumnCount,
        [&](int r) {
          if (r > 0) context_.Progress.SetProgress(static_cast<uint16_t>(r * 100 / kHistoryRows));
          context_.Status.ShowStatus(kHistoryXlsStatus + std::to_string(r) + "/" +
                                     std::to_string(kHistoryRows));
        },
        [this](int r) { return r == 0 || !ShownRow || ShownRow(r); });
    book.SaveAs(*fileName);
    book.Close();
  } catch (const std::exception& e) {
    context_.Operator.Error(e.what());
  }
}

void Tcustomstringgrid_his::ExportHistoryCsv() {
  const std::string proposed =
      kHistoryCsvNamePrefix + FileNameStamp(context_.Clock.Now()) + kHistoryCsvExtension;
  TCsvFile csv;
  std::vector<std::string> fields(kCsvFields);
  for (int r = 1; r <= kHistoryRows; ++r) {
    if (grid_.Cell(kHisNumber, r).empty() || (ShownRow && !ShownRow(r))) continue;
    for (int c = 0; c < kCsvFields; ++c) fields[c] = grid_.Cell(c, r);
    csv.AddLine(fields);
    context_.Progress.SetProgress(static_cast<uint16_t>(r * 100 / (kHistoryRows + 1)));
    context_.Status.ShowStatus(kHistoryCsvStatus + std::to_string(r - 1) + "/" +
                               std::to_string(kHistoryRows));
  }
  const auto fileName = context_.Operator.ChooseSaveFile(kHistoryCsvFilter, configDir_, proposed);
  if (!fileName) return;
  try {
    csv.Save(*fileName, codePage_);
  } catch (const std::exception& e) {
    context_.Operator.Error(e.what());
  }
}

}  // namespace torvane
