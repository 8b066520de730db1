// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/basic_inf.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "settings/settings_changes.h"
#include "settings/settings_codec.h"
#include "support/fakes.h"

namespace torvane {
namespace {

using testing::MakeFrame;
using testing::TFakeSession;

std::vector<uint8_t> Page(const std::vector<std::pair<int, std::string>>& fields) {
  std::vector<uint8_t> p(kSettingsPageSize, 0);
  for (const auto& [offset, bytes] : fields) std::copy(bytes.begin(), bytes.end(), p.begin() + offset);
  return p;
}

// The payload of a write request the port saw.
std::vector<uint8_t> Payload(const std::vector<uint8_t>& frame) {
  return std::vector<uint8_t>(frame.begin() + 8, frame.end() - 1);
}

class BasicInf : public ::testing::Test {
 protected:
  TSession& S() { return *f.Session; }
  TBasicInf& Settings() { return f.Session->Settings; }
  std::string Content(int row) { return S().SettingsGrid.Cell(kContentCol, row); }
  // The device's reply, byte by byte through the receive side.
  void Reply(int32_t address, const std::vector<uint8_t>& payload) {
    f.Feed(MakeFrame(CMD_READ, static_cast<uint32_t>(address), payload));
  }
  void Ack(int32_t address, uint8_t verdict = 1) { f.Feed(MakeFrame(CMD_WRITE, address, {verdict})); }
  // As after a read: the device is known to hold what the grid shows now.
  void KnowDevice() {
    ASSERT_FALSE(
        ComposeSettingsPages(S().SettingsGrid, S().SettingsLists, TCodePage::System(), nullptr, held_));
    Settings().Device.SetAll(held_);
    Settings().Basis.SetAll(held_);
  }
  // A save reads the three pages before it writes anything: the device answers with what it holds.
  void AnswerBackup() {
    for (int page = 1; page <= 3; ++page) {
      ASSERT_EQ(f.Port.Sent.back(), MakeFrame(CMD_READ, (page - 1) * 0x100, {})) << "page " << page;
      f.Port.Sent.clear();
      Reply((page - 1) * 0x100,
            std::vector<uint8_t>(held_.begin() + (page - 1) * 256, held_.begin() + page * 256));
    }
  }
  std::array<uint8_t, kSettingsBytes> held_{};
  TFakeSession f;
};

TEST_F(BasicInf, AStrayPageReplyWithNoReadStartedRequestsNothing) {
  // A login reply that arrives after its last try reaches nobody.
  Reply(0x000, Page({{0, "1234"}}));
  EXPECT_TRUE(f.Port.Sent.empty());
  EXPECT_FALSE(S().Exchange.Busy());
  EXPECT_TRUE(f.Operator.Messages.empty());
  EXPECT_EQ(Content(1), "6853");
}

TEST_F(BasicInf, ReadAsksFirstAndRequestsNothingWhenDeclined) {
  f.Operator.ConfirmAnswer = false;
  Settings().StartRead();
  ASSERT_EQ(f.Operator.Questions.size(), 1u);
  EXPECT_EQ(f.Operator.Questions[0], "Read the GSM device basic parameters to PC software?");
  EXPECT_TRUE(f.Port.Sent.empty());
  EXPECT_FALSE(S().Exchange.Busy());
}

TEST_F(BasicInf, ReadRequestsThePagesInTurnAndDecodesEach) {
  Settings().StartRead();
  ASSERT_EQ(f.Port.Sent.size(), 1u);
  EXPECT_EQ(f.Port.Sent[0], MakeFrame(CMD_READ, 0x000, {}));
  EXPECT_EQ(f.StatusView.Text, "Read settings");
  EXPECT_EQ(Settings().PageCount(), 3);
  EXPECT_EQ(Settings().NextPage(), 2);

  Reply(0x000, Page({{0, "1234"}, {236, "\x50\x00"}}));
  EXPECT_EQ(Content(1), "1234");
  EXPECT_EQ(Content(19), "80");
  ASSERT_EQ(f.Port.Sent.size(), 2u);
  EXPECT_EQ(f.Port.Sent[1], MakeFrame(CMD_READ, 0x100, {}));
  EXPECT_NE(std::find(f.StatusView.History.begin(), f.StatusView.History.end(), "The first page"),
            f.StatusView.History.end());
  EXPECT_EQ(f.StatusView.Positions, (std::vector<int>{25, 40, 50}));

  Reply(0x100, Page({{78, "\x1E\x00"}}));
  EXPECT_EQ(Content(23), "30");
  EXPECT_EQ(f.Port.Sent.back(), MakeFrame(CMD_READ, 0x200, {}));

  Reply(0x200, Page({{16, "pub"}}));
  EXPECT_EQ(Content(27), "pub");
  EXPECT_EQ(f.Port.Sent.size(), 3u);
  EXPECT_EQ(f.Operator.Messages, (std::vector<std::string>{"Basic settings read to PC software success."}));
  EXPECT_EQ(f.StatusView.Text, "");
  EXPECT_FALSE(f.StatusView.ProgressVisible);
  EXPECT_FALSE(S().Exchange.Busy());
}

TEST_F(BasicInf, RepliesThatDoNotAnswerThePageAskedForChangeNothing) {
  Settings().StartRead();
  Reply(0x000, Page({{0, "1234"}}));
  const std::vector<std::pair<int32_t, std::vector<uint8_t>>> strays = {
      {0x300, Page({{0, "9999"}})},      // an address outside the table
      {0x000, Page({{0, "9999"}})},      // page 1 again, while page 2 is awaited
      {0x200, Page({{16, "early"}})},    // page 3 before page 2
      {0x100, std::vector<uint8_t>{0}},  // page 2 cut down to one byte: asked for again
  };
  for (const auto& [address, payload] : strays) Reply(address, payload);
  EXPECT_EQ(Content(1), "1234");
  EXPECT_EQ(Content(27), "");
  EXPECT_EQ(Content(23), "60");
  // Only the short page 2, which did answer the request, made it go out again.
  ASSERT_EQ(f.Port.Sent.size(), 3u);
  EXPECT_EQ(f.Port.Sent[2], MakeFrame(CMD_READ, 0x100, {}));
  EXPECT_TRUE(f.Operator.Messages.empty());
  Reply(0x100, Page({{78, "\x1E\x00"}}));
  Reply(0x200, Page({{16, "pub"}}));
  EXPECT_EQ(Content(27), "pub");
  EXPECT_EQ(f.Operator.Messages, (std::vector<std::string>{"Basic settings read to PC software success."}));
}

TEST_F(BasicInf, TheBackupReadOfASaveLeavesTheGridAlone) {
  S().SettingsGrid.SetCell(kContentCol, 1, "1111");
  Settings().StartSave();
  // The device's pages are not known: the save reads them first, into its backup, not into the grid.
  ASSERT_EQ(f.Port.Sent.size(), 1u);
  EXPECT_EQ(f.Port.Sent[0], MakeFrame(CMD_READ, 0x000, {}));
  Reply(0x000, Page({{0, "9999"}}));
  EXPECT_EQ(Content(1), "1111");
  EXPECT_EQ(f.Port.Sent.back(), MakeFrame(CMD_READ, 0x100, {}));
}

TEST_F(BasicInf, SaveSendsTheChangedPageAndReadsItBack) {
  KnowDevice();
  S().SettingsGrid.SetCell(kContentCol, 23, "61");  // page 2 only
  Settings().StartSave();
  AnswerBackup();
  ASSERT_EQ(f.Port.Sent.size(), 1u);
  const auto sent = f.Port.Sent[0];
  EXPECT_EQ(std::vector<uint8_t>(sent.begin(), sent.begin() + 8),
            (std::vector<uint8_t>{0x23, CMD_WRITE, 0, 0, 0x01, 0x00, 0x01, 0x00}));
  EXPECT_EQ(Payload(sent)[78], 61);
  EXPECT_EQ(f.StatusView.Text, "Save settings");
  // Grid changes made now are not what this save writes: the pages were made when it began.
  S().SettingsGrid.SetCell(kContentCol, 23, "62");
  Ack(0x100);
  ASSERT_EQ(f.Port.Sent.size(), 2u);
  EXPECT_EQ(f.Port.Sent[1], MakeFrame(CMD_READ, 0x100, {}));
  EXPECT_TRUE(f.Operator.Messages.empty());  // success only once the device shows it kept the page
  Reply(0x100, Payload(sent));
  EXPECT_EQ(f.Operator.Messages, (std::vector<std::string>{"Basic setting saved success"}));
  EXPECT_EQ(Settings().Device.Page(2)[78], 61);
  EXPECT_FALSE(f.StatusView.ProgressVisible);
}

TEST_F(BasicInf, APageReadBackOtherThanSentNamesTheParameters) {
  KnowDevice();
  S().SettingsGrid.SetCell(kContentCol, 21, "user");
  S().SettingsGrid.SetCell(kContentCol, 23, "61");
  Settings().StartSave();
  AnswerBackup();
  const auto sent = f.Port.Sent[0];
  Ack(0x100);
  std::vector<uint8_t> kept = Payload(sent);
  kept[78] = 60;  // the device kept the old heartbeat
  Reply(0x100, kept);
  ASSERT_EQ(f.Operator.Messages.size(), 1u);
  EXPECT_NE(f.Operator.Messages[0].find("23.Heartbeat Interval"), std::string::npos)
      << f.Operator.Messages[0];
  EXPECT_EQ(f.Operator.Messages[0].find("21.GPRS User Name"), std::string::npos);
  EXPECT_EQ(Settings().Outcome(), TTransferOutcome::NotKept);
}

TEST_F(BasicInf, NothingChangedWritesNothingAndSaysTheDeviceHoldsIt) {
  KnowDevice();
  Settings().StartSave();
  AnswerBackup();
  EXPECT_TRUE(f.Port.Sent.empty());
  EXPECT_EQ(f.Operator.Messages, (std::vector<std::string>{"Basic setting saved success"}));
  EXPECT_FALSE(S().Exchange.Busy());
}

TEST_F(BasicInf, ThePasswordMustBeFourDigitsToBeSaved) {
  const struct {
    const char* Cell;
    bool Saved;
  } cases[] = {{"123", false},  {"", false},     {"12345", false}, {"12a4", false},
               {"+123", false}, {"12 4", false}, {"0000", true},   {"6853", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string("password '") + c.Cell + "'");
    TFakeSession s;
    s.Session->SettingsGrid.SetCell(kContentCol, 1, c.Cell);
    s.Session->Settings.StartSave();
    EXPECT_EQ(s.Port.Sent.size(), c.Saved ? 1u : 0u);
    EXPECT_EQ(s.Session->Exchange.Busy(), c.Saved);
    if (!c.Saved) {
      ASSERT_EQ(s.Operator.Errors.size(), 1u);
      EXPECT_EQ(s.Operator.Errors[0].rfind("1.Password", 0), 0u) << s.Operator.Errors[0];
      EXPECT_NE(s.Operator.Errors[0].find("Log in"), std::string::npos);
    }
  }
}

TEST_F(BasicInf, APasswordOfFewerDigitsOnTheDeviceStillShowsAsRead) {
  Settings().StartRead();
  Reply(0x000, Page({{0, "12"}}));
  EXPECT_EQ(Content(1), "12");
}

TEST_F(BasicInf, PortAbove65535StopsTheSaveNamingParameterAndValue) {
  KnowDevice();
  S().SettingsGrid.SetCell(kContentCol, 19, "70000");
  Settings().StartSave();
  EXPECT_TRUE(f.Port.Sent.empty());
  ASSERT_EQ(f.Operator.Errors.size(), 1u);
  EXPECT_NE(f.Operator.Errors[0].find("19.Server Port(0-65535)"), std::string::npos);
  EXPECT_NE(f.Operator.Errors[0].find("70000"), std::string::npos);
  EXPECT_FALSE(S().Exchange.Busy());
  EXPECT_TRUE(f.Operator.Messages.empty());
}

TEST_F(BasicInf, ANonNumericCellStopsTheSaveBeforeAnythingIsSent) {
  KnowDevice();
  S().SettingsGrid.SetCell(kContentCol, 1, "1111");  // page 1 would change too
  S().SettingsGrid.SetCell(kContentCol, 23, "6O");
  Settings().StartSave();
  EXPECT_TRUE(f.Port.Sent.empty());
  ASSERT_EQ(f.Operator.Errors.size(), 1u);
  EXPECT_EQ(f.Operator.Errors[0], "'6O' is not a valid integer value");
  EXPECT_FALSE(S().Exchange.Busy());
  EXPECT_EQ(Settings().Outcome(), TTransferOutcome::NotEncoded);
}

TEST_F(BasicInf, NothingStartsWhileAnotherExchangeIsOpen) {
  Settings().StartSave();
  ASSERT_TRUE(S().Exchange.Busy());
  Settings().StartRead();
  Settings().StartSave();
  EXPECT_EQ(f.Port.Sent.size(), 1u);
  EXPECT_TRUE(f.Operator.Questions.empty());
}

TEST_F(BasicInf, RefusedPageShowsTheErrorAndTheSaveStops) {
  S().UnlockControls();
  KnowDevice();
  S().SettingsGrid.SetCell(kContentCol, 1, "1111");
  S().SettingsGrid.SetCell(kContentCol, 23, "61");
  Settings().StartSave();
  AnswerBackup();
  Ack(0x000);
  ASSERT_EQ(f.Port.Sent.size(), 2u);
  Ack(0x100, 0);
  EXPECT_EQ(f.Port.Sent.size(), 2u);
  EXPECT_EQ(f.Operator.Messages, (std::vector<std::string>{"Basic setting error"}));
  EXPECT_FALSE(S().Exchange.Busy());
  EXPECT_EQ(Settings().NextPage(), 3);
  EXPECT_EQ(Settings().Outcome(), TTransferOutcome::Refused);
  // Part of the save is on the device: what it holds is no longer known.
  EXPECT_FALSE(Settings().Device.Known());
}

// Stop asked for while a request is in flight: that page is answered, nothing more goes out, and a
// save whose every page was written and read back is a save, not a stop.
TEST_F(BasicInf, StopAtEachPassBoundaryEndsTheSaveAfterThePageInFlight) {
  struct TCase {
    const char* Name;
    int StopAt;  // the request in flight (0-based): three backup reads, two writes, two read-backs
    int Writes;
    const char* Box;
  };
  const TCase cases[] = {
      {"the first backup page", 0, 0,
       "Stopped after page 1 of 3. That was the backup read before the save: nothing was written to the "
       "device."},
      {"the backup's last page", 2, 0,
       "Stopped after page 3 of 3. That was the backup read before the save: nothing was written to the "
       "device."},
      {"the first write", 3, 1,
       "Stopped after page 1 of 2. The device now holds the first 1 pages sent of the new basic settings "
       "and the rest of the old one."},
      {"the last write", 4, 2,
       "Stopped after page 2 of 2. Every page was written; none was read back to check that the device "
       "kept them."},
      {"the last read-back", 6, 2, "Basic setting saved success"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TFakeSession g;
    TSession& s = *g.Session;
    std::array<uint8_t, kSettingsBytes> held{};
    ASSERT_FALSE(ComposeSettingsPages(s.SettingsGrid, s.SettingsLists, TCodePage::System(), nullptr, held));
    s.SettingsGrid.SetCell(kContentCol, 7, "11");   // page 1
    s.SettingsGrid.SetCell(kContentCol, 23, "61");  // page 2
    // The device: reads answered from what it holds, writes kept and acknowledged, one at a time.
    auto serve = [&](size_t from, int stopAt) {
      int writes = 0;
      for (size_t i = from; i < g.Port.Sent.size(); ++i) {
        const std::vector<uint8_t> ask = g.Port.Sent[i];
        if (static_cast<int>(i) == stopAt) s.Settings.Stop();
        const int32_t address = ask[4] << 8 | ask[5];
        if (ask[1] == CMD_WRITE) {
          ++writes;
          std::copy(ask.begin() + 8, ask.end() - 1, held.begin() + address);
          g.Feed(MakeFrame(CMD_WRITE, address, {1}));
        } else {
          g.Feed(MakeFrame(CMD_READ, address,
                           std::vector<uint8_t>(held.begin() + address, held.begin() + address + 256)));
        }
      }
      return writes;
    };
    s.Settings.StartSave();
    EXPECT_EQ(serve(0, c.StopAt), c.Writes);
    EXPECT_EQ(g.Operator.Messages, (std::vector<std::string>{c.Box}));
    EXPECT_FALSE(s.Exchange.Busy());
    // The request to stop belonged to that save: the next one runs to its end.
    const size_t sent = g.Port.Sent.size();
    s.Settings.StartSave();
    serve(sent, -1);
    EXPECT_EQ(g.Operator.Messages.back(), "Basic setting saved success");
  }
}

TEST_F(BasicInf, TimeoutMidReadKeepsThePagesAlreadyDecoded) {
  S().UnlockControls();
  Settings().StartRead();
  Reply(0x000, Page({{0, "4321"}, {4, "13800138000"}}));
  ASSERT_EQ(f.Port.Sent.size(), 2u);
  f.Timers.Advance(3 * 3000);
  EXPECT_EQ(f.Operator.Messages, (std::vector<std::string>{"Receive timeout"}));
  EXPECT_EQ(Content(1), "4321");
  EXPECT_EQ(Content(2), "13800138000");
  EXPECT_EQ(Content(23), "60");  // page 2 never came
  EXPECT_FALSE(S().Exchange.Busy());
  EXPECT_EQ(f.Port.Sent.size(), 4u);  // page 2 asked for three times
  EXPECT_EQ(Settings().Outcome(), TTransferOutcome::Timeout);
}

TEST(SettingsGridSetUp, HeadingsLabelsDescriptionsAndDefaults) {
  TGrid grid(3, kSettingsRowCount);
  TSettingsLists lists;
  lists.SetItemIndex(lists.Arm, 1);
  lists.SetVisible(lists.Arm, true);
  SetUpSettingsGrid(grid, lists);
  EXPECT_EQ(grid.Cell(0, 0), "Items");
  EXPECT_EQ(grid.Cell(1, 0), "Content");
  EXPECT_EQ(grid.Cell(2, 0), "Description");
  EXPECT_EQ(grid.Cell(0, 1), "1.Password");
  EXPECT_EQ(grid.Cell(1, 1), "6853");
  EXPECT_EQ(grid.Cell(2, 1), "Default Password:6853");
  EXPECT_EQ(grid.Cell(0, 10), "10.Relay swtich ON timer(0~999, Unit:Second)");
  EXPECT_EQ(grid.Cell(1, 2), "");
  EXPECT_EQ(grid.Cell(1, 19), "");
  EXPECT_EQ(grid.Cell(1, 15), "999");
  EXPECT_EQ(grid.Cell(2, 28), "MQTT Subscribe");
  std::vector<int> indexes;
  for (TListChoice* l : lists.All()) {
    indexes.push_back(l->ItemIndex);
    EXPECT_FALSE(l->Visible);
    EXPECT_EQ(grid.Cell(1, l->Row), l->Text());
  }
  EXPECT_EQ(indexes, (std::vector<int>{1, 1, 0, 1, 3, 3}));
}

}  // namespace
}  // namespace torvane
