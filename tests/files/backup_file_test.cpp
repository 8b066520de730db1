// SPDX-License-Identifier: GPL-3.0-or-later
// Backup files: what is written reads back byte for byte (in either line end, in either format), a
// damaged file is refused with its reason, backups are private whatever the umask, two programs
// saving in one second keep both, and only the newest real backups of a table are kept.
#include "files/backup_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>

#include "files/safe_file.h"

namespace torvane {
namespace {

namespace fs = std::filesystem;

constexpr char kSim[] = "+8613912345678";

TBackup Sample(const std::string& table, int pages, TDateTime taken = {2026, 12, 9, 14, 3, 22},
               const std::string& sim = kSim) {
  TBackup b{
      .Table = table, .PageCount = pages, .Taken = taken, .Port = "/dev/ttyUSB0", .Sim = sim, .Pages = {}};
  for (int i = 0; i < pages * 256; ++i) b.Pages.push_back(static_cast<uint8_t>(i * 37 + pages));
  return b;
}

// Replaces the first occurrence of `from` in `text`.
std::string Swap(std::string text, const std::string& from, const std::string& to) {
  const size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

// What an older program wrote: format 1, no sim line.
std::string FormatOne(const TBackup& b) {
  return Swap(Swap(FormatBackup(b), "format: 2", "format: 1"), "sim: " + b.Sim + "\n", "");
}

std::string WithCrLf(const std::string& text) {
  std::string out;
  for (char c : text) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
  return out;
}

mode_t ModeOf(const std::string& path) {
  struct stat info {};
  EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
  return info.st_mode & 0777;
}

TEST(BackupFile, ReadsBackWhatWasWrittenByteForByte) {
  const struct {
    const char* what;
    std::function<std::string(const TBackup&)> text;
    std::string sim;
  } variants[] = {
      {"as written", FormatBackup, kSim},
      {"with CRLF line ends", [](const TBackup& b) { return WithCrLf(FormatBackup(b)); }, kSim},
      {"without a final line end",
       [](const TBackup& b) {
         std::string t = FormatBackup(b);
         t.pop_back();
         return t;
       },
       kSim},
      {"in format 1", FormatOne, ""},
      {"in format 1 with CRLF", [](const TBackup& b) { return WithCrLf(FormatOne(b)); }, ""},
  };
  for (const auto& [table, pages] : {std::pair{"settings", 3}, std::pair{"numbers", 375}}) {
    const TBackup b = Sample(table, pages);
    for (const auto& v : variants) {
      std::string why;
      const auto back = ParseBackup(v.text(b), &why);
      ASSERT_TRUE(back) << table << " " << v.what << ": " << why;
      EXPECT_EQ(back->Table, b.Table) << v.what;
      EXPECT_EQ(back->Port, b.Port) << v.what;
      EXPECT_EQ(back->Sim, v.sim) << v.what;
      EXPECT_EQ(back->Taken.Second, 22) << v.what;
      EXPECT_EQ(back->Pages, b.Pages) << v.what;
    }
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
      {"a later format", Swap(good, "format: 2", "format: 3"), "format is not one"},
      {"format 2 without its sim line", Swap(good, std::string("sim: ") + kSim + "\n", ""),
       "header is damaged"},
      {"an unknown table", Swap(Swap(good, "table: settings", "table: history"), "pages: 3", "pages: 4"),
       "no table this program knows"},
      {"a page count that does not fit", Swap(good, "pages: 3", "pages: 2"), "page count does not fit"},
      {"a damaged time", Swap(good, "taken: 2026-12-09", "taken: 2026-13-09"), "time stamp is damaged"},
      {"a time with a sign", Swap(good, "taken: 2026-12-09 14", "taken: 2026-12-09 +4"),
       "time stamp is damaged"},
      {"a damaged checksum", Swap(good, "crc32: ", "crc32: x"), "checksum is damaged"},
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
  void TearDown() override {
    ::umask(oldMask_);
    fs::remove_all(Root);
  }
  std::string Root, Folder;

 private:
  const mode_t oldMask_ = [] {
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
  }();
};

TEST_F(BackupFolder, TheNameCarriesTheSimDigitsOrNosim) {
  const struct {
    std::string sim, name;
  } cases[] = {
      {kSim, "numbers_8613912345678_2026-12-09_14-03-22.tvbackup"},
      {"", "numbers_nosim_2026-12-09_14-03-22.tvbackup"},
      {"+86 139/1234:5", "numbers_8613912345_2026-12-09_14-03-22.tvbackup"},
  };
  for (const auto& c : cases) {
    const std::string path = KeepBackup(Folder, Sample("numbers", 375, {2026, 12, 9, 14, 3, 22}, c.sim));
    EXPECT_EQ(fs::path(path).filename(), c.name);
    EXPECT_EQ(LoadBackup(path).Sim, c.sim);
  }
}

TEST_F(BackupFolder, TwoInOneSecondKeepBothAndTheNewestComesFirst) {
  const std::string first = KeepBackup(Folder, Sample("numbers", 375));
  const std::string second = KeepBackup(Folder, Sample("numbers", 375));
  KeepBackup(Folder, Sample("settings", 3));
  EXPECT_EQ(fs::path(first).filename(), "numbers_8613912345678_2026-12-09_14-03-22.tvbackup");
  EXPECT_EQ(fs::path(second).filename(), "numbers_8613912345678_2026-12-09_14-03-22_2.tvbackup");
  EXPECT_EQ(BackupsOf(Folder, "numbers"), (std::vector<std::string>{second, first}));
  EXPECT_EQ(LoadBackup(second).Pages, Sample("numbers", 375).Pages);
}

TEST_F(BackupFolder, TwoProgramsSavingInOneSecondKeepEveryBackup) {
  constexpr int kEach = 25;
  int go[2];
  ASSERT_EQ(::pipe(go), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(go[1]);
    char start;
    const bool released = ::read(go[0], &start, 1) == 0;
    TBackup theirs = Sample("settings", 3);
    theirs.Port = "/dev/ttyUSB1";
    int failures = 0;
    for (int i = 0; i < kEach; ++i) try {
        KeepBackup(Folder, theirs);
      } catch (...) {
        ++failures;
      }
    ::_exit(released && failures == 0 ? 0 : 1);
  }
  ::close(go[0]);
  ::close(go[1]);  // both start now: the child's read ends
  std::vector<std::string> ours;
  for (int i = 0; i < kEach; ++i) ours.push_back(KeepBackup(Folder, Sample("settings", 3)));
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(BackupsOf(Folder, "settings").size(), 2u * kEach);
  for (const std::string& path : ours) EXPECT_EQ(LoadBackup(path).Port, "/dev/ttyUSB0") << path;
}

TEST_F(BackupFolder, BackupsArePrivateWhateverTheUmask) {
  for (const mode_t mask : {0000, 0022, 0077}) {
    ::umask(mask);
    const std::string folder = Root + "/umask" + std::to_string(mask) + "/backups";
    const std::string path = KeepBackup(folder, Sample("settings", 3));
    EXPECT_EQ(ModeOf(folder), 0700u) << mask;
    EXPECT_EQ(ModeOf(path), 0600u) << mask;
    WriteFileAtomically(folder + "/written", "x", TFileAccess::Private);
    EXPECT_EQ(ModeOf(folder + "/written"), 0600u) << mask;
    EnsurePrivateFile(folder + "/trace.txt");
    EXPECT_EQ(ModeOf(folder + "/trace.txt"), 0600u) << mask;
  }
}

TEST_F(BackupFolder, AnOpenFolderAndOldBackupsOfOursAreNarrowed) {
  fs::create_directories(Folder);
  ::chmod(Folder.c_str(), 0755);
  const std::string old = Folder + "/settings_2026-01-01_00-00-00.tvbackup";
  WriteFileAtomically(old, FormatOne(Sample("settings", 3)));
  ::chmod(old.c_str(), 0644);
  KeepBackup(Folder, Sample("settings", 3));
  EXPECT_EQ(ModeOf(Folder), 0700u);
  EXPECT_EQ(ModeOf(old), 0600u);
}

TEST_F(BackupFolder, EnsurePrivateFileKeepsWhatTheFileHolds) {
  fs::create_directories(Folder);
  const std::string trace = Folder + "/trace.txt";
  WriteFileAtomically(trace, "12:00:01 > 23 83 ...\n");
  ::chmod(trace.c_str(), 0644);
  EnsurePrivateFile(trace);
  EXPECT_EQ(ModeOf(trace), 0600u);
  EXPECT_EQ(ReadWholeFile(trace, 100), "12:00:01 > 23 83 ...\n");

  const struct {
    std::function<void()> call;
    std::string reason;
  } failures[] = {
      {[&] { EnsurePrivateFile(Folder + "/gone/trace.txt"); }, std::strerror(ENOENT)},
      {[&] { EnsurePrivateFile(Folder); }, std::strerror(EISDIR)},
      {[&] { EnsurePrivateFolder(trace); }, "it is not a folder"},
  };
  for (const auto& f : failures) {
    try {
      f.call();
      ADD_FAILURE() << "no failure, expected: " << f.reason;
    } catch (const EFileError& e) {
      EXPECT_EQ(e.Reason(), f.reason);
    }
  }
}

TEST_F(BackupFolder, OnlyTheNewestOfATableAreKept) {
  for (int minute = 0; minute < 6; ++minute) {
    KeepBackup(Folder, Sample("settings", 3, {2026, 12, 9, 14, minute, 0}), 4);
    KeepBackup(Folder, Sample("numbers", 375, {2026, 12, 9, 15, minute, 0}), 4);
  }
  KeepBackup(Folder, Sample("settings", 3, {2027, 1, 2, 3, 4, 5}), 4);
  const auto kept = BackupsOf(Folder, "settings");
  ASSERT_EQ(kept.size(), 4u);
  EXPECT_EQ(fs::path(kept[0]).filename(), "settings_8613912345678_2027-01-02_03-04-05.tvbackup");
  EXPECT_EQ(fs::path(kept[3]).filename(), "settings_8613912345678_2026-12-09_14-03-00.tvbackup");
  EXPECT_EQ(BackupsOf(Folder, "numbers").size(), 4u);  // the other table's are its own
}

// A clock once ahead left later names and later times; copied files keep names that disagree with
// their times; and people put their own files beside the backups.
TEST_F(BackupFolder, PruningGoesByTimeKeepsTheNewBackupAndLeavesForeignFiles) {
  enum TContent { kNumbers, kNumbersFormat1, kSettings, kDamaged };
  const struct {
    const char* name;
    TContent content;
    int days;  // modification time from now
    bool kept;
  } files[] = {
      {"numbers_8613912345678_2030-01-01_00-00-00.tvbackup", kNumbers, 5, true},
      {"numbers_2030-01-02_00-00-00.tvbackup", kNumbersFormat1, 4, true},
      {"numbers_nosim_2030-01-03_00-00-00.tvbackup", kNumbers, 3, false},
      {"numbers_8613912345678_2030-01-04_00-00-00_2.tvbackup", kNumbers, 2, false},
      {"numbers_2030-01-05_00-00-00.tvbackup", kNumbersFormat1, -1, false},
      // None of these is a backup of the number list, however old.
      {"numbers_holiday.tvbackup", kNumbers, -30, true},
      {"numbers_2026-01-01_00-00-00_1.tvbackup", kNumbers, -30, true},
      {"numbers_2026-01-01_00-00-00_x.tvbackup", kNumbers, -30, true},
      {"numbers_+86139_2026-01-01_00-00-00.tvbackup", kNumbers, -30, true},
      {"numbers_nosim_2026-01-02_00-00-00.tvbackup", kDamaged, -30, true},
      {"numbers_nosim_2026-01-03_00-00-00.tvbackup", kSettings, -30, true},
      {"settings_nosim_2026-01-04_00-00-00.tvbackup", kSettings, -30, true},
  };
  fs::create_directories(Folder);
  const auto now = fs::file_time_type::clock::now();
  for (const auto& f : files) {
    const std::string path = Folder + "/" + f.name;
    const std::string texts[] = {FormatBackup(Sample("numbers", 375)), FormatOne(Sample("numbers", 375)),
                                 FormatBackup(Sample("settings", 3)), "Torvane Configurator backup\n"};
    WriteFileAtomically(path, texts[f.content]);
    fs::last_write_time(path, now + std::chrono::hours(24 * f.days));
  }
  const std::string written = KeepBackup(Folder, Sample("numbers", 375), 3);
  EXPECT_EQ(BackupsOf(Folder, "numbers"),
            (std::vector<std::string>{Folder + "/" + files[0].name, Folder + "/" + files[1].name, written}));
  for (const auto& f : files) EXPECT_EQ(fs::exists(Folder + "/" + f.name), f.kept) << f.name;
  EXPECT_EQ(BackupsOf(Folder, "settings"), (std::vector<std::string>{Folder + "/" + files[11].name}));
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
