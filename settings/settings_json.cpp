// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/settings_json.h"

#include <array>
#include <climits>
#include <nlohmann/json.hpp>

#include "core/message.h"
#include "files/json_header.h"
#include "settings/settings_table.h"
#include "settings/settings_texts.h"

namespace torvane {

namespace {

using TJson = nlohmann::ordered_json;
constexpr int kVersion = 1;

// A value as its text: scripts may well write 10 for "10" (dump() keeps every digit of a large one).
std::optional<std::string> TextOf(const TJson& value) {
  if (value.is_string()) return value.get<std::string>();
  if (value.is_number_integer()) return value.dump();
  return std::nullopt;
}

// An integer of any size as a signed 64-bit one; a larger one is as far out of any range.
int64_t WholeNumber(const TJson& value) {
  if (value.is_number_unsigned() && value.get<uint64_t>() > uint64_t{INT64_MAX}) return INT64_MAX;
  return value.get<int64_t>();
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

TImportResult ReadSettingsJson(std::string_view text, TSettingsFileValues& out) {
  TImportResult result;
  const auto broken = [&result](std::string why) {
    result.Fail(TImportResult::TFile::Broken, std::move(why));
    return result;
  };
  const TJson doc = TJson::parse(text, nullptr, false);
  if (doc.is_discarded()) return broken("not JSON");
  if (const auto problem = JsonHeaderProblem(doc, kSettingsJsonFormat, kVersion)) return broken(*problem);
  const auto parameters = doc.find("parameters");
  if (parameters == doc.end() || !parameters->is_array()) return broken("no \"parameters\" list");

  std::array<bool, kSettingCount + 1> given{};
  for (const TJson& p : *parameters) {
    if (!p.is_object() || !p.contains("number") || !p["number"].is_number_integer())
      return broken("a parameter without its number");
    const int64_t number = WholeNumber(p["number"]);
    if (number < 1 || number > kSettingCount)
      return broken(FillText(kJsonNoSuchParameter, {p["number"].dump()}));
    const TSettingDef* def = SettingForRow(static_cast<int>(number));
    const std::string where = std::to_string(number);
    if (given[number]) return broken(FillText(kJsonParameterTwice, {where}));
    given[number] = true;
    if (p.contains("name") && (!p["name"].is_string() || p["name"].get<std::string>() != def->Label))
      return broken(FillText(kJsonParameterNamed, {where, def->Label, p["name"].dump()}));
    const auto value = p.contains("value") ? TextOf(p["value"]) : std::nullopt;
    if (!value) return broken(FillText(kJsonParameterNoValue, {where}));
    out.Value[number] = *value;
    if (!def->IsList() || !p.contains("index")) continue;
    if (!p["index"].is_number_integer()) return broken(FillText(kJsonParameterIndex, {where}));
    out.Index[number] = WholeNumber(p["index"]);
  }
  for (int number = 1; number <= kSettingCount; ++number)
    if (!given[number]) return broken(FillText(kJsonParameterMissing, {std::to_string(number)}));
  return result;
}

TImportResult SettingsFromJson(std::string_view text, TGrid& grid, TSettingsLists& lists,
                               const TCodePage& codePage) {
  TSettingsFileValues file;
  TImportResult result = ReadSettingsJson(text, file);
  if (result.File != TImportResult::TFile::Read) return result;
  const TSettingValues values = CheckSettingsFile(file, codePage, result);
  if (result.Loaded()) LoadSettingValues(file, values, grid, lists);
  return result;
}

}  // namespace torvane
