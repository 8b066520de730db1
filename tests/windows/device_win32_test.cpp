// SPDX-License-Identifier: GPL-3.0-or-later
// The whole program logic on Windows against virtual devices on Linux: the session on the Win32 serial
// component, through COM ports of the wine prefix that scripts/wine-devices maps onto the devices'
// pseudo-terminals. What the device holds is known from its sample contents (the same Populate the
// device program runs), and what a save left there is read back by a second session.
//   TORVANE_TEST_COM_TABLES     torvane-device --populate numbers=300,history=120 --seed 7
//   TORVANE_TEST_COM_<FAULT>    the same with --fault <fault>:cmd=read,region=numbers,page=2,count=3
//                               (SILENCE, BAD_CHECKSUM, LATE with delay=1000, DUPLICATE, WRONG_PAGE)
//   TORVANE_TEST_COM_FORGET     the same with --fault forget:cmd=write,region=numbers,page=2
// The reply timer runs on a manual clock: a reply that does not come within a moment of real time is
// missing, and the timer is moved on.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "device/device_memory.h"
#include "history/history_record.h"
#include "numbers/number_record.h"
#include "protocol/exchange.h"
#include "serial/comm.h"
#include "session/session.h"
#include "settings/settings_codec.h"
#include "settings/settings_table.h"
#include "support/fakes.h"
#include "support/history_grid.h"
#include "support/pump.h"

namespace torvane::testing {
namespace {

using Texts = std::vector<std::string>;
namespace fs = std::filesystem;

constexpr int kNumbers = 300, kHistory = 120;
constexpr uint32_t kSeed = 7;

std::string Env(const std::string& name) {
  const char* v = std::getenv(name.c_str());
  return v ? v : "";
}

// What the device started with.
const device::TDeviceMemory& Expected() {
  static const device::TDeviceMemory memory = [] {
    device::TDeviceMemory m = device::TDeviceMemory::Factory();
    device::Populate(m, kNumbers, kHistory, kSeed);
    return m;
  }();
  return memory;
}

// A session on a COM port, as the window runs one.
class TPortSession {
 public:
  explicit TPortSession(const std::string& port) : Comm(Target) {
    Comm.OnReceiveData = [this](TComm&, const char* buffer, uint16_t length) {
      Session->cm1ReceiveData(reinterpret_cast<const uint8_t*>(buffer), length);
    };
    Session = std::make_unique<TSession>(TSessionInterfaces{Comm, Operator, StatusView, Timers, Clock});
    Session->PortName = port;
    Session->BackupDir = (fs::path(::testing::TempDir()) / "torvane-wine-backups").string() + "\\";
    Comm.SetCommName(port);
    Comm.SetBaudRate(115200);
    Comm.OpenPort();
  }
  ~TPortSession() {
    Session.reset();
    Comm.ClosePort();
  }

  TExchange& Exchange() { return Session->Exchange; }

  // Runs the started transfer to its end; a reply that does not come within quietMs is missing.
  bool RunToEnd(int quietMs = 150, int timeoutMs = 60000) {
    return PumpUntilIdleAdvancing(Target, Exchange(), Timers, timeoutMs, quietMs);
  }
  // Lets what is still on its way arrive (and be dropped).
  void Drain(int quietMs) { DrainFor(Target, quietMs); }
  // Starts `transfer`, runs it to its end and returns the boxes it showed.
  Texts Run(const std::function<void()>& transfer, int quietMs = 150) {
    Operator.Messages.clear();
    transfer();
    EXPECT_TRUE(RunToEnd(quietMs)) << "the transfer never ended";
    return Operator.Messages;
  }
  bool LogIn() {
    Session->PasswordText = "6853";
    return Run([this] { Session->Login.BeginLogin(); }) == Texts{"Password confirmed!"};
  }

  TQueueNotifyTarget Target;
  TComm Comm;
  TFakeOperator Operator;
  TFakeStatusView StatusView;
  TManualClock Timers;
  TFixedClock Clock{{2026, 12, 7, 18, 30, 5}};
  std::unique_ptr<TSession> Session;
};

// The settings grid for the given memory, by the program's own decoder.
std::vector<std::string> SettingsRows(std::span<const uint8_t, device::kSettingsSize> pages) {
  TGrid grid{3, 29};
  TSettingsLists lists;
  SetUpSettingsGrid(grid, lists);
  for (int page = 1; page <= 3; ++page)
    for (const TSettingDef& param : SettingsTable())
      DecodeSettingOnPage(param, page,
                          std::span<const uint8_t, kSettingsPageSize>(pages.data() + (page - 1) * 256, 256),
                          grid, lists, TCodePage::System());
  std::vector<std::string> rows;
  for (int row = 1; row <= 28; ++row) {
    const TListChoice* list = lists.ForRow(row);
    rows.push_back(list ? "list:" + std::to_string(list->ItemIndex) : grid.Cell(kContentCol, row));
  }
  return rows;
}
std::vector<std::string> SettingsRows(TSession& s) {
  std::vector<std::string> rows;
  for (int row = 1; row <= 28; ++row) {
    const TListChoice* list = s.SettingsLists.ForRow(row);
    rows.push_back(list ? "list:" + std::to_string(list->ItemIndex) : s.SettingsGrid.Cell(kContentCol, row));
  }
  return rows;
}

std::string NumberRow(const TGrid& g, int row) {
  std::string all;
  for (int col = kColNumber; col <= kColAlways; ++col) all += g.Cell(col, row) + "|";
  return all;
}
std::string NumberRow(const TNumberRecordText& t) {
  return t.Number + "|" + t.StartDate + "|" + t.StartTime + "|" + t.EndDate + "|" + t.EndTime + "|" +
         (t.Always ? kMarkYes : kMarkNo) + "|";
}

// Every row of the number grid against the device's records, with `changed` taking the place of
// the record at row `changedRow` (0: none).
void ExpectNumbers(const TGrid& g, const device::TDeviceMemory& m, int changedRow = 0,
                   const std::string& changed = "") {
  int filled = 0;
  for (int row = 1; row <= 3000; ++row) {
    const std::string want =
        row == changedRow ? changed : NumberRow(DecodeNumberRecord(m.NumberRecord(row - 1).data()));
    ASSERT_EQ(NumberRow(g, row), want) << "row " << row;
    filled += !g.Cell(kColNumber, row).empty();
  }
  EXPECT_EQ(filled, kNumbers);
}

#define PORT_OR_SKIP(var)            \
  const std::string port = Env(var); \
  if (port.empty()) GTEST_SKIP() << (var) << " names no port"

// Login, a read of each table, and a one-change safe save of the settings and of the number list,
// which a second session then finds on the device.
TEST(DeviceWin32, EachTableReadsAndSavesThroughACommPort) {
  PORT_OR_SKIP("TORVANE_TEST_COM_TABLES");
  const device::TDeviceMemory& m = Expected();
  std::string savedRow;
  std::vector<std::string> savedSettings;
  {
    TPortSession p(port);
    ASSERT_TRUE(p.Comm.PortOpen()) << p.Comm.PortOpenError();
    ASSERT_TRUE(p.LogIn()) << ::testing::PrintToString(p.Operator.Messages);
    TSession& s = *p.Session;
    EXPECT_EQ(s.SimNumber, SettingsRows(m.Settings)[1]);

    EXPECT_EQ(p.Run([&] { s.Settings.StartRead(); }), Texts{"Basic settings read to PC software success."});
    EXPECT_EQ(SettingsRows(s), SettingsRows(m.Settings));
    EXPECT_EQ(p.Run([&] { s.Numbers.StartRead(); }),
              Texts{"Authorized number list read to PC software success."});
    ExpectNumbers(s.NumberGrid, m);
    EXPECT_EQ(p.Run([&] { s.History.StartRead(); }), Texts{"Historical data read to PC software success."});
    ExpectCompactedHistory(s.HistoryGrid, m.History.data());
    if (HasFatalFailure()) return;

    s.SettingsGrid.SetCell(kContentCol, 18, "10.9.8.7");
    savedSettings = SettingsRows(s);
    EXPECT_EQ(p.Run([&] { s.Settings.StartSave(); }), Texts{"Basic setting saved success"});
    s.NumberGrid.SetCell(kColNumber, 12, "+4930123456");
    savedRow = NumberRow(s.NumberGrid, 12);
    EXPECT_EQ(p.Run([&] { s.Numbers.StartSave(); }), Texts{"Authorized number list saved success"});
  }
  TPortSession again(port);
  ASSERT_TRUE(again.LogIn());
  TSession& s = *again.Session;
  EXPECT_EQ(again.Run([&] { s.Settings.StartRead(); }), Texts{"Basic settings read to PC software success."});
  EXPECT_EQ(SettingsRows(s), savedSettings);
  EXPECT_EQ(SettingsRows(s)[17], "10.9.8.7");
  EXPECT_EQ(again.Run([&] { s.Numbers.StartRead(); }),
            Texts{"Authorized number list read to PC software success."});
  ExpectNumbers(s.NumberGrid, m, 12, savedRow);
}

// A fault on every try of page 2 of a number-list read: the read ends with the box that says why (or
// copes), and the next read gets every record right.
struct TFaultCase {
  const char* Env;
  Texts Shown;  // empty: the read copes and succeeds
  // A reply missing for QuietMs is missing; after the read, what is still on its way arrives within
  // DrainMs of the one before it.
  int QuietMs = 150;
  int DrainMs = 300;
};

class FaultsWin32 : public ::testing::TestWithParam<TFaultCase> {};

TEST_P(FaultsWin32, ANumberListReadEndsWithItsBoxAndTheNextReadSucceeds) {
  const TFaultCase& c = GetParam();
  PORT_OR_SKIP(std::string("TORVANE_TEST_COM_") + c.Env);
  const Texts success{"Authorized number list read to PC software success."};
  TPortSession p(port);
  ASSERT_TRUE(p.Comm.PortOpen()) << p.Comm.PortOpenError();
  ASSERT_TRUE(p.LogIn());
  TSession& s = *p.Session;
  const uint64_t before = p.Exchange().SendCount();
  const Texts shown = p.Run([&] { s.Numbers.StartRead(); }, c.QuietMs);
  EXPECT_EQ(shown, c.Shown.empty() ? success : c.Shown);
  if (!c.Shown.empty()) {
    // Page 1, then the three tries of page 2, and nothing after them.
    EXPECT_EQ(p.Exchange().SendCount() - before, 1 + TExchange::kTries);
    EXPECT_EQ(NumberRow(s.NumberGrid, 1), NumberRow(DecodeNumberRecord(Expected().NumberRecord(0).data())));
  }
  p.Drain(c.DrainMs);  // late replies come and are dropped
  EXPECT_EQ(p.Operator.Messages, shown);
  EXPECT_EQ(p.Run([&] { s.Numbers.StartRead(); }), success);
  ExpectNumbers(s.NumberGrid, Expected());
}

INSTANTIATE_TEST_SUITE_P(Subset, FaultsWin32,
                         // The device answers one request at a time: the three late replies (1 s each) leave
                         // one after the other, the first after the last try has given up.
                         ::testing::Values(TFaultCase{"SILENCE", {"Receive timeout"}},
                                           TFaultCase{"BAD_CHECKSUM", {"Invalid data"}},
                                           TFaultCase{"LATE", {"Receive timeout"}, 100, 1300},
                                           TFaultCase{"DUPLICATE", {}},
                                           TFaultCase{"WRONG_PAGE", {"Receive timeout"}}),
                         [](const auto& info) { return std::string(info.param.Env); });

// A write the device acknowledges but forgets: the read-back names it, and the next save mends it.
TEST(DeviceWin32, AForgottenWriteIsFoundAndTheNextSaveMendsIt) {
  PORT_OR_SKIP("TORVANE_TEST_COM_FORGET");
  TPortSession p(port);
  ASSERT_TRUE(p.LogIn());
  TSession& s = *p.Session;
  ASSERT_EQ(p.Run([&] { s.Numbers.StartRead(); }),
            Texts{"Authorized number list read to PC software success."});
  s.NumberGrid.SetCell(kColNumber, 10, "+8613900000010");  // page 2
  const std::string row = NumberRow(s.NumberGrid, 10);
  const Texts shown = p.Run([&] { s.Numbers.StartSave(); });
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].rfind("The device did not keep", 0), 0u) << shown[0];
  EXPECT_EQ(p.Run([&] { s.Numbers.StartSave(); }), Texts{"Authorized number list saved success"});
  EXPECT_EQ(p.Run([&] { s.Numbers.StartRead(); }),
            Texts{"Authorized number list read to PC software success."});
  ExpectNumbers(s.NumberGrid, Expected(), 10, row);
}

}  // namespace
}  // namespace torvane::testing
