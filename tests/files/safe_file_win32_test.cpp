// SPDX-License-Identifier: GPL-3.0-or-later
// The safe save with names in any script (Windows only): every name goes to the system as UTF-16, and a
// writer that opens its file through the ANSI functions gets an ASCII name all the same.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/utf8_path.h"
#include "files/backup_file.h"
#include "files/safe_file.h"

namespace torvane {
namespace {

namespace fs = std::filesystem;

class SafeFileWindows : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = PathToUtf8(fs::temp_directory_path() / ("torvane-safe-" + std::to_string(GetCurrentProcessId())));
    fs::remove_all(PathFromUtf8(root_));
    fs::create_directories(PathFromUtf8(root_));
  }
  void TearDown() override { fs::remove_all(PathFromUtf8(root_)); }
  std::string root_;
};

// Folder and file names as an installer in Kyiv or Shenzhen would give them.
const std::vector<std::pair<std::string, std::string>> kNames = {
    {"Настройки", "телефоны.csv"},
    {"设置", "电话号码.xlsx"},
    {"Mixed Дверь 门", "list №5 大门.json"},
    {"plain", "Абонент 用户.txt"},
};

TEST_F(SafeFileWindows, NamesInAnyScriptAreWrittenAndReadBack) {
  for (const auto& [folder, file] : kNames) {
    const std::string dir = root_ + "\\" + folder;
    EnsurePrivateFolder(dir + "\\deeper");
    const std::string path = dir + "\\" + file;
    WriteFileAtomically(path, "first " + file);
    WriteFileAtomically(path, "second " + file, TFileAccess::Private);
    EXPECT_EQ(ReadWholeFile(path, 1000), "second " + file);
    EXPECT_EQ(ReadFileStart(path, 6), "second");
    // The system sees the name itself, not its UTF-8 bytes read as ANSI.
    EXPECT_NE(GetFileAttributesW(PathFromUtf8(path).c_str()), INVALID_FILE_ATTRIBUTES) << path;
    EXPECT_EQ(std::distance(fs::directory_iterator(PathFromUtf8(dir)), fs::directory_iterator()), 2) << dir;
  }
}

TEST_F(SafeFileWindows, AWriterByNameGetsAnAsciiTemporaryName) {
  for (const auto& [folder, file] : kNames) {
    const std::string dir = root_ + "\\" + folder;
    EnsurePrivateFolder(dir);
    const std::string path = dir + "\\" + file;
    std::string given;
    SaveFileAtomically(path, [&](const std::string& temp) {
      given = temp;
      // As libxlsxwriter opens it: fopen, the ANSI code page's name.
      std::FILE* f = std::fopen(temp.c_str(), "wb");
      ASSERT_NE(f, nullptr) << temp;
      std::fputs("workbook", f);
      std::fclose(f);
    });
    for (unsigned char c : given) EXPECT_LT(c, 0x80) << given;
    EXPECT_EQ(ReadWholeFile(path, 100), "workbook");
    EXPECT_EQ(GetFileAttributesW(PathFromUtf8(given).c_str()), INVALID_FILE_ATTRIBUTES) << given;
  }
}

TEST_F(SafeFileWindows, AReservedNameIsHadOnceAndABackupNeverReplacesAnother) {
  const std::string dir = root_ + "\\Резервные копии 备份";
  EnsurePrivateFolder(dir);
  EXPECT_TRUE(ReservePrivateFile(dir + "\\имя.tvbackup"));
  EXPECT_FALSE(ReservePrivateFile(dir + "\\имя.tvbackup"));
  EXPECT_FALSE(ReservePrivateFile(dir));

  TBackup backup;
  backup.Table = "settings";
  backup.PageCount = 3;
  backup.Taken = {2026, 12, 9, 14, 3, 22};
  backup.Port = "COM3";
  backup.Pages.assign(3 * 256, 0x5A);
  const std::string first = KeepBackup(dir, backup);
  const std::string second = KeepBackup(dir, backup);
  EXPECT_NE(first, second);
  EXPECT_EQ(LoadBackup(first).Pages, backup.Pages);
  EXPECT_EQ(BackupsOf(dir, "settings").size(), 2u);
}

TEST_F(SafeFileWindows, FailuresSayWhyInTheSystemsWords) {
  const std::string dir = root_ + "\\Папка";
  EnsurePrivateFolder(dir);
  const std::vector<std::pair<std::function<void()>, std::string>> cases = {
      {[&] { ReadWholeFile(dir + "\\нет.csv", 10); }, "the file does not exist"},
      {[&] { ReadWholeFile(dir, 10); }, "it is not a file"},
      {[&] { WriteFileAtomically(dir + "\\x", "0123456789"), ReadWholeFile(dir + "\\x", 9); },
       "the file is too large"},
      {[&] { WriteFileAtomically(dir + "\\нет\\x.csv", "x"); }, "does not exist"},
      {[&] { WriteFileAtomically(dir, "x"); }, "a folder of that name exists"},
      {[&] { EnsurePrivateFile(dir); }, "it is not a file"},
      {[&] { EnsurePrivateFolder(dir + "\\x"); }, "it is not a folder"},
      {[&] { ReadWholeFile("NUL", 10); }, "it is not a file"},
  };
  for (const auto& [run, reason] : cases) {
    try {
      run();
      ADD_FAILURE() << "no failure for " << reason;
    } catch (const EFileError& e) {
      EXPECT_NE(e.Reason().find(reason), std::string::npos) << e.what();
      EXPECT_EQ(std::string(e.what()).rfind("Cannot ", 0), 0u) << e.what();
    }
  }
}

}  // namespace
}  // namespace torvane
