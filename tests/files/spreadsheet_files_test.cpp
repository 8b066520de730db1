// SPDX-License-Identifier: GPL-3.0-or-later
// Our files against independent readers (openpyxl, xlrd), files of independent writers (openpyxl,
// xlwt, a hand-made package) through our readers, and hostile files.
#include <gtest/gtest.h>

#include <random>

#include "files/spreadsheet.h"
#include "spreadsheet_test_util.h"

namespace torvane {
namespace {

using testing::ParseForeign;
using testing::RunFixtureScript;
using testing::TForeignSheet;
using testing::TTempDir;

// The fixtures are made once for the whole run.
class SpreadsheetFiles : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TTempDir();
    auto [ok, output] = RunFixtureScript("make", dir_->Path());
    made_ = ok;
    if (!ok) std::fprintf(stderr, "fixture script failed:\n%s\n", output.c_str());
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }
  void SetUp() override {
    TORVANE_SKIP_WITHOUT_READERS();
    ASSERT_TRUE(made_) << "the Python fixtures could not be made";
  }
  static std::string Fixture(const std::string& name) { return *dir_ / name; }

  static TTempDir* dir_;
  static bool made_;
};
TTempDir* SpreadsheetFiles::dir_ = nullptr;
bool SpreadsheetFiles::made_ = false;

const double kWidths[] = {5, 16, 13, 13, 16, 16, 22, 22};

// A history-like export: widths, every cell "@", a few awkward texts.
void FillHistory(TExcelApplication& excel) {
  for (int c = 1; c <= 8; ++c) excel.Columns(c).SetColumnWidth(kWidths[c - 1]);
  const char* headings[] = {"Serial", "No.", "Date", "Time", "From", "Action", "Executant", "Content"};
  for (int c = 1; c <= 8; ++c) {
    excel.Cells(1, c).SetNumberFormatLocal("@");
    excel.Cells(1, c).SetValue(headings[c - 1]);
  }
  for (int r = 2; r <= 1001; ++r) {
    for (int c = 1; c <= 8; ++c) excel.Cells(r, c).SetNumberFormatLocal("@");
    excel.Cells(r, 1).SetValue(std::to_string(r - 1));
  }
  excel.Cells(2, 2).SetValue("513");
  excel.Cells(2, 3).SetValue("2024-03-07");
  excel.Cells(2, 4).SetValue("08:15:00");
  excel.Cells(2, 5).SetValue("SMS");
  excel.Cells(2, 6).SetValue("Relay ON");
  excel.Cells(2, 7).SetValue("+123");
  excel.Cells(2, 8).SetValue("Door, back");
  excel.Cells(3, 8).SetValue("Zürich 北京");
  excel.Cells(4, 8).SetValue("  ");
  excel.Cells(5, 7).SetValue("00123");
}

void ExpectForeignTexts(const TForeignSheet& foreign, TExcelApplication& excel, const char* reader) {
  int texts = 0;
  for (int r = 1; r <= 1001; ++r) {
    for (int c = 1; c <= 8; ++c) {
      std::string expected = excel.Cells(r, c).Text();
      auto found = foreign.Cells.find({r, c});
      ASSERT_NE(found, foreign.Cells.end()) << reader << " lost the formatted cell " << r << "," << c;
      EXPECT_EQ(found->second.Format, "@") << reader << " " << r << "," << c;
      EXPECT_EQ(found->second.Value, expected) << reader << " " << r << "," << c;
      if (!expected.empty()) {
        EXPECT_EQ(found->second.Type, "str") << reader << " " << r << "," << c;
        ++texts;
      }
    }
  }
  EXPECT_EQ(texts, 8 + 1000 + 7 + 3);
  for (int c = 1; c <= 8; ++c) {
    ASSERT_EQ(foreign.Widths.count(c), 1u) << reader << " column " << c;
    // Stored widths include the cell padding, less than one character.
    EXPECT_GE(foreign.Widths.at(c), kWidths[c - 1]) << reader << " column " << c;
    EXPECT_LT(foreign.Widths.at(c), kWidths[c - 1] + 1) << reader << " column " << c;
  }
}

TEST_F(SpreadsheetFiles, OurXlsxReadsTheSameInOpenpyxl) {
  TORVANE_SKIP_WITHOUT_READERS();
  TTempDir out;
  TExcelApplication excel;
  TWorkbook& book = excel.WorkBooks().Add();
  FillHistory(excel);
  book.SaveAs(out / "hisinf_R2026-12-07_18-30-05");
  auto [ok, output] = RunFixtureScript("read-xlsx", out / "hisinf_R2026-12-07_18-30-05.xlsx");
  ASSERT_TRUE(ok) << output;
  ExpectForeignTexts(ParseForeign(output), excel, "openpyxl");
}

TEST_F(SpreadsheetFiles, OurXlsReadsTheSameInXlrd) {
  TORVANE_SKIP_WITHOUT_READERS();
  TTempDir out;
  TExcelApplication excel;
  TWorkbook& book = excel.WorkBooks().Add();
  FillHistory(excel);
  // Enough distinct long texts that the shared strings run over several records.
  for (int r = 10; r <= 1001; ++r)
    excel.Cells(r, 7).SetValue(std::string(40, 'a' + r % 26) + std::to_string(r));
  excel.Cells(6, 8).SetValue(std::string(9000, 'z'));
  std::string wide;
  for (int i = 0; i < 6000; ++i) wide += "北";
  excel.Cells(7, 8).SetValue(wide);
  book.SaveAs(out / "hisinf.xls");
  auto [ok, output] = RunFixtureScript("read-xls", out / "hisinf.xls");
  ASSERT_TRUE(ok) << output.substr(0, 2000);
  TForeignSheet foreign = ParseForeign(output);
  int texts = 0;
  for (int r = 1; r <= 1001; ++r) {
    for (int c = 1; c <= 8; ++c) {
      std::string expected = excel.Cells(r, c).Text();
      auto found = foreign.Cells.find({r, c});
      ASSERT_NE(found, foreign.Cells.end()) << r << "," << c;
      ASSERT_EQ(found->second.Value, expected) << r << "," << c;
      EXPECT_EQ(found->second.Format, "@") << r << "," << c;
      EXPECT_EQ(found->second.Type, expected.empty() ? "blank" : "str") << r << "," << c;
      texts += !expected.empty();
    }
  }
  EXPECT_GT(texts, 2000);
  for (int c = 1; c <= 8; ++c) {
    ASSERT_EQ(foreign.Widths.count(c), 1u) << c;
    EXPECT_GE(foreign.Widths.at(c), kWidths[c - 1]) << c;
    EXPECT_LT(foreign.Widths.at(c), kWidths[c - 1] + 1) << c;
  }
  // And our own reader (freexl) agrees.
  TExcelApplication read;
  read.WorkBooks().Open(out / "hisinf.xls");
  for (int r = 1; r <= 1001; ++r)
    for (int c = 1; c <= 8; ++c)
      ASSERT_EQ(read.Cells(r, c).Text(), excel.Cells(r, c).Text()) << r << "," << c;
}

TEST_F(SpreadsheetFiles, OpenpyxlDatesTimesAndNumbersReadAsTheOperatorSawThem) {
  TORVANE_SKIP_WITHOUT_READERS();
  TExcelApplication excel;
  excel.WorkBooks().Open(Fixture("openpyxl.xlsx"));
  EXPECT_EQ(excel.Cells(1, 1).Text(), "Serial");
  EXPECT_EQ(excel.Cells(1, 4).Text(), "Start Time ");
  EXPECT_EQ(excel.Cells(2, 1).Value(), "1");
  EXPECT_EQ(excel.Cells(2, 2).Value(), "13800138000");
  EXPECT_EQ(excel.Cells(2, 3).Text(), "2024-05-06");
  EXPECT_EQ(excel.Cells(2, 3).Value(), "2024/05/06");
  EXPECT_EQ(excel.Cells(2, 4).Text(), "7:05");
  EXPECT_EQ(excel.Cells(2, 4).Value(), "07:05");
  // openpyxl stores "mm-dd-yy" as the built-in format that follows the system's short date.
  EXPECT_EQ(excel.Cells(2, 5).Text(), "2024/12/31");
  EXPECT_EQ(excel.Cells(2, 5).Value(), "2024/12/31");
  EXPECT_EQ(excel.Cells(2, 6).Text(), "23:59:30");
  EXPECT_EQ(excel.Cells(2, 6).Value(), "23:59");
  EXPECT_EQ(excel.Cells(2, 7).Text(), "no");
  EXPECT_EQ(excel.Cells(2, 8).Text(), "yes");
  EXPECT_EQ(excel.Cells(3, 1).Text(), "0.5");
  EXPECT_EQ(excel.Cells(3, 2).Value(), "0123");
  EXPECT_EQ(excel.Cells(3, 3).Text(), "TRUE");
  EXPECT_EQ(excel.Cells(3, 4).Value(), "2024/05/06 07:05");
  EXPECT_EQ(excel.Cells(3, 5).Text(), "-12.25");
  EXPECT_EQ(excel.Cells(3, 6).Text(), "Zürich 北京");
  EXPECT_DOUBLE_EQ(excel.Columns(2).ColumnWidth(), 19.29);  // openpyxl stores 20 without padding
}

TEST_F(SpreadsheetFiles, HandMadePackageWithAbsoluteTargetsRunsAndSparseCells) {
  TORVANE_SKIP_WITHOUT_READERS();
  TExcelApplication excel;
  excel.WorkBooks().Open(Fixture("handmade.xlsx"));
  EXPECT_EQ(excel.Cells(1, 1).Text(), "Serial");
  EXPECT_EQ(excel.Cells(1, 2).Text(), "Rich text ");
  EXPECT_EQ(excel.Cells(1, 3).Text(), "   ");
  EXPECT_EQ(excel.Cells(1, 4).Text(), "line\r\ntwo");
  EXPECT_EQ(excel.Cells(2, 1).Text(), "inline");
  EXPECT_EQ(excel.Cells(2, 2).Text(), "TRUE");
  EXPECT_EQ(excel.Cells(2, 3).Text(), "FALSE");
  EXPECT_EQ(excel.Cells(2, 4).Value(), "2");
  EXPECT_EQ(excel.Cells(2, 5).Text(), "ab");
  EXPECT_EQ(excel.Cells(2, 6).Text(), "#N/A");
  EXPECT_EQ(excel.Cells(10, 27).Value(), "1500");
  EXPECT_EQ(excel.Cells(10, 28).Text(), "xy");
  // Escapes in an inline string: a surrogate pair, a lone surrogate (no character), an escaped
  // underscore in lower-case hex, a zero byte.
  EXPECT_EQ(excel.Cells(10, 29).Text(), std::string("\xF0\x9F\x98\x80|_xD800_|_x0041_|a\0b", 24));
  EXPECT_EQ(excel.Cells(11, 3).Text(), "0.1");
  for (int r = 3; r <= 9; ++r) EXPECT_EQ(excel.Cells(r, 1).Text(), "") << r;
  EXPECT_DOUBLE_EQ(excel.Columns(2).ColumnWidth(), 16);
  EXPECT_DOUBLE_EQ(excel.Columns(3).ColumnWidth(), 16);
  EXPECT_EQ(excel.Columns(4).ColumnWidth(), 0);
}

TEST_F(SpreadsheetFiles, XlwtWorkbookReadsThroughFreexl) {
  TORVANE_SKIP_WITHOUT_READERS();
  TExcelApplication excel;
  excel.WorkBooks().Open(Fixture("xlwt.xls"));
  EXPECT_EQ(excel.Cells(1, 1).Text(), "Serial");
  EXPECT_EQ(excel.Cells(1, 8).Text(), "Delete(V)");
  EXPECT_EQ(excel.Cells(2, 1).Value(), "1");
  EXPECT_EQ(excel.Cells(2, 2).Value(), "13800138000");
  EXPECT_EQ(excel.Cells(2, 3).Value(), "2024/05/06");
  EXPECT_EQ(excel.Cells(2, 4).Value(), "07:05");
  EXPECT_EQ(excel.Cells(2, 5).Value(), "2024-12-31");
  EXPECT_EQ(excel.Cells(2, 6).Value(), "23:59");
  EXPECT_EQ(excel.Cells(2, 8).Text(), "yes");
  EXPECT_EQ(excel.Cells(3, 1).Text(), "2.5");
  EXPECT_EQ(excel.Cells(3, 2).Text(), "Zürich 北京");
  EXPECT_EQ(excel.Cells(3, 3).Text(), "  ");
  EXPECT_EQ(excel.Cells(5, 10).Text(), "far");
}

// Damaged copies of good files: each one either reads or ends in ESpreadsheetError, never anything
// worse. The .xls copies are damaged inside the workbook records, where our own parsing works.
TEST_F(SpreadsheetFiles, RandomlyDamagedFilesReadOrFailCleanly) {
  TORVANE_SKIP_WITHOUT_READERS();
  TTempDir out;
  {
    TExcelApplication excel;
    TWorkbook& book = excel.WorkBooks().Add();
    FillHistory(excel);
    book.SaveAs(out / "ours.xls");
  }
  struct TSource {
    std::string Path;
    size_t From, To;
  };
  std::string ours = testing::FileBytes(out / "ours.xls");
  const TSource sources[] = {{Fixture("handmade.xlsx"), 0, 0},
                             {Fixture("openpyxl.xlsx"), 0, 0},
                             {Fixture("xlwt.xls"), 512, 512 + 4096},
                             {out / "ours.xls", 512, ours.size() - 2048}};
  std::mt19937 random(20240506);
  int failed = 0, read = 0;
  for (const TSource& source : sources) {
    std::string good = testing::FileBytes(source.Path);
    ASSERT_FALSE(good.empty()) << source.Path;
    size_t from = source.From, to = source.To == 0 ? good.size() : std::min(source.To, good.size());
    for (int i = 0; i < 150; ++i) {
      std::string bad = good;
      for (int k = 1 + random() % 6; k > 0; --k)
        bad[from + random() % (to - from)] = static_cast<char>(random());
      testing::WriteBytes(out / "damaged", bad);
      try {
        ReadWorkbookFile(out / "damaged");
        ++read;
      } catch (const ESpreadsheetError& error) {
        EXPECT_EQ(error.FileName(), out / "damaged");
        ++failed;
      }
    }
  }
  EXPECT_GT(failed, 0);
  EXPECT_EQ(failed + read, 600);
}

struct THostile {
  const char* File;
  const char* Reason;  // a part of the message
};

class SpreadsheetHostileFiles : public SpreadsheetFiles, public ::testing::WithParamInterface<THostile> {};

TEST_P(SpreadsheetHostileFiles, EndWithAClearMessageAndLeaveTheActiveWorkbook) {
  TORVANE_SKIP_WITHOUT_READERS();
  TExcelApplication excel;
  excel.WorkBooks().Open(Fixture("good.xlsx"));
  ASSERT_EQ(excel.Cells(1, 1).Text(), "Serial");
  std::string name = Fixture(GetParam().File);
  try {
    excel.WorkBooks().Open(name);
    FAIL() << "opened " << name;
  } catch (const ESpreadsheetError& error) {
    std::string message = error.what();
    EXPECT_EQ(error.FileName(), name);
    EXPECT_EQ(message.rfind("Cannot open \"" + name + "\": ", 0), 0u) << message;
    EXPECT_NE(message.find(GetParam().Reason), std::string::npos) << message;
  }
  EXPECT_EQ(excel.WorkBooks().Count(), 1u);
  EXPECT_EQ(excel.Cells(1, 1).Text(), "Serial");
}

INSTANTIATE_TEST_SUITE_P(Files, SpreadsheetHostileFiles,
                         ::testing::Values(THostile{"bomb.xlsx", "unpacks to more than 64 MB"},
                                           THostile{"liar.xlsx", "is damaged"},
                                           THostile{"truncated.xlsx", "damaged or incomplete"},
                                           THostile{"badxml.xlsx", "is not valid XML"},
                                           THostile{"rows2m.xlsx", "more than 1048576 rows"},
                                           THostile{"farcell.xlsx", "bad reference \"A2000000\""},
                                           THostile{"notabook.xlsx", "not an Excel workbook"},
                                           THostile{"badstring.xlsx", "shared string that does not exist"},
                                           THostile{"text.xlsx", "not an Excel workbook"},
                                           THostile{"text.xls", "not an Excel workbook"},
                                           THostile{"biff5.xls", "Excel 97-2003"},
                                           THostile{"truncated.xls", "damaged"},
                                           THostile{"vanished.xlsx", "does not exist"}),
                         [](const ::testing::TestParamInfo<THostile>& info) {
                           std::string name = info.param.File;
                           for (char& c : name)
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           return name;
                         });

// Texts with characters that XML cannot carry as they stand, and texts that look like the escapes
// written for them. Every one must come back byte for byte.
struct TAwkwardText {
  const char* Name;
  std::string Text;
};

std::vector<TAwkwardText> AwkwardTexts() {
  std::string controls;
  for (int c = 0; c < 0x20; ++c) controls += static_cast<char>(c);
  return {
      {"a zero byte inside", std::string("s3\0cr3t", 7)},
      {"a zero byte alone", std::string(1, '\0')},
      {"0x01", "a\x01z"},
      {"0x1F", "\x1F"},
      {"tab, line feed, carriage return", "\ta\nb\rc\r\n"},
      {"every control character", controls},
      {"0x7F", "del\x7F"},
      {"a literal escape", "_x0041_"},
      {"a literal escaped underscore", "_x005F_x0041_"},
      {"escapes back to back", "_x0041__x0042_x0043_"},
      {"lower-case hex, a cut escape", "_x00e9_ _x004"},
      // As the grid holds a device text in CP936 (B1B1 BEA9 20 C3DC C2EB).
      {"a two-byte code-page text", "北京 密码"},
      {"U+FFFF", "\xEF\xBF\xBF"},
  };
}

struct TFormatReader {
  const char* Extension;
  const char* Reader;
};

class SpreadsheetWholeTexts : public ::testing::TestWithParam<TFormatReader> {};

TEST_P(SpreadsheetWholeTexts, ComeBackByteForByteInOurReaderAndAnIndependentOne) {
  TORVANE_SKIP_WITHOUT_READERS();
  const auto cases = AwkwardTexts();
  TTempDir dir;
  TExcelApplication excel;
  TWorkbook& book = excel.WorkBooks().Add();
  for (size_t i = 0; i < cases.size(); ++i) {
    excel.Cells(static_cast<int>(i) + 1, 1).SetNumberFormatLocal("@");
    excel.Cells(static_cast<int>(i) + 1, 1).SetValue(cases[i].Text);
  }
  const std::string name = dir / (std::string("texts") + GetParam().Extension);
  book.SaveAs(name);

  TExcelApplication read;
  read.WorkBooks().Open(name);
  auto [ok, output] = RunFixtureScript(GetParam().Reader, name);
  ASSERT_TRUE(ok) << output;
  const TForeignSheet foreign = ParseForeign(output);
  for (size_t i = 0; i < cases.size(); ++i) {
    const int row = static_cast<int>(i) + 1;
    EXPECT_EQ(read.Cells(row, 1).Text(), cases[i].Text) << cases[i].Name;
    auto found = foreign.Cells.find({row, 1});
    ASSERT_NE(found, foreign.Cells.end()) << cases[i].Name;
    EXPECT_EQ(found->second.Value, cases[i].Text) << GetParam().Reader << ": " << cases[i].Name;
  }
}

INSTANTIATE_TEST_SUITE_P(BothFormats, SpreadsheetWholeTexts,
                         ::testing::Values(TFormatReader{".xlsx", "read-xlsx"},
                                           TFormatReader{".xls", "read-xls"}),
                         [](const ::testing::TestParamInfo<TFormatReader>& info) {
                           return std::string(info.param.Extension + 1);
                         });

}  // namespace
}  // namespace torvane
