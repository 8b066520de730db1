// SPDX-License-Identifier: GPL-3.0-or-later
// The spreadsheet exports add ".xlsx" to a name typed without an extension, after the save dialog has
// asked about the name without it: an existing file of the longer name is replaced only when the
// operator says so.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "files/spreadsheet.h"
#include "history/history_export.h"
#include "numbers/number_files.h"
#include "settings/settings_profile.h"
#include "support/file_session.h"

namespace torvane {
namespace {

using testing::FileBytes;
using testing::TFileSessionTest;
using testing::WriteBytes;

struct TExport {
  const char* Name;
  const char* Heading;  // what A1 of the written sheet holds
  std::function<void(TSession&)> Run;
};

class ExportReplace : public TFileSessionTest, public ::testing::WithParamInterface<TExport> {
 protected:
  std::string Question(const std::string& path) {
    return path + " already exists.\nDo you want to replace it?";
  }
  std::string Heading(const std::string& path) {
    TExcelApplication excel;
    excel.WorkBooks().Open(path);
    return excel.Cells(1, 1).Text();
  }
};

TEST_P(ExportReplace, AnExistingFileTheDialogDidNotNameIsReplacedOnlyWhenTheOperatorAgrees) {
  struct TCase {
    const char* What;
    const char* Chosen;  // the dialog's answer, in the session's folder
    bool Exists;         // "list.xlsx" is there before
    bool Answer;         // to the question, if one is asked
    bool Asked;
    bool Replaced;
  };
  const TCase cases[] = {
      {"bare name, file there, Cancel", "list", true, false, true, false},
      {"bare name, file there, OK", "list", true, true, true, true},
      {"bare name, no file", "list", false, false, false, true},
      {"the dialog named the file itself", "list.xlsx", true, false, false, true},
  };
  const std::string target = dir_ / "list.xlsx";
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.What);
    std::filesystem::remove(target);
    if (c.Exists) WriteBytes(target, "the operator's own file");
    Op().Questions.clear();
    Op().WarnAnswer = c.Answer;
    Op().FileAnswers.push_back(dir_ / c.Chosen);
    GetParam().Run(S());

    EXPECT_TRUE(Op().Errors.empty()) << Op().Errors.front();
    if (c.Asked)
      EXPECT_EQ(Op().Questions, std::vector<std::string>{Question(target)});
    else
      EXPECT_TRUE(Op().Questions.empty()) << Op().Questions.front();
    if (c.Replaced)
      EXPECT_EQ(Heading(target), GetParam().Heading);
    else
      EXPECT_EQ(FileBytes(target), "the operator's own file");
    EXPECT_FALSE(std::filesystem::exists(dir_ / "list")) << "the name without the extension was written";
  }
}

INSTANTIATE_TEST_SUITE_P(
    SpreadsheetExports, ExportReplace,
    ::testing::Values(TExport{"Profile", "Items", [](TSession& s) { s.Profiles.ExportProfile(); }},
                      TExport{"NumberList", "Serial",
                              [](TSession& s) { ExportNumbersXls(s.Context, s.NumberGrid, s.ConfigDir); }},
                      TExport{"History", "Serial", [](TSession& s) { s.HistoryFiles.ExportHistoryXls(); }}),
    [](const ::testing::TestParamInfo<TExport>& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace torvane
