// Every fault the virtual device can commit, against every transfer, through the real serial component
// on a pseudo-terminal. For each pair: what the operator is told, that nothing hangs, what the grid
// holds after the failure, that the device holds only what it was sent and carried out, and that the
// same transfer without the fault then succeeds.
//
// The device answers unpaced and the reply timer runs on the manual clock, so a timeout costs no real
// time; only the late reply waits a little for real.
#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <set>
#include <span>
#include <string>
#include <tuple>
#include <vector>

#include "history/history_delete.h"
#include "numbers/number_record.h"
#include "settings/settings_codec.h"
#include "support/e2e_harness.h"

namespace torvane::testing {
namespace {

using device::TFaultKind;
using device::TRegion;
using Texts = std::vector<std::string>;
using Bytes = std::vector<uint8_t>;
using device::kSettingsSize;

constexpr int kLateMs = 250;
const char* const kTimeout = "Receive timeout";

// How a fault shows itself to the PC.
enum class TOutcome {
  Timeout,  // no usable reply: the reply timer tells the operator
  Invalid,  // a reply that cannot be taken: "Invalid data", the transfer stops
  Refused,  // the device says no: the transfer's own error
  Resumed,  // the reply comes after the timeout and the transfer goes on from it
  Clean,    // the PC copes and the transfer succeeds
};

struct TFaultCase {
  TFaultKind Kind;
  TOutcome Outcome;
  // The device did what the faulted request asked before its reply went wrong.
  bool CarriedOut;
};

const TFaultCase kFaults[] = {
    {TFaultKind::Silence, TOutcome::Timeout, false}, {TFaultKind::BadChecksum, TOutcome::Invalid, true},
    {TFaultKind::Refuse, TOutcome::Refused, false},  {TFaultKind::Cut, TOutcome::Timeout, true},
    {TFaultKind::Noise, TOutcome::Clean, true},      {TFaultKind::Oversize, TOutcome::Invalid, true},
    {TFaultKind::Late, TOutcome::Resumed, true},     {TFaultKind::Duplicate, TOutcome::Clean, true},
    {TFaultKind::Hangup, TOutcome::Timeout, false},
};

int ThreadCount() {
  int n = 0;
  if (DIR* d = ::opendir("/proc/self/task")) {
    while (const dirent* e = ::readdir(d)) n += e->d_name[0] != '.';
    ::closedir(d);
  }
  return n;
}

bool Contains(const Texts& texts, const std::string& t) {
  return std::find(texts.begin(), texts.end(), t) != texts.end();
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
  // Whether a Resumed fault ends in a complete transfer (the paged ones go on from the late reply).
  virtual bool ResumesAfterLateReply() const { return true; }
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
    EXPECT_FALSE(h.Link().Unlocked());
    EXPECT_EQ(h.Session().SettingsGrid.Cell(kContentCol, 1), before_);
  }
  // The timeout ends the pending login, so a late answer is not taken for one.
  bool ResumesAfterLateReply() const override { return false; }
  void CheckComplete(TE2eHarness& h) override {
    EXPECT_TRUE(h.Link().Unlocked());
    // A login only checks; the settings grid is not the place its reply goes, not even twice over.
    EXPECT_EQ(h.Session().SettingsGrid.Cell(kContentCol, 1), before_);
  }

 private:
  std::string before_;
};

class TSettingsRead : public TTransfer {
 public:
  std::string Name() const override { return "SettingsRead"; }
  device::TFault Selector() const override {
    return {.Command = CMD_READ, .Region = TRegion::Settings, .Page = 2};
  }
  void Prepare(TE2eHarness& h) override {
    auto m = h.Device.Settings();
    PutText(m, 204, "10.1.2.3", 32);        // server address, page 1
    PutText(m, 256 + 46, "apn-user", 16);   // page 2
    PutText(m, 512 + 16, "pub/topic", 64);  // page 3
    m[26] = 0;                              // DIN1 type
    h.Device.SetSettings(m);
    device_ = m;
    for (int row = 1; row <= 28; ++row) before_[row] = SettingsRow(h.Session(), row);
  }
  void Start(TE2eHarness& h) override { h.Session().Settings.ReadSettings(); }
  std::string SuccessMessage() const override { return "Basic settings read to PC software success."; }
  std::string RefusalMessage() const override { return SuccessMessage(); }
  void CheckAfterFault(TE2eHarness& h, const TFaultCase& fault) override {
    const TSettingsView full(device_);
    auto refused = device_;
    std::fill(refused.begin() + 256, refused.begin() + 512, 0);
    const TSettingsView shortPage(refused);
    for (int row = 1; row <= 28; ++row) {
      const std::set<int> pages = SettingsPagesOf(row);
      const std::string now = SettingsRow(h.Session(), row);
      if (fault.Outcome == TOutcome::Refused) {
        // The refused page's answer is one byte: what it does not carry reads as zeros, never as the
        // previous page's bytes.
        EXPECT_EQ(now, shortPage.Row(row)) << "row " << row;
      } else if (*pages.rbegin() == 1) {
        EXPECT_EQ(now, full.Row(row)) << "row " << row;
      } else if (*pages.begin() >= 2) {
        EXPECT_EQ(now, before_[row]) << "row " << row;
      }
    }
  }
  void CheckComplete(TE2eHarness& h) override {
    const TSettingsView full(device_);
    for (int row = 1; row <= 28; ++row)
      EXPECT_EQ(SettingsRow(h.Session(), row), full.Row(row)) << "row " << row;
    EXPECT_EQ(full.Grid.Cell(kContentCol, 18), "10.1.2.3");
  }

 private:
  std::array<uint8_t, kSettingsSize> device_{};
  std::array<std::string, 29> before_;
};

class TSettingsSave : public TTransfer {
 public:
  std::string Name() const override { return "SettingsSave"; }
  device::TFault Selector() const override {
    return {.Command = CMD_WRITE, .Region = TRegion::Settings, .Page = 2};
  }
  void Prepare(TE2eHarness& h) override {
    old_ = h.Device.Settings();
    TSession& s = h.Session();
    s.SettingsGrid.SetCell(kContentCol, 18, "192.168.9.9");
    s.SettingsGrid.SetCell(kContentCol, 21, "grid-user");
    s.SettingsGrid.SetCell(kContentCol, 27, "grid/pub");
    for (int page = 1; page <= 3; ++page)
      ASSERT_FALSE(
          EncodeSettingsPage(page, s.SettingsGrid, s.SettingsLists, TCodePage::System(),
                             std::span<uint8_t, kSettingsPageSize>(new_.data() + (page - 1) * 256, 256))
              .has_value());
    // On the first run every page must change, or the checks below could not tell old from new.
    if (first_)
      for (int page = 1; page <= 3; ++page) ASSERT_NE(Page(old_, page), Page(new_, page)) << page;
    first_ = false;
  }
  void Start(TE2eHarness& h) override { h.Session().Settings.SaveSettings(); }
  std::string SuccessMessage() const override { return "Basic setting saved success"; }
  std::string RefusalMessage() const override { return "Basic setting error"; }
  void CheckAfterFault(TE2eHarness& h, const TFaultCase& fault) override {
    const auto m = h.Device.Settings();
    EXPECT_EQ(Page(m, 1), Page(new_, 1));
    EXPECT_EQ(Page(m, 2), Page(fault.CarriedOut ? new_ : old_, 2));
    EXPECT_EQ(Page(m, 3), Page(old_, 3));
  }
  void CheckComplete(TE2eHarness& h) override {
    const auto m = h.Device.Settings();
    for (int page = 1; page <= 3; ++page) EXPECT_EQ(Page(m, page), Page(new_, page)) << page;
  }

 private:
  static Bytes Page(const std::array<uint8_t, kSettingsSize>& m, int page) {
    return Bytes(m.begin() + (page - 1) * 256, m.begin() + page * 256);
  }
  std::array<uint8_t, kSettingsSize> old_{}, new_{};
  bool first_ = true;
};

// A record as the operator sees it, comparable and printable.
auto Key(const TNumberRecordText& t) {
  return std::make_tuple(t.Number, t.StartDate, t.StartTime, t.EndDate, t.EndTime, t.Always);
}

auto RowText(const TGrid& g, int row) {
  return Key({g.Cell(kColNumber, row), g.Cell(kColStartDate, row), g.Cell(kColStartTime, row),
              g.Cell(kColEndDate, row), g.Cell(kColEndTime, row), g.Cell(kColAlways, row) == kMarkYes});
}
class TNumbersRead : public TTransfer {
 public:
  std::string Name() const override { return "NumbersRead"; }
  device::TFault Selector() const override {
    return {.Command = CMD_READ, .Region = TRegion::Numbers, .Page = 2};
  }
  void Prepare(TE2eHarness& h) override {
    h.Device.Populate(3000, 0, 5);
    TGrid& g = h.Session().NumberGrid;
    for (int row = 1; row <= 3000; ++row) g.SetCell(kColNumber, row, "+1" + std::to_string(row));
  }
  void Start(TE2eHarness& h) override { h.Session().Numbers.StartRead(); }
  std::string SuccessMessage() const override {
    return "Authorized number list read to PC software success.";
  }
  std::string RefusalMessage() const override { return SuccessMessage(); }
  void CheckAfterFault(TE2eHarness& h, const TFaultCase& fault) override {
    const TGrid& g = h.Session().NumberGrid;
    for (int row = 1; row <= 3000; ++row) {
      const auto now = RowText(g, row);
      if (row <= 8 || (fault.Outcome == TOutcome::Refused && row > 16)) {
        ASSERT_EQ(now, Key(DecodeNumberRecord(h.Device.NumberRecord(row - 1).data()))) << "row " << row;
      } else if (row <= 16 && fault.Outcome == TOutcome::Refused) {
        // The refusal carries no records: the page's rows end empty, not holding the previous page.
        ASSERT_EQ(std::get<0>(now), "") << "row " << row;
      } else if (fault.Outcome != TOutcome::Refused) {
        ASSERT_EQ(std::get<0>(now), "+1" + std::to_string(row)) << "row " << row;
      }
    }
  }
  void CheckComplete(TE2eHarness& h) override {
    const TGrid& g = h.Session().NumberGrid;
    for (int row = 1; row <= 3000; ++row)
      ASSERT_EQ(RowText(g, row), Key(DecodeNumberRecord(h.Device.NumberRecord(row - 1).data())))
          << "row " << row;
  }
};

class TNumbersSave : public TTransfer {
 public:
  std::string Name() const override { return "NumbersSave"; }
  device::TFault Selector() const override {
    return {.Command = CMD_WRITE, .Region = TRegion::Numbers, .Page = 2};
  }
  void Prepare(TE2eHarness& h) override {
    h.Device.Populate(3000, 0, 9);
    old_ = h.Device.Numbers();
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
    new_.assign(3000 * 32, 0);
    for (int row = 1; row <= 3000; ++row)
      ASSERT_FALSE(EncodeNumberRecord(NumberRowCells(g, row), new_.data() + (row - 1) * 32).has_value());
  }
  void Start(TE2eHarness& h) override { h.Session().Numbers.StartSave(); }
  std::string SuccessMessage() const override { return "Authorized number list saved success"; }
  std::string RefusalMessage() const override { return "Number list data error"; }
  void CheckAfterFault(TE2eHarness& h, const TFaultCase& fault) override {
    const Bytes m = h.Device.Numbers();
    EXPECT_EQ(Page(m, 1), Page(new_, 1));
    EXPECT_EQ(Page(m, 2), Page(fault.CarriedOut ? new_ : old_, 2));
    for (int page = 3; page <= 375; ++page) ASSERT_EQ(Page(m, page), Page(old_, page)) << "page " << page;
  }
  void CheckComplete(TE2eHarness& h) override { EXPECT_TRUE(h.Device.Numbers() == new_); }

 private:
  static Bytes Page(const Bytes& m, int page) {
    return Bytes(m.begin() + (page - 1) * 256, m.begin() + page * 256);
  }
  Bytes old_, new_;
};

class THistoryRead : public TTransfer {
 public:
  std::string Name() const override { return "HistoryRead"; }
  device::TFault Selector() const override {
    return {.Command = CMD_READ, .Region = TRegion::History, .Page = 2};
  }
  void Prepare(TE2eHarness& h) override {
    h.Device.Populate(0, 1000, 3);
    TGrid& g = h.Session().HistoryGrid;
    for (int row = 1; row <= 1000; ++row) g.SetCell(kHisContent, row, "old " + std::to_string(row));
  }
  void Start(TE2eHarness& h) override { h.Session().History.ReadData(); }
  // The history read ends without a message box; the grid is compacted instead.
  std::string SuccessMessage() const override { return ""; }
  std::string RefusalMessage() const override { return ""; }
  void CheckAfterFault(TE2eHarness& h, const TFaultCase& fault) override {
    const TGrid& g = h.Session().HistoryGrid;
    if (fault.Outcome == TOutcome::Refused) {
      Bytes records = h.Device.History();
      std::fill(records.begin() + 256, records.begin() + 512, 0);
      ExpectCompacted(g, records);
      return;
    }
    for (int row = 1; row <= 2; ++row) {
      const auto cells = DecodeHistoryRecord(h.Device.HistoryRecord(row - 1).data(), TCodePage::System());
      for (int c = 0; c < 7; ++c) EXPECT_EQ(g.Cell(c + 1, row), cells[c]) << "row " << row;
    }
    for (int row = 3; row <= 1000; ++row) ASSERT_EQ(g.Cell(kHisContent, row), "old " + std::to_string(row));
  }
  void CheckComplete(TE2eHarness& h) override {
    ExpectCompacted(h.Session().HistoryGrid, h.Device.History());
  }

 private:
  // The grid after a whole read of these records: the program's own compaction of their decoding.
  static void ExpectCompacted(const TGrid& g, const Bytes& records) {
    TFakeSession ref;
    TGrid& want = ref.Session->HistoryGrid;
    for (int row = 1; row <= 1000; ++row) {
      const auto cells = DecodeHistoryRecord(records.data() + (row - 1) * 128, TCodePage::System());
      for (int c = 0; c < 7; ++c) want.SetCell(c + 1, row, cells[c]);
    }
    ref.Session->History.CompactRows();
    int kept = 0;
    for (int row = 1; row <= 1000; ++row) {
      kept += !want.Cell(kHisNumber, row).empty();
      for (int c = 1; c < 8; ++c)
        ASSERT_EQ(g.Cell(c, row), want.Cell(c, row)) << "row " << row << " col " << c;
    }
    EXPECT_GT(kept, 0);
  }
};

class TDeleteHistory : public TTransfer {
 public:
  std::string Name() const override { return "DeleteHistory"; }
  device::TFault Selector() const override { return {.Command = CMD_DELETE_HISTORY}; }
  void Prepare(TE2eHarness& h) override {
    h.Device.Populate(0, 1000, 4);
    old_ = h.Device.History();
  }
  void Start(TE2eHarness& h) override {
    ASSERT_TRUE(DeleteAllHistory(h.Operator, h.Session().DeleteHistory));
  }
  std::string SuccessMessage() const override { return "Historical data deleted"; }
  std::string RefusalMessage() const override { return "Historical data delet error"; }
  void CheckAfterFault(TE2eHarness& h, const TFaultCase& fault) override {
    if (fault.CarriedOut)
      CheckComplete(h);
    else
      EXPECT_TRUE(h.Device.History() == old_);
  }
  void CheckComplete(TE2eHarness& h) override {
    for (int i = 0; i < 1000; ++i) ASSERT_NE(h.Device.HistoryRecord(i), THistoryRecordOf(old_, i)) << i;
  }
  bool ResumesAfterLateReply() const override { return false; }

 private:
  static device::THistoryRecord THistoryRecordOf(const Bytes& all, int i) {
    device::THistoryRecord r;
    std::copy_n(all.begin() + i * 128, 128, r.begin());
    return r;
  }
  Bytes old_;
};

class TTimeSync : public TTransfer {
 public:
  std::string Name() const override { return "TimeSync"; }
  device::TFault Selector() const override { return {.Command = CMD_TIME_SYNC}; }
  void Prepare(TE2eHarness& h) override { h.Device.SetClock({2001, 2, 3, 4, 5, 6}); }
  void Start(TE2eHarness& h) override { h.Session().TimeSync.Send(); }
  std::string SuccessMessage() const override { return "1同步时间返回正确"; }
  std::string RefusalMessage() const override { return "0同步时间返回错误"; }
  void CheckAfterFault(TE2eHarness& h, const TFaultCase& fault) override {
    if (fault.CarriedOut)
      CheckComplete(h);
    else
      EXPECT_EQ(h.Device.Clock().Year, 2001);
  }
  void CheckComplete(TE2eHarness& h) override {
    const TDateTime t = h.Device.Clock(), want = h.Clock.Now();
    EXPECT_EQ(std::tie(t.Year, t.Month, t.Day, t.Hour, t.Minute, t.Second),
              std::tie(want.Year, want.Month, want.Day, want.Hour, want.Minute, want.Second));
  }
  bool ResumesAfterLateReply() const override { return false; }
};

std::unique_ptr<TTransfer> MakeTransfer(int i) {
  switch (i) {
    case 0:
      return std::make_unique<TLogin>();
    case 1:
      return std::make_unique<TSettingsRead>();
    case 2:
      return std::make_unique<TSettingsSave>();
    case 3:
      return std::make_unique<TNumbersRead>();
    case 4:
      return std::make_unique<TNumbersSave>();
    case 5:
      return std::make_unique<THistoryRead>();
    case 6:
      return std::make_unique<TDeleteHistory>();
    default:
      return std::make_unique<TTimeSync>();
  }
}
constexpr int kTransferCount = 8;

// ---- the matrix ------------------------------------------------------------------------------------

class FaultMatrix : public ::testing::TestWithParam<std::tuple<int, int>> {
 protected:
  FaultMatrix()
      : fault_(kFaults[std::get<0>(GetParam())]), transfer_(MakeTransfer(std::get<1>(GetParam()))) {}

  // After a hang-up the port is gone: the operator closes it and opens the device's port again.
  // No worker may be left behind by the port that died under it.
  void Reconnect() {
    H.Device.Stop();
    H.Comm.ClosePort();
    EXPECT_FALSE(H.Comm.PortOpen());
    EXPECT_EQ(ThreadCount(), threadsAtStart_);
    ASSERT_TRUE(H.Device.Start()) << H.Device.Error();
    ASSERT_TRUE(H.OpenPort()) << H.Problem();
    EXPECT_EQ(ThreadCount(), threadsAtStart_ + 3);  // the device's and the two workers
  }

  TFaultCase fault_;
  std::unique_ptr<TTransfer> transfer_;
  const int threadsAtStart_ = ThreadCount();
  TE2eHarness H;
};

TEST_P(FaultMatrix, FailsAsTheOperatorIsToldAndTheNextRunSucceeds) {
  ASSERT_TRUE(H.Start()) << H.Problem();
  transfer_->Prepare(H);
  if (HasFatalFailure()) return;
  device::TFault f = transfer_->Selector();
  f.Kind = fault_.Kind;
  f.DelayMs = kLateMs;
  H.Device.AddFault(f);
  H.Operator.Messages.clear();
  H.StatusView.History.clear();

  transfer_->Start(H);
  if (HasFatalFailure()) return;
  // Up to the faulted request; a late reply is not let in before the reply timer has had its say.
  ASSERT_TRUE(H.PumpUntil([&] { return H.Device.Counters().Faults >= 1; }));
  if (fault_.Outcome != TOutcome::Resumed) {
    ASSERT_TRUE(H.Device.WaitFor([](const device::TDeviceCounters& c) { return c.Handled >= c.Received; }));
    H.DrainFor(50);
  }
  if (H.Link().Busy()) H.Timers.Advance(3000);
  EXPECT_FALSE(H.Link().Busy()) << "the exchange is still open";
  if (fault_.Outcome == TOutcome::Resumed) {
    // Now the late reply, and whatever the transfer does with it.
    ASSERT_TRUE(H.Device.WaitFor([](const device::TDeviceCounters& c) { return c.Answered >= c.Received; }));
    H.DrainFor(50);
    ASSERT_TRUE(H.PumpUntilIdle());
  }

  const Texts& shown = H.Operator.Messages;
  switch (fault_.Outcome) {
    case TOutcome::Timeout:
      EXPECT_EQ(shown, Texts{kTimeout});
      EXPECT_FALSE(H.StatusView.ProgressVisible);
      transfer_->CheckAfterFault(H, fault_);
      break;
    case TOutcome::Invalid:
      EXPECT_TRUE(shown.empty()) << shown.front();
      EXPECT_TRUE(Contains(H.StatusView.History, "Invalid data"));
      transfer_->CheckAfterFault(H, fault_);
      break;
    case TOutcome::Refused:
      if (transfer_->RefusalMessage().empty())
        EXPECT_TRUE(shown.empty());
      else
        EXPECT_EQ(shown, Texts{transfer_->RefusalMessage()});
      transfer_->CheckAfterFault(H, fault_);
      break;
    case TOutcome::Resumed:
      ASSERT_FALSE(shown.empty());
      EXPECT_EQ(shown.front(), kTimeout);
      if (transfer_->ResumesAfterLateReply()) {
        if (!transfer_->SuccessMessage().empty()) EXPECT_EQ(shown.back(), transfer_->SuccessMessage());
        transfer_->CheckComplete(H);
      } else {
        transfer_->CheckAfterFault(H, fault_);
      }
      break;
    case TOutcome::Clean:
      // A duplicated reply may repeat the closing message; nothing else may appear.
      for (const std::string& m : shown) EXPECT_EQ(m, transfer_->SuccessMessage());
      if (!transfer_->SuccessMessage().empty()) EXPECT_FALSE(shown.empty());
      transfer_->CheckComplete(H);
      break;
  }
  if (HasFatalFailure()) return;

  // Let whatever the fault still had in the pipe arrive and settle.
  ASSERT_TRUE(H.Device.WaitFor([](const device::TDeviceCounters& c) { return c.Handled >= c.Received; }));
  H.DrainFor(50);
  if (H.Link().Busy()) H.Timers.Advance(3000);
  ASSERT_FALSE(H.Link().Busy());
  if (fault_.Kind == TFaultKind::Hangup) {
    EXPECT_TRUE(H.Device.HungUp());
    Reconnect();
    if (HasFatalFailure()) return;
  }

  // The same transfer without the fault.
  H.Device.ClearFaults();
  transfer_->Prepare(H);
  if (HasFatalFailure()) return;
  H.Operator.Messages.clear();
  transfer_->Start(H);
  if (HasFatalFailure()) return;
  ASSERT_TRUE(H.PumpUntilIdle(30000));
  if (transfer_->SuccessMessage().empty())
    EXPECT_TRUE(H.Operator.Messages.empty());
  else
    EXPECT_EQ(H.Operator.Messages, Texts{transfer_->SuccessMessage()});
  transfer_->CheckComplete(H);
}

std::string CaseName(const ::testing::TestParamInfo<std::tuple<int, int>>& info) {
  std::string kind = device::FaultKindName(kFaults[std::get<0>(info.param)].Kind);
  std::replace(kind.begin(), kind.end(), '-', '_');
  return kind + "_" + MakeTransfer(std::get<1>(info.param))->Name();
}

INSTANTIATE_TEST_SUITE_P(EveryFaultEveryTransfer, FaultMatrix,
                         ::testing::Combine(::testing::Range(0, static_cast<int>(std::size(kFaults))),
                                            ::testing::Range(0, kTransferCount)),
                         CaseName);

}  // namespace
}  // namespace torvane::testing
