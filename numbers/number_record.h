// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One authorized-number record as the device keeps it (32 bytes) and as the number grid shows it.
//
//   0..21  number, "+" and digits, zero-filled
//   22..25 start month, day, hour, minute     26..29 end month, day, hour, minute
//   30     start year - 2000                  31     end year - 2000
//
// The years sit at the end, after the times: the device grew the year bytes later.
#include <cstdint>
#include <optional>
#include <string>

#include "core/grid.h"

namespace torvane {

constexpr int kNumberRecordSize = 32;
constexpr int kNumberFieldSize = 22;
constexpr int kNumbersPerPage = 8;
constexpr int kNumberPageCount = 375;
constexpr int kNumberRows = kNumbersPerPage * kNumberPageCount;  // 3000
constexpr int kNumberPageSize = kNumbersPerPage * kNumberRecordSize;

// Columns of the number grid; row 0 holds the headings, row n the record with serial n.
enum TNumberColumn : int {
  kColSerial = 0,
  kColNumber = 1,
  kColStartDate = 2,
  kColStartTime = 3,
  kColEndDate = 4,
  kColEndTime = 5,
  kColAlways = 6,
  kColDelete = 7,
  kNumberColCount = 8
};

inline const std::string kMarkYes = "yes";
inline const std::string kMarkNo = "no";

// What a record reads as. Serial and Delete(V) are the grid's own and never come from the device.
struct TNumberRecordText {
  std::string Number, StartDate, StartTime, EndDate, EndTime;
  bool Always = false;
};

TNumberRecordText DecodeNumberRecord(const uint8_t* record);

// The cells of one grid row that a save reads.
struct TNumberRowCells {
  std::string Number, StartDate, StartTime, EndDate, EndTime, Always, Delete;
};

TNumberRowCells NumberRowCells(const TGrid& grid, int row);

// Fills 32 bytes from the row. A date or time part that is not a decimal number cannot be sent:
// the result then names the offending text (nothing useful is left in record).
std::optional<std::string> EncodeNumberRecord(const TNumberRowCells& row, uint8_t* record);

// The message of a failed conversion, as the operator sees it.

// Dates and times the device cannot hold (month > 12, day > 31, hour > 23, minute > 59), or whose
// parts are not numbers at all, are shown highlighted; they are not refused.
bool NumberCellOutOfRange(int col, const std::string& text);

// A date or time cell parsed as the pickers load it; nothing when the text is not a real date/time.
struct TPickerDate {
  int Year, Month, Day;
};
struct TPickerTime {
  int Hour, Minute;
};
std::optional<TPickerDate> ParseNumberDate(const std::string& text);
std::optional<TPickerTime> ParseNumberTime(const std::string& text);
// A date or time cell as the pickers could have written it and the device keeps it: "yyyy?MM?dd"
// with one separator, a real day of the years 2000 to 2099 (the device keeps the year less 2000 in
// one byte, and the encoder takes the year's third and fourth characters); "HH:mm" from 00:00 to
// 23:59. Nothing for any other text.
std::optional<TPickerDate> ParseSavableDate(const std::string& text);
std::optional<TPickerTime> ParseSavableTime(const std::string& text);
// "yyyy<sep>MM<sep>dd" and "HH:mm", the texts the pickers write back.
std::string FormatNumberDate(int year, int month, int day, char separator);
std::string FormatNumberTime(int hour, int minute);

}  // namespace torvane
