#include "settings/settings_profile.h"

#include <exception>

#include "core/conversion_error.h"
#include "files/file_stamp.h"
#include "files/grid_sheet.h"
#include "files/spreadsheet.h"
#include "settings/settings_table.h"

namespace torvane {

namespace {

constexpr int kLastRow = kSettingCount;  // grid rows 0..28 become sheet rows 1..29
constexpr int kColumns = 3;
constexpr double kColumnWidths[kColumns] = {85, 45, 130};

// The first character of a UTF-8 text, whole (a multi-byte character is not cut).
std::string FirstCharacter(const std::string& text) {
  if (text.empty()) return {};
  size_t length = 1;
  while (length < text.size() && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) ++length;
  return text.substr(0, length);
}

}  // namespace

void Tcustomstringgrid_basis::ExportProfile() {
  try {
    TExcelApplication excel;
    TWorkbook& book = excel.WorkBooks().Add();
    const std::string proposed = kProfileNamePrefix + FileNameStamp(exchange_.Clock.Now());
    for (int c = 0; c < kColumns; ++c) excel.Columns(c + 1).SetColumnWidth(kColumnWidths[c]);
    const auto fileName = exchange_.Operator.ChooseSaveFile(kProfileExportFilter, configDir_, proposed);
    if (!fileName || !MaySaveWorkbookAs(exchange_.Operator, *fileName)) return;

    WriteGridAsText(excel, grid_, kLastRow, kColumns, [&](int r) {
      exchange_.Progress.SetProgress(static_cast<uint16_t>(r * 100 / kLastRow));
      exchange_.Status.ShowStatus(kSaveProfileStatus);
    });
    // The grid cell under a list is not what the operator sees: the list's item is.
    for (TListChoice* list : lists_.All()) excel.Cells(list->Row + 1, kContentCol + 1).SetValue(list->Text());

    book.SaveAs(*fileName);
    book.Close();
    excel.Quit();
  } catch (const std::exception& e) {
    exchange_.Operator.Error(e.what());
  }
}

void Tcustomstringgrid_basis::ImportProfile() {
  TExcelApplication excel;
  if (!OpenSheetToImport(exchange_.Operator, excel, kProfileImportFilter, configDir_, kSettingsHeadings[0],
                         kWrongProfileFormat))
    return;

  {
    TGridUpdate batch(grid_);
    for (int r = 1; r <= kLastRow; ++r) {
      for (int c = kContentCol; c <= kDescriptionCol; ++c)
        grid_.SetCell(c, r, excel.Cells(r + 1, c + 1).Value());
      exchange_.Progress.SetProgress(static_cast<uint16_t>(r * 100 / kLastRow));
      exchange_.Status.ShowStatus(kLoadProfileStatus);
    }
  }

  for (TListChoice* list : lists_.All()) {
    const std::string first = FirstCharacter(excel.Cells(list->Row + 1, kContentCol + 1).Value());
    if (first.size() != 1 || first[0] < '0' || first[0] > '9') {
      // The cells are in; this list and the ones after it keep their selection.
      exchange_.Operator.Error(NotAnIntegerMessage(first));
      break;
    }
    lists_.SetItemIndex(*list, first[0] - '0');
  }
  excel.Quit();
}

}  // namespace torvane
