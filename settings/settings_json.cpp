#include "settings/settings_json.h"

#include <array>
#include <nlohmann/json.hpp>

#include "core/conversion_error.h"
#include "files/json_header.h"
#include "settings/settings_table.h"

namespace torvane {

namespace {

using TJson = nlohmann::ordered_json;
constexpr int kVersion = 1;

// A value as its text: scripts may well write 10 for "10".
std::optional<std::string> TextOf(const TJson& value) {
  if (value.is_string()) return value.get<std::string>();
  if (value.is_number_integer()) return std::to_string(value.get<int64_t>());
  return std::nullopt;
}

}  // namespace

std::string SettingsToJson(const TGrid& grid, const TSettingsLists& lists) {
  TJson parameters = TJson::array();
  for (const TSettingDef& param : SettingsTable()) {
    TJson p{{"number", param.Row}, {"name", param.Label}};
    if (const TListChoice* list = lists.ForRow(param.Row)) {
      p["value"] = list->Text();
      p["index"] = list->ItemIndex;
    } else {
      p["value"] = grid.Cell(kContentCol, param.Row);
    }
    parameters.push_back(std::move(p));
  }
  const TJson doc{{"format", kSettingsJsonFormat}, {"version", kVersion}, {"parameters", parameters}};
  // A device text that is not valid UTF-8 is written with replacement characters rather than lost.
  return doc.dump(2, ' ', false, TJson::error_handler_t::replace) + "\n";
}

std::optional<std::string> SettingsFromJson(std::string_view text, TGrid& grid, TSettingsLists& lists) {
  const TJson doc = TJson::parse(text, nullptr, false);
  if (doc.is_discarded()) return std::string("not JSON");
  if (const auto problem = JsonHeaderProblem(doc, kSettingsJsonFormat, kVersion)) return problem;
  const auto parameters = doc.find("parameters");
  if (parameters == doc.end() || !parameters->is_array()) return std::string("no \"parameters\" list");

  std::array<std::optional<std::string>, kSettingCount + 1> values;
  std::array<int, kSettingCount + 1> indexes{};
  for (const TJson& p : *parameters) {
    if (!p.is_object() || !p.contains("number") || !p["number"].is_number_integer())
      return std::string("a parameter without its number");
    const int number = p["number"].get<int>();
    const TSettingDef* def = SettingForRow(number);
    if (!def) return "there is no parameter " + std::to_string(number);
    const std::string where = "parameter " + std::to_string(number);
    if (values[number]) return where + " is given twice";
    if (p.contains("name") && (!p["name"].is_string() || p["name"].get<std::string>() != def->Label))
      return where + " is \"" + def->Label + "\", not " + p["name"].dump();
    const auto value = p.contains("value") ? TextOf(p["value"]) : std::nullopt;
    if (!value) return where + " has no text \"value\"";
    values[number] = *value;
    if (!def->IsList()) continue;
    if (p.contains("index")) {
      if (!p["index"].is_number_integer()) return where + ": \"index\" is no integer";
      indexes[number] = p["index"].get<int>();
    } else {
      // As a profile: the item's first character is its index.
      if (value->empty() || (*value)[0] < '0' || (*value)[0] > '9')
        return NotAnIntegerMessage(value->empty() ? std::string() : value->substr(0, 1));
      indexes[number] = (*value)[0] - '0';
    }
  }
  for (int number = 1; number <= kSettingCount; ++number)
    if (!values[number]) return "parameter " + std::to_string(number) + " is missing";

  {
    TGridUpdate batch(grid);
    for (int number = 1; number <= kSettingCount; ++number)
      grid.SetCell(kContentCol, number, *values[number]);
  }
  for (TListChoice* list : lists.All()) lists.SetItemIndex(*list, indexes[list->Row]);
  return std::nullopt;
}

}  // namespace torvane
