// SPDX-License-Identifier: GPL-3.0-or-later
#include "numbers/number_merge.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstddef>
#include <string_view>
#include <unordered_map>

#include "core/message.h"
#include "files/phone_number.h"
#include "files/safe_file.h"
#include "numbers/number_files.h"
#include "numbers/number_json.h"
#include "numbers/number_record.h"
#include "numbers/number_texts.h"

namespace torvane {

namespace {

// JSON lists are small; anything much larger is no number list.
constexpr size_t kMaxJsonBytes = 16 * 1024 * 1024;

// The cells a merged number takes from the file, in grid column order from "Start Date" on.
constexpr std::array<int, 6> kTakenCols{kColStartDate, kColStartTime, kColEndDate,
                                        kColEndTime,   kColAlways,    kColDelete};

std::array<std::string, 6> TakenTexts(const TNumberFileRow& r) {
  return {r.StartDate,
          r.StartTime,
          r.EndDate,
          r.EndTime,
          r.Always ? kMarkYes : kMarkNo,
          r.Delete ? kMarkYes : kMarkNo};
}

bool EndsWithJson(const std::string& fileName) {
  constexpr std::string_view kJson = ".json";
  if (fileName.size() < kJson.size()) return false;
  return std::equal(kJson.begin(), kJson.end(), fileName.end() - static_cast<ptrdiff_t>(kJson.size()),
                    [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); });
}

}  // namespace

TNumberMerge MergeNumbers(const TGrid& grid, const TNumberFile& file,
                          const std::vector<TNumberRowCheck>& checks) {
  TNumberMerge merge;
  const int rows = std::min(kNumberRows, grid.RowCount() - 1);

  // The grid's numbers by key, each chained to the next row holding the same one (a list may hold a
  // number twice, and then both rows take the file's window); the empty rows in order.
  std::unordered_map<std::string, int> held;
  held.reserve(static_cast<size_t>(rows) * 2);
  std::vector<int> sameNumber(static_cast<size_t>(rows) + 1, 0);
  std::vector<int> emptyRows;
  for (int row = 1; row <= rows; ++row) {
    const std::string& number = grid.Cell(kColNumber, row);
    if (number.empty()) {
      emptyRows.push_back(row);
      continue;
    }
    auto [at, added] = held.try_emplace(PhoneNumberKey(number), row);
    if (!added) {
      sameNumber[static_cast<size_t>(row)] = at->second;
      at->second = row;
    }
  }

  // The file's numbers once each, in the order they first appear, with the row that says last.
  std::unordered_map<std::string, size_t> given;
  given.reserve(kNumberRows * 2);
  std::vector<std::pair<const std::string*, int>> numbers;  // key (in `given`), serial of the row that wins
  for (int serial = 1; serial <= kNumberRows && static_cast<size_t>(serial) < checks.size(); ++serial) {
    const std::string& cleaned = checks[static_cast<size_t>(serial)].Number;
    if (cleaned.empty()) continue;
    auto [at, added] = given.try_emplace(PhoneNumberKey(cleaned), numbers.size());
    if (added)
      numbers.push_back({&at->first, serial});
    else
      numbers[at->second].second = serial;
  }

  size_t nextEmpty = 0;
  for (const auto& [key, serial] : numbers) {
    const std::array<std::string, 6> texts = TakenTexts(file.Rows[static_cast<size_t>(serial)]);
    if (const auto at = held.find(*key); at != held.end()) {
      bool changed = false;
      for (int row = at->second; row != 0; row = sameNumber[static_cast<size_t>(row)])
        for (size_t i = 0; i < kTakenCols.size(); ++i)
          if (grid.Cell(kTakenCols[i], row) != texts[i]) {
            merge.Changes.push_back({kTakenCols[i], row, texts[i]});
            changed = true;
          }
      if (changed)
        ++merge.Counts.Updated;
      else
        ++merge.Counts.Unchanged;
      continue;
    }
    if (nextEmpty == emptyRows.size()) {
      ++merge.Counts.NotPlaced;
      continue;
    }
    const int row = emptyRows[nextEmpty++];
    merge.Changes.push_back({kColNumber, row, checks[static_cast<size_t>(serial)].Number});
    for (size_t i = 0; i < kTakenCols.size(); ++i)
      if (grid.Cell(kTakenCols[i], row) != texts[i]) merge.Changes.push_back({kTakenCols[i], row, texts[i]});
    ++merge.Counts.Added;
  }
  return merge;
}

void ApplyNumberMerge(TGrid& grid, const TNumberMerge& merge) {
  if (merge.Changes.empty()) return;
  TGridUpdate batch(grid);
  for (const TNumberCellChange& c : merge.Changes) grid.SetCell(c.Col, c.Row, c.Text);
}

std::string NumberMergeSummary(const TNumberMergeCounts& counts) {
  return FillText(kNumbersMerged, {std::to_string(counts.Added), std::to_string(counts.Updated),
                                   std::to_string(counts.Unchanged), std::to_string(counts.NotPlaced)});
}

TImportResult ReadNumberListFile(const std::string& fileName, TNumberFile& out) {
  if (!EndsWithJson(fileName)) return ReadNumbersSheet(fileName, out);
  std::string text;
  try {
    text = ReadWholeFile(fileName, kMaxJsonBytes);
  } catch (const EFileError& e) {
    TImportResult result;
    result.Fail(TImportResult::TFile::Unreadable, e.what());
    return result;
  }
  return ReadNumbersJson(text, out);
}

TImportResult MergeNumberListFile(const std::string& fileName, TGrid& grid, TNumberMergeCounts& counts) {
  TNumberFile file;
  TImportResult result = ReadNumberListFile(fileName, file);
  if (result.File != TImportResult::TFile::Read) return result;
  const std::vector<TNumberRowCheck> checks = CheckNumberFile(file, result);
  if (!result.Loaded()) return result;
  const TNumberMerge merge = MergeNumbers(grid, file, checks);
  ApplyNumberMerge(grid, merge);
  counts = merge.Counts;
  return result;
}

void AddNumbersFromFile(IOperator& op, TGrid& grid, const std::string& configDir) {
  const auto fileName = op.ChooseOpenFile(kNumbersMergeFilter, configDir);
  if (!fileName) return;
  TNumberMergeCounts counts;
  const TImportResult result = MergeNumberListFile(*fileName, grid, counts);
  if (!result.Loaded()) {
    ShowImportResult(op, result);
    return;
  }
  // One box: the cleaned numbers, when there were any, are said in it too.
  std::string text = NumberMergeSummary(counts);
  if (result.RowsCleaned > 0) text.append("\n").append(CleanedRowsText(result.RowsCleaned));
  op.Message(text);
}

}  // namespace torvane
