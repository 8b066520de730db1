// SPDX-License-Identifier: GPL-3.0-or-later
// Every fault the virtual device can commit, against every transfer, through the real serial component
// on a pseudo-terminal, twice: once on every try of the request it hits (the transfer must end with the
// one box that says why, with nothing more on the wire, the grid holding only what was decoded and the
// device only what it carried out, and the same transfer must then work), and once on the first try
// only (the repeat mends it: the transfer ends with its success box and the right bytes).
//
// The device answers unpaced and the reply timer runs on the manual clock, so a timeout costs no real
// time; only the late replies wait a little for real.
#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <memory>
#include <set>
#include <span>
#include <string>
#include <tuple>
#include <vector>

#include "history/history_delete.h"
#include "numbers/number_changes.h"
#include "numbers/number_record.h"
#include "settings/settings_changes.h"
#include "settings/settings_codec.h"
#include "support/e2e_harness.h"
#include "support/history_grid.h"

namespace torvane::testing {
namespace {

using device::TFaultKind;
using device::TRegion;
using Texts = std::vector<std::string>;
using Bytes = std::vector<uint8_t>;
using device::kSettingsSize;

// A late reply on the first try only comes back while the repeat is on its way (the repeat's own
// answer is then a stray); one late on every try comes back after the last try has given up.
constexpr int kLateOnceMs = 250;
constexpr int kLateAlwaysMs = 400;
const char* const kTimeout = "Receive timeout";
const char* const kInvalid = "Invalid data";

// How a fault that hits every try ends the transfer.
enum class TOutcome {
  Timeout,       // nothing usable came: "Receive timeout"
  Invalid,       // answers came but could not be taken: "Invalid data"
  Refused,       // the device said no (a write or a single command): the transfer's own error box
  Disconnected,  // the port went away: the transfer ends and the window says so
  NotKept,       // a write acknowledged but not kept: the reading back names it, no success box
  Clean,         // the PC copes and the transfer succeeds
};

struct TFaultCase {
  TFaultKind Kind;
  TOutcome Outcome;
  // The device did what the faulted request asked before its reply went wrong.
  bool CarriedOut;
};

const TFaultCase kFaults[] = {
    {TFaultKind::Silence, TOutcome::Timeout, false},     {TFaultKind::BadChecksum, TOutcome::Invalid, true},
    {TFaultKind::Refuse, TOutcome::Refused, false},      {TFaultKind::Cut, TOutcome::Timeout, true},
    {TFaultKind::Noise, TOutcome::Clean, true},          {TFaultKind::Oversize, TOutcome::Invalid, true},
    {TFaultKind::Late, TOutcome::Timeout, true},         {TFaultKind::Duplicate, TOutcome::Clean, true},
    {TFaultKind::Hangup, TOutcome::Disconnected, false}, {TFaultKind::WrongPage, TOutcome::Timeout, true},
    {TFaultKind::Forget, TOutcome::NotKept, false},
};

int ThreadCount() {
  int n = 0;
  if (DIR* d = ::opendir("/proc/self/task")) {
    while (const dirent* e = ::readdir(d)) n += e->d_name[0] != '.';
    ::closedir(d);
  }
  return n;
}

// ---- the transfers ---------------------------------------------------------------------------------

class TTransfer {
 public:
  virtual ~TTransfer() = default;
  virtual std::string Name() const = 0;
  // Which request the fault hits (a middle page for the paged transfers).
  virtual device::TFault Selector() const = 0;
  // Device memory and grid before the transfer.
  virtual void Prepare(TE2eHarness& h) = 0;
  virtual void Start(TE2eHarness& h) = 0;
  // What the operator sees when the transfer succeeds.
  virtual std::string SuccessMessage() const = 0;
  virtual std::string RefusalMessage() const = 0;
  // The state after the fault; `carriedOut` when the device did what the faulted request asked.
  virtual void CheckAfterFault(TE2eHarness& h, const TFaultCase& fault) = 0;
  // The state after a complete, successful run.
  virtual void CheckComplete(TE2eHarness& h) = 0;
  // A refused page read is one byte, which is no page: it is asked for again like a bad reply.
  virtual bool RefusalIsAnAnswer() const { return false; }
  // The device may put any address in the reply to a single command.
  virtual bool AnswersAtAnyAddress() const { return false; }
  // Pages are written, and read back.
  virtual bool Saves() const { return false; }
};

// Rows of the settings grid by the pages their parameter lies on.
std::set<int> SettingsPagesOf(int row) {
  std::set<int> pages;
  if (const TSettingDef* d = SettingForRow(row))
    for (const TFieldPart& p : d->Parts()) pages.insert(p.Page);
  return pages;
}

// What the settings grid shows for the given three pages, decoded by the program's own decoder onto
// a grid with its defaults.
struct TSettingsView {
  TGrid Grid{3, 29};
  TSettingsLists Lists;
  explicit TSettingsView(std::span<const uint8_t, kSettingsSize> pages) {
    SetUpSettingsGrid(Grid, Lists);
    for (int page = 1; page <= 3; ++page)
      for (const TSettingDef& param : SettingsTable())
        DecodeSettingOnPage(param, page,
                            std::span<const uint8_t, kSettingsPageSize>(pages.data() + (page - 1) * 256, 256),
                            Grid, Lists, TCodePage::System());
  }
  std::string Row(int row) const {
    const TListChoice* list = Lists.ForRow(row);
    return list ? "list:" + std::to_string(list->ItemIndex) : Grid.Cell(kContentCol, row);
  }
};

std::string SettingsRow(TSession& s, int row) {
  const TListChoice* list = s.SettingsLists.ForRow(row);
  return list ? "list:" + std::to_string(list->ItemIndex) : s.SettingsGrid.Cell(kContentCol, row);
}

void PutText(std::array<uint8_t, kSettingsSize>& m, int at, const std::string& text, int size) {
  for (int i = 0; i < size; ++i) m[at + i] = i < static_cast<int>(text.size()) ? text[i] : 0xFF;
}

class TLogin : public TTransfer {
 public:
  std::string Name() const override { return "Login"; }
  device::TFault Selector() const override {
    return {.Command = CMD_READ, .Region = TRegion::Settings, .Page = 1};
  }
  void Prepare(TE2eHarness& h) override {
    h.SetDevicePassword("4711");
    before_ = h.Session().SettingsGrid.Cell(kContentCol, 1);
  }
  void Start(TE2eHarness& h) override {
    h.Session().PasswordText = "4711";
    h.Session().Login.BeginLogin();
  }
  std::string SuccessMessage() const override { return "Password confirmed!"; }
  std::string RefusalMessage() const override { return "Password Error!"; }
  void CheckAfterFault(TE2eHarness& h, const TFaultCase&) override {
    EXPECT_FALSE(h.Session().Unlocked());
    EXPECT_EQ(h.Session().SettingsGrid.Cell(kContentCol, 1), before_);
  }
  void CheckComplete(TE2eHarness& h) override {
    EXPECT_TRUE(h.Session().Unlocked());
    // A login only checks; the settings grid is not the place its reply goes, not even twice over.
    EXPECT_EQ(h.Session().SettingsGrid.Cell(kContentCol, 1), before_);
  }

 private:
  std::string before_;
};

// ---- the paged reads and saves ---------------------------------------------------------------------

// A paged read, its fault aimed at page 2: a fault leaves page 1 decoded into the grid and the rest of
// the grid as it was; a complete run shows what the device holds.
struct TReadCase {
  std::string Name;
  TRegion Region;
  std::string Success;
  std::function<void(TE2eHarness&)> Prepare, Start;
  std::function<void(TE2eHarness&)> CheckPartial, CheckComplete;
};

class TPagedRead : public TTransfer {
 public:
  explicit TPagedRead(TReadCase c) : c_(std::move(c)) {}
  std::string Name() const override { return c_.Name; }
  device::TFault Selector() const override { return {.Command = CMD_READ, .Region = c_.Region, .Page = 2}; }
  void Prepare(TE2eHarness& h) override { c_.Prepare(h); }
  void Start(TE2eHarness& h) override { c_.Start(h); }
  std::string SuccessMessage() const override { return c_.Success; }
  std::string RefusalMessage() const override { return kInvalid; }
  void CheckAfterFault(TE2eHarness& h, const TFaultCase&) override { c_.CheckPartial(h); }
  void CheckComplete(TE2eHarness& h) override { c_.CheckComplete(h); }

 private:
  TReadCase c_;
};

// A paged save, its fault aimed at page 2. `Prepare` sets the device and the grid; `Compose` says what
// the device should hold after the save, by the program's own encoder from the device's bytes before it.
struct TSaveCase {
  std::string Name;
  TRegion Region;
  int Pages;
  std::string Success, Refusal;
  std::function<Bytes(const TE2eHarness&)> Held;
  std::function<void(TE2eHarness&)> Prepare;
  std::function<void(TE2eHarness&, const Bytes& old, Bytes& want)> Compose;
  std::function<void(TE2eHarness&)> Start;
  // What the device holds after a complete run, as the program reads it back (may be empty).
  std::function<void(TE2eHarness&)> CheckShown;
};

class TPagedSave : public TTransfer {
 public:
  explicit TPagedSave(TSaveCase c) : c_(std::move(c)) {}
  std::string Name() const override { return c_.Name; }
  device::TFault Selector() const override { return {.Command = CMD_WRITE, .Region = c_.Region, .Page = 2}; }
  void Prepare(TE2eHarness& h) override {
    c_.Prepare(h);
    old_ = c_.Held(h);
    new_.assign(old_.size(), 0);
    c_.Compose(h, old_, new_);
    if (::testing::Test::HasFatalFailure()) return;
    // On the first run the pages the checks look at must change, or they could not tell old from new.
    if (first_) {
      for (int page = 1; page <= 3; ++page) ASSERT_NE(Page(old_, page), Page(new_, page)) << page;
    }
    first_ = false;
  }
  void Start(TE2eHarness& h) override { c_.Start(h); }
  std::string SuccessMessage() const override { return c_.Success; }
  std::string RefusalMessage() const override { return c_.Refusal; }
  bool RefusalIsAnAnswer() const override { return true; }
  bool Saves() const override { return true; }
  // Page 1 is written, page 2 only if the device carried the faulted write out, and the rest only if
  // the fault was a forgotten write (acknowledged, so the save goes on past it).
  void CheckAfterFault(TE2eHarness& h, const TFaultCase& fault) override {
    const Bytes m = c_.Held(h);
    EXPECT_EQ(Page(m, 1), Page(new_, 1));
    EXPECT_EQ(Page(m, 2), Page(fault.CarriedOut ? new_ : old_, 2));
    const Bytes& rest = fault.Kind == TFaultKind::Forget ? new_ : old_;
    for (int page = 3; page <= c_.Pages; ++page)
      ASSERT_EQ(Page(m, page), Page(rest, page)) << "page " << page;
  }
  void CheckComplete(TE2eHarness& h) override {
    const Bytes m = c_.Held(h);
    for (int page = 1; page <= c_.Pages; ++page)
      ASSERT_EQ(Page(m, page), Page(new_, page)) << "page " << page;
    if (c_.CheckShown) c_.CheckShown(h);
  }

 private:
  static Bytes Page(const Bytes& m, int page) {
    return Bytes(m.begin() + (page - 1) * 256, m.begin() + page * 256);
  }
  TSaveCase c_;
  Bytes old_, new_;
  bool first_ = true;
};

std::unique_ptr<TTransfer> SettingsRead() {
  struct TState {
    std::array<uint8_t, kSettingsSize> Device{};
    std::array<std::string, 29> Before;
  };
  auto st = std::make_shared<TState>();
  return std::make_unique<TPagedRead>(TReadCase{
      .Name = "SettingsRead",
      .Region = TRegion::Settings,
      .Success = "Basic settings read to PC software success.",
      .Prepare =
          [st](TE2eHarness& h) {
            auto m = h.Device.Settings();
            PutText(m, 204, "10.1.2.3", 32);        // server address, page 1
            PutText(m, 256 + 46, "apn-user", 16);   // page 2
            PutText(m, 512 + 16, "pub/topic", 64);  // page 3
            m[26] = 0;                              // DIN1 type
            h.Device.SetSettings(m);
            st->Device = m;
            for (int row = 1; row <= 28; ++row) st->Before[row] = SettingsRow(h.Session(), row);
          },
      .Start = [](TE2eHarness& h) { h.Session().Settings.StartRead(); },
      // A parameter wholly on page 1 is read; one wholly on later pages is as it was.
      .CheckPartial =
          [st](TE2eHarness& h) {
            const TSettingsView full(st->Device);
            for (int row = 1; row <= 28; ++row) {
              const std::set<int> pages = SettingsPagesOf(row);
              const std::string now = SettingsRow(h.Session(), row);
              if (*pages.rbegin() == 1) {
                EXPECT_EQ(now, full.Row(row)) << "row " << row;
              } else if (*pages.begin() >= 2) {
                EXPECT_EQ(now, st->Before[row]) << "row " << row;
              }
            }
          },
      .CheckComplete =
          [st](TE2eHarness& h) {
            const TSettingsView full(st->Device);
            for (int row = 1; row <= 28; ++row)
              EXPECT_EQ(SettingsRow(h.Session(), row), full.Row(row)) << "row " << row;
            EXPECT_EQ(full.Grid.Cell(kContentCol, 18), "10.1.2.3");
          },
  });
}

std::unique_ptr<TTransfer> SettingsSave() {
  return std::make_unique<TPagedSave>(TSaveCase{
      .Name = "SettingsSave",
      .Region = TRegion::Settings,
      .Pages = 3,
      .Success = "Basic setting saved success",
      .Refusal = "Basic setting error",
      .Held =
          [](const TE2eHarness& h) {
            const auto m = h.Device.Settings();
            return Bytes(m.begin(), m.end());
          },
      .Prepare =
          [](TE2eHarness& h) {
            TSession& s = h.Session();
            s.SettingsGrid.SetCell(kContentCol, 18, "192.168.9.9");
            s.SettingsGrid.SetCell(kContentCol, 21, "grid-user");
            s.SettingsGrid.SetCell(kContentCol, 27, "grid/pub");
          },
      .Compose =
          [](TE2eHarness& h, const Bytes& old, Bytes& want) {
            TSession& s = h.Session();
            // The grid's values, and the device's own bytes for whatever reads the same as before (its
            // 0xFF padding, for one).
            TDevicePages before(3);
            before.SetAll(old);
            ASSERT_FALSE(ComposeSettingsPages(s.SettingsGrid, s.SettingsLists, TCodePage::System(), &before,
                                              std::span<uint8_t, kSettingsSize>(want.data(), kSettingsSize)));
          },
      .Start = [](TE2eHarness& h) { h.Session().Settings.StartSave(); },
      // Read as the program reads it, the device holds what the grid shows (an empty number cell is
      // saved as 0).
      .CheckShown =
          [](TE2eHarness& h) {
            const TSettingsView held(h.Device.Settings());
            for (int row = 1; row <= 28; ++row) {
              const std::string shown = SettingsRow(h.Session(), row);
              EXPECT_EQ(held.Row(row), shown.empty() && SettingForRow(row)->IsNumber() ? "0" : shown)
                  << "row " << row;
            }
          },
  });
}

// A record as the operator sees it, comparable and printable.
auto Key(const TNumberRecordText& t) {
  return std::make_tuple(t.Number, t.StartDate, t.StartTime, t.EndDate, t.EndTime, t.Always);
}

auto RowText(const TGrid& g, int row) {
  return Key({g.Cell(kColNumber, row), g.Cell(kColStartDate, row), g.Cell(kColStartTime, row),
              g.Cell(kColEndDate, row), g.Cell(kColEndTime, row), g.Cell(kColAlways, row) == kMarkYes});
}

// The device's number record of a row, as the grid should show it.
auto HeldRow(const TE2eHarness& h, int row) {
  return Key(DecodeNumberRecord(h.Device.NumberRecord(row - 1).data()));
}

std::unique_ptr<TTransfer> NumbersRead() {
  return std::make_unique<TPagedRead>(TReadCase{
      .Name = "NumbersRead",
      .Region = TRegion::Numbers,
      .Success = "Authorized number list read to PC software success.",
      .Prepare =
          [](TE2eHarness& h) {
            h.Device.Populate(3000, 0, 5);
            TGrid& g = h.Session().NumberGrid;
            for (int row = 1; row <= 3000; ++row) g.SetCell(kColNumber, row, "+1" + std::to_string(row));
          },
      .Start = [](TE2eHarness& h) { h.Session().Numbers.StartRead(); },
      // Page 1's eight records are read; the other rows are as they were.
      .CheckPartial =
          [](TE2eHarness& h) {
            const TGrid& g = h.Session().NumberGrid;
            for (int row = 1; row <= 3000; ++row) {
              if (row <= 8)
                ASSERT_EQ(RowText(g, row), HeldRow(h, row)) << "row " << row;
              else
                ASSERT_EQ(g.Cell(kColNumber, row), "+1" + std::to_string(row)) << "row " << row;
            }
          },
      .CheckComplete =
          [](TE2eHarness& h) {
            for (int row = 1; row <= 3000; ++row)
              ASSERT_EQ(RowText(h.Session().NumberGrid, row), HeldRow(h, row)) << "row " << row;
          },
  });
}

std::unique_ptr<TTransfer> NumbersSave() {
  return std::make_unique<TPagedSave>(TSaveCase{
      .Name = "NumbersSave",
      .Region = TRegion::Numbers,
      .Pages = 375,
      .Success = "Authorized number list saved success",
      .Refusal = "Number list data error",
      .Held = [](const TE2eHarness& h) { return h.Device.Numbers(); },
      .Prepare =
          [](TE2eHarness& h) {
            h.Device.Populate(3000, 0, 9);
            TGrid& g = h.Session().NumberGrid;
            for (int row = 1; row <= 3000; ++row) {
              g.SetCell(kColNumber, row, "+4930" + std::to_string(1000000 + row));
              const bool always = row % 3 == 0;
              g.SetCell(kColAlways, row, always ? kMarkYes : kMarkNo);
              if (!always) {
                g.SetCell(kColStartDate, row,
                          "2025-01-" + std::string(row % 28 < 9 ? "0" : "") + std::to_string(row % 28 + 1));
                g.SetCell(kColStartTime, row, "08:30");
                g.SetCell(kColEndDate, row, "2030-12-31");
                g.SetCell(kColEndTime, row, "18:00");
              }
            }
          },
      .Compose =
          [](TE2eHarness& h, const Bytes& old, Bytes& want) {
            const TGrid& g = h.Session().NumberGrid;
            TDevicePages before(375);
            before.SetAll(old);
            for (int page = 1; page <= 375; ++page)
              ASSERT_FALSE(ComposeNumberPage(g, page, &before, want.data() + (page - 1) * 256).has_value());
          },
      .Start = [](TE2eHarness& h) { h.Session().Numbers.StartSave(); },
      .CheckShown = nullptr,
  });
}

std::unique_ptr<TTransfer> HistoryRead() {
  return std::make_unique<TPagedRead>(TReadCase{
      .Name = "HistoryRead",
      .Region = TRegion::History,
      .Success = "Historical data read to PC software success.",
      .Prepare =
          [](TE2eHarness& h) {
            h.Device.Populate(0, 1000, 3);
            TGrid& g = h.Session().HistoryGrid;
            for (int row = 1; row <= 1000; ++row) g.SetCell(kHisContent, row, "old " + std::to_string(row));
          },
      .Start = [](TE2eHarness& h) { h.Session().History.StartRead(); },
      // Nothing is compacted: page 1's rows hold its records, the rest what they held before.
      .CheckPartial =
          [](TE2eHarness& h) {
            const TGrid& g = h.Session().HistoryGrid;
            for (int row = 1; row <= 2; ++row) {
              const auto cells =
                  DecodeHistoryRecord(h.Device.HistoryRecord(row - 1).data(), TCodePage::System());
              for (int c = 0; c < 7; ++c) EXPECT_EQ(g.Cell(c + 1, row), cells[c]) << "row " << row;
            }
            for (int row = 3; row <= 1000; ++row)
              ASSERT_EQ(g.Cell(kHisContent, row), "old " + std::to_string(row));
          },
      .CheckComplete =
          [](TE2eHarness& h) { ExpectCompactedHistory(h.Session().HistoryGrid, h.Device.History().data()); },
  });
}

// The single commands: one request, answered at any address with a verdict; a fault either leaves the
// device as it was or, where the device carried the request out, as a complete run leaves it.
struct TCommandCase {
  std::string Name;
  uint8_t Command;
  std::string Success, Refusal;
  std::function<void(TE2eHarness&)> Prepare, Start;
  std::function<void(TE2eHarness&)> CheckUntouched, CheckComplete;
};

class TSingleCommand : public TTransfer {
 public:
  explicit TSingleCommand(TCommandCase c) : c_(std::move(c)) {}
  std::string Name() const override { return c_.Name; }
  device::TFault Selector() const override { return {.Command = c_.Command}; }
  void Prepare(TE2eHarness& h) override { c_.Prepare(h); }
  void Start(TE2eHarness& h) override { c_.Start(h); }
  std::string SuccessMessage() const override { return c_.Success; }
  std::string RefusalMessage() const override { return c_.Refusal; }
  bool RefusalIsAnAnswer() const override { return true; }
  bool AnswersAtAnyAddress() const override { return true; }
  void CheckAfterFault(TE2eHarness& h, const TFaultCase& fault) override {
    if (fault.CarriedOut)
      c_.CheckComplete(h);
    else
      c_.CheckUntouched(h);
  }
  void CheckComplete(TE2eHarness& h) override { c_.CheckComplete(h); }

 private:
  TCommandCase c_;
};

std::unique_ptr<TTransfer> DeleteHistory() {
  auto old = std::make_shared<Bytes>();
  return std::make_unique<TSingleCommand>(TCommandCase{
      .Name = "DeleteHistory",
      .Command = CMD_DELETE_HISTORY,
      .Success = "Historical data deleted",
      .Refusal = "Historical data delet error",
      .Prepare =
          [old](TE2eHarness& h) {
            h.Device.Populate(0, 1000, 4);
            *old = h.Device.History();
          },
      .Start = [](TE2eHarness& h) { ASSERT_TRUE(DeleteAllHistory(h.Operator, h.Session().DeleteHistory)); },
      .CheckUntouched = [old](TE2eHarness& h) { EXPECT_TRUE(h.Device.History() == *old); },
      .CheckComplete =
          [old](TE2eHarness& h) {
            for (int i = 0; i < 1000; ++i) {
              device::THistoryRecord r;
              std::copy_n(old->begin() + i * 128, 128, r.begin());
              ASSERT_NE(h.Device.HistoryRecord(i), r) << i;
            }
          },
  });
}

std::unique_ptr<TTransfer> TimeSync() {
  return std::make_unique<TSingleCommand>(TCommandCase{
      .Name = "TimeSync",
      .Command = CMD_TIME_SYNC,
      .Success = "1同步时间返回正确",
      .Refusal = "0同步时间返回错误",
      .Prepare =
          [](TE2eHarness& h) {
            h.Device.SetClock({2001, 2, 3, 4, 5, 6});
          },
      .Start = [](TE2eHarness& h) { h.Session().TimeSync.Send(); },
      .CheckUntouched = [](TE2eHarness& h) { EXPECT_EQ(h.Device.Clock().Year, 2001); },
      .CheckComplete =
          [](TE2eHarness& h) {
            const TDateTime t = h.Device.Clock(), want = h.Clock.Now();
            EXPECT_EQ(std::tie(t.Year, t.Month, t.Day, t.Hour, t.Minute, t.Second),
                      std::tie(want.Year, want.Month, want.Day, want.Hour, want.Minute, want.Second));
          },
  });
}

std::unique_ptr<TTransfer> Login() {
  return std::make_unique<TLogin>();
}

std::unique_ptr<TTransfer> (*const kTransfers[])() = {Login,       SettingsRead, SettingsSave,  NumbersRead,
                                                      NumbersSave, HistoryRead,  DeleteHistory, TimeSync};
std::unique_ptr<TTransfer> MakeTransfer(int i) {
  return kTransfers[i]();
}
constexpr int kTransferCount = static_cast<int>(std::size(kTransfers));

// ---- the matrix ------------------------------------------------------------------------------------

class FaultMatrix : public ::testing::TestWithParam<std::tuple<int, int, bool>> {
 protected:
  FaultMatrix()
      : fault_(kFaults[std::get<0>(GetParam())]),
        transfer_(MakeTransfer(std::get<1>(GetParam()))),
        everyTry_(std::get<2>(GetParam())) {}

  // What a fault on every try ends in, for this transfer.
  TOutcome Expected() const {
    // Only a save writes: the others never meet a forgetting device.
    if (fault_.Kind == TFaultKind::Forget && !transfer_->Saves()) return TOutcome::Clean;
    if (fault_.Kind == TFaultKind::Refuse && !transfer_->RefusalIsAnAnswer()) return TOutcome::Invalid;
    if (fault_.Kind == TFaultKind::WrongPage && transfer_->AnswersAtAnyAddress()) return TOutcome::Clean;
    return fault_.Outcome;
  }

  // Runs the started transfer to its end. A reply that does not come within a moment of real time is
  // missing, and the reply timer is moved on; a late one is let in only after the timer has had its say.
  void RunToEnd() {
    if (fault_.Kind == TFaultKind::Late) {
      // The pages before the faulted one are taken as they come; the late reply itself is let in only
      // after the timer has moved on (it leaves the device a good while after the fault fired).
      ASSERT_TRUE(H.PumpUntil([&] { return H.Device.Counters().Faults >= 1; }));
      for (int i = 0; i < (everyTry_ ? 3 : 1) && H.Exchange().Outstanding(); ++i) H.Timers.Advance(3000);
    }
    // A late reply on the first try must find the repeat still waiting for it.
    const int quietMs = fault_.Kind == TFaultKind::Late ? 2 * kLateOnceMs : 100;
    ASSERT_TRUE(H.PumpUntilIdleAdvancing(60000, quietMs)) << "the transfer never ended";
  }

  // Lets whatever the fault still had in the pipe arrive and be dropped: the device takes every frame
  // that was sent (repeats wait on the line behind a late reply) and finishes with each.
  void Settle() {
    const uint64_t sent = fault_.Kind == TFaultKind::Hangup ? 0 : H.Exchange().SendCount();
    ASSERT_TRUE(H.Device.WaitFor(
        [sent](const device::TDeviceCounters& c) { return c.Received >= sent && c.Handled >= c.Received; }));
    H.DrainFor(50);
  }

  // After a hang-up the port is gone: the operator opens the device's port again. No worker may be
  // left behind by the port that died under it.
  void Reconnect() {
    H.Device.Stop();
    EXPECT_FALSE(H.Comm.PortOpen());
    EXPECT_EQ(ThreadCount(), threadsAtStart_);
    ASSERT_TRUE(H.Device.Start()) << H.Device.Error();
    ASSERT_TRUE(H.OpenPort()) << H.Problem();
    EXPECT_EQ(ThreadCount(), threadsAtStart_ + 3);  // the device's and the two workers
  }

  TFaultCase fault_;
  std::unique_ptr<TTransfer> transfer_;
  bool everyTry_;
  const int threadsAtStart_ = ThreadCount();
  TE2eHarness H;
};

TEST_P(FaultMatrix, EndsWithOneBoxAndTheNextRunSucceeds) {
  ASSERT_TRUE(H.Start()) << H.Problem();
  transfer_->Prepare(H);
  if (HasFatalFailure()) return;
  device::TFault f = transfer_->Selector();
  f.Kind = fault_.Kind;
  f.DelayMs = everyTry_ ? kLateAlwaysMs : kLateOnceMs;
  // The three tries of the request the fault is aimed at, or its first try only.
  f.Count = everyTry_ ? TExchange::kTries : 1;
  H.Device.AddFault(f);
  H.Operator.Messages.clear();

  transfer_->Start(H);
  if (HasFatalFailure()) return;
  RunToEnd();
  if (HasFatalFailure()) return;
  const uint64_t sentAtTheEnd = H.Exchange().SendCount();
  const Texts shown = H.Operator.Messages;
  Settle();
  if (HasFatalFailure()) return;

  // Nothing the fault left in the pipe changes anything: no box, no request.
  EXPECT_EQ(H.Operator.Messages, shown);
  EXPECT_EQ(H.Exchange().SendCount(), sentAtTheEnd);
  EXPECT_FALSE(H.Exchange().Busy());
  if (fault_.Kind != TFaultKind::Hangup) {
    EXPECT_EQ(H.Device.Counters().Received, sentAtTheEnd);
  }

  // A hang-up cannot be mended, a refused write or command is an answer, not a failed try, and a write
  // the device forgets was acknowledged: nothing asks for it again.
  const bool final = fault_.Kind == TFaultKind::Hangup || fault_.Kind == TFaultKind::Forget ||
                     (fault_.Kind == TFaultKind::Refuse && transfer_->RefusalIsAnAnswer());
  const TOutcome outcome = everyTry_ || final ? Expected() : TOutcome::Clean;
  switch (outcome) {
    case TOutcome::Timeout:
      EXPECT_EQ(shown, Texts{kTimeout});
      EXPECT_EQ(H.StatusView.Text, kTimeout);
      EXPECT_FALSE(H.StatusView.ProgressVisible);
      transfer_->CheckAfterFault(H, fault_);
      break;
    case TOutcome::Invalid:
      EXPECT_EQ(shown, Texts{kInvalid});
      EXPECT_EQ(H.StatusView.Text, kInvalid);
      transfer_->CheckAfterFault(H, fault_);
      break;
    case TOutcome::Refused:
      EXPECT_EQ(shown, Texts{transfer_->RefusalMessage()});
      transfer_->CheckAfterFault(H, fault_);
      break;
    case TOutcome::NotKept:
      ASSERT_EQ(shown.size(), 1u);
      EXPECT_NE(shown[0], transfer_->SuccessMessage());
      EXPECT_EQ(shown[0].rfind("The device did not keep", 0), 0u) << shown[0];
      transfer_->CheckAfterFault(H, fault_);
      break;
    case TOutcome::Disconnected:
      // The session says nothing; the window names the port (its own test).
      EXPECT_TRUE(shown.empty()) << shown.front();
      EXPECT_EQ(H.HangUps, 1);
      EXPECT_FALSE(H.Comm.PortOpen());
      transfer_->CheckAfterFault(H, fault_);
      break;
    case TOutcome::Clean:
      EXPECT_EQ(shown, Texts{transfer_->SuccessMessage()});
      transfer_->CheckComplete(H);
      break;
  }
  if (HasFatalFailure()) return;
  if (fault_.Kind == TFaultKind::Hangup) {
    EXPECT_TRUE(H.Device.HungUp());
    Reconnect();
    if (HasFatalFailure()) return;
  }

  // The same transfer without the fault, on a device whose memory the test sets anew: as after another
  // device was plugged in, the port is opened again.
  H.Device.ClearFaults();
  if (H.Comm.PortOpen()) {
    H.Comm.ClosePort();
    H.Session().PortLost();
    ASSERT_TRUE(H.OpenPort()) << H.Problem();
  }
  transfer_->Prepare(H);
  if (HasFatalFailure()) return;
  H.Operator.Messages.clear();
  transfer_->Start(H);
  if (HasFatalFailure()) return;
  ASSERT_TRUE(H.PumpUntilIdle(30000));
  EXPECT_EQ(H.Operator.Messages, Texts{transfer_->SuccessMessage()});
  transfer_->CheckComplete(H);
}

std::string CaseName(const ::testing::TestParamInfo<std::tuple<int, int, bool>>& info) {
  std::string kind = device::FaultKindName(kFaults[std::get<0>(info.param)].Kind);
  std::replace(kind.begin(), kind.end(), '-', '_');
  return kind + (std::get<2>(info.param) ? "_EveryTry_" : "_FirstTry_") +
         MakeTransfer(std::get<1>(info.param))->Name();
}

INSTANTIATE_TEST_SUITE_P(EveryFaultEveryTransfer, FaultMatrix,
                         ::testing::Combine(::testing::Range(0, static_cast<int>(std::size(kFaults))),
                                            ::testing::Range(0, kTransferCount), ::testing::Bool()),
                         CaseName);

}  // namespace
}  // namespace torvane::testing
