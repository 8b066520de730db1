// Backup files: what is written reads back byte for byte, a damaged file is refused with its reason,
// two backups in one second keep both, and only the newest of a table are kept.
#include "files/backup_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>

#include "files/safe_file.h"

namespace torvane {
namespace {

namespace fs = std::filesystem;

TBackup Sample(const std::string& table, int pages, TDateTime taken = {2026, 12, 9, 14, 3, 22}) {
  TBackup b{table, pages, taken, "/dev/ttyUSB0", {}};
  for (int i = 0; i < pages * 256; ++i) b.Pages.push_back(static_cast<uint8_t>(i * 37 + pages));
  return b;
}

// Replaces the first occurrence of `from` in `text`.
std::string Swap(std::string text, const std::string& from, const std::string& to) {
  const size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

TEST(BackupFile, ReadsBackWhatWasWrittenByteForByte) {
  for (const auto& [table, pages] : {std::pair{"settings", 3}, std::pair{"numbers", 375}}) {
    const TBackup b = Sample(table, pages);
    std::string why;
    const auto back = ParseBackup(FormatBackup(b), &why);
    ASSERT_TRUE(back) << table << ": " << why;
    EXPECT_EQ(back->Table, b.Table);
    EXPECT_EQ(back->Port, b.Port);
    EXPECT_EQ(back->Taken.Second, 22);
    EXPECT_EQ(back->Pages, b.Pages);
  }
}

TEST(BackupFile, RefusesADamagedFileAndSaysWhy) {
  const std::string good = FormatBackup(Sample("settings", 3));
  const std::string page2 =
      good.substr(good.find("page 2: "), good.find('\n', good.find("page 2: ")) - good.find("page 2: "));
  const struct {
    const char* what;
    std::string text;
    const char* reason;
  } cases[] = {
      {"another file", "name,number\n1,+4917\n", "no backup of this program"},
      {"a later format", Swap(good, "format: 1", "format: 2"), "format is not one"},
      {"an unknown table", Swap(Swap(good, "table: settings", "table: history"), "pages: 3", "pages: 4"),
       "no table this program knows"},
      {"a page count that does not fit", Swap(good, "pages: 3", "pages: 2"), "page count does not fit"},
      {"a damaged time", Swap(good, "taken: 2026-12-09", "taken: 2026-13-09"), "time stamp is damaged"},
      {"cut short", good.substr(0, good.find("page 3: ")), "cut short"},
      {"a page of the wrong length", Swap(good, page2, page2.substr(0, page2.size() - 2)),
       "page 2 is damaged"},
      {"a byte that is no hexadecimal", Swap(good, page2, page2.substr(0, page2.size() - 1) + "g"),
       "page 2 is damaged"},
      {"a changed byte",
       Swap(good, page2, page2.substr(0, page2.size() - 1) + (page2.back() == '0' ? "1" : "0")),
       "do not match their checksum"},
  };
  for (const auto& c : cases) {
    std::string why;
    EXPECT_FALSE(ParseBackup(c.text, &why)) << c.what;
    EXPECT_NE(why.find(c.reason), std::string::npos) << c.what << ": " << why;
  }
}

class BackupFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/torvane-backups-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    Root = tmpl;
    Folder = Root + "/backups";  // made by the first backup
  }
  void TearDown() override { fs::remove_all(Root); }
  std::string Root, Folder;
};

TEST_F(BackupFolder, TwoInOneSecondKeepBothAndTheNewestComesFirst) {
  const std::string first = KeepBackup(Folder, Sample("numbers", 375));
  const std::string second = KeepBackup(Folder, Sample("numbers", 375));
  KeepBackup(Folder, Sample("settings", 3));
  EXPECT_NE(first, second);
  EXPECT_EQ(fs::path(first).filename(), "numbers_2026-12-09_14-03-22.tvbackup");
  EXPECT_EQ(BackupsOf(Folder, "numbers"), (std::vector<std::string>{second, first}));
  EXPECT_EQ(LoadBackup(second).Pages, Sample("numbers", 375).Pages);
}

TEST_F(BackupFolder, OnlyTheNewestOfATableAreKept) {
  for (int minute = 0; minute < 6; ++minute) {
    KeepBackup(Folder, Sample("settings", 3, {2026, 12, 9, 14, minute, 0}), 4);
    KeepBackup(Folder, Sample("numbers", 375, {2026, 12, 9, 15, minute, 0}), 4);
  }
  KeepBackup(Folder, Sample("settings", 3, {2027, 1, 2, 3, 4, 5}), 4);
  const auto kept = BackupsOf(Folder, "settings");
  ASSERT_EQ(kept.size(), 4u);
  EXPECT_EQ(fs::path(kept[0]).filename(), "settings_2027-01-02_03-04-05.tvbackup");
  EXPECT_EQ(fs::path(kept[3]).filename(), "settings_2026-12-09_14-03-00.tvbackup");
  EXPECT_EQ(BackupsOf(Folder, "numbers").size(), 4u);  // the other table's are its own
}

TEST_F(BackupFolder, AFileThatIsNoBackupIsRefusedByName) {
  fs::create_directories(Folder);
  const std::string path = Folder + "/numbers_2026-01-01_00-00-00.tvbackup";
  WriteFileAtomically(path, "not a backup\n");
  try {
    LoadBackup(path);
    FAIL() << "loaded";
  } catch (const EFileError& e) {
    EXPECT_EQ(e.FileName(), path);
    EXPECT_NE(e.Reason().find("no backup"), std::string::npos) << e.Reason();
  }
}

}  // namespace
}  // namespace torvane
