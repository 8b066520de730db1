// Data integrity over many round trips through the virtual device: a fully populated number list and
// the settings are saved and read back a hundred times each, and after every cycle the grid, the
// device's memory and what was read back agree to the byte. A configurator that drifts or corrupts
// an authorized-number list locks people out of their gates.
#include <gtest/gtest.h>

#include <array>
#include <span>
#include <string>
#include <vector>

#include "numbers/number_record.h"
#include "settings/settings_codec.h"
#include "support/e2e_harness.h"

namespace torvane::testing {
namespace {

constexpr int kCycles = 100;

std::string TwoDigits(int v) {
  return (v < 10 ? "0" : "") + std::to_string(v);
}

// Every row of the list in use, the rows' kinds and values changing with the cycle.
void FillNumbers(TGrid& g, int cycle) {
  TGridUpdate batch(g);
  for (int row = 1; row <= 3000; ++row) {
    const int k = row + cycle * 7;
    std::string number = (k % 4 ? "+" : "") + std::to_string(100000000LL + 7919LL * k + cycle);
    if (row % 97 == 0) number = std::string(22, static_cast<char>('0' + cycle % 10));  // a full field
    g.SetCell(kColNumber, row, number);
    g.SetCell(kColDelete, row, kMarkNo);
    const bool always = k % 3 == 0;
    g.SetCell(kColAlways, row, always ? kMarkYes : kMarkNo);
    if (always) {
      for (int c : {kColStartDate, kColStartTime, kColEndDate, kColEndTime}) g.SetCell(c, row, "");
      continue;
    }
    g.SetCell(kColStartDate, row,
              "20" + TwoDigits(20 + k % 10) + "-" + TwoDigits(1 + k % 12) + "-" + TwoDigits(1 + k % 28));
    g.SetCell(kColStartTime, row, TwoDigits(k % 24) + ":" + TwoDigits(k % 60));
    g.SetCell(
        kColEndDate, row,
        "20" + TwoDigits(40 + k % 50) + "-" + TwoDigits(1 + (k / 12) % 12) + "-" + TwoDigits(1 + k % 31));
    g.SetCell(kColEndTime, row, TwoDigits((k * 5) % 24) + ":" + TwoDigits((k * 7) % 60));
  }
}

std::vector<std::string> NumberCells(const TGrid& g) {
  std::vector<std::string> cells;
  cells.reserve(3000 * 6);
  for (int row = 1; row <= 3000; ++row)
    for (int c = kColNumber; c <= kColAlways; ++c) cells.push_back(g.Cell(c, row));
  return cells;
}

TEST(Soak, NumberListSavedAndReadBackAHundredTimesWithoutADifference) {
  TE2eHarness h;
  ASSERT_TRUE(h.Start()) << h.Problem();
  TSession& s = h.Session();
  for (int cycle = 0; cycle < kCycles; ++cycle) {
    FillNumbers(s.NumberGrid, cycle);
    const std::vector<std::string> saved = NumberCells(s.NumberGrid);
    std::vector<uint8_t> expected(3000 * kNumberRecordSize);
    for (int row = 1; row <= 3000; ++row)
      ASSERT_FALSE(
          EncodeNumberRecord(NumberRowCells(s.NumberGrid, row), &expected[(row - 1) * 32]).has_value());

    h.Operator.Messages.clear();
    s.Numbers.StartSave();
    ASSERT_TRUE(h.PumpUntilIdle(60000)) << "cycle " << cycle;
    ASSERT_EQ(h.Operator.Messages, std::vector<std::string>{"Authorized number list saved success"}) << cycle;
    ASSERT_TRUE(h.Device.Numbers() == expected) << "device differs from the grid in cycle " << cycle;

    // Wipe the grid so that only the read can bring the list back.
    {
      TGridUpdate batch(s.NumberGrid);
      for (int row = 1; row <= 3000; ++row)
        for (int c = kColNumber; c <= kColAlways; ++c) s.NumberGrid.SetCell(c, row, "x");
    }
    h.Operator.Messages.clear();
    s.Numbers.StartRead();
    ASSERT_TRUE(h.PumpUntilIdle(60000)) << "cycle " << cycle;
    ASSERT_EQ(h.Operator.Messages,
              std::vector<std::string>{"Authorized number list read to PC software success."});
    const std::vector<std::string> read = NumberCells(s.NumberGrid);
    for (size_t i = 0; i < read.size(); ++i)
      ASSERT_EQ(read[i], saved[i]) << "cycle " << cycle << " row " << i / 6 + 1 << " column " << i % 6 + 1;
  }
}

std::array<std::string, 29> SettingsCells(TSession& s) {
  std::array<std::string, 29> cells;
  for (int row = 1; row <= 28; ++row) {
    const TListChoice* list = s.SettingsLists.ForRow(row);
    cells[row] = list ? "list:" + std::to_string(list->ItemIndex) : s.SettingsGrid.Cell(kContentCol, row);
  }
  return cells;
}

TEST(Soak, SettingsSavedAndReadBackAHundredTimesWithoutADifference) {
  TE2eHarness h;
  ASSERT_TRUE(h.Start()) << h.Problem();
  TSession& s = h.Session();
  TGrid& g = s.SettingsGrid;
  for (int cycle = 0; cycle < kCycles; ++cycle) {
    const std::string n = std::to_string(cycle);
    g.SetCell(kContentCol, 1, TwoDigits(cycle % 100) + TwoDigits((cycle * 7) % 100));
    g.SetCell(kContentCol, 2, "+86139" + std::to_string(10000000 + cycle));
    g.SetCell(kContentCol, 5, "Door " + n + " opened");
    g.SetCell(kContentCol, 7, std::to_string(cycle % 60));
    g.SetCell(kContentCol, 18, "10.0." + n + ".1");
    g.SetCell(kContentCol, 19, std::to_string(1000 + cycle * 617));
    // The APN runs on from the first page into the second.
    g.SetCell(kContentCol, 20, "apn." + std::string(20 + cycle % 40, 'a' + cycle % 26));
    g.SetCell(kContentCol, 24, "client-" + n);
    // The MQTT password runs on from the second page into the third.
    g.SetCell(kContentCol, 26, std::string(40 + cycle % 24, 'A' + cycle % 26));
    g.SetCell(kContentCol, 28, "sub/" + n);
    for (TListChoice* list : s.SettingsLists.All())
      s.SettingsLists.SetItemIndex(*list, static_cast<int>((cycle + list->Row) % list->Items.size()));
    const auto saved = SettingsCells(s);
    std::array<uint8_t, 768> expected{};
    for (int page = 1; page <= 3; ++page)
      ASSERT_FALSE(
          EncodeSettingsPage(page, g, s.SettingsLists, TCodePage::System(),
                             std::span<uint8_t, kSettingsPageSize>(expected.data() + (page - 1) * 256, 256))
              .has_value());

    h.Operator.Messages.clear();
    s.Settings.SaveSettings();
    ASSERT_TRUE(h.PumpUntilIdle()) << "cycle " << cycle;
    ASSERT_EQ(h.Operator.Messages, std::vector<std::string>{"Basic setting saved success"}) << cycle;
    ASSERT_TRUE(h.Device.Settings() == expected) << "device differs from the grid in cycle " << cycle;

    SetUpSettingsGrid(g, s.SettingsLists);
    h.Operator.Messages.clear();
    s.Settings.ReadSettings();
    ASSERT_TRUE(h.PumpUntilIdle()) << "cycle " << cycle;
    ASSERT_EQ(h.Operator.Messages, std::vector<std::string>{"Basic settings read to PC software success."});
    const auto read = SettingsCells(s);
    for (int row = 1; row <= 28; ++row)
      ASSERT_EQ(read[row], saved[row]) << "cycle " << cycle << " row " << row;
  }
}

}  // namespace
}  // namespace torvane::testing
