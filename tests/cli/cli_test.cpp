// SPDX-License-Identifier: GPL-3.0-or-later
// torvane as an installer runs it: its own process, its output and exit status, against virtual
// devices each on its own pseudo-terminal (unpaced, in this process). Every exit status is reached by
// a real cause, provision runs on four devices at once with one failing, files go round from one
// device to another, and a signal stops a read without leaving the port locked.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>
#include <tuple>

#include "core/message.h"
#include "device/virtual_device.h"
#include "files/import_result.h"
#include "files/spreadsheet.h"
#include "numbers/number_files.h"
#include "numbers/number_record.h"
#include "numbers/number_texts.h"
#include "protocol/protocol_texts.h"
#include "serial/comm.h"
#include "settings/settings_codec.h"
#include "settings/settings_json.h"
#include "settings/settings_texts.h"
#include "support/fake_sysfs.h"
#include "support/fakes.h"
#include "support/run_program.h"

namespace torvane::testing {
namespace {

namespace fs = std::filesystem;
using TJson = nlohmann::json;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Every record of a device's number list as it reads.
std::vector<std::string> NumberTexts(const device::TVirtualDevice& d) {
  const std::vector<uint8_t> all = d.Numbers();
  std::vector<std::string> texts;
  for (size_t i = 0; i + kNumberRecordSize <= all.size(); i += kNumberRecordSize) {
    const TNumberRecordText t = DecodeNumberRecord(all.data() + i);
    texts.push_back(t.Number + "|" + t.StartDate + " " + t.StartTime + "|" + t.EndDate + " " + t.EndTime +
                    "|" + (t.Always ? "always" : ""));
  }
  return texts;
}

class Cli : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::path(::testing::TempDir()) / ("cli-" + std::to_string(::getpid()) + "-" +
                                             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override {
    for (const auto& [path, com] : toCom_) fs::remove(ComLink(com));
    devices_.clear();
    fs::remove_all(dir_);
  }

  device::TVirtualDevice& Device(const std::vector<std::string>& faults = {}, int numbers = 0) {
    devices_.push_back(std::make_unique<device::TVirtualDevice>());
    device::TVirtualDevice& d = *devices_.back();
    EXPECT_TRUE(d.Start()) << d.Error();
    if (numbers > 0) d.Populate(numbers, 20, 7);
    for (const std::string& f : faults) {
      std::string why;
      const auto fault = device::ParseFault(f, &why);
      EXPECT_TRUE(fault) << f << ": " << why;
      if (fault) d.AddFault(*fault);
    }
    return d;
  }
  std::string File(const std::string& name) const { return (dir_ / name).string(); }

  TRun Torvane(const std::vector<std::string>& args, const std::map<std::string, std::string>& env = {}) {
    const std::vector<std::string> drop{"TORVANE_PASSWORD", "TORVANE_SYSTEM_ROOT"};
    if (!WineExe()) return RunProgram(TORVANE_CLI_PROGRAM, args, env, drop);
    // torvane.exe under wine: each device's pseudo-terminal is a COM port of the wine prefix, and what
    // the program prints names the ports as the test knows them.
    // scripts/wine-run gives it the prefix, mingw's runtime DLLs and its output without carriage returns.
    const std::string wineRun = std::string(std::getenv("TORVANE_SOURCE_DIR")) + "/scripts/wine-run";
    std::vector<std::string> wineArgs{"--prefix", std::getenv("TORVANE_WINEPREFIX"), "--text", "--",
                                      WineExe()};
    for (const std::string& a : args) wineArgs.push_back(a.rfind("/dev/pts/", 0) == 0 ? ComFor(a) : a);
    TRun run = RunProgram(wineRun, wineArgs, env, drop);
    run.Out = AsTheTestKnowsIt(run.Out);
    run.Err = AsTheTestKnowsIt(run.Err);
    return run;
  }
  // What torvane.exe wrote, with the COM ports it was given named by the devices' paths again.
  std::string AsTheTestKnowsIt(std::string text) const {
    for (const auto& [path, com] : toCom_)
      for (size_t at = 0; (at = text.find(com, at)) != std::string::npos; at += path.size())
        text.replace(at, com.size(), path);
    return text;
  }
  static const char* WineExe() { return std::getenv("TORVANE_CLI_WINE_EXE"); }
  static fs::path ComLink(const std::string& com) {
    std::string lower = com;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return std::tolower(c); });
    return fs::path(std::getenv("TORVANE_WINEPREFIX")) / "dosdevices" / lower;
  }
  // COM20 and up, so as not to meet the prefix's own ports.
  std::string ComFor(const std::string& path) {
    auto it = toCom_.find(path);
    if (it != toCom_.end()) return it->second;
    const std::string com = "COM" + std::to_string(20 + toCom_.size());
    std::error_code ec;
    fs::remove(ComLink(com), ec);
    fs::create_symlink(path, ComLink(com), ec);
    EXPECT_FALSE(ec) << ComLink(com) << ": " << ec.message();
    return toCom_[path] = com;
  }
  std::map<std::string, std::string> toCom_;
  // A device command on `d`'s port, its backups kept in the test's folder.
  TRun On(const device::TVirtualDevice& d, std::vector<std::string> args,
          const std::map<std::string, std::string>& env = {}) {
    args.insert(args.begin(), {"-p", d.PortPath(), "--backup-dir", File("backups")});
    return Torvane(args, env);
  }

  // The factory settings as a JSON document, changed by `change`, in the file `name`.
  std::string SettingsFile(const std::string& name, const std::function<void(TJson&)>& change) {
    TFakeSession fresh;
    TJson doc = TJson::parse(SettingsToJson(fresh.Session->SettingsGrid, fresh.Session->SettingsLists));
    // The grid starts with the server port empty; a factory-fresh device holds 65535.
    doc["parameters"][18]["value"] = "65535";
    change(doc["parameters"]);
    std::ofstream(File(name)) << doc.dump(1);
    return File(name);
  }
  std::string ChangedSettings(const std::string& name = "p.json") {
    return SettingsFile(name, [](TJson& p) { p[1]["value"] = "+4912345"; });
  }
  // A number list of the given entries, in the file `name`.
  std::string NumbersFile(const std::string& name, const TJson& numbers) {
    std::ofstream(File(name)) << TJson{
        {"format", "torvane-numbers"},
        {"version", 1},
        {"numbers", numbers}}.dump();
    return File(name);
  }
  // A fresh grid's profile (or number list) as the window exports it, with sheet cells changed.
  std::string EditedSheet(const std::string& name, bool settings,
                          const std::vector<std::tuple<int, int, std::string>>& cells) {
    TFakeSession fresh;
    fresh.Operator.FileAnswers.push_back(File(name));
    if (settings)
      fresh.Session->Profiles.ExportProfile();
    else
      ExportNumbersXls(fresh.Session->Context, fresh.Session->NumberGrid, dir_.string());
    TExcelApplication excel;
    TWorkbook& book = excel.WorkBooks().Open(File(name));
    for (const auto& [row, col, text] : cells) excel.Cells(row, col).SetValue(text);
    book.SaveAs(File(name));
    return File(name);
  }

  fs::path dir_;
  std::vector<std::unique_ptr<device::TVirtualDevice>> devices_;
};

enum class TInput { None, ChangedSettings, ShortPassword, NumberWithoutWindow, NotJson };

struct TStatusCase {
  const char* Name;
  std::vector<std::string> Faults;
  TInput Input;
  std::vector<std::string> Args;  // "{file}" is the input file, "{out}" a file to write
  std::map<std::string, std::string> Env;
  int Exit;
  std::string Says;  // a text standard error holds
  bool DeviceAsked;
};

TEST_F(Cli, EveryExitStatusHasARealCause) {
  const std::vector<TStatusCase> cases = {
      {"read", {}, TInput::None, {"read", "settings", "-o", "{out}"}, {}, 0, kSettingsReadDone, true},
      {"no reply on any try",
       {"silence:cmd=read,region=settings,count=all"},
       TInput::None,
       {"read", "settings", "-o", "{out}"},
       {},
       1,
       kReceiveTimeout,
       true},
      {"the device hung up",
       {"hangup:cmd=read,region=settings,page=2"},
       TInput::None,
       {"read", "settings", "-o", "{out}"},
       {},
       1,
       "was disconnected; the port is closed.",
       true},
      {"a refused page",
       {"refuse:cmd=write"},
       TInput::ChangedSettings,
       {"write", "settings", "{file}"},
       {},
       1,
       kSettingsWriteRefused,
       true},
      {"wrong password", {}, TInput::None, {"--password", "1234", "sync-time"}, {}, 3, kPasswordError, true},
      {"wrong password from the environment",
       {},
       TInput::None,
       {"sync-time"},
       {{"TORVANE_PASSWORD", "1234"}},
       3,
       kPasswordError,
       true},
      {"right password from the environment",
       {},
       TInput::None,
       {"sync-time"},
       {{"TORVANE_PASSWORD", "6853"}},
       0,
       kTimeSyncAccepted,
       true},
      {"a write the device forgot",
       {"forget:cmd=write,count=all"},
       TInput::ChangedSettings,
       {"write", "settings", "{file}"},
       {},
       4,
       "The device did not keep these parameters when they were saved: 2.SIM Card Phone No.",
       true},
      {"unknown command",
       {},
       TInput::None,
       {"frobnicate"},
       {},
       2,
       "torvane: unknown command frobnicate",
       false},
      {"read without a file", {}, TInput::None, {"read", "settings"}, {}, 2, "read needs -o FILE", false},
      {"delete-history without --yes", {}, TInput::None, {"delete-history"}, {}, 2, "add --yes", false},
      {"an option of another command",
       {},
       TInput::None,
       {"sync-time", "--yes"},
       {},
       2,
       "sync-time does not take --yes",
       false},
      {"a file of no known kind",
       {},
       TInput::None,
       {"write", "settings", "p.txt"},
       {},
       2,
       "settings files are .xlsx, .xls or .json",
       false},
      {"a password the login could never match",
       {},
       TInput::ShortPassword,
       {"write", "settings", "{file}"},
       {},
       2,
       kPasswordNotFourDigits,
       false},
      {"a number without its window",
       {},
       TInput::NumberWithoutWindow,
       {"write", "numbers", "{file}"},
       {},
       2,
       std::string(kWrongNumberRows) + "1",
       false},
      {"no JSON at all",
       {},
       TInput::NotJson,
       {"write", "settings", "{file}"},
       {},
       2,
       "p.json: not JSON",
       false},
  };
  for (const TStatusCase& c : cases) {
    SCOPED_TRACE(c.Name);
    device::TVirtualDevice& d = Device(c.Faults);
    std::string file;
    switch (c.Input) {
      case TInput::ChangedSettings:
        file = ChangedSettings();
        break;
      case TInput::ShortPassword:
        file = SettingsFile("p.json", [](TJson& p) { p[0]["value"] = "12"; });
        break;
      case TInput::NumberWithoutWindow:
        file = File("n.json");
        std::ofstream(file) << TJson{{"format", "torvane-numbers"},
                                     {"version", 1},
                                     {"numbers", {{{"serial", 1}, {"number", "+4917012345678"}}}}}
                                   .dump();
        break;
      case TInput::NotJson:
        file = File("p.json");
        std::ofstream(file) << "{\"format\": ";
        break;
      case TInput::None:
        break;
    }
    std::vector<std::string> args = c.Args;
    for (std::string& a : args) {
      if (a == "{file}") a = file;
      if (a == "{out}") a = File("out.json");
    }
    const TRun run = On(d, args, c.Env);
    EXPECT_EQ(run.ExitCode, c.Exit) << run.Err;
    EXPECT_NE(run.Err.find(c.Says), std::string::npos) << run.Err;
    EXPECT_EQ(d.Counters().Received > 0, c.DeviceAsked);
    devices_.clear();
  }
}

TEST_F(Cli, VerifyAndDiffFindWhatTheDeviceDidNotKeep) {
  device::TVirtualDevice& d = Device({"forget:cmd=write,count=all"});
  const std::string file = ChangedSettings();
  const TRun write = On(d, {"write", "settings", file, "--no-verify"});
  ASSERT_EQ(write.ExitCode, 0) << write.Err;

  const TRun verify = On(d, {"verify", "settings", file});
  EXPECT_EQ(verify.ExitCode, 4) << verify.Err;
  EXPECT_NE(verify.Err.find("1 parameters differ from " + file + ": 2"), std::string::npos) << verify.Err;

  const TRun diff = On(d, {"diff", "settings", file});
  EXPECT_EQ(diff.ExitCode, 4) << diff.Err;
  EXPECT_EQ(diff.Out, "2.SIM Card Phone No: device \"\", file \"+4912345\"\n");

  const TRun json = On(d, {"diff", "settings", file, "--json"});
  EXPECT_EQ(json.ExitCode, 4);
  const TJson line = TJson::parse(json.Out);
  EXPECT_EQ(line,
            (TJson{{"number", 2}, {"name", "2.SIM Card Phone No"}, {"device", ""}, {"file", "+4912345"}}));
}

TEST_F(Cli, ARefusedFileExitsTwoAndNothingGoesOnTheWire) {
  const std::map<std::string, std::string> cp1251{{"TORVANE_CODEPAGE", "CP1251"}};
  struct TCase {
    const char* Name;
    std::function<std::vector<std::string>()> Args;
    std::string Says;
  };
  const std::vector<TCase> cases = {
      {"a settings index beyond its list",
       [&] {
         return std::vector<std::string>{"write", "settings",
                                         SettingsFile("p.json", [](TJson& p) { p[2]["index"] = 7; })};
       },
       "3.DIN1 Type: there is no item 7 in its list"},
      {"a profile text the code page cannot hold",
       [&] {
         return std::vector<std::string>{"write", "settings", EditedSheet("p.xlsx", true, {{6, 2, "café"}})};
       },
       "5.DIN1 Alarm Content: \"é\" cannot be written in the code page CP1251"},
      {"a list time past the day",
       [&] {
         return std::vector<std::string>{"write", "numbers",
                                         NumbersFile("n.json", {{{"serial", 3},
                                                                 {"number", "555"},
                                                                 {"start", "2024-05-06 24:00"},
                                                                 {"end", "2024-06-30 18:00"}}})};
       },
       "serial 3: the time \"24:00\" is no time"},
      {"a sheet number with a letter, provisioned",
       [&] {
         return std::vector<std::string>{"provision", "--settings", ChangedSettings(), "--numbers",
                                         EditedSheet("n.xls", false, {{4, 2, "+49 17O"}, {4, 7, "yes"}})};
       },
       "serial 3: the number \"+4917O\" holds \"O\""},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    device::TVirtualDevice& d = Device();
    const TRun run = On(d, c.Args(), cp1251);
    EXPECT_EQ(run.ExitCode, 2) << run.Err;
    EXPECT_NE(run.Err.find(c.Says), std::string::npos) << run.Err;
    EXPECT_EQ(d.Counters().Received, 0u);
    devices_.clear();
  }
}

TEST_F(Cli, CleanedNumbersAreSavedCleanAndSaidOnce) {
  device::TVirtualDevice& d = Device();
  const std::string file =
      NumbersFile("n.json", {{{"serial", 1}, {"number", "+49 170 1234567"}, {"always", true}},
                             {{"serial", 2}, {"number", "(030) 123"}, {"always", true}}});
  const TRun run = On(d, {"write", "numbers", file});
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  const std::string said = CleanedRowsText(2);
  const size_t at = run.Err.find(said);
  EXPECT_NE(at, std::string::npos) << run.Err;
  EXPECT_EQ(run.Err.find(said, at + 1), std::string::npos) << run.Err;
  EXPECT_EQ(NumberTexts(d)[0], "+491701234567| | |always");
  EXPECT_EQ(NumberTexts(d)[1], "030123| | |always");
}

// --merge adds the file to what the device holds: a number it names takes its window, a new one the
// first empty row, and the numbers the file does not name stay on the device. Only the changed page
// is written.
TEST_F(Cli, WriteMergeAddsTheFileToTheDevicesListByNumber) {
  device::TVirtualDevice& d = Device();
  ASSERT_EQ(On(d, {"write", "numbers",
                   NumbersFile("held.json", {{{"serial", 1}, {"number", "+491701234567"}, {"always", true}},
                                             {{"serial", 2}, {"number", "555"}, {"always", true}},
                                             {{"serial", 3},
                                              {"number", "666"},
                                              {"start", "2024-05-06 07:05"},
                                              {"end", "2024-06-30 18:00"}}})})
                .ExitCode,
            0);
  const std::string file = NumbersFile("add.json", {{{"serial", 1},
                                                     {"number", "0049 170 1234567"},
                                                     {"start", "2025-01-01 00:00"},
                                                     {"end", "2025-12-31 23:59"}},
                                                    {{"serial", 2}, {"number", "777"}, {"always", true}}});
  const TRun run = On(d, {"write", "numbers", file, "--merge", "--json"});
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_NE(run.Err.find(FillText(kNumbersMerged, {"1", "1", "0", "0"})), std::string::npos) << run.Err;
  const TJson result = TJson::parse(run.Out);
  EXPECT_EQ(result["result"], "ok");
  EXPECT_EQ(result["pages"], 1);
  EXPECT_EQ(result["added"], 1);
  EXPECT_EQ(result["updated"], 1);
  EXPECT_EQ(result["unchanged"], 0);
  EXPECT_EQ(result["not_placed"], 0);
  const std::vector<std::string> held = NumberTexts(d);
  EXPECT_EQ(held[0], "+491701234567|2025-01-01 00:00|2025-12-31 23:59|");
  EXPECT_EQ(held[1], "555| | |always");
  EXPECT_EQ(held[2], "666|2024-05-06 07:05|2024-06-30 18:00|");
  EXPECT_EQ(held[3], "777| | |always");
  EXPECT_EQ(held[4], "| | |");
}

TEST_F(Cli, VerifyAndDiffCompareTheFilesOwnValuesByValue) {
  const std::map<std::string, std::string> cp1251{{"TORVANE_CODEPAGE", "CP1251"}};
  device::TVirtualDevice& d = Device();
  const auto settings = [&](const std::string& name, const std::string& sim, const std::string& autoArm,
                            const std::string& alarm) {
    return SettingsFile(name, [&](TJson& p) {
      p[1]["value"] = sim;
      p[6]["value"] = autoArm;
      p[4]["value"] = alarm;
    });
  };
  ASSERT_EQ(On(d, {"write", "settings", settings("w.json", "+491701234567", "10", "cafй")}, cp1251).ExitCode,
            0);

  const TRun same =
      On(d, {"verify", "settings", settings("same.json", "+49 170 1234567", "010", "cafй")}, cp1251);
  EXPECT_EQ(same.ExitCode, 0) << same.Err;
  // The device holds "cafй" where the file says "café": the code page has no "é" to keep.
  const std::string accented = settings("cafe.json", "+491701234567", "10", "café");
  const TRun verify = On(d, {"verify", "settings", accented}, cp1251);
  EXPECT_EQ(verify.ExitCode, 4) << verify.Err;
  EXPECT_NE(verify.Err.find("1 parameters differ from " + accented + ": 5"), std::string::npos) << verify.Err;
  EXPECT_EQ(On(d, {"diff", "settings", accented}, cp1251).Out,
            "5.DIN1 Alarm Content: device \"cafй\", file \"café\"\n");
  // A value no device can keep is a difference too, not a refusal.
  const std::string beyond = SettingsFile("arm.json", [](TJson& p) { p[7]["index"] = 7; });
  EXPECT_EQ(On(d, {"verify", "settings", beyond}, cp1251).ExitCode, 4);

  const auto numbers = [&](const std::string& name, const std::string& number, const std::string& start) {
    return NumbersFile(name,
                       {{{"serial", 1}, {"number", number}, {"start", start}, {"end", "2024-06-30 18:00"}}});
  };
  ASSERT_EQ(On(d, {"write", "numbers", numbers("w.json", "+491701234567", "2024-05-06 07:05")}).ExitCode, 0);
  const TRun list = On(d, {"diff", "numbers", numbers("same.json", "+49 170 1234567", "2024/05/06 07:05")});
  EXPECT_EQ(list.ExitCode, 0) << list.Err;
  EXPECT_EQ(list.Out, "");
  EXPECT_EQ(On(d, {"verify", "numbers", numbers("later.json", "+491701234567", "2024-05-07 07:05")}).ExitCode,
            4);
}

TEST_F(Cli, ProvisionProgramsFourDevicesAtOnceAndReportsEach) {
  // The files come from a device of the installer's: its settings with a SIM number, 40 numbers.
  device::TVirtualDevice& source = Device({}, 40);
  auto settings = source.Settings();
  for (size_t i = 0; i < 8; ++i) settings[4 + i] = static_cast<uint8_t>("+4912345"[i]);
  source.SetSettings(settings);
  ASSERT_EQ(On(source, {"read", "settings", "-o", File("p.xlsx")}).ExitCode, 0);
  ASSERT_EQ(On(source, {"read", "numbers", "-o", File("n.xlsx")}).ExitCode, 0);

  std::vector<device::TVirtualDevice*> targets;
  for (int i = 0; i < 3; ++i) targets.push_back(&Device());
  targets.push_back(&Device({"refuse:cmd=write,region=numbers"}));
  std::vector<std::string> args{"provision",    "--settings",   File("p.xlsx"), "--numbers",
                                File("n.xlsx"), "--sync-time",  "--json",       "--report",
                                File("r.csv"),  "--backup-dir", File("b")};
  for (auto* t : targets) args.insert(args.end(), {"-p", t->PortPath()});
  const TRun run = Torvane(args);
  EXPECT_EQ(run.ExitCode, 1) << run.Err;

  std::map<std::string, TJson> results;
  for (const std::string& line : Lines(run.Out)) {
    const TJson j = TJson::parse(line);
    results[j["port"]] = j;
  }
  ASSERT_EQ(results.size(), 4u) << run.Out;
  const auto report = Lines(AsTheTestKnowsIt(ReadText(File("r.csv"))));
  ASSERT_EQ(report.size(), 5u);
  EXPECT_EQ(report[0], "port,result,status,pages,seconds,notes,sim\r");
  for (size_t i = 0; i < targets.size(); ++i) {
    SCOPED_TRACE(i);
    const bool failing = i == 3;
    const TJson& r = results[targets[i]->PortPath()];
    EXPECT_EQ(r["status"], failing ? 1 : 0);
    EXPECT_EQ(r["result"], failing ? kNumbersWriteRefused : "ok");
    // The settings page and the five pages that hold numbers; the refusing device took the settings.
    EXPECT_EQ(r["pages"], failing ? 2 : 6);
    EXPECT_EQ(report[i + 1].rfind(targets[i]->PortPath() + "," + r["result"].get<std::string>() + "," +
                                      std::to_string(r["status"].get<int>()) + "," +
                                      std::to_string(r["pages"].get<int>()) + ",",
                                  0),
              0u)
        << report[i + 1];
    // Each names the controller by the SIM number it holds now, the one it was given.
    EXPECT_EQ(r["sim"], "+4912345");
    EXPECT_TRUE(report[i + 1].ends_with(",+4912345\r")) << report[i + 1];
    EXPECT_EQ(targets[i]->Settings(), source.Settings());
    if (!failing) {
      EXPECT_EQ(NumberTexts(*targets[i]), NumberTexts(source));
    }
  }
}

TEST_F(Cli, FilesGoRoundFromOneDeviceToAnother) {
  device::TVirtualDevice& a = Device({}, 300);
  device::TVirtualDevice& b = Device();
  auto settings = a.Settings();
  const std::string alarm = "Tor offen";
  std::copy(alarm.begin(), alarm.end(), settings.begin() + 28);
  settings[28 + alarm.size()] = 0;
  a.SetSettings(settings);

  ASSERT_EQ(On(a, {"read", "settings", "-o", File("a.json")}).ExitCode, 0);
  const TRun write = On(b, {"write", "settings", File("a.json")});
  EXPECT_EQ(write.ExitCode, 0) << write.Err;
  const TRun diff = On(b, {"diff", "settings", File("a.json")});
  EXPECT_EQ(diff.ExitCode, 0) << diff.Err;
  EXPECT_EQ(diff.Out, "");
  // The same parameters (the bytes after a text's end may differ: they are not read).
  EXPECT_EQ(TJson::parse(On(b, {"read", "settings", "-o", "-"}).Out), TJson::parse(ReadText(File("a.json"))));

  // The number list through standard output, parsed back, then onto the second device.
  const TRun numbers = On(a, {"read", "numbers", "-o", "-"});
  ASSERT_EQ(numbers.ExitCode, 0) << numbers.Err;
  const TJson list = TJson::parse(numbers.Out);
  size_t held = 0;
  for (const std::string& t : NumberTexts(a)) held += t.rfind("|", 0) != 0;
  EXPECT_EQ(list["numbers"].size(), held);
  std::ofstream(File("n.json")) << numbers.Out;
  EXPECT_EQ(On(b, {"write", "numbers", File("n.json")}).ExitCode, 0);
  EXPECT_EQ(NumberTexts(b), NumberTexts(a));
  EXPECT_EQ(On(b, {"diff", "numbers", File("n.json")}).Out, "");

  // The event log, as JSON and as the window's comma-separated file.
  const TRun history = On(a, {"read", "history", "-o", "-"});
  ASSERT_EQ(history.ExitCode, 0) << history.Err;
  EXPECT_EQ(TJson::parse(history.Out)["records"].size(), 20u);
  EXPECT_EQ(On(a, {"read", "history", "-o", File("h.cvs")}).ExitCode, 0);
  EXPECT_EQ(Lines(ReadText(File("h.cvs"))).size(), 20u);
}

TEST_F(Cli, PortsAreTheWindowsAndAPortLeftOutMustBeTheOnlyOne) {
  struct TCase {
    std::vector<std::string> Ttys;
    std::string Ports;    // `ports` output
    std::string Without;  // what `sync-time` without -p says
  };
  const std::vector<TCase> cases = {
      {{"ttyUSB10", "ttyUSB1", "ttyS0", "tty0"}, "ttyS0\nttyUSB1\nttyUSB10\n", "several ports are listed"},
      {{}, "", "no serial port is listed"},
  };
  for (const TCase& c : cases) {
    TFakeSysfs sys;
    for (const std::string& tty : c.Ttys) {
      if (tty == "tty0")
        sys.Add(tty, "");
      else if (tty == "ttyS0")
        sys.Add(tty, "platform/serial8250", 4);
      else
        sys.AddUsb(tty);
    }
    const std::map<std::string, std::string> env{{"TORVANE_SYSTEM_ROOT", sys.Root()}};
    const TRun ports = Torvane({"ports"}, env);
    EXPECT_EQ(ports.ExitCode, 0);
    EXPECT_EQ(ports.Out, c.Ports);
    const TRun json = Torvane({"ports", "--json"}, env);
    for (const std::string& line : Lines(json.Out))
      EXPECT_EQ(TJson::parse(line)["path"], "/dev/" + TJson::parse(line)["port"].get<std::string>());
    const TRun without = Torvane({"sync-time"}, env);
    EXPECT_EQ(without.ExitCode, 2);
    EXPECT_NE(without.Err.find(c.Without), std::string::npos) << without.Err;
  }
}

TEST_F(Cli, TheTraceHidesThePasswordUnlessAskedTo) {
  device::TVirtualDevice& d = Device();
  for (const bool secrets : {false, true}) {
    SCOPED_TRACE(secrets);
    const std::string trace = File(secrets ? "open.txt" : "hidden.txt");
    std::vector<std::string> args{"sync-time", "--trace", trace};
    if (secrets) args.push_back("--trace-secrets");
    ASSERT_EQ(On(d, args).ExitCode, 0);
    const auto lines = Lines(ReadText(trace));
    ASSERT_EQ(lines.size(), 4u);  // the login's request and reply, the time sync's
    // The login's reply is settings page 1: its first four bytes are the password 6853.
    EXPECT_NE(lines[1].find("<DEV 131 read   0x00000000 len 256"), std::string::npos) << lines[1];
    EXPECT_EQ(lines[1].find("36 38 35 33") != std::string::npos, secrets) << lines[1];
    EXPECT_EQ(lines[1].find("** ** ** **") != std::string::npos, !secrets) << lines[1];
    // With the passwords in it, the file is its owner's alone, whatever the umask (on Linux: a Windows
    // file is as private as the folder it is in).
    if (secrets && !WineExe()) {
      EXPECT_EQ(fs::status(trace).permissions() & fs::perms::all,
                fs::perms::owner_read | fs::perms::owner_write);
    }
  }
}

TEST_F(Cli, ASignalStopsAfterThePageInFlightAndReleasesThePort) {
  device::TVirtualDevice& d = Device({"late:cmd=read,region=numbers,page=5,delay=200"}, 3000);
  TChild child;
  ASSERT_TRUE(child.Start(TORVANE_CLI_PROGRAM, {"-p", d.PortPath(), "--backup-dir", File("b"), "read",
                                                "numbers", "-o", File("n.json")}));
  // The login and four pages are in; the fifth is on its way.
  ASSERT_TRUE(d.WaitFor([](const device::TDeviceCounters& c) { return c.Received >= 6; }));
  child.Signal(SIGINT);
  const TRun run = child.Finish();
  EXPECT_EQ(run.ExitCode, 1) << run.Err;
  EXPECT_NE(run.Err.find("Stopped after page 5 of 375."), std::string::npos) << run.Err;
  EXPECT_FALSE(fs::exists(File("n.json")));

  // Not left exclusive (root would open it all the same, so the mark itself is looked at).
  const int fd = ::open(d.PortPath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(fd, 0) << std::strerror(errno);
  int exclusive = -1;
  EXPECT_EQ(::ioctl(fd, TIOCGEXCL, &exclusive), 0) << std::strerror(errno);
  EXPECT_EQ(exclusive, 0);
  ::close(fd);
  TQueueNotifyTarget target;
  TComm comm(target);
  comm.SetCommName(d.PortPath());
  comm.SetBaudRate(115200);
  EXPECT_NO_THROW(comm.OpenPort());
  EXPECT_TRUE(comm.PortOpen()) << comm.PortOpenError();
}

// The lead moves to another controller between the login and the save: the result line says so, and
// the other controller holds the file.
TEST_F(Cli, ASaveOntoAnotherControllerThanTheLoginSawSaysSo) {
  device::TVirtualDevice& d = Device({"moved:nth=2,seed=9"});
  const TRun run = On(d, {"write", "settings", ChangedSettings(), "--json"});
  EXPECT_EQ(run.ExitCode, 0) << run.Err;
  const TJson result = TJson::parse(run.Out);
  EXPECT_EQ(result["result"], "ok");
  EXPECT_EQ(result["notes"], TJson::array({kOtherDeviceBackedUp}));
  EXPECT_NE(run.Err.find(std::string(kSettingsWriteDone) + " " + kOtherDeviceBackedUp), std::string::npos)
      << run.Err;
  EXPECT_EQ(SimNumberOf(std::span<const uint8_t, 256>(d.Settings().data(), 256)), "+4912345");
}

// Two quick signals are one request: the save still ends after the page in flight, and says what it
// did. Requests: the login's page 1, the backup's pages 1 to 3, the write of page 1, its read-back.
TEST_F(Cli, TwoQuickSignalsStopASaveAtThePassItIsIn) {
  const struct {
    const char* Name;
    const char* Late;   // the request in flight when the signals come
    uint64_t InFlight;  // requests the device has taken by then
    int Exit;
    const char* Says;
    bool Saved;
  } cases[] = {
      {"the backup's last page", "late:cmd=read,region=settings,page=3,delay=500", 4, 1,
       "Stopped after page 3 of 3. That was the backup read before the save: nothing was written", false},
      {"the last read-back", "late:cmd=read,region=settings,page=1,nth=3,delay=500", 6, 0, kSettingsWriteDone,
       true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    device::TVirtualDevice& d = Device({c.Late});
    const auto before = d.Settings();
    TChild child;
    ASSERT_TRUE(child.Start(TORVANE_CLI_PROGRAM, {"-p", d.PortPath(), "--backup-dir", File("b"), "write",
                                                  "settings", ChangedSettings()}));
    ASSERT_TRUE(d.WaitFor([&](const device::TDeviceCounters& n) { return n.Received >= c.InFlight; }));
    child.Signal(SIGINT);
    child.Signal(SIGTERM);
    const TRun run = child.Finish();
    EXPECT_EQ(run.ExitCode, c.Exit) << run.Err;
    EXPECT_NE(run.Err.find(c.Says), std::string::npos) << run.Err;
    EXPECT_EQ(d.Settings() != before, c.Saved);
    EXPECT_EQ(d.Counters().Received, c.InFlight);  // nothing went out after the page in flight
  }
}

}  // namespace
}  // namespace torvane::testing
