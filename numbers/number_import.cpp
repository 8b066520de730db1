// SPDX-License-Identifier: GPL-3.0-or-later
#include "numbers/number_import.h"

#include <optional>

#include "files/phone_number.h"
#include "numbers/number_files.h"
#include "numbers/number_texts.h"

namespace torvane {

namespace {

bool HoldsSomething(const TNumberFileRow& r) {
  return !r.Number.empty() || r.Always || r.Delete || !r.StartDate.empty() || !r.StartTime.empty() ||
         !r.EndDate.empty() || !r.EndTime.empty();
}

// A window as the device holds it: no date is a zero month and day, no time is 00:00.
struct TWindow {
  std::optional<TPickerDate> StartDate, EndDate;
  TPickerTime StartTime{0, 0}, EndTime{0, 0};
  bool operator==(const TWindow& o) const {
    const auto sameDate = [](const std::optional<TPickerDate>& a, const std::optional<TPickerDate>& b) {
      return a.has_value() == b.has_value() &&
             (!a || (a->Year == b->Year && a->Month == b->Month && a->Day == b->Day));
    };
    const auto sameTime = [](const TPickerTime& a, const TPickerTime& b) {
      return a.Hour == b.Hour && a.Minute == b.Minute;
    };
    return sameDate(StartDate, o.StartDate) && sameDate(EndDate, o.EndDate) &&
           sameTime(StartTime, o.StartTime) && sameTime(EndTime, o.EndTime);
  }
};

// Each cell through `date` or `time`; nothing when a cell that is not empty does not parse.
template <typename D, typename T>
std::optional<TWindow> WindowOf(const std::string& startDate, const std::string& startTime,
                                const std::string& endDate, const std::string& endTime, D date, T time) {
  TWindow w;
  for (auto [text, into] : {std::pair{&startDate, &w.StartDate}, std::pair{&endDate, &w.EndDate}}) {
    if (text->empty()) continue;
    *into = date(*text);
    if (!*into) return std::nullopt;
  }
  for (auto [text, into] : {std::pair{&startTime, &w.StartTime}, std::pair{&endTime, &w.EndTime}}) {
    if (text->empty()) continue;
    const std::optional<TPickerTime> t = time(*text);
    if (!t) return std::nullopt;
    *into = *t;
  }
  return w;
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
    if (!date->empty() && !ParseSavableDate(*date)) c.Problems.push_back(FillText(kNumberBadDate, {*date}));
  for (const std::string* time : {&row.StartTime, &row.EndTime})
    if (!time->empty() && !ParseSavableTime(*time)) c.Problems.push_back(FillText(kNumberBadTime, {*time}));
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

bool NumberRowDiffers(const TNumberFile& file, int serial, const TNumberRowCheck& check,
                      const uint8_t* record) {
  if (check.Refused()) return true;
  const TNumberFileRow& row = file.Rows[static_cast<size_t>(serial)];
  const TNumberRecordText held = DecodeNumberRecord(record);
  // A save writes a row to be deleted as 0xFF bytes, which read as an empty row.
  const bool erased = row.Delete && file.LoadsDeleteMarks;
  const std::string number = erased ? std::string() : check.Number;
  const bool always = !erased && row.Always;
  if (number != held.Number || always != held.Always) return true;
  // The device looks at a window only for a number to call in.
  if (number.empty() || always) return false;
  const auto given =
      WindowOf(row.StartDate, row.StartTime, row.EndDate, row.EndTime, ParseSavableDate, ParseSavableTime);
  const auto kept =
      WindowOf(held.StartDate, held.StartTime, held.EndDate, held.EndTime, ParseNumberDate, ParseNumberTime);
  return !given || !kept || !(*given == *kept);
}

}  // namespace torvane
