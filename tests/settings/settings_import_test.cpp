// SPDX-License-Identifier: GPL-3.0-or-later
// Settings files judged before they are loaded: every kind of value the device cannot keep is refused
// in each format it can be written in, with the parameter named and nothing loaded; what it keeps
// loads, the SIM number cleaned.
#include "settings/settings_import.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "files/spreadsheet.h"
#include "settings/settings_json.h"
#include "settings/settings_profile.h"
#include "support/file_session.h"

namespace torvane::testing {
namespace {

using TJson = nlohmann::json;

const TCodePage& Cp1251() {
  static const TCodePage cp("CP1251");
  return cp;
}

enum class TFormat { Json, Xlsx, Xls };

// One parameter's value (and, for JSON, a list's index) in a file otherwise as a fresh grid exports it.
struct TValue {
  TValue(int row, std::string text, std::optional<int64_t> index = {})
      : Row(row), Text(std::move(text)), Index(index) {}
  int Row;
  std::string Text;
  std::optional<int64_t> Index;  // JSON only
};

class SettingsImport : public TFileSessionTest {
 protected:
  TImportResult Import(TFormat format, const std::vector<TValue>& values) {
    TFakeSession fresh;
    TSession& f = *fresh.Session;
    if (format == TFormat::Json) {
      TJson doc = TJson::parse(SettingsToJson(f.SettingsGrid, f.SettingsLists));
      for (const TValue& v : values) {
        TJson& p = doc["parameters"][v.Row - 1];
        p["value"] = v.Text;
        if (v.Index)
          p["index"] = *v.Index;
        else
          p.erase("index");
      }
      return SettingsFromJson(doc.dump(), S().SettingsGrid, S().SettingsLists, Cp1251());
    }
    const std::string path = dir_ / (format == TFormat::Xlsx ? "p.xlsx" : "p.xls");
    fresh.Operator.FileAnswers.push_back(path);
    f.Profiles.ExportProfile();
    TExcelApplication excel;
    TWorkbook& book = excel.WorkBooks().Open(path);
    for (const TValue& v : values) excel.Cells(v.Row + 1, kContentCol + 1).SetValue(v.Text);
    book.SaveAs(path);
    Tcustomstringgrid_basis profiles(S().Context, S().SettingsGrid, S().SettingsLists, S().ConfigDir,
                                     Cp1251());
    return profiles.ImportProfileFrom(path);
  }

  std::vector<std::string> Snapshot() {
    std::vector<std::string> cells;
    for (int r = 1; r <= kSettingCount; ++r) cells.push_back(S().SettingsGrid.Cell(kContentCol, r));
    for (TListChoice* list : S().SettingsLists.All()) cells.push_back(std::to_string(list->ItemIndex));
    return cells;
  }
};

TEST_F(SettingsImport, RefusesEveryValueTheDeviceCannotKeepInEveryFormat) {
  struct TCase {
    const char* Name;
    TValue Value;
    std::string Says;
  };
  const std::string x39(39, 'x');
  const std::vector<TCase> cases = {
      {"a list item beyond its list", {8, "7:Arm"}, "there is no item 7 in its list (items 0 to 1)"},
      {"an index beyond its list", {3, "1:NO", 7}, "there is no item 7 in its list (items 0 to 1)"},
      {"an index that is not its item", {3, "0:NC ", 1}, "the index 1 is not the item \"0:NC \""},
      {"an index beyond 32 bits", {3, "1:NO", 4294967297}, "there is no item 4294967297 in its list"},
      {"a SIM number with a letter",
       {2, "+49 17O 1234567"},
       "the number \"+4917O1234567\" holds \"O\"; the device keeps digits after an optional leading +"},
      {"a SIM number too long once cleaned",
       {2, "+49 170 1234 5678 9012 3456 78"},
       "the number \"+49170123456789012345678\" has 24 characters; the device keeps 22"},
      {"a password with a letter", {1, "68a3"}, "\"68a3\" holds \"a\"; only digits can be typed here"},
      {"more digits than can be typed", {7, "1000"}, "\"1000\" has 4 digits; at most 3 can be typed here"},
      {"a port beyond 16 bits", {19, "70000"}, "70000 is outside 0 to 65535"},
      {"a text the code page cannot hold", {5, "café"}, "\"é\" cannot be written in the code page CP1251"},
      {"a text longer than its field",
       {20, std::string(65, 'a')},
       "the text takes 65 bytes in the code page CP1251; its field holds 64"},
      {"an MQTT text that is not printable",
       {24, "Кран"},
       "\"К\" is not read back by the device here: this field keeps only the characters from space to ~"},
      {"a 0xFF in a text read up to 0xFF",
       {21, "я"},
       "\"я\" is the byte 0xFF in the code page CP1251, which ends this text on the device"},
      // A space opens a two-byte unit; in the last byte it takes parameter 6's first byte with it.
      {"a text the device reads back otherwise",
       {5, x39 + " "},
       "the device would read it back as \"" + x39 + " D\""},
  };
  for (TFormat format : {TFormat::Json, TFormat::Xlsx, TFormat::Xls}) {
    for (const TCase& c : cases) {
      if (c.Value.Index && format != TFormat::Json) continue;
      SCOPED_TRACE(std::string(c.Name) + " in format " + std::to_string(static_cast<int>(format)));
      const auto before = Snapshot();
      const TImportResult result = Import(format, {c.Value});
      EXPECT_FALSE(result.Loaded());
      ASSERT_EQ(result.Refused.size(), 1u) << result.RefusalText;
      EXPECT_EQ(result.Refused[0].Key, c.Value.Row);
      const std::string line = std::string(SettingForRow(c.Value.Row)->Label) + ": " + c.Says;
      EXPECT_NE(result.RefusalText.find(line), std::string::npos) << result.RefusalText;
      EXPECT_EQ(Snapshot(), before);
    }
  }
}

TEST_F(SettingsImport, LoadsWhatTheDeviceKeepsWithTheSimNumberCleaned) {
  struct TCase {
    const char* Name;
    TValue Value;
    std::string Cell;  // the Content cell after the load ("" for a list: its index is checked)
    int Index;
    int Cleaned;
  };
  const std::vector<TCase> cases = {
      {"a SIM number as people write it", {2, "+49 (170) 123-45.67"}, "+491701234567", -1, 1},
      {"leading zeros in a number", {7, "010"}, "010", -1, 0},
      {"no selection", {11, "", -1}, "", -1, 0},
      {"an index with its item", {11, "2:Caller Number", 2}, "", 2, 0},
      {"a Cyrillic alarm text", {5, "Дверь открыта"}, "Дверь открыта", -1, 0},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const TImportResult result = Import(TFormat::Json, {c.Value});
    ASSERT_TRUE(result.Loaded()) << result.RefusalText;
    EXPECT_EQ(result.RowsRead, kSettingCount);
    EXPECT_EQ(result.RowsCleaned, c.Cleaned);
    if (const TListChoice* list = S().SettingsLists.ForRow(c.Value.Row))
      EXPECT_EQ(list->ItemIndex, c.Index);
    else
      EXPECT_EQ(S().SettingsGrid.Cell(kContentCol, c.Value.Row), c.Cell);
  }
}

}  // namespace
}  // namespace torvane::testing
