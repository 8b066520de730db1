// SPDX-License-Identifier: GPL-3.0-or-later
// Where the configuration and backups folders go on Windows: under %LOCALAPPDATA%, even where the
// program may write beside itself; a portable copy keeps them beside itself.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/config_dir.h"
#include "core/utf8_path.h"

namespace torvane {
namespace {

namespace fs = std::filesystem;

class ConfigDirWindows : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ =
        fs::temp_directory_path() / PathFromUtf8("torvane-конфиг-" + std::to_string(GetCurrentProcessId()));
    fs::remove_all(root_);
    fs::create_directories(root_ / "prog");
  }
  void TearDown() override { fs::remove_all(root_); }
  std::string U(const fs::path& p) { return PathToUtf8(p); }
  TEnvironment Local(const std::string& localAppData) {
    return
        [=](const char* name) { return std::string(name) == "LOCALAPPDATA" ? localAppData : std::string(); };
  }
  fs::path root_;
};

TEST_F(ConfigDirWindows, UnderLocalAppDataUnlessPortable) {
  const std::string local = U(root_ / PathFromUtf8("Пользователь 用户") / "AppData" / "Local");
  struct TCase {
    std::string Program;  // under root_
    std::string LocalAppData;
    std::string Expected;  // under root_
  };
  std::ofstream(root_ / "blocked") << "";
  const std::vector<TCase> cases = {
      // An installed copy run as administrator could write beside itself, and does not.
      {"prog", local, "Пользователь 用户\\AppData\\Local\\Torvane Configurator\\configuration\\"},
      {"blocked", local, "Пользователь 用户\\AppData\\Local\\Torvane Configurator\\configuration\\"},
      // A relative LOCALAPPDATA names no place; the program's folder is all there is.
      {"blocked", "relative", "blocked\\configuration\\"},
  };
  for (const TCase& c : cases) {
    const std::string dir = MakeConfigDir(U(root_ / PathFromUtf8(c.Program)), Local(c.LocalAppData));
    EXPECT_EQ(dir, U(root_) + "\\" + c.Expected) << c.Program;
  }
  EXPECT_FALSE(fs::exists(root_ / "prog" / "configuration"));
  EXPECT_TRUE(fs::is_directory(PathFromUtf8(local) / "Torvane Configurator" / "configuration"));
  EXPECT_EQ(BackupDirBeside(U(root_ / "prog" / "configuration") + "\\"),
            U(root_ / "prog" / "backups") + "\\");
}

TEST_F(ConfigDirWindows, APortableCopyKeepsItsFoldersBesideItself) {
  const std::string local = U(root_ / "Local");
  const std::string program = U(root_ / "prog");
  // The command-line tool makes nothing beside an ordinary copy, nor looks there...
  fs::create_directories(root_ / "prog" / "configuration");
  EXPECT_EQ(FindConfigDir(program, Local(local)), local + "\\Torvane Configurator\\configuration\\");
  EXPECT_FALSE(Portable(program));
  fs::remove_all(root_ / "prog" / "configuration");
  // ...and looks nowhere else for a portable one.
  std::ofstream(root_ / "prog" / "portable") << "";
  EXPECT_TRUE(Portable(program));
  fs::remove_all(root_ / "Local");
  EXPECT_EQ(FindConfigDir(program, Local(local)), program + "\\configuration\\");
  EXPECT_EQ(MakeConfigDir(program, Local(local)), program + "\\configuration\\");
  EXPECT_TRUE(fs::is_directory(root_ / "prog" / "configuration"));
  EXPECT_FALSE(fs::exists(root_ / "Local"));
}

}  // namespace
}  // namespace torvane
