// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/table_files.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <exception>

#include "cli/cli_texts.h"
#include "core/message.h"
#include "files/safe_file.h"
#include "history/history_json.h"
#include "numbers/number_files.h"
#include "numbers/number_json.h"
#include "numbers/number_merge.h"
#include "numbers/number_record.h"
#include "settings/settings_json.h"
#include "settings/settings_table.h"

namespace torvane::cli {

namespace {

// JSON files are small; anything much larger is no table of ours.
constexpr size_t kMaxJsonBytes = 16 * 1024 * 1024;

std::string Extension(const std::string& file) {
  const size_t slash = file.find_last_of('/');
  const size_t dot = file.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  std::string ext = file.substr(dot);
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
  return ext;
}

std::string ValueOf(TSession& s, int row) {
  if (const TListChoice* list = s.SettingsLists.ForRow(row)) return list->Text();
  return s.SettingsGrid.Cell(kContentCol, row);
}

std::string Moment(const TGrid& g, int dateCol, int timeCol, int row) {
  const std::string& d = g.Cell(dateCol, row);
  const std::string& t = g.Cell(timeCol, row);
  return d.empty() && t.empty() ? std::string() : d + " " + t;
}

// A number row as one text: "+4917012345678 2024-05-06 07:05 - 2024-06-30 18:00", "... always",
// "delete", "(empty)".
std::string RowText(const TGrid& g, int row) {
  if (g.Cell(kColDelete, row) == kMarkYes) return "delete";
  const std::string& number = g.Cell(kColNumber, row);
  if (number.empty() && g.Cell(kColAlways, row) != kMarkYes) return "(empty)";
  if (g.Cell(kColAlways, row) == kMarkYes) return number + " always";
  return number + " " + Moment(g, kColStartDate, kColStartTime, row) + " - " +
         Moment(g, kColEndDate, kColEndTime, row);
}

// A JSON file's text; nothing, with the result Unreadable, when it cannot be read.
std::optional<std::string> JsonText(const std::string& file, TImportResult& result) {
  try {
    return ReadWholeFile(file, kMaxJsonBytes);
  } catch (const EFileError& e) {
    result.Fail(TImportResult::TFile::Unreadable, e.what());
    return std::nullopt;
  }
}

nlohmann::ordered_json RowJson(const TGrid& g, int row) {
  return {{"number", g.Cell(kColNumber, row)},
          {"start", Moment(g, kColStartDate, kColStartTime, row)},
          {"end", Moment(g, kColEndDate, kColEndTime, row)},
          {"always", g.Cell(kColAlways, row) == kMarkYes},
          {"delete", g.Cell(kColDelete, row) == kMarkYes}};
}

}  // namespace

std::optional<TFileKind> FileKindOf(TTable table, const std::string& file, bool toWrite, std::string* error) {
  if (file == "-") {
    if (toWrite) return TFileKind::StandardOutput;
    *error = "- (standard output) is only for read -o";
    return std::nullopt;
  }
  const std::string ext = Extension(file);
  if (ext == ".xlsx") return TFileKind::Xlsx;
  if (ext == ".xls") return TFileKind::Xls;
  if (ext == ".json") return TFileKind::Json;
  // Comma-separated files are written, never read back (the window has no such import either).
  const bool cvs = toWrite && table != TTable::Settings;
  if (ext == ".cvs" && cvs) return TFileKind::Cvs;
  *error = FillText(cvs ? kCliFileKinds : kCliFileKindsRead, {file, TableName(table)});
  return std::nullopt;
}

TImportResult LoadTable(TDeviceJob& job, TTable table, const std::string& file) {
  TSession& s = job.Session();
  if (Extension(file) != ".json")
    return table == TTable::Settings ? s.Profiles.ImportProfileFrom(file)
                                     : ImportNumbersXlsFrom(s.Context, s.NumberGrid, file);
  TImportResult result;
  const std::optional<std::string> text = JsonText(file, result);
  if (!text) return result;
  return table == TTable::Settings ? SettingsFromJson(*text, s.SettingsGrid, s.SettingsLists)
                                   : NumbersFromJson(*text, s.NumberGrid);
}

TImportResult ReadTableFile(TTable table, const std::string& file, TFileValues& out) {
  if (table != TTable::Settings) return ReadNumberListFile(file, out.Numbers);
  if (Extension(file) != ".json") return ReadSettingsProfile(file, out.Settings);
  TImportResult result;
  const std::optional<std::string> text = JsonText(file, result);
  if (!text) return result;
  return ReadSettingsJson(*text, out.Settings);
}

bool SaveChecksPass(TDeviceJob& job, TTable table) {
  TSession& s = job.Session();
  if (table == TTable::Settings) return s.Settings.CheckBeforeSave() && s.Settings.Encodable();
  return s.Numbers.CheckBeforeSave() && s.Numbers.Encodable();
}

bool SaveTable(TDeviceJob& job, TTable table, const std::string& file, TCliOutput& out) {
  std::string why;
  const auto kind = FileKindOf(table, file, true, &why);
  if (!kind) {
    job.Complain(why);
    return false;
  }
  TSession& s = job.Session();
  if (*kind == TFileKind::Json || *kind == TFileKind::StandardOutput) {
    const std::string text = table == TTable::Settings  ? SettingsToJson(s.SettingsGrid, s.SettingsLists)
                             : table == TTable::Numbers ? NumbersToJson(s.NumberGrid)
                                                        : HistoryToJson(s.HistoryGrid);
    if (*kind == TFileKind::StandardOutput) {
      if (out.Data(text)) return true;
      job.Complain("standard output cannot be written");
      return false;
    }
    try {
      WriteFileAtomically(file, text);
    } catch (const EFileError& e) {
      job.Complain(e.what());
      return false;
    }
    return true;
  }
  const int before = job.Complaints();
  job.DialogFile = file;
  const bool cvs = *kind == TFileKind::Cvs;
  switch (table) {
    case TTable::Settings:
      s.Profiles.ExportProfile();
      break;
    case TTable::Numbers:
      if (cvs)
        ExportNumbersCsv(s.Context, s.NumberGrid, s.ConfigDir);
      else
        ExportNumbersXls(s.Context, s.NumberGrid, s.ConfigDir);
      break;
    case TTable::History:
      if (cvs)
        s.HistoryFiles.ExportHistoryCsv();
      else
        s.HistoryFiles.ExportHistoryXls();
      break;
    case TTable::None:
      break;
  }
  job.DialogFile.clear();
  return job.Complaints() == before;
}

void CopyTable(TSession& from, TSession& to, TTable table) {
  if (table == TTable::Settings) {
    {
      TGridUpdate batch(to.SettingsGrid);
      for (int row = 1; row <= kSettingCount; ++row)
        for (int col : {kContentCol, kDescriptionCol})
          to.SettingsGrid.SetCell(col, row, from.SettingsGrid.Cell(col, row));
    }
    for (TListChoice* list : to.SettingsLists.All())
      to.SettingsLists.SetItemIndex(*list, from.SettingsLists.ForRow(list->Row)->ItemIndex);
    return;
  }
  if (table == TTable::Numbers) {
    TGridUpdate batch(to.NumberGrid);
    for (int row = 1; row <= kNumberRows; ++row)
      for (int col = kColNumber; col <= kColDelete; ++col)
        to.NumberGrid.SetCell(col, row, from.NumberGrid.Cell(col, row));
  }
}

std::vector<TDifference> Differences(TSession& device, const TFileValues& file, TTable table) {
  std::vector<TDifference> found;
  if (table == TTable::Settings) {
    const auto& held = device.Settings.Device.All();
    for (int row : SettingsDiffering(file.Settings,
                                     std::span<const uint8_t, kSettingsBytes>(held.data(), kSettingsBytes),
                                     TCodePage::System())) {
      TDifference d;
      d.Key = row;
      d.Name = SettingForRow(row)->Label;
      d.Device = ValueOf(device, row);
      d.File = file.Settings.Value[row];
      d.DeviceJson = d.Device;
      d.FileJson = d.File;
      found.push_back(std::move(d));
    }
    return found;
  }
  // The file's rows as it writes them, in a grid of their own for the result lines.
  TGrid given(kNumberColCount, kNumberRows + 1);
  for (int row = 1; row <= kNumberRows; ++row) {
    const TNumberFileRow& r = file.Numbers.Rows[static_cast<size_t>(row)];
    for (auto [col, text] : {std::pair{kColNumber, &r.Number}, std::pair{kColStartDate, &r.StartDate},
                             std::pair{kColStartTime, &r.StartTime}, std::pair{kColEndDate, &r.EndDate},
                             std::pair{kColEndTime, &r.EndTime}})
      given.SetCell(col, row, *text);
    given.SetCell(kColAlways, row, r.Always ? kMarkYes : kMarkNo);
    given.SetCell(kColDelete, row, r.Delete && file.Numbers.LoadsDeleteMarks ? kMarkYes : kMarkNo);
  }
  const TDevicePages& pages = device.Numbers.Device;
  for (int row = 1; row <= kNumberRows; ++row) {
    const uint8_t* record = pages.Page((row - 1) / kNumbersPerPage + 1).data() +
                            ((row - 1) % kNumbersPerPage) * kNumberRecordSize;
    const TNumberFileRow& r = file.Numbers.Rows[static_cast<size_t>(row)];
    if (!NumberRowDiffers(file.Numbers, row, CheckNumberRow(r), record)) continue;
    TDifference d;
    d.Key = row;
    d.Device = RowText(device.NumberGrid, row);
    d.File = RowText(given, row);
    d.DeviceJson = RowJson(device.NumberGrid, row);
    d.FileJson = RowJson(given, row);
    found.push_back(std::move(d));
  }
  return found;
}

std::string DifferencePlain(const TDifference& d) {
  return d.Name.empty() ? FillText(kCliSerialDiffers, {std::to_string(d.Key), d.Device, d.File})
                        : FillText(kCliParameterDiffers, {d.Name, d.Device, d.File});
}

nlohmann::ordered_json DifferenceJson(const TDifference& d) {
  nlohmann::ordered_json j;
  if (d.Name.empty()) {
    j["serial"] = d.Key;
  } else {
    j["number"] = d.Key;
    j["name"] = d.Name;
  }
  j["device"] = d.DeviceJson;
  j["file"] = d.FileJson;
  return j;
}

}  // namespace torvane::cli
