// SPDX-License-Identifier: GPL-3.0-or-later
// Settings profiles: export and import round trips in both formats, the sheet as independent readers
// see it, the refusals, the list cells and broken files.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <functional>

#include "files/spreadsheet.h"
#include "files/spreadsheet_test_util.h"
#include "settings/settings_codec.h"
#include "settings/settings_profile.h"
#include "settings/settings_table.h"
#include "support/file_session.h"

namespace torvane {
namespace {

using testing::ParseForeign;
using testing::RunFixtureScript;
using testing::TFakeSession;
using testing::TForeignSheet;
using testing::TReaderCase;

std::vector<std::string> Snapshot(const TGrid& grid, TSettingsLists& lists) {
  std::vector<std::string> cells;
  for (int r = 0; r < grid.RowCount(); ++r)
    for (int c = 0; c < grid.ColCount(); ++c) cells.push_back(grid.Cell(c, r));
  for (TListChoice* list : lists.All()) cells.push_back(std::to_string(list->ItemIndex));
  return cells;
}

class ProfileFiles : public testing::TFileSessionTest {
 protected:
  TGrid& Grid() { return S().SettingsGrid; }
  TSettingsLists& Lists() { return S().SettingsLists; }

  void Export(const std::string& path) {
    Op().FileAnswers.push_back(path);
    S().Profiles.ExportProfile();
  }
  // As the window does it: the import, then its one box.
  void Import(const std::string& path) {
    Op().FileAnswers.push_back(path);
    ShowImportResult(Op(), S().Profiles.ImportProfile());
  }
  // A profile of the start-up grid, changed by `edit`.
  std::string EditedProfile(const std::string& name, const std::function<void(TExcelApplication&)>& edit) {
    TFakeSession source;
    const std::string path = dir_ / name;
    source.Operator.FileAnswers.push_back(path);
    source.Session->Profiles.ExportProfile();
    TExcelApplication excel;
    TWorkbook& book = excel.WorkBooks().Open(path);
    edit(excel);
    book.SaveAs(path);
    return path;
  }
};

// Every value and description changed from the start-up grid, every list moved off its default.
void ChangeEverything(TGrid& grid, TSettingsLists& lists) {
  for (const TSettingDef& param : SettingsTable()) {
    const std::string number = std::to_string(param.Row * 7);
    grid.SetCell(kContentCol, param.Row,
                 param.Row == kPasswordRow                        ? "0123"
                 : param.IsNumber() || param.Row == kSimNumberRow ? number
                                                                  : "v" + number);
    grid.SetCell(kDescriptionCol, param.Row, "Beschreibung " + std::to_string(param.Row) + " – über");
  }
  const int indices[] = {0, 0, 1, 0, 2, 0};
  int i = 0;
  for (TListChoice* list : lists.All()) lists.SetItemIndex(*list, indices[i++]);
}

class ProfileRoundTrip : public ProfileFiles, public ::testing::WithParamInterface<const char*> {};

TEST_P(ProfileRoundTrip, RestoresValuesDescriptionsAndLists) {
  ChangeEverything(Grid(), Lists());
  const std::string path = dir_ / (std::string("profile") + GetParam());
  Export(path);
  ASSERT_TRUE(Op().Errors.empty()) << Op().Errors.front();

  TFakeSession other;
  other.Operator.FileAnswers.push_back(path);
  const TImportResult result = other.Session->Profiles.ImportProfile();
  ASSERT_TRUE(result.Loaded()) << result.FileError << result.RefusalText;
  const TGrid& back = other.Session->SettingsGrid;
  for (const TSettingDef& param : SettingsTable()) {
    EXPECT_EQ(back.Cell(kDescriptionCol, param.Row), Grid().Cell(kDescriptionCol, param.Row));
    if (const TListChoice* list = Lists().ForRow(param.Row)) {
      const TListChoice* backList = other.Session->SettingsLists.ForRow(param.Row);
      EXPECT_EQ(backList->ItemIndex, list->ItemIndex) << param.Row;
      EXPECT_EQ(back.Cell(kContentCol, param.Row), list->Text());
    } else {
      EXPECT_EQ(back.Cell(kContentCol, param.Row), Grid().Cell(kContentCol, param.Row)) << param.Row;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, ProfileRoundTrip, ::testing::Values(".xlsx", ".xls"));

class ProfileReaders : public ProfileFiles, public ::testing::WithParamInterface<TReaderCase> {};

TEST_P(ProfileReaders, SeeTheSheetLayoutAsText) {
  TORVANE_SKIP_WITHOUT_READERS();
  Grid().SetCell(kContentCol, 1, "0068");
  Lists().SetItemIndex(Lists().NotifyOn, 2);
  const std::string path = dir_ / (std::string("profile") + GetParam().Extension);
  Export(path);
  auto [ok, output] = RunFixtureScript(GetParam().Reader, path);
  ASSERT_TRUE(ok) << output;
  const TForeignSheet sheet = ParseForeign(output);

  EXPECT_EQ(sheet.Cells.at({1, 1}).Value, "Items");
  EXPECT_EQ(sheet.Cells.at({1, 2}).Value, "Content");
  EXPECT_EQ(sheet.Cells.at({1, 3}).Value, "Description");
  EXPECT_EQ(sheet.Cells.at({2, 2}).Value, "0068");
  EXPECT_EQ(sheet.Cells.at({2, 2}).Format, "@");
  EXPECT_EQ(sheet.Cells.at({2, 2}).Type, "str");
  EXPECT_EQ(sheet.Cells.at({12, 2}).Value, "2:Caller Number");
  for (const TSettingDef& param : SettingsTable()) {
    EXPECT_EQ(sheet.Cells.at({param.Row + 1, 1}).Value, param.Label);
    EXPECT_EQ(sheet.Cells.at({param.Row + 1, 3}).Value, param.Description);
  }
  int lastRow = 0;
  for (const auto& [place, cell] : sheet.Cells) lastRow = std::max(lastRow, place.first);
  EXPECT_EQ(lastRow, 29);
  const double widths[] = {85, 45, 130};
  for (int c = 1; c <= 3; ++c) EXPECT_NEAR(sheet.Widths.at(c), widths[c - 1], 0.72) << c;
}

INSTANTIATE_TEST_SUITE_P(Formats, ProfileReaders,
                         ::testing::Values(TReaderCase{".xlsx", "read-xlsx"},
                                           TReaderCase{".xls", "read-xls"}));

TEST_F(ProfileFiles, DialogsStartInTheConfigurationFolderWithTheStampedName) {
  Export(dir_ / "p.xlsx");
  Import(dir_ / "p.xlsx");
  ASSERT_EQ(Op().ProposedNames.size(), 2u);
  EXPECT_EQ(Op().ProposedNames[0], "basicinf_R2026-12-07_18-30-05");
  EXPECT_EQ(Op().FileFilters[0], "EXCEL file|*.xlsx;*.xls|(*.*)|*.*");
  EXPECT_EQ(Op().FileFilters[1], "EXCEL file|*.xls;*.xlsx|(*.*)|*.*");
  EXPECT_EQ(Op().FileFolders, std::vector<std::string>(2, S().ConfigDir));
}

TEST_F(ProfileFiles, ShowsProgressAndStatus) {
  Export(dir_ / "p.xls");
  EXPECT_EQ(fake_.StatusView.Text, "Save profile");
  EXPECT_FALSE(fake_.StatusView.ProgressVisible);
  EXPECT_EQ(fake_.StatusView.History.size(), 29u);
  Import(dir_ / "p.xls");
  EXPECT_EQ(fake_.StatusView.Text, "Load profile");
  EXPECT_EQ(fake_.StatusView.History.size(), 29u + 28u);
  EXPECT_FALSE(fake_.StatusView.ProgressVisible);
}

TEST_F(ProfileFiles, CancellingEitherDialogChangesNothing) {
  ChangeEverything(Grid(), Lists());
  const auto before = Snapshot(Grid(), Lists());
  S().Profiles.ExportProfile();
  S().Profiles.ImportProfile();
  EXPECT_EQ(Op().FileFilters.size(), 2u);
  EXPECT_TRUE(std::filesystem::is_empty(dir_.Path()));
  EXPECT_EQ(Snapshot(Grid(), Lists()), before);
  EXPECT_TRUE(Op().Messages.empty());
  EXPECT_TRUE(Op().Errors.empty());
}

TEST_F(ProfileFiles, FileNotStartingWithItemsIsRefused) {
  const std::string path = EditedProfile("content.xlsx", [](TExcelApplication& excel) {
    excel.Cells(1, 1).SetValue("Content");
    excel.Cells(2, 2).SetValue("9999");
  });
  const auto before = Snapshot(Grid(), Lists());
  Import(path);
  EXPECT_EQ(Op().Messages, std::vector<std::string>{"Wrong format of the setting profile"});
  EXPECT_EQ(Snapshot(Grid(), Lists()), before);
}

TEST_F(ProfileFiles, ListCellSelectsByItsFirstDigit) {
  Import(EditedProfile("arm1.xls", [](TExcelApplication& excel) { excel.Cells(9, 2).SetValue("1"); }));
  EXPECT_EQ(Lists().Arm.Text(), "1:Arm");
  EXPECT_TRUE(Op().Messages.empty());
  EXPECT_TRUE(Op().Errors.empty());
}

// A list cell without its digit no longer leaves the cells before it loaded: the file is refused whole.
TEST_F(ProfileFiles, ListCellWithoutADigitRefusesTheFile) {
  const struct {
    const char* Cell;
    std::string Says;
  } cases[] = {{"x:All", "'x' is not a valid integer value"}, {"", "'' is not a valid integer value"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Cell);
    const std::string path = EditedProfile("bad.xlsx", [&](TExcelApplication& excel) {
      excel.Cells(4, 2).SetValue("0:NC ");
      excel.Cells(10, 2).SetValue(c.Cell);
      excel.Cells(3, 3).SetValue("new description");
    });
    const auto before = Snapshot(Grid(), Lists());
    Op().Messages.clear();
    Import(path);
    ASSERT_EQ(Op().Messages.size(), 1u);
    EXPECT_NE(Op().Messages[0].find("9.Relay Control Authorization: " + c.Says), std::string::npos)
        << Op().Messages[0];
    EXPECT_EQ(Snapshot(Grid(), Lists()), before);
  }
}

using TPages = std::array<std::array<uint8_t, kSettingsPageSize>, 3>;

TPages EncodedPages(const TGrid& grid, const TSettingsLists& lists) {
  TPages pages{};
  for (int page = 1; page <= 3; ++page)
    EXPECT_FALSE(EncodeSettingsPage(page, grid, lists, TCodePage::System(), pages[page - 1]).has_value());
  return pages;
}

// The GPRS password is read up to its first 0xFF, so a zero byte inside it is part of the text. Taken
// through an .xlsx profile into a fresh session, it still goes to the device whole.
TEST_F(ProfileFiles, ZeroByteInsideATextComesBackThroughAnXlsxProfile) {
  constexpr int kGprsPassword = 22;
  const TSettingDef& param = SettingsTable()[kGprsPassword - 1];
  ASSERT_EQ(param.Label, std::string("22.GPRS Password"));
  TPages device = EncodedPages(Grid(), Lists());
  const uint8_t field[] = {'s', '3', 0, 'c', 'r', '3', 't', 0xFF};
  std::copy(std::begin(field), std::end(field), device[1].begin() + 62);
  DecodeSettingOnPage(param, 2, device[1], Grid(), Lists(), TCodePage::System());
  ASSERT_EQ(Grid().Cell(kContentCol, kGprsPassword), std::string("s3\0cr3t", 7));
  const TPages original = EncodedPages(Grid(), Lists());

  const std::string path = dir_ / "zero.xlsx";
  Export(path);
  ASSERT_TRUE(Op().Errors.empty()) << Op().Errors.front();
  TFakeSession other;
  other.Operator.FileAnswers.push_back(path);
  const TImportResult result = other.Session->Profiles.ImportProfile();
  ASSERT_TRUE(result.Loaded()) << result.FileError << result.RefusalText;
  EXPECT_EQ(other.Session->SettingsGrid.Cell(kContentCol, kGprsPassword), std::string("s3\0cr3t", 7));
  const TPages imported = EncodedPages(other.Session->SettingsGrid, other.Session->SettingsLists);
  EXPECT_TRUE(std::equal(imported[1].begin() + 62, imported[1].begin() + 69, std::begin(field)));
  for (int page = 0; page < 3; ++page) EXPECT_EQ(imported[page], original[page]) << "page " << page + 1;
}

TEST_F(ProfileFiles, ApnFillingBothItsPartsIsImportedWhole) {
  const std::string apn(64, 'a');
  Import(EditedProfile("apn.xlsx", [&](TExcelApplication& excel) { excel.Cells(21, 2).SetValue(apn); }));
  EXPECT_EQ(Grid().Cell(kContentCol, 20), apn);
}

TEST_F(ProfileFiles, BrokenFilesAreReportedAndChangeNothing) {
  const std::string good = EditedProfile("good.xlsx", [](TExcelApplication&) {});
  const std::string bytes = testing::FileBytes(good);
  testing::WriteBytes(dir_ / "half.xlsx", bytes.substr(0, bytes.size() / 2));
  testing::WriteBytes(dir_ / "text.xlsx", "Items,Content,Description\r\n");
  ChangeEverything(Grid(), Lists());
  const auto before = Snapshot(Grid(), Lists());
  for (const char* name : {"half.xlsx", "text.xlsx", "gone.xls"}) {
    Op().Errors.clear();
    Import(dir_ / name);
    ASSERT_EQ(Op().Errors.size(), 1u) << name;
    EXPECT_NE(Op().Errors[0].find(name), std::string::npos) << Op().Errors[0];
    EXPECT_EQ(Snapshot(Grid(), Lists()), before) << name;
  }
}

TEST_F(ProfileFiles, FailedSaveIsReported) {
  Export(dir_ / "no-such-folder/p.xlsx");
  ASSERT_EQ(Op().Errors.size(), 1u);
  EXPECT_NE(Op().Errors[0].find("p.xlsx"), std::string::npos) << Op().Errors[0];
}

}  // namespace
}  // namespace torvane
