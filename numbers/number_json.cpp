// SPDX-License-Identifier: GPL-3.0-or-later
#include "numbers/number_json.h"

#include <climits>
#include <nlohmann/json.hpp>
#include <vector>

#include "core/message.h"
#include "files/json_header.h"
#include "numbers/number_record.h"
#include "numbers/number_texts.h"

namespace torvane {

namespace {

using TJson = nlohmann::ordered_json;
constexpr int kVersion = 1;

std::string Moment(const std::string& date, const std::string& time) {
  if (date.empty() && time.empty()) return {};
  return date + " " + time;
}

// "yyyy-MM-dd HH:mm" into its date and time cells; a text without the space is all date.
void SplitMoment(const std::string& text, std::string& date, std::string& time) {
  const size_t space = text.find(' ');
  date = text.substr(0, space);
  time = space == std::string::npos ? std::string() : text.substr(space + 1);
}

}  // namespace

std::string NumbersToJson(const TGrid& grid) {
  TJson numbers = TJson::array();
  for (int row = 1; row <= kNumberRows; ++row) {
    const bool always = grid.Cell(kColAlways, row) == kMarkYes,
               erase = grid.Cell(kColDelete, row) == kMarkYes;
    if (grid.Cell(kColNumber, row).empty() && !always && !erase) continue;
    numbers.push_back({{"serial", row},
                       {"number", grid.Cell(kColNumber, row)},
                       {"start", Moment(grid.Cell(kColStartDate, row), grid.Cell(kColStartTime, row))},
                       {"end", Moment(grid.Cell(kColEndDate, row), grid.Cell(kColEndTime, row))},
                       {"always", always},
                       {"delete", erase}});
  }
  const TJson doc{{"format", kNumbersJsonFormat}, {"version", kVersion}, {"numbers", numbers}};
  return doc.dump(2, ' ', false, TJson::error_handler_t::replace) + "\n";
}

TImportResult ReadNumbersJson(std::string_view text, TNumberFile& out) {
  TImportResult result;
  const auto broken = [&result](std::string why) {
    result.Fail(TImportResult::TFile::Broken, std::move(why));
    return result;
  };
  const TJson doc = TJson::parse(text, nullptr, false);
  if (doc.is_discarded()) return broken("not JSON");
  if (const auto problem = JsonHeaderProblem(doc, kNumbersJsonFormat, kVersion)) return broken(*problem);
  const auto numbers = doc.find("numbers");
  if (numbers == doc.end() || !numbers->is_array()) return broken("no \"numbers\" list");

  out.LoadsDeleteMarks = true;
  std::vector<bool> given(kNumberRows + 1, false);
  for (const TJson& n : *numbers) {
    if (!n.is_object() || !n.contains("serial") || !n["serial"].is_number_integer())
      return broken("a number without its serial");
    // An unsigned serial beyond the signed range is as far outside the list.
    const int64_t serial =
        n["serial"].is_number_unsigned() && n["serial"].get<uint64_t>() > uint64_t{INT64_MAX}
            ? INT64_MAX
            : n["serial"].get<int64_t>();
    if (serial < 1 || serial > kNumberRows)
      return broken(FillText(kJsonSerialOutside, {n["serial"].dump(), std::to_string(kNumberRows)}));
    const std::string where = std::to_string(serial);
    if (given[static_cast<size_t>(serial)]) return broken(FillText(kJsonSerialTwice, {where}));
    given[static_cast<size_t>(serial)] = true;
    for (const char* key : {"number", "start", "end"})
      if (n.contains(key) && !n[key].is_string()) return broken(FillText(kJsonSerialNotText, {where, key}));
    for (const char* key : {"always", "delete"})
      if (n.contains(key) && !n[key].is_boolean())
        return broken(FillText(kJsonSerialNotBoolean, {where, key}));
    TNumberFileRow& row = out.Rows[static_cast<size_t>(serial)];
    row.Number = n.value("number", "");
    SplitMoment(n.value("start", ""), row.StartDate, row.StartTime);
    SplitMoment(n.value("end", ""), row.EndDate, row.EndTime);
    row.Always = n.value("always", false);
    row.Delete = n.value("delete", false);
  }
  return result;
}

TImportResult NumbersFromJson(std::string_view text, TGrid& grid) {
  TNumberFile file;
  TImportResult result = ReadNumbersJson(text, file);
  if (result.File != TImportResult::TFile::Read) return result;
  const std::vector<TNumberRowCheck> checks = CheckNumberFile(file, result);
  if (result.Loaded()) LoadNumberFile(file, checks, grid);
  return result;
}

}  // namespace torvane
