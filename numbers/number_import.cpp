#include "numbers/number_import.h"

#include "files/phone_number.h"
#include "numbers/number_files.h"
#include "numbers/number_texts.h"

namespace torvane {

namespace {

std::string Fill(const char* pattern, const std::string& value) {
  std::string text = pattern;
  if (const size_t at = text.find("%1"); at != std::string::npos) text.replace(at, 2, value);
  return text;
}

bool HoldsSomething(const TNumberFileRow& r) {
  return !r.Number.empty() || r.Always || r.Delete || !r.StartDate.empty() || !r.StartTime.empty() ||
         !r.EndDate.empty() || !r.EndTime.empty();
}

}  // namespace

TNumberRowCheck CheckNumberRow(const TNumberFileRow& row) {
  TNumberRowCheck c;
  c.Number = CleanPhoneNumber(row.Number);
  c.Cleaned = c.Number != row.Number;
  if (auto problem = PhoneNumberProblem(c.Number, kNumberFieldSize)) c.Problems.push_back(*problem);
  // An always allowed row or one to be deleted keeps no window on the device.
  if (row.Always || row.Delete) return c;
  c.WindowMissing =
      !c.Number.empty() && !NumberWindowTextsValid(row.StartDate, row.StartTime, row.EndDate, row.EndTime);
  // A row without a whole window is told as it always was, not once more for its dates.
  if (c.WindowMissing) return c;
  for (const std::string* date : {&row.StartDate, &row.EndDate})
    if (!date->empty() && !ParseSavableDate(*date)) c.Problems.push_back(Fill(kNumberBadDate, *date));
  for (const std::string* time : {&row.StartTime, &row.EndTime})
    if (!time->empty() && !ParseSavableTime(*time)) c.Problems.push_back(Fill(kNumberBadTime, *time));
  return c;
}

std::vector<TNumberRowCheck> CheckNumberFile(const TNumberFile& file, TImportResult& result) {
  std::vector<TNumberRowCheck> checks(kNumberRows + 1);
  std::vector<TRefusal> refused;
  std::vector<int> windowless;
  for (int serial = 1; serial <= kNumberRows; ++serial) {
    const TNumberFileRow& row = file.Rows[static_cast<size_t>(serial)];
    TNumberRowCheck& c = checks[static_cast<size_t>(serial)];
    c = CheckNumberRow(row);
    if (HoldsSomething(row)) ++result.RowsRead;
    if (c.Cleaned) ++result.RowsCleaned;
    const std::string name = kNumberSerial + std::to_string(serial);
    for (const std::string& why : c.Problems) refused.push_back({serial, name, why});
    if (c.WindowMissing) {
      result.Refused.push_back({serial, name, kNumberNoWindow});
      windowless.push_back(serial);
    }
  }
  // Rows without a whole window are told as they always were; anything else comes first.
  if (!refused.empty()) result.RefusalText = RefusalLines(kNumbersImportRefused, refused);
  if (!windowless.empty())
    result.RefusalText += (result.RefusalText.empty() ? "" : "\n") + WrongNumberRowsMessage(windowless);
  result.Refused.insert(result.Refused.begin(), refused.begin(), refused.end());
  return checks;
}

void LoadNumberFile(const TNumberFile& file, const std::vector<TNumberRowCheck>& checks, TGrid& grid,
                    const std::function<void(int row)>& afterRow) {
  TGridUpdate batch(grid);
  for (int serial = 1; serial <= kNumberRows; ++serial) {
    const TNumberFileRow& r = file.Rows[static_cast<size_t>(serial)];
    grid.SetCell(kColNumber, serial, checks[static_cast<size_t>(serial)].Number);
    grid.SetCell(kColStartDate, serial, r.StartDate);
    grid.SetCell(kColStartTime, serial, r.StartTime);
    grid.SetCell(kColEndDate, serial, r.EndDate);
    grid.SetCell(kColEndTime, serial, r.EndTime);
    grid.SetCell(kColAlways, serial, r.Always ? kMarkYes : kMarkNo);
    if (file.LoadsDeleteMarks) grid.SetCell(kColDelete, serial, r.Delete ? kMarkYes : kMarkNo);
    if (afterRow) afterRow(serial);
  }
}

}  // namespace torvane
