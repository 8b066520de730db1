// SPDX-License-Identifier: GPL-3.0-or-later
// Comma-separated files and the atomic save under every file the program writes.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "files/csv_file.h"
#include "files/safe_file.h"
#include "spreadsheet_test_util.h"

namespace torvane {
namespace {

using testing::FileBytes;
using testing::TTempDir;
using testing::WriteBytes;

TEST(CsvFile, OnlyFieldsThatWouldBreakTheLineAreQuoted) {
  EXPECT_EQ(CsvField("Relay ON"), "Relay ON");
  EXPECT_EQ(CsvField(""), "");
  EXPECT_EQ(CsvField(" spaced "), " spaced ");
  EXPECT_EQ(CsvField("Door, back"), "\"Door, back\"");
  EXPECT_EQ(CsvField("say \"hi\""), "\"say \"\"hi\"\"\"");
  EXPECT_EQ(CsvField("two\r\nlines"), "\"two\r\nlines\"");
  EXPECT_EQ(CsvField("line\nfeed"), "\"line\nfeed\"");
  EXPECT_EQ(CsvLine({"1", "555", "", "", "", "", "no", "no", "", ""}), "1,555,,,,,no,no,,");
  EXPECT_EQ(CsvLine({"1", "513", "2024-03-07", "08:15:00", "SMS", "Relay ON", "+123", "Door, back", "", ""}),
            "1,513,2024-03-07,08:15:00,SMS,Relay ON,+123,\"Door, back\",,");
  EXPECT_EQ(CsvLine(std::vector<std::string>(10)), ",,,,,,,,,");
}

TEST(CsvFile, LinesEndInCrLfAndTextIsInTheCodePage) {
  TCsvFile csv;
  csv.AddLine({"1", "Zürich", "", "", "", "", "no", "no", "", ""});
  csv.AddLine({"2", "北京", "", "", "", "", "no", "no", "", ""});
  csv.AddLine(std::vector<std::string>(10));
  ASSERT_EQ(csv.LineCount(), 3u);
  EXPECT_EQ(csv.Line(2), ",,,,,,,,,");

  TCodePage western("CP1252");
  EXPECT_EQ(csv.Bytes(western), "1,Z\xFCrich,,,,,no,no,,\r\n2,??,,,,,no,no,,\r\n,,,,,,,,,\r\n");
  TCodePage chinese("CP936");
  EXPECT_EQ(csv.Bytes(chinese),
            "1,Z\xA8\xB9rich,,,,,no,no,,\r\n2,\xB1\xB1\xBE\xA9,,,,,no,no,,\r\n,,,,,,,,,\r\n");

  TTempDir dir;
  std::string name = dir / "telinf_CSV2024-05-06_14-03-59.cvs";
  WriteBytes(name, "an older, longer export that must be replaced whole\r\n");
  csv.Save(name, chinese);
  EXPECT_EQ(FileBytes(name), csv.Bytes(chinese));
}

TEST(SafeFile, ReplacesTheFileAndKeepsItsPermissions) {
  if (TORVANE_ON_WINDOWS) GTEST_SKIP() << "file modes are POSIX's";
  TTempDir dir;
  std::string name = dir / "profile.xlsx";
  WriteBytes(name, "old");
  chmod(name.c_str(), 0640);
  WriteFileAtomically(name, "new contents");
  EXPECT_EQ(FileBytes(name), "new contents");
  struct stat info {};
  ASSERT_EQ(stat(name.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
  WriteFileAtomically(dir / "fresh.cvs", "");
  EXPECT_EQ(FileBytes(dir / "fresh.cvs"), "");
}

TEST(SafeFile, AFailedWriteLeavesTheOldFileAndNoTemporaryFile) {
  TTempDir dir;
  std::string name = dir / "hisinf.cvs";
  WriteBytes(name, "old export\r\n");
  EXPECT_THROW(SaveFileAtomically(name,
                                  [](const std::string& temp) {
                                    WriteBytes(temp, "half of the new");
                                    throw EFileError(EFileError::TAction::Save, "hisinf.cvs",
                                                     "No space left on device");
                                  }),
               EFileError);
  EXPECT_EQ(FileBytes(name), "old export\r\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

TEST(SafeFile, FailuresNameTheFileAndTheReason) {
  TTempDir dir;
  try {
    WriteFileAtomically(dir / "gone/list.cvs", "x");
    FAIL();
  } catch (const EFileError& error) {
    EXPECT_EQ(error.Action(), EFileError::TAction::Save);
    EXPECT_EQ(std::string(error.what()), "Cannot save \"" + (dir / "gone/list.cvs") + "\": the folder \"" +
                                             (dir / "gone") + "\" does not exist.");
  }
  std::filesystem::create_directory(dir / "taken.cvs");
  try {
    WriteFileAtomically(dir / "taken.cvs", "x");
    FAIL();
  } catch (const EFileError& error) {
    EXPECT_NE(std::string(error.what()).find("a folder of that name exists"), std::string::npos);
  }
  EXPECT_TRUE(std::filesystem::is_directory(dir / "taken.cvs"));
  try {
    ReadWholeFile(dir / "none.xlsx", 100);
    FAIL();
  } catch (const EFileError& error) {
    EXPECT_EQ(std::string(error.what()),
              "Cannot open \"" + (dir / "none.xlsx") + "\": the file does not exist.");
  }
  WriteBytes(dir / "big.xlsx", std::string(101, 'x'));
  EXPECT_THROW(ReadWholeFile(dir / "big.xlsx", 100), EFileError);
  EXPECT_EQ(ReadWholeFile(dir / "big.xlsx", 101).size(), 101u);
}

}  // namespace
}  // namespace torvane
