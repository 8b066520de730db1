// SPDX-License-Identifier: GPL-3.0-or-later
// Where exported files go: beside the program when possible, else in the user's data folder.
#include "core/config_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

namespace torvane {
namespace {

namespace fs = std::filesystem;

class ConfigDirTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("torvane-configdir-" + std::to_string(std::random_device{}()));
    fs::create_directories(root_ / "prog");
    fs::create_directories(root_ / "home");
  }
  void TearDown() override { fs::remove_all(root_); }
  std::string P(const fs::path& p) { return p.string(); }
  // The environment of a user whose XDG_DATA_HOME and HOME are these.
  static TEnvironment Env(const std::string& xdgDataHome, const std::string& home) {
    return [=](const char* name) -> std::string {
      if (std::string(name) == "XDG_DATA_HOME") return xdgDataHome;
      return std::string(name) == "HOME" ? home : std::string();
    };
  }
  fs::path root_;
};

TEST_F(ConfigDirTest, MadeBesideTheProgram) {
  const std::string dir = MakeConfigDir(P(root_ / "prog"), Env(P(root_ / "xdg"), P(root_ / "home")));
  EXPECT_EQ(dir, P(root_ / "prog" / "configuration") + "/");
  EXPECT_TRUE(fs::is_directory(root_ / "prog" / "configuration"));
  EXPECT_FALSE(fs::exists(root_ / "xdg"));
}

TEST_F(ConfigDirTest, AnExistingFolderIsLeftAsItIs) {
  const fs::path conf = root_ / "prog" / "configuration";
  fs::create_directory(conf);
  std::ofstream(conf / "telinf_R1.xlsx") << "kept";
  const auto before = fs::last_write_time(conf);
  EXPECT_EQ(MakeConfigDir(P(root_ / "prog"), Env("", P(root_ / "home"))), P(conf) + "/");
  EXPECT_EQ(fs::last_write_time(conf), before);
  EXPECT_EQ(std::distance(fs::directory_iterator(conf), fs::directory_iterator()), 1);
  std::ifstream in(conf / "telinf_R1.xlsx");
  std::string text;
  in >> text;
  EXPECT_EQ(text, "kept");
}

TEST_F(ConfigDirTest, FallsBackToTheUsersDataFolder) {
  // A program folder where nothing can be made (here: it is a file).
  std::ofstream(root_ / "blocked") << "";
  const std::string xdg = MakeConfigDir(P(root_ / "blocked"), Env(P(root_ / "xdg"), P(root_ / "home")));
  EXPECT_EQ(xdg, P(root_ / "xdg" / "torvane-configurator" / "configuration") + "/");
  EXPECT_TRUE(fs::is_directory(root_ / "xdg" / "torvane-configurator" / "configuration"));

  // Without XDG_DATA_HOME, or with a relative one (which the XDG rules ignore): ~/.local/share.
  const std::string home =
      P(root_ / "home" / ".local" / "share" / "torvane-configurator" / "configuration") + "/";
  EXPECT_EQ(MakeConfigDir(P(root_ / "blocked"), Env("", P(root_ / "home"))), home);
  EXPECT_EQ(MakeConfigDir(P(root_ / "blocked"), Env("relative/data", P(root_ / "home"))), home);
  EXPECT_TRUE(fs::is_directory(home));
}

TEST_F(ConfigDirTest, OnlyOneLevelIsMadeBesideTheProgram) {
  // A program folder that does not exist is not created on the way.
  const std::string dir = MakeConfigDir(P(root_ / "gone" / "bin"), Env(P(root_ / "xdg"), P(root_ / "home")));
  EXPECT_FALSE(fs::exists(root_ / "gone"));
  EXPECT_EQ(dir, P(root_ / "xdg" / "torvane-configurator" / "configuration") + "/");
}

// torvane looks for the window's folder without making one beside itself, unless the copy is portable.
TEST_F(ConfigDirTest, TheCommandLineToolMakesNothingBesideAnOrdinaryCopy) {
  const std::string own = P(root_ / "xdg" / "torvane-configurator" / "configuration") + "/";
  EXPECT_EQ(FindConfigDir(P(root_ / "prog"), Env(P(root_ / "xdg"), "")), own);
  EXPECT_FALSE(fs::exists(root_ / "prog" / "configuration"));
  fs::create_directory(root_ / "prog" / "configuration");
  EXPECT_EQ(FindConfigDir(P(root_ / "prog"), Env(P(root_ / "xdg"), "")),
            P(root_ / "prog" / "configuration") + "/");
}

TEST_F(ConfigDirTest, APortableCopyKeepsItsFoldersBesideItself) {
  std::ofstream(root_ / "prog" / "portable") << "";
  const std::string beside = P(root_ / "prog" / "configuration") + "/";
  EXPECT_EQ(FindConfigDir(P(root_ / "prog"), Env(P(root_ / "xdg"), "")), beside);
  EXPECT_FALSE(fs::exists(root_ / "prog" / "configuration"));
  EXPECT_EQ(MakeConfigDir(P(root_ / "prog"), Env(P(root_ / "xdg"), "")), beside);
  EXPECT_TRUE(fs::is_directory(root_ / "prog" / "configuration"));
  EXPECT_FALSE(fs::exists(root_ / "xdg"));
}

}  // namespace
}  // namespace torvane
