// SPDX-License-Identifier: GPL-3.0-or-later
// The torvane-device program as ./run starts it: port path on the first line, memory in a state file,
// a clean end on SIGTERM.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "device/device_memory.h"
#include "tests/device/pty_port.h"

extern char** environ;

namespace torvane::device {
namespace {

using testing::Hex;
using testing::TPtyPort;

// One run of the program with its standard output on a pipe.
class TDeviceProcess {
 public:
  explicit TDeviceProcess(std::vector<std::string> args) {
    args.insert(args.begin(), TORVANE_DEVICE_PROGRAM);
    int out[2];
    if (::pipe(out) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    out_ = ::fdopen(out[0], "r");
  }
  ~TDeviceProcess() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (out_) std::fclose(out_);
  }
  std::string Line() {
    char buf[4096];
    if (!out_ || !std::fgets(buf, sizeof buf, out_)) return {};
    std::string s = buf;
    if (!s.empty() && s.back() == '\n') s.pop_back();
    return s;
  }
  std::string Rest() {
    std::string all, line;
    while (!(line = Line()).empty() || !std::feof(out_)) all += line + "\n";
    return all;
  }
  // Sends the signal and returns the exit status (-1 when it did not exit normally).
  int Stop(int signal) {
    ::kill(pid_, signal);
    return Wait();
  }
  int Wait() {
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  pid_t pid_ = -1;
  FILE* out_ = nullptr;
};

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = std::filesystem::temp_directory_path() / ("torvane-device-prog-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    state = (dir / "device.state").string();
  }
  void TearDown() override { std::filesystem::remove_all(dir); }
  std::filesystem::path dir;
  std::string state;
};

TEST_F(ProgramTest, ServesAPopulatedMemoryAndKeepsItForTheNextRun) {
  const std::string link = (dir / "ttyDevice").string();
  {
    TDeviceProcess device(
        {"--state", state, "--populate", "numbers=8,history=4", "--seed", "77", "--link", link});
    const std::string path = device.Line();
    ASSERT_EQ(path.rfind("/dev/", 0), 0u) << path;
    EXPECT_EQ(std::filesystem::read_symlink(link).string(), path);
    TPtyPort port(path);
    ASSERT_TRUE(port.Write(Hex("23 83 00 00 10 00 00 00 93")));
    const std::vector<uint8_t> reply = port.ReadFrame();
    ASSERT_EQ(reply.size(), 265u);
    TDeviceMemory expected = TDeviceMemory::Factory();
    Populate(expected, 8, 4, 77);
    EXPECT_EQ(std::vector<uint8_t>(reply.begin() + 8, reply.end() - 1),
              std::vector<uint8_t>(expected.Numbers.begin(), expected.Numbers.begin() + 256));
    // Change something for the next run to find.
    ASSERT_TRUE(port.Write(Hex("23 85 00 00 00 00 00 00 85")));
    EXPECT_EQ(port.ReadFrame(), Hex("23 85 00 00 00 00 00 01 01 85"));
    EXPECT_EQ(device.Stop(SIGTERM), 0);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
  }
  TDeviceProcess again({"--state", state});
  TPtyPort port(again.Line());
  ASSERT_TRUE(port.Write(Hex("23 83 00 03 00 00 00 00 80")));
  const std::vector<uint8_t> history = port.ReadFrame();
  ASSERT_EQ(history.size(), 265u);
  EXPECT_EQ(std::vector<uint8_t>(history.begin() + 8, history.end() - 1), std::vector<uint8_t>(256, 0xFF));
  ASSERT_TRUE(port.Write(Hex("23 83 00 00 10 00 00 00 93")));
  EXPECT_NE(port.ReadFrame()[8], 0xFF) << "the numbers survived the restart";
  EXPECT_EQ(again.Stop(SIGINT), 0);
}

TEST_F(ProgramTest, TracesFramesAndFiresFaults) {
  TDeviceProcess device({"--trace", "--fault", "silence:cmd=check"});
  TPtyPort port(device.Line());
  ASSERT_TRUE(port.Write(Hex("23 04 00 00 00 00 00 00 04")));
  ASSERT_TRUE(port.Write(Hex("23 04 00 00 00 00 00 00 04")));
  EXPECT_EQ(port.ReadFrame(), Hex("23 04 00 00 00 00 00 01 01 04"));
  const std::string in1 = device.Line(), fault = device.Line(), in2 = device.Line(), out = device.Line();
  EXPECT_NE(in1.find(" in  23 04 00 00 00 00 00 00 04"), std::string::npos) << in1;
  EXPECT_NE(fault.find("fault: silence"), std::string::npos) << fault;
  EXPECT_NE(in2.find(" in  23 04"), std::string::npos) << in2;
  EXPECT_NE(out.find(" out 23 04 00 00 00 00 00 01 01 04"), std::string::npos) << out;
  EXPECT_EQ(in1[2], ':');  // time stamp first
  EXPECT_EQ(device.Stop(SIGTERM), 0);
}

TEST_F(ProgramTest, DumpsAStateFile) {
  TDeviceMemory m = TDeviceMemory::Factory();
  Populate(m, 3, 2, 1);
  ASSERT_TRUE(SaveState(m, state));
  TDeviceProcess dump({"--dump", state});
  const std::string text = dump.Rest();
  EXPECT_EQ(dump.Wait(), 0);
  EXPECT_NE(text.find("   1 Password: 6853\n"), std::string::npos) << text;
  EXPECT_NE(text.find("Numbers in use: 3\n"), std::string::npos);
  EXPECT_NE(text.find("History records: 2\n"), std::string::npos);
}

TEST_F(ProgramTest, HelpDescribesTheOptionsAndBadOptionsAreRefused) {
  TDeviceProcess help({"--help"});
  const std::string text = help.Rest();
  EXPECT_EQ(help.Wait(), 0);
  for (const char* option : {"--state", "--populate", "--seed", "--baud", "--latency", "--fault", "--trace",
                             "--link", "--dump", "bad-checksum", "hangup", "nth="}) {
    EXPECT_NE(text.find(option), std::string::npos) << option;
  }
  for (std::vector<std::string> args : {std::vector<std::string>{"--fault", "explode"},
                                        {"--populate", "numbers=5000"},
                                        {"--baud", "fast"},
                                        {"--frobnicate"},
                                        {"--state"}}) {
    TDeviceProcess bad(args);
    EXPECT_EQ(bad.Line(), "");
    EXPECT_EQ(bad.Wait(), 2) << args[0];
  }
}

}  // namespace
}  // namespace torvane::device
