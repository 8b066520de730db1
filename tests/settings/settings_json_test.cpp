// SPDX-License-Identifier: GPL-3.0-or-later
// The settings as JSON: what is written loads back into a fresh grid as it was, and a document that
// is not whole, or made for another layout, is refused without touching the grid.
#include "settings/settings_json.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "settings/settings_table.h"
#include "support/fakes.h"

namespace torvane::testing {
namespace {

using TJson = nlohmann::json;

TEST(SettingsJson, WhatIsWrittenLoadsBackAsItWas) {
  TFakeSession a, b;
  TSession& s = *a.Session;
  s.SettingsGrid.SetCell(kContentCol, 2, "+4912345");
  s.SettingsGrid.SetCell(kContentCol, 5, "Tür offen, \"sofort\"");
  s.SettingsLists.SetItemIndex(s.SettingsLists.Din1, 0);
  s.SettingsLists.SetItemIndex(s.SettingsLists.NotifyOn, -1);
  const std::string text = SettingsToJson(s.SettingsGrid, s.SettingsLists);
  const TJson doc = TJson::parse(text);
  EXPECT_EQ(doc["format"], "torvane-settings");
  EXPECT_EQ(doc["parameters"].size(), 28u);
  EXPECT_EQ(doc["parameters"][2],
            (TJson{{"number", 3}, {"name", "3.DIN1 Type"}, {"value", "0:NC "}, {"index", 0}}));

  const TImportResult loaded = SettingsFromJson(text, b.Session->SettingsGrid, b.Session->SettingsLists);
  ASSERT_TRUE(loaded.Loaded()) << loaded.FileError << loaded.RefusalText;
  for (int row = 1; row <= kSettingCount; ++row) {
    const TListChoice* list = s.SettingsLists.ForRow(row);
    if (list)
      EXPECT_EQ(b.Session->SettingsLists.ForRow(row)->ItemIndex, list->ItemIndex) << row;
    else
      EXPECT_EQ(b.Session->SettingsGrid.Cell(kContentCol, row), s.SettingsGrid.Cell(kContentCol, row)) << row;
  }
}

TEST(SettingsJson, ADocumentThatIsNotWholeIsRefusedAndChangesNothing) {
  struct TCase {
    const char* Name;
    std::function<void(TJson&)> Change;
    std::string Says;
  };
  const std::vector<TCase> cases = {
      {"another format", [](TJson& d) { d["format"] = "torvane-numbers"; },
       "not a torvane-settings document"},
      {"a later version", [](TJson& d) { d["version"] = 2; }, "of a version this program does not know"},
      {"a parameter missing", [](TJson& d) { d["parameters"].erase(4); }, "parameter 5 is missing"},
      {"a parameter twice", [](TJson& d) { d["parameters"][4]["number"] = 4; }, "parameter 4 is given twice"},
      {"no such parameter", [](TJson& d) { d["parameters"][4]["number"] = 29; }, "there is no parameter 29"},
      {"a parameter number beyond 32 bits", [](TJson& d) { d["parameters"][4]["number"] = 4294967301; },
       "there is no parameter 4294967301"},
      {"another layout's name", [](TJson& d) { d["parameters"][1]["name"] = "2.SIM"; },
       "parameter 2 is \"2.SIM Card Phone No\""},
      {"a list item without its index",
       [](TJson& d) {
         d["parameters"][2].erase("index");
         d["parameters"][2]["value"] = "NO";
       },
       "'N' is not a valid integer value"},
      {"a value that is no text", [](TJson& d) { d["parameters"][0]["value"] = TJson::array(); },
       "has no text"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TFakeSession f;
    TSession& s = *f.Session;
    TJson doc = TJson::parse(SettingsToJson(s.SettingsGrid, s.SettingsLists));
    for (auto& p : doc["parameters"])
      if (p["number"] == 6) p["value"] = "changed";
    c.Change(doc);
    const TImportResult result = SettingsFromJson(doc.dump(), s.SettingsGrid, s.SettingsLists);
    ASSERT_FALSE(result.Loaded());
    const std::string says = result.FileError + result.RefusalText;
    EXPECT_NE(says.find(c.Says), std::string::npos) << says;
    EXPECT_EQ(s.SettingsGrid.Cell(kContentCol, 6), "DIN2 Alarm");
  }
  TFakeSession f;
  EXPECT_EQ(SettingsFromJson("{\"format\": ", f.Session->SettingsGrid, f.Session->SettingsLists).FileError,
            "not JSON");
}

}  // namespace
}  // namespace torvane::testing
