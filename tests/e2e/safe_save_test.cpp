// SPDX-License-Identifier: GPL-3.0-or-later
// The safe save against the virtual device over a pseudo-terminal: what goes over the wire for each
// kind of change, what a device that forgets a write earns, backups kept and restored byte for byte,
// Stop in the middle of a read and of a save, and the lead moved on to another controller between a
// read and a save.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "device/settings_layout.h"
#include "files/backup_file.h"
#include "numbers/number_record.h"
#include "protocol/protocol_texts.h"
#include "support/e2e_harness.h"
#include "support/held_by_value.h"

namespace torvane::testing {
namespace {

using Texts = std::vector<std::string>;
namespace fs = std::filesystem;

// Requests the session put on the wire, repeats included.
struct TWire {
  int Reads = 0, Writes = 0;
  std::vector<int> WrittenPages;  // number-list pages, 1-based
};

class SafeSave : public ::testing::Test {
 protected:
  void SetUp() override {
    backups_ =
        fs::path(::testing::TempDir()) / ("backups-" + std::to_string(::getpid()) + "-" +
                                          ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(backups_);
    ASSERT_TRUE(H.Start()) << H.Problem();
    H.Session().BackupDir = backups_.string() + "/";
    H.Exchange().OnFrameSent = [this](std::span<const uint8_t> f) {
      if (f[1] == CMD_READ) ++wire_.Reads;
      if (f[1] == CMD_WRITE) {
        ++wire_.Writes;
        const uint32_t address = uint32_t{f[2]} << 24 | uint32_t{f[3]} << 16 | uint32_t{f[4]} << 8 | f[5];
        wire_.WrittenPages.push_back(static_cast<int>((address - kNumbersBase) / kPageSpan) + 1);
      }
    };
    ASSERT_TRUE(H.LogIn("6853"));
    H.Operator.Messages.clear();
    Take();
  }
  void TearDown() override { fs::remove_all(backups_); }

  TSession& S() { return H.Session(); }
  TGrid& Grid() { return S().NumberGrid; }
  TWire Take() {
    TWire w = wire_;
    wire_ = {};
    return w;
  }
  Texts Run(std::function<void()> start) {
    H.Operator.Messages.clear();
    start();
    EXPECT_TRUE(H.PumpUntilIdle(60000));
    return H.Operator.Messages;
  }
  Texts ReadList() {
    return Run([this] { S().Numbers.StartRead(); });
  }
  Texts SaveList() {
    return Run([this] { S().Numbers.StartSave(); });
  }
  void SetNumber(int row, const std::string& number) {
    Grid().SetCell(kColNumber, row, number);
    Grid().SetCell(kColAlways, row, kMarkYes);
    Grid().SetCell(kColDelete, row, kMarkNo);
  }
  std::vector<std::string> Backups(const char* table) { return BackupsOf(backups_.string(), table); }

  TE2eHarness H;
  fs::path backups_;
  TWire wire_;
};

const char* const kSaved = "Authorized number list saved success";
const char* const kRead = "Authorized number list read to PC software success.";

// After a read, each kind of edit costs only its own pages, each written once and read back once.
TEST_F(SafeSave, AfterAReadOnlyThePagesThatChangeAreWrittenAndReadBack) {
  H.Device.Populate(120, 0, 3);
  struct TCase {
    const char* Name;
    std::function<void(TGrid&)> Edit;
    std::vector<int> Pages;
    bool Asked;  // the summary before the save
  };
  const TCase cases[] = {
      {"no change", [](TGrid&) {}, {}, false},
      {"one number", [](TGrid& g) { g.SetCell(kColNumber, 50, "+4930123456"); }, {7}, false},
      {"a delete mark on a number the device holds",
       [](TGrid& g) { g.SetCell(kColDelete, 100, kMarkYes); },
       {13},
       true},
      {"two rows on two pages",
       [](TGrid& g) {
         g.SetCell(kColNumber, 1, "111");
         g.SetCell(kColNumber, 3000, "3000");
         g.SetCell(kColAlways, 3000, kMarkYes);
       },
       {1, 375},
       false},
  };
  ASSERT_EQ(ReadList(), Texts{kRead});
  // The read is kept: the backup holds the device's pages byte for byte.
  ASSERT_EQ(Backups("numbers").size(), 1u);
  EXPECT_EQ(LoadBackup(Backups("numbers")[0]).Pages, H.Device.Numbers());
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    c.Edit(Grid());
    Take();
    H.Operator.Questions.clear();
    EXPECT_EQ(SaveList(), Texts{kSaved});
    const TWire w = Take();
    EXPECT_EQ(w.WrittenPages, c.Pages);
    // The probe (the device's name first, then at most six pages besides those written: where the
    // list begins and ends, where the last save wrote), then the reading back.
    const std::vector<int32_t>& probe = S().Numbers.ProbeAddresses();
    ASSERT_FALSE(probe.empty());
    EXPECT_EQ(probe.front(), kSettingsBase);
    for (int page : c.Pages)
      EXPECT_NE(std::find(probe.begin(), probe.end(), TtelephoneSend::PageAddressOf(page)), probe.end());
    EXPECT_LE(probe.size(), 7 + c.Pages.size());
    EXPECT_EQ(w.Reads, static_cast<int>(probe.size() + c.Pages.size()));
    EXPECT_EQ(H.Operator.Questions.size(), c.Asked ? 1u : 0u);
    EXPECT_EQ(S().NumberChanges.ChangedRows(), 0);
  }
  // What the grid holds is what the device holds.
  for (int row : {1, 50, 100, 3000})
    EXPECT_EQ(DecodeNumberRecord(H.Device.NumberRecord(row - 1).data()).Number,
              Grid().Cell(kColDelete, row) == kMarkYes ? "" : Grid().Cell(kColNumber, row))
        << row;
}

// The installer reads controller A, moves the lead to controller B without closing the port and
// saves: nothing on the wire tells of it, and B must end up holding the grid all the same, with the
// box saying B was backed up first.
TEST_F(SafeSave, AfterTheLeadMovesToAnotherControllerTheSaveLeavesItHoldingTheGrid) {
  struct TCase {
    const char* Name;
    bool Settings;          // else the number list
    bool Change;            // a change made in the grid before the save
    uint32_t Seed;          // B: factory-fresh (0) or another list of its own
    bool SameName = false;  // A's settings page is B's (both factory): only the list tells them apart
  };
  const TCase cases[] = {
      {"numbers, no change, factory-fresh B", false, false, 0},
      {"numbers, one change, factory-fresh B", false, true, 0},
      {"numbers, no change, B with another list", false, false, 7},
      {"numbers, one change, B with another list", false, true, 7},
      {"settings, no change, factory-fresh B", true, false, 0},
      {"settings, one change, B with its own SIM", true, true, 7},
      {"numbers, no change, factory-fresh B named as A", false, false, 0, true},
  };
  H.Device.Populate(3000, 0, 3);
  auto settings = H.Device.Settings();
  std::copy_n("+8613800000001", 14, settings.begin() + 4);
  H.Device.SetSettings(settings);
  ASSERT_TRUE(H.LogIn("6853"));
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    H.Device.ClearFaults();
    if (c.SameName) {
      H.Device.SetSettings(device::FactorySettings());
      ASSERT_TRUE(H.LogIn("6853"));
    }
    if (c.Settings) {
      ASSERT_EQ(Run([this] { S().Settings.StartRead(); }),
                Texts{"Basic settings read to PC software success."});
      if (c.Change) S().SettingsGrid.SetCell(kContentCol, 13, "Gate open");
    } else {
      ASSERT_EQ(ReadList(), Texts{kRead});
      if (c.Change) SetNumber(1234, "+4930555123456");
    }
    // From the next request on, the lead is on B.
    const device::TFault moved{.Kind = device::TFaultKind::Moved, .MovedSeed = c.Seed};
    H.Device.AddFault(moved);
    const Texts shown = c.Settings ? Run([this] { S().Settings.StartSave(); }) : SaveList();
    const std::string done = c.Settings ? "Basic setting saved success" : kSaved;
    EXPECT_EQ(shown, Texts{done + "\n" + kOtherDeviceBackedUp});
    // B holds what the grid shows, by value.
    if (c.Settings)
      EXPECT_EQ(SettingsNotHeld(H.Device.Settings(), S().SettingsGrid, S().SettingsLists),
                std::vector<std::string>{});
    else
      EXPECT_EQ(NumbersNotHeld(H.Device.Numbers(), Grid()), std::vector<int>{});
    EXPECT_EQ(S().NumberChanges.ChangedRows(), 0);
    // This save's backup holds B as it was, and names B by its SIM number, not A.
    const std::string& kept = c.Settings ? S().Settings.LastBackup() : S().Numbers.LastBackup();
    ASSERT_FALSE(kept.empty());
    const TBackup backup = LoadBackup(kept);
    const auto b = device::MovedMemory(moved);
    EXPECT_EQ(backup.Sim, SimNumberOf(std::span<const uint8_t, 256>(b.Settings.data(), 256)));
    EXPECT_EQ(backup.Pages,
              c.Settings ? std::vector<uint8_t>(b.Settings.begin(), b.Settings.end()) : b.Numbers);
    EXPECT_NE(fs::path(kept).filename().string().find(c.Seed ? "_86139" : "_nosim_"), std::string::npos)
        << kept;
    // A's settings again for the next case.
    H.Device.SetSettings(settings);
    ASSERT_TRUE(H.LogIn("6853"));
  }
}

TEST_F(SafeSave, AnImportOntoAFreshDeviceIsBackedUpAndWritesOnlyItsPages) {
  for (int row = 1; row <= 200; ++row) SetNumber(row, "+49" + std::to_string(300000 + row));
  EXPECT_EQ(SaveList(), Texts{kSaved});
  const TWire w = Take();
  // The backup read of all 375 pages, 25 pages written, those 25 read back.
  EXPECT_EQ(w.Reads, 375 + 25);
  EXPECT_EQ(w.Writes, 25);
  ASSERT_EQ(Backups("numbers").size(), 1u);
  const TBackup backup = LoadBackup(Backups("numbers")[0]);
  EXPECT_EQ(backup.Pages, std::vector<uint8_t>(375 * 256, 0xFF));  // the factory-fresh list
  EXPECT_EQ(backup.Port, H.Device.PortPath());
  for (int row = 1; row <= 200; ++row)
    ASSERT_EQ(DecodeNumberRecord(H.Device.NumberRecord(row - 1).data()).Number,
              "+49" + std::to_string(300000 + row));
  for (uint8_t b : H.Device.NumberRecord(200)) ASSERT_EQ(b, 0xFF);  // row 201 stays as it was
}

TEST_F(SafeSave, ADeviceThatForgetsAWriteIsReportedNeverCalledASuccess) {
  ASSERT_EQ(ReadList(), Texts{kRead});
  H.Device.AddFault({.Kind = device::TFaultKind::Forget,
                     .Command = CMD_WRITE,
                     .Region = device::TRegion::Numbers,
                     .Page = 2});
  SetNumber(1, "101");
  SetNumber(9, "109");
  SetNumber(10, "110");
  const Texts shown = SaveList();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_NE(shown[0], kSaved);
  EXPECT_NE(shown[0].find(": 9, 10."), std::string::npos) << shown[0];
  EXPECT_EQ(S().Numbers.Outcome(), TTransferOutcome::NotKept);
  // The device's real state is what was read back: the two rows still differ, and are marked.
  EXPECT_EQ(S().NumberChanges.ChangedRows(), 2);
  EXPECT_TRUE(S().NumberChanges.Changed(kColNumber, 9));
  // Without the fault the next save writes just that page.
  H.Device.ClearFaults();
  Take();
  EXPECT_EQ(SaveList(), Texts{kSaved});
  EXPECT_EQ(Take().WrittenPages, (std::vector<int>{2}));
}

TEST_F(SafeSave, ABackupRestoredAndSavedGivesTheDeviceBackItsBytes) {
  H.Device.Populate(300, 0, 8);
  const std::vector<uint8_t> before = H.Device.Numbers();
  ASSERT_EQ(ReadList(), Texts{kRead});
  ASSERT_EQ(Backups("numbers").size(), 1u);
  const std::string kept = Backups("numbers")[0];

  for (int row = 1; row <= 300; row += 7) SetNumber(row, "99" + std::to_string(row));
  Grid().SetCell(kColDelete, 2, kMarkYes);
  ASSERT_EQ(SaveList(), Texts{kSaved});
  ASSERT_NE(H.Device.Numbers(), before);
  Take();

  H.Operator.FileAnswers.push_back(kept);
  S().RestoreNumbersBackup();
  EXPECT_EQ(H.Operator.FileFolders.back(), S().BackupDirectory());
  EXPECT_TRUE(H.Operator.Errors.empty()) << H.Operator.Errors[0];
  EXPECT_EQ(Grid().Cell(kColNumber, 8), DecodeNumberRecord(before.data() + 7 * 32).Number);
  EXPECT_EQ(Take().Writes, 0);  // restoring writes nothing
  ASSERT_EQ(SaveList(), Texts{kSaved});
  EXPECT_TRUE(H.Device.Numbers() == before) << "the device does not hold its earlier bytes";
}

TEST_F(SafeSave, StopEndsAReadAfterThePageInFlight) {
  H.Device.Populate(3000, 0, 2);
  for (int row = 1; row <= 3000; ++row) Grid().SetCell(kColNumber, row, "old");
  const uint64_t handled = H.Device.Counters().Handled;
  S().Numbers.StartRead();
  ASSERT_TRUE(H.PumpUntil([&] { return H.Device.Counters().Handled >= handled + 10; }));
  S().Numbers.Stop();
  ASSERT_TRUE(H.PumpUntilIdle());
  ASSERT_EQ(H.Operator.Messages.size(), 1u);
  const std::string& box = H.Operator.Messages[0];
  EXPECT_EQ(box.rfind("Stopped after page ", 0), 0u) << box;
  EXPECT_NE(box.find(" of 375."), std::string::npos) << box;
  const int k = std::stoi(box.substr(std::string("Stopped after page ").size()));
  // The grid keeps the pages decoded, and nothing beyond them; nothing more was asked.
  EXPECT_EQ(Grid().Cell(kColNumber, k * 8),
            DecodeNumberRecord(H.Device.NumberRecord(k * 8 - 1).data()).Number);
  EXPECT_EQ(Grid().Cell(kColNumber, k * 8 + 1), "old");
  EXPECT_EQ(Take().Reads, k);
  EXPECT_FALSE(S().Numbers.Device.Known());
  EXPECT_TRUE(Backups("numbers").empty());  // no complete read, no backup
}

TEST_F(SafeSave, StopEndsASaveAfterThePageInFlightAndSaysWhatTheDeviceHolds) {
  H.Device.Populate(3000, 0, 2);
  const std::vector<uint8_t> before = H.Device.Numbers();
  for (int row = 1; row <= 3000; ++row) SetNumber(row, std::to_string(10000 + row));
  const uint64_t handled = H.Device.Counters().Handled;
  S().Numbers.StartSave();
  // The backup read, then a few of the writes.
  ASSERT_TRUE(H.PumpUntil([&] { return H.Device.Counters().Handled >= handled + 375 + 5; }));
  S().Numbers.Stop();
  ASSERT_TRUE(H.PumpUntilIdle());
  ASSERT_EQ(H.Operator.Messages.size(), 1u);
  const std::string& box = H.Operator.Messages[0];
  const int k = std::stoi(box.substr(std::string("Stopped after page ").size()));
  EXPECT_NE(box.find(" of 375. The device now holds the first " + std::to_string(k) +
                     " pages sent of the new number list and the rest of the old one."),
            std::string::npos)
      << box;
  ASSERT_EQ(Backups("numbers").size(), 1u);
  EXPECT_NE(box.find(Backups("numbers")[0]), std::string::npos) << box;
  const std::vector<uint8_t> now = H.Device.Numbers();
  const size_t written = static_cast<size_t>(k) * 256;
  EXPECT_FALSE(std::equal(now.begin(), now.begin() + written, before.begin()));
  EXPECT_TRUE(std::equal(now.begin() + written, now.end(), before.begin() + written));
  EXPECT_EQ(Take().Writes, k);
}

}  // namespace
}  // namespace torvane::testing
