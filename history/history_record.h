// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One event of the device's log as it travels in a history page (two of them per 256-byte page):
//   0  record number, 4 bytes, least significant first (FF FF FF FF: none)
//   4  year - 2000 (0 marks an empty slot), 5 month, 6 day, 7 hour, 8 minute, 9 second
//   10 source code, 11 action code
//   12 executant: 22 bytes, "+" and digits up to the first other byte
//   34 content: 41 bytes of code-page text up to the first zero byte
//   75 53 bytes the program does not use
// Every field is a plain binary byte; whatever value arrives is written as its decimal text.
#include <array>
#include <cstdint>
#include <string>

#include "core/codepage.h"

namespace torvane {

constexpr int kHistoryRecordSize = 128;
constexpr int kHistoryExecutantOffset = 12;
constexpr int kHistoryExecutantSize = 22;
constexpr int kHistoryContentOffset = 34;
constexpr int kHistoryContentSize = 41;

// The history grid's columns.
enum THistoryColumn {
  kHisSerial = 0,
  kHisNumber = 1,
  kHisDate = 2,
  kHisTime = 3,
  kHisFrom = 4,
  kHisAction = 5,
  kHisExecutant = 6,
  kHisContent = 7,
  kHisColumnCount = 8,
};
constexpr int kHistoryRows = 1000;

// One history row held outside the grid: the texts of columns 1..7, then the filter's keys.
struct historyinf_r {
  std::array<std::string, 7> Cells;  // No., Date, Time, From, Action, Executant, Content
  int32_t TimeKey = 0;
  int32_t DateKey = 0;
};

// The "From" text of a source code, and the "Action" text of an action code (empty when unknown).
std::string HistorySourceText(uint8_t code);
std::string HistoryActionText(uint8_t code);

// The seven data cells of one 128-byte record; all empty for an empty slot (year byte 0).
std::array<std::string, 7> DecodeHistoryRecord(const uint8_t* record, const TCodePage& codePage);

}  // namespace torvane
