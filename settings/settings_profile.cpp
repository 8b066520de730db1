// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/settings_profile.h"

#include <exception>

#include "files/file_stamp.h"
#include "files/grid_sheet.h"
#include "files/spreadsheet.h"
#include "settings/settings_table.h"

namespace torvane {

namespace {

constexpr int kLastRow = kSettingCount;  // grid rows 0..28 become sheet rows 1..29
constexpr int kColumns = 3;
constexpr double kColumnWidths[kColumns] = {85, 45, 130};

}  // namespace

void Tcustomstringgrid_basis::ExportProfile() {
  try {
    TExcelApplication excel;
    TWorkbook& book = excel.WorkBooks().Add();
    const std::string proposed = kProfileNamePrefix + FileNameStamp(context_.Clock.Now());
    for (int c = 0; c < kColumns; ++c) excel.Columns(c + 1).SetColumnWidth(kColumnWidths[c]);
    const auto fileName = context_.Operator.ChooseSaveFile(kProfileExportFilter, configDir_, proposed);
    if (!fileName || !MaySaveWorkbookAs(context_.Operator, *fileName)) return;

    WriteGridAsText(excel, grid_, kLastRow, kColumns, [&](int r) {
      context_.Progress.SetProgress(static_cast<uint16_t>(r * 100 / kLastRow));
      context_.Status.ShowStatus(kSaveProfileStatus);
    });
    // The grid cell under a list is not what the operator sees: the list's item is.
    for (TListChoice* list : lists_.All()) excel.Cells(list->Row + 1, kContentCol + 1).SetValue(list->Text());

    book.SaveAs(*fileName);
    book.Close();
    excel.Quit();
  } catch (const std::exception& e) {
    context_.Operator.Error(e.what());
  }
}

TImportResult Tcustomstringgrid_basis::ImportProfile() {
  const auto fileName = context_.Operator.ChooseOpenFile(kProfileImportFilter, configDir_);
  if (!fileName) {
    TImportResult cancelled;
    cancelled.File = TImportResult::TFile::Cancelled;
    return cancelled;
  }
  return ImportProfileFrom(*fileName);
}

TImportResult Tcustomstringgrid_basis::ImportProfileFrom(const std::string& fileName) {
  TSettingsFileValues file;
  TImportResult result = ReadSettingsProfile(fileName, file);
  if (result.File != TImportResult::TFile::Read) return result;
  const TSettingValues values = CheckSettingsFile(file, codePage_, result);
  if (!result.Loaded()) return result;
  LoadSettingValues(file, values, grid_, lists_, [this](int r) {
    context_.Progress.SetProgress(static_cast<uint16_t>(r * 100 / kLastRow));
    context_.Status.ShowStatus(kLoadProfileStatus);
  });
  return result;
}

TImportResult ReadSettingsProfile(const std::string& fileName, TSettingsFileValues& out) {
  TExcelApplication excel;
  TImportResult result = OpenSheetToImport(excel, fileName, kSettingsHeadings[0], kWrongProfileFormat);
  if (result.File != TImportResult::TFile::Read) return result;
  for (int r = 1; r <= kLastRow; ++r) {
    out.Value[r] = excel.Cells(r + 1, kContentCol + 1).Value();
    out.Description[r] = excel.Cells(r + 1, kDescriptionCol + 1).Value();
  }
  excel.Quit();
  return result;
}

}  // namespace torvane
