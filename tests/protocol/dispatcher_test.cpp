#include <gtest/gtest.h>

#include <vector>

#include "protocol_fixture.h"

namespace torvane::testing {
namespace {

using Bytes = std::vector<uint8_t>;
using Texts = std::vector<std::string>;

// --- the assembler -------------------------------------------------------------------------------

TEST_F(DispatcherFixture, EmptySettingsReplyReachesTheSettingsDecoder) {
  Settings.Address = 0x55;
  Feed({0x23, 0x83, 0, 0, 0, 0, 0, 0, 0x83});
  EXPECT_EQ(Settings.Decoded, 1);
  EXPECT_EQ(Settings.Addresses, (std::vector<int32_t>{0}));
  EXPECT_EQ(Valid.Length, 0);
  EXPECT_EQ(Shown(), (Texts{"Reading basic setting"}));
  EXPECT_TRUE(Operator.Messages.empty());
  EXPECT_FALSE(Rec.Receiving);
  EXPECT_EQ(Rec.RawCount, 0);
}

TEST_F(DispatcherFixture, EveryByteShowsDataCommunicationAndStopsTheReplyTimer) {
  ReplyTimer->Start();
  Feed({0x00});
  EXPECT_FALSE(ReplyTimer->Enabled());
  EXPECT_EQ(View.History, (Texts{"Data communication"}));
}

TEST_F(DispatcherFixture, ABlockOfSeveralBytesLosesNone) {
  const Bytes frame = MakeFrame(CMD_READ, 0x1000, {1, 2, 3});
  Dispatcher.cm1ReceiveData(frame.data(), static_cast<uint16_t>(frame.size()));
  EXPECT_EQ(Numbers.Decoded, 1);
  EXPECT_EQ(Valid.Length, 3);
}

TEST_F(DispatcherFixture, NoiseBeforeTheStartByteIsDropped) {
  Bytes bytes{0x00, 0xFF, 0x83, 0x01, 0x55};
  const Bytes frame = MakeFrame(CMD_READ, 0x1000, {1, 2, 3});
  bytes.insert(bytes.end(), frame.begin(), frame.end());
  Feed(bytes);
  EXPECT_EQ(Numbers.Decoded, 1);
  EXPECT_EQ(Numbers.Addresses, (std::vector<int32_t>{0x1000}));
  EXPECT_EQ(Bytes(Numbers.FirstBytes.begin(), Numbers.FirstBytes.begin() + 3), (Bytes{1, 2, 3}));
  EXPECT_EQ(Shown().size(), 1u);
}

TEST_F(DispatcherFixture, StartByteInsidePayloadIsData) {
  Feed(MakeFrame(CMD_READ, 0x30000, {0x23, 0x23, 0x83, 0x23}));
  ASSERT_EQ(History.Decoded, 1);
  EXPECT_EQ(Bytes(History.FirstBytes.begin(), History.FirstBytes.begin() + 4),
            (Bytes{0x23, 0x23, 0x83, 0x23}));
  EXPECT_EQ(Valid.Address, 0x30000);
  EXPECT_EQ(Valid.Length, 4);
}

TEST_F(DispatcherFixture, BadChecksumIsRejectedAndTheNextFrameIsTaken) {
  Bytes bad = MakeFrame(CMD_READ, 0x1000, {9, 9, 9});
  bad.back() ^= 0x40;
  Feed(bad);
  EXPECT_EQ(Numbers.Decoded, 0);
  EXPECT_EQ(Shown(), (Texts{"Invalid data"}));
  EXPECT_FALSE(Rec.Receiving);
  Feed(MakeFrame(CMD_READ, 0x1100, {4, 5}));
  EXPECT_EQ(Numbers.Decoded, 1);
  EXPECT_EQ(Numbers.Addresses, (std::vector<int32_t>{0x1100}));
}

TEST_F(DispatcherFixture, OversizedLengthIsDroppedWithoutOverrunningTheRecord) {
  // Declares 0x0101 = 257 payload bytes.
  Bytes bytes{0x23, 0x83, 0, 0, 0x10, 0, 0x01, 0x01};
  Bytes payload(257, 0x11);
  bytes.insert(bytes.end(), payload.begin(), payload.end());
  Feed(bytes);
  EXPECT_EQ(Numbers.Decoded, 0);
  ASSERT_FALSE(Shown().empty());
  EXPECT_EQ(Shown().front(), "Invalid data");
  EXPECT_FALSE(Rec.Receiving);
  Feed(MakeFrame(CMD_READ, 0x1000, Bytes(256, 0x22)));
  EXPECT_EQ(Numbers.Decoded, 1);
  EXPECT_EQ(Valid.Length, 256);
}

TEST_F(DispatcherFixture, AFullPageIsCopiedWhole) {
  Bytes payload(256);
  for (int i = 0; i < 256; ++i) payload[i] = static_cast<uint8_t>(255 - i);
  Feed(MakeFrame(CMD_READ, 0x200, payload));
  ASSERT_EQ(Settings.Decoded, 1);
  EXPECT_TRUE(std::equal(payload.begin(), payload.end(), Settings.Buffer.begin()));
  EXPECT_TRUE(std::equal(payload.begin(), payload.end(), Valid.Data.begin()));
  EXPECT_EQ(Valid.Data[256], MakeFrame(CMD_READ, 0x200, payload).back());
}

TEST_F(DispatcherFixture, RandomBytesNeverLeaveTheRecord) {
  uint32_t state = 12345;
  auto next = [&] {
    state = state * 1103515245u + 12345u;
    return static_cast<uint8_t>(state >> 16);
  };
  for (int i = 0; i < 200000; ++i) {
    // Plenty of start bytes and short lengths, so that frames do complete now and then.
    uint8_t b = next();
    if (b < 0x20) b = 0x23;
    if (b >= 0xF0) b = 0x00;
    Feed({b});
    ASSERT_LE(Rec.RawCount, kMaxPayload + 8);
  }
  // However a frame was left, 300 bytes without a start byte complete it or leave it idle.
  Feed(Bytes(300, 0x00));
  const int before = Settings.Decoded;
  Feed(MakeFrame(CMD_READ, 0x100, {1, 2}));
  EXPECT_EQ(Settings.Decoded, before + 1);
}

// --- routing -------------------------------------------------------------------------------------

TEST_F(DispatcherFixture, NumberListReadShowsPageAndProgress) {
  Numbers.PageCount = 375;
  Numbers.NextPage = 2;
  Feed(MakeFrame(CMD_READ, 0x1000, Bytes(256, 0)));
  EXPECT_EQ(Shown(), (Texts{"Reading number list:1/375"}));
  EXPECT_EQ(View.ProgressPosition, 0);  // 2 * 100 div 375
  EXPECT_EQ(Numbers.Decoded, 1);

  Numbers.NextPage = 376;
  Feed(MakeFrame(CMD_READ, 0x1000 + 374 * 0x100, Bytes(256, 0)));
  EXPECT_EQ(Shown().back(), "Reading number list:375/375");
  EXPECT_EQ(View.ProgressPosition, 100);
  EXPECT_FALSE(View.ProgressVisible);
}

TEST_F(DispatcherFixture, NumberListProgressMidway) {
  Numbers.PageCount = 375;
  Numbers.NextPage = 188;
  Feed(MakeFrame(CMD_READ, 0x1000 + 186 * 0x100, Bytes(8, 0)));
  EXPECT_EQ(Shown(), (Texts{"Reading number list:187/375"}));
  EXPECT_EQ(View.ProgressPosition, 50);
  EXPECT_TRUE(View.ProgressVisible);
}

TEST_F(DispatcherFixture, NoProgressForARegionWithNoTransferRunning) {
  Feed(MakeFrame(CMD_READ, 0x1000, {1}));
  EXPECT_EQ(Shown(), (Texts{"Reading number list:-1/0"}));
  EXPECT_TRUE(View.Positions.empty());
  EXPECT_EQ(Numbers.Decoded, 1);
}

TEST_F(DispatcherFixture, HistoryReadShowsPageAndProgress) {
  History.PageCount = 500;
  History.NextPage = 2;
  Feed(MakeFrame(CMD_READ, 0x30000, Bytes(256, 0)));
  EXPECT_EQ(Shown(), (Texts{"Reading historical data:1/500"}));
  EXPECT_EQ(View.Positions, (std::vector<int>{0}));
  History.NextPage = 251;
  Feed(MakeFrame(CMD_READ, 0x30000 + 249 * 0x100, Bytes(256, 0)));
  EXPECT_EQ(Shown().back(), "Reading historical data:250/500");
  EXPECT_EQ(View.ProgressPosition, 50);
  EXPECT_EQ(History.Decoded, 2);
}

TEST_F(DispatcherFixture, HistoryWithNextPageZeroShowsNoProgress) {
  History.PageCount = 500;
  History.NextPage = 0;
  Feed(MakeFrame(CMD_READ, 0x30100, {1}));
  EXPECT_TRUE(View.Positions.empty());
  EXPECT_EQ(History.Decoded, 1);
}

TEST_F(DispatcherFixture, AddressWithTopBitSetIsHistory) {
  Feed(MakeFrame(CMD_READ, 0x80000000u, {1}));
  EXPECT_EQ(History.Decoded, 1);
  EXPECT_EQ(Settings.Decoded, 0);
}

TEST_F(DispatcherFixture, SettingsWriteAcknowledgedRunsTheWriteStep) {
  Feed(MakeFrame(CMD_WRITE, 0x100, {1}));
  EXPECT_EQ(Shown(), (Texts{"Save basic settings"}));
  EXPECT_EQ(Settings.Written, 1);
  EXPECT_EQ(Settings.Addresses, (std::vector<int32_t>{0x100}));
  EXPECT_TRUE(Operator.Messages.empty());
}

TEST_F(DispatcherFixture, SettingsWriteRefusedShowsTheError) {
  Feed(MakeFrame(CMD_WRITE, 0x000, {0}));
  EXPECT_EQ(Settings.Written, 0);
  EXPECT_EQ(Operator.Messages, (Texts{"Basic setting error"}));
  // A reply without a payload is no acknowledgement, whatever the checksum byte behind it.
  Settings.Buffer[0] = 1;
  Feed(MakeFrame(CMD_WRITE, 0x001, {}));  // checksum 0x82 ^ 0x01
  EXPECT_EQ(Settings.Written, 0);
  EXPECT_EQ(Operator.Messages.size(), 2u);
}

TEST_F(DispatcherFixture, NumberListWriteCopiesTheChecksumByteToo) {
  Numbers.PageCount = 375;
  Numbers.NextPage = 3;
  const Bytes frame = MakeFrame(CMD_WRITE, 0x1100, {1});
  Feed(frame);
  EXPECT_EQ(Shown(), (Texts{"Save number list:2/375"}));
  EXPECT_EQ(View.ProgressPosition, 0);
  ASSERT_EQ(Numbers.Written, 1);
  EXPECT_EQ(Numbers.FirstBytes[1], frame.back());
}

TEST_F(DispatcherFixture, NumberListWriteRefused) {
  Numbers.PageCount = 375;
  Numbers.NextPage = 2;
  Feed(MakeFrame(CMD_WRITE, 0x1000, {2}));
  EXPECT_EQ(Numbers.Written, 0);
  EXPECT_EQ(Operator.Messages, (Texts{"Number list data error"}));
}

TEST_F(DispatcherFixture, WriteToHistoryRegionIsUndefinedAddress) {
  Feed(MakeFrame(CMD_WRITE, 0x30000, {1}));
  EXPECT_EQ(Shown(), (Texts{"Undefined address"}));
  EXPECT_EQ(History.Written + History.Decoded + Settings.Written + Numbers.Written, 0);
  EXPECT_TRUE(Operator.Messages.empty());
}

TEST_F(DispatcherFixture, UnknownCommandIsUndefinedData) {
  Feed(MakeFrame(7, 0, {1}));
  EXPECT_EQ(Shown(), (Texts{"Undefined data"}));
  EXPECT_TRUE(Operator.Messages.empty());
}

struct TSingleReply {
  uint8_t Command;
  uint8_t FirstByte;
  const char* Status;
  const char* Dialog;
};

TEST_F(DispatcherFixture, SingleCommandReplies) {
  const TSingleReply cases[] = {
      {CMD_TIME_SYNC, 1, "Receives the data synchronization command returns", "1同步时间返回正确"},
      {CMD_TIME_SYNC, 0, "Receives the data synchronization command returns", "0同步时间返回错误"},
      {CMD_CHECK_MODE, 1, "Checking mode", "Enter"},
      {CMD_CHECK_MODE, 2, "Checking mode", "Error"},
      {CMD_DELETE_HISTORY, 1, "Delete command", "Historical data deleted"},
      {CMD_DELETE_HISTORY, 0, "Delete command", "Historical data delet error"},
  };
  for (const auto& c : cases) {
    View.History.clear();
    Operator.Messages.clear();
    Feed(MakeFrame(c.Command, 0x1234, {c.FirstByte, 1}));
    EXPECT_EQ(Shown(), (Texts{c.Status})) << int(c.Command);
    EXPECT_EQ(Operator.Messages, (Texts{c.Dialog})) << int(c.Command) << " " << int(c.FirstByte);
  }
  // Empty payload: the checksum byte (3 ^ 2 = 1) must not read as "accepted".
  Operator.Messages.clear();
  Feed(MakeFrame(CMD_TIME_SYNC, 2, {}));
  EXPECT_EQ(Operator.Messages, (Texts{"0同步时间返回错误"}));
}

TEST_F(DispatcherFixture, LoginReplyGoesToThePasswordCheckNotTheSettings) {
  Login.Verifying = true;
  Feed(MakeFrame(CMD_READ, 0, {'6', '8', '5', '3', 0, 0}));
  EXPECT_EQ(Settings.Decoded, 0);
  EXPECT_EQ(Settings.Address, 0);
  EXPECT_EQ(Settings.Buffer[0], 0);
  EXPECT_EQ(Shown(), (Texts{"Reading basic setting"}));
  EXPECT_EQ(Operator.Messages, (Texts{"Password confirmed!"}));
  EXPECT_FALSE(Login.Verifying);
  EXPECT_TRUE(Link.Unlocked());
}

TEST_F(DispatcherFixture, ShortLoginReplyLeavesNothingOfAnEarlierPageBehind) {
  Feed(MakeFrame(CMD_READ, 0, {'6', '8', '5', '3'}));  // a settings read: Data now starts with 6853
  Login.Verifying = true;
  Feed(MakeFrame(CMD_READ, 0, {'6'}));
  EXPECT_EQ(Operator.Messages, (Texts{"Password Error!"}));
}

// --- the one outstanding request ----------------------------------------------------------------

TEST_F(DispatcherFixture, ExchangeStaysOpenWhileTheHandlerAsksForMore) {
  Link.SendFrame(CMD_READ, 0x1000, 0, nullptr, "first");
  Numbers.RequestNext = true;
  Feed(MakeFrame(CMD_READ, 0x1000, {1}));
  EXPECT_TRUE(Link.Busy());
  EXPECT_TRUE(ReplyTimer->Enabled());
  EXPECT_EQ(Port.Sent.size(), 2u);
  Numbers.RequestNext = false;
  Feed(MakeFrame(CMD_READ, 0x1100, {1}));
  EXPECT_FALSE(Link.Busy());
  EXPECT_FALSE(ReplyTimer->Enabled());
}

TEST_F(DispatcherFixture, ErrorsAndDialogsEndTheExchange) {
  const Bytes bad = [] {
    Bytes f = MakeFrame(CMD_READ, 0, {1});
    f.back() ^= 1;
    return f;
  }();
  const std::vector<Bytes> replies{bad,
                                   MakeFrame(CMD_WRITE, 0, {0}),
                                   MakeFrame(CMD_WRITE, 0x30000, {1}),
                                   MakeFrame(9, 0, {}),
                                   MakeFrame(CMD_CHECK_MODE, 0, {1}),
                                   Bytes{0x23, 0x83, 0, 0, 0, 0, 0x7F, 0xFF, 0x00}};
  for (const auto& r : replies) {
    Link.SendFrame(CMD_READ, 0, 0, nullptr, "ask");
    ASSERT_TRUE(Link.Busy());
    Feed(r);
    EXPECT_FALSE(Link.Busy()) << int(r[1]);
    EXPECT_FALSE(ReplyTimer->Enabled()) << int(r[1]);
  }
}

TEST_F(DispatcherFixture, BytesWhileAwaitingAReplyKeepTheReplyTimerRunning) {
  Link.SendFrame(CMD_READ, 0, 0, nullptr, "ask");
  Feed({0x00, 0x23, 0x83, 0x00});  // noise, then a frame that stops short
  EXPECT_TRUE(ReplyTimer->Enabled());
  EXPECT_TRUE(Rec.Receiving);
}

TEST_F(DispatcherFixture, ANewRequestDiscardsAHalfCollectedFrame) {
  Feed({0x23, 0x83, 0x00, 0x00, 0x01});  // the start of a late reply, cut off
  Link.SendFrame(CMD_READ, 0x1000, 0, nullptr, "ask");
  Feed(MakeFrame(CMD_READ, 0x1000, {7}));
  EXPECT_EQ(Numbers.Decoded, 1);
  EXPECT_EQ(Settings.Decoded, 0);
  EXPECT_TRUE(Shown().back() != "Invalid data");
}

}  // namespace
}  // namespace torvane::testing
