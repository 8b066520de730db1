#include "numbers/number_json.h"

#include <nlohmann/json.hpp>
#include <vector>

#include "files/json_header.h"
#include "numbers/number_files.h"
#include "numbers/number_record.h"

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

struct TRow {
  std::string Number, StartDate, StartTime, EndDate, EndTime;
  bool Always = false, Delete = false, Given = false;
};

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

std::optional<std::string> NumbersFromJson(std::string_view text, TGrid& grid) {
  const TJson doc = TJson::parse(text, nullptr, false);
  if (doc.is_discarded()) return std::string("not JSON");
  if (const auto problem = JsonHeaderProblem(doc, kNumbersJsonFormat, kVersion)) return problem;
  const auto numbers = doc.find("numbers");
  if (numbers == doc.end() || !numbers->is_array()) return std::string("no \"numbers\" list");

  std::vector<TRow> rows(kNumberRows + 1);
  for (const TJson& n : *numbers) {
    if (!n.is_object() || !n.contains("serial") || !n["serial"].is_number_integer())
      return std::string("a number without its serial");
    const int64_t serial = n["serial"].get<int64_t>();
    if (serial < 1 || serial > kNumberRows)
      return "serial " + std::to_string(serial) + " is outside 1 to " + std::to_string(kNumberRows);
    const std::string where = "serial " + std::to_string(serial);
    TRow& row = rows[static_cast<size_t>(serial)];
    if (row.Given) return where + " is given twice";
    row.Given = true;
    for (const char* key : {"number", "start", "end"})
      if (n.contains(key) && !n[key].is_string()) return where + ": \"" + key + "\" is no text";
    for (const char* key : {"always", "delete"})
      if (n.contains(key) && !n[key].is_boolean())
        return where + ": \"" + key + "\" is neither true nor false";
    row.Number = n.value("number", "");
    SplitMoment(n.value("start", ""), row.StartDate, row.StartTime);
    SplitMoment(n.value("end", ""), row.EndDate, row.EndTime);
    row.Always = n.value("always", false);
    row.Delete = n.value("delete", false);
  }
  // The spreadsheet import's check: rows the device will not look at (no number, always allowed, to
  // be deleted) need no window.
  std::vector<int> wrongRows;
  for (int serial = 1; serial <= kNumberRows; ++serial) {
    const TRow& r = rows[static_cast<size_t>(serial)];
    if (r.Number.empty() || r.Always || r.Delete) continue;
    if (!NumberWindowTextsValid(r.StartDate, r.StartTime, r.EndDate, r.EndTime)) wrongRows.push_back(serial);
  }
  if (!wrongRows.empty()) return WrongNumberRowsMessage(wrongRows);

  TGridUpdate batch(grid);
  for (int serial = 1; serial <= kNumberRows; ++serial) {
    const TRow& r = rows[static_cast<size_t>(serial)];
    grid.SetCell(kColNumber, serial, r.Number);
    grid.SetCell(kColStartDate, serial, r.StartDate);
    grid.SetCell(kColStartTime, serial, r.StartTime);
    grid.SetCell(kColEndDate, serial, r.EndDate);
    grid.SetCell(kColEndTime, serial, r.EndTime);
    grid.SetCell(kColAlways, serial, r.Always ? kMarkYes : kMarkNo);
    grid.SetCell(kColDelete, serial, r.Delete ? kMarkYes : kMarkNo);
  }
  return std::nullopt;
}

}  // namespace torvane
