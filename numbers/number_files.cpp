// SPDX-License-Identifier: GPL-3.0-or-later
#include "numbers/number_files.h"

#include <exception>
#include <optional>

#include "core/message.h"
#include "files/csv_file.h"
#include "files/file_stamp.h"
#include "files/grid_sheet.h"
#include "files/spreadsheet.h"
#include "numbers/number_record.h"

namespace torvane {

namespace {

constexpr double kColumnWidths[] = {4, 20, 16, 16, 16, 16};  // G and H keep the default
constexpr int kCsvFields = 10;

// A text split into its characters (UTF-8 sequences), so that positions and lengths count what the
// operator sees and not bytes.
std::vector<std::string> Characters(const std::string& text) {
  std::vector<std::string> chars;
  for (size_t i = 0; i < text.size();) {
    size_t length = 1;
    while (i + length < text.size() && (static_cast<unsigned char>(text[i + length]) & 0xC0) == 0x80)
      ++length;
    chars.push_back(text.substr(i, length));
    i += length;
  }
  return chars;
}

// `count` characters from 1-based position `from`; fewer, or none, past the end.
std::string Part(const std::vector<std::string>& chars, size_t from, size_t count) {
  std::string part;
  for (size_t i = from - 1; i < chars.size() && i < from - 1 + count; ++i) part += chars[i];
  return part;
}

std::string LastTwo(const std::vector<std::string>& chars) {
  return Part(chars, chars.size() < 2 ? 1 : chars.size() - 1, 2);
}

// Decimal digits only: a sign or a blank in a date would reach the device as some other byte.
bool IsNumber(const std::string& text) {
  if (text.empty() || text.size() > 9) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

bool DateValid(const std::string& text) {
  const auto chars = Characters(text);
  return IsNumber(Part(chars, 6, 2)) && IsNumber(LastTwo(chars)) && IsNumber(Part(chars, 3, 2)) &&
         chars.size() == 10;
}

bool TimeValid(const std::string& text) {
  const auto chars = Characters(text);
  return IsNumber(Part(chars, 1, 2)) && IsNumber(LastTwo(chars)) && chars.size() == 5;
}

void ReportFailure(TContext& link, const std::exception& e) {
  link.Operator.Error(e.what());
}

}  // namespace

bool NumberWindowTextsValid(const std::string& startDate, const std::string& startTime,
                            const std::string& endDate, const std::string& endTime) {
  return DateValid(startDate) && TimeValid(startTime) && DateValid(endDate) && TimeValid(endTime);
}

std::string WrongNumberRowsMessage(const std::vector<int>& wrongRows) {
  return kWrongNumberRows + std::to_string(wrongRows.size()) + kWrongNumberSerials +
         JoinFirst(wrongRows, 3, ",", "%1,....");
}

void ExportNumbersXls(TContext& link, const TGrid& grid, const std::string& configDir) {
  try {
    TExcelApplication excel;
    TWorkbook& book = excel.WorkBooks().Add();
    const std::string proposed = kNumbersXlsNamePrefix + FileNameStamp(link.Clock.Now());
    for (int c = 0; c < static_cast<int>(std::size(kColumnWidths)); ++c)
      excel.Columns(c + 1).SetColumnWidth(kColumnWidths[c]);
    const auto fileName = link.Operator.ChooseSaveFile(kNumbersXlsExportFilter, configDir, proposed);
    if (!fileName || !MaySaveWorkbookAs(link.Operator, *fileName)) return;

    WriteGridAsText(excel, grid, kNumberRows, kNumberColCount, [&](int r) {
      if (r == 0) return;
      link.Progress.SetProgress(static_cast<uint16_t>(r * 100 / kNumberRows));
      link.Status.ShowStatus(kNumbersXlsSaveStatus + std::to_string(r) + "/" + std::to_string(kNumberRows));
    });
    book.SaveAs(*fileName);
    book.Close();
    link.Status.ShowStatus("");
  } catch (const std::exception& e) {
    ReportFailure(link, e);
  }
}

TImportResult ImportNumbersXls(TContext& link, TGrid& grid, const std::string& configDir) {
  const auto fileName = link.Operator.ChooseOpenFile(kNumbersXlsImportFilter, configDir);
  if (!fileName) {
    TImportResult cancelled;
    cancelled.File = TImportResult::TFile::Cancelled;
    return cancelled;
  }
  return ImportNumbersXlsFrom(link, grid, *fileName);
}

TImportResult ImportNumbersXlsFrom(TContext& link, TGrid& grid, const std::string& fileName) {
  TNumberFile file;
  TImportResult result = ReadNumbersSheet(fileName, file);
  if (result.File != TImportResult::TFile::Read) return result;
  const std::vector<TNumberRowCheck> checks = CheckNumberFile(file, result);
  if (!result.Loaded()) return result;
  LoadNumberFile(file, checks, grid, [&link](int row) {
    link.Progress.SetProgress(static_cast<uint16_t>(row * 100 / kNumberRows));
    link.Status.ShowStatus(kNumbersXlsImportStatus);
  });
  return result;
}

TImportResult ReadNumbersSheet(const std::string& fileName, TNumberFile& out) {
  TExcelApplication excel;
  TImportResult result = OpenSheetToImport(excel, fileName, "Serial", kWrongNumbersFormat);
  if (result.File != TImportResult::TFile::Read) return result;
  // By place: sheet row j + 1 is grid row j, whatever serial the file shows.
  for (int j = 1; j <= kNumberRows; ++j) {
    const int row = j + 1;
    TNumberFileRow& r = out.Rows[static_cast<size_t>(j)];
    r.Number = excel.Cells(row, 2).Value();
    r.StartDate = excel.Cells(row, 3).Value();
    r.StartTime = excel.Cells(row, 4).Value();
    r.EndDate = excel.Cells(row, 5).Value();
    r.EndTime = excel.Cells(row, 6).Value();
    r.Always = excel.Cells(row, 7).Text() == kMarkYes;
    r.Delete = excel.Cells(row, 8).Text() == kMarkYes;
  }
  out.LoadsDeleteMarks = false;
  excel.Quit();
  return result;
}

void ExportNumbersCsv(TContext& link, const TGrid& grid, const std::string& configDir,
                      const TCodePage& codePage) {
  const std::string proposed = kNumbersCsvNamePrefix + FileNameStamp(link.Clock.Now()) + kNumbersCsvExtension;
  TCsvFile csv;
  std::vector<std::string> fields(kCsvFields);
  // One line past the last grid row: the file has always ended with a line of empty fields.
  for (int r = 1; r <= kNumberRows + 1; ++r) {
    for (int c = 0; c < kCsvFields; ++c) fields[c] = grid.Cell(c, r);
    csv.AddLine(fields);
    link.Progress.SetProgress(static_cast<uint16_t>(r * 100 / (kNumberRows + 1)));
    link.Status.ShowStatus(kNumbersCsvStatus + std::to_string(r - 1) + "/" + std::to_string(kNumberRows));
  }
  const auto fileName = link.Operator.ChooseSaveFile(kNumbersCsvFilter, configDir, proposed);
  if (!fileName) return;
  try {
    csv.Save(*fileName, codePage);
  } catch (const std::exception& e) {
    ReportFailure(link, e);
  }
}

}  // namespace torvane
