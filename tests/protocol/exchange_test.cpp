// SPDX-License-Identifier: GPL-3.0-or-later
// The receive side and the exchange engine on fakes: how bytes become frames, which frames answer the
// outstanding request, and what a missing, bad or stray reply does.
#include "protocol/exchange.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "protocol/dispatcher.h"
#include "protocol/frame.h"
#include "support/fakes.h"

namespace torvane::testing {
namespace {

using Bytes = std::vector<uint8_t>;
using Texts = std::vector<std::string>;

// Records what the engine hands over; answers as the test says.
struct TSpyClient : IExchangeClient {
  std::vector<TReply> Replies;
  std::vector<Bytes> Payloads;
  std::vector<TExchangeFailure> Failures;
  bool Usable = true;
  std::function<void()> Next;  // asks for more, as a running transfer does

  bool OnReply(const TReply& r) override {
    if (!Usable) return false;
    Replies.push_back(r);
    Payloads.emplace_back(r.Payload.begin(), r.Payload.end());
    if (Next) Next();
    return true;
  }
  void OnFailed(TExchangeFailure why) override { Failures.push_back(why); }
};

struct ExchangeTest : ::testing::Test {
  TFakeOperator Operator;
  TFakeStatusView View;
  TFakePort Port;
  TManualClock Timers;
  TFixedClock Clock{{2026, 12, 7, 18, 30, 5}};
  std::unique_ptr<ITimer> ReplyTimer = Timers.CreateTimer(3000);
  std::unique_ptr<ITimer> ClearTimer = Timers.CreateTimer(3000);
  Tstatusbar_ctrl Status{View, *ClearTimer};
  Tprogressbar_ctrl Progress{View};
  TContext Context{Operator, Status, Progress, Clock};
  TExchange Exchange{Port, *ReplyTimer, Context};
  TRecData Rec;
  TReceiveDispatcher Dispatcher{Exchange, Context, Rec};
  TSpyClient Client;

  ExchangeTest() {
    ReplyTimer->OnTimer = [this] { Exchange.OnReplyTimeout(); };
  }

  void Feed(const Bytes& bytes) {
    for (uint8_t b : bytes) Dispatcher.cm1ReceiveData(&b, 1);
  }
  void Ask(uint8_t command, int32_t address, bool anyAddress = false) {
    Exchange.Send(Client, command, address, {}, "ask", anyAddress);
  }
  // Status texts other than the per-byte "Data communication".
  Texts Shown() const {
    Texts out;
    for (const auto& t : View.History)
      if (t != "Data communication") out.push_back(t);
    return out;
  }
  static Bytes Corrupt(Bytes f) {
    f.back() ^= 0x40;
    return f;
  }
};

// ---- frames off the line ----------------------------------------------------------------------

TEST_F(ExchangeTest, FramesAreTakenWholeWhateverSurroundsThem) {
  Ask(CMD_READ, 0x1000);
  Bytes bytes{0x00, 0xFF, 0x83, 0x01};                                        // noise before the start byte
  const Bytes frame = MakeFrame(CMD_READ, 0x1000, {0x23, 0x23, 0x83, 0x23});  // start bytes as data
  bytes.insert(bytes.end(), frame.begin(), frame.end());
  // One block of many bytes loses none.
  Dispatcher.cm1ReceiveData(bytes.data(), static_cast<uint16_t>(bytes.size()));
  ASSERT_EQ(Client.Payloads.size(), 1u);
  EXPECT_EQ(Client.Payloads[0], (Bytes{0x23, 0x23, 0x83, 0x23}));
  EXPECT_EQ(Client.Replies[0].Address, 0x1000);
  EXPECT_FALSE(Rec.Receiving);
}

TEST_F(ExchangeTest, AFullPageIsHandedOverExactly) {
  Bytes payload(256);
  for (int i = 0; i < 256; ++i) payload[i] = static_cast<uint8_t>(255 - i);
  Ask(CMD_READ, 0x200);
  Feed(MakeFrame(CMD_READ, 0x200, payload));
  ASSERT_EQ(Client.Payloads.size(), 1u);
  EXPECT_EQ(Client.Payloads[0], payload);
}

TEST_F(ExchangeTest, RandomBytesNeverLeaveTheRecord) {
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
  // A new request starts the assembler afresh, however the noise left it.
  Ask(CMD_READ, 0x100);
  Feed(MakeFrame(CMD_READ, 0x100, {1, 2}));
  EXPECT_EQ(Client.Payloads.size(), 1u);
}

TEST_F(ExchangeTest, ANewRequestDiscardsAHalfCollectedFrame) {
  Feed({0x23, 0x83, 0x00, 0x00, 0x01});  // the start of a late reply, cut off
  Ask(CMD_READ, 0x1000);
  Feed(MakeFrame(CMD_READ, 0x1000, {7}));
  ASSERT_EQ(Client.Payloads.size(), 1u);
  EXPECT_EQ(Client.Payloads[0], (Bytes{7}));
}

TEST_F(ExchangeTest, AnOversizedFramePassesWithoutATextPerByte) {
  Ask(CMD_READ, 0x1000);
  Bytes bytes{0x23, 0x83, 0, 0, 0x10, 0, 0x01, 0x2C};  // declares 300 bytes
  bytes.insert(bytes.end(), 301, 0x23);                // payload and checksum: start bytes, all skipped
  View.History.clear();
  Feed(bytes);
  // The header and the first payload byte (which tells the length is wrong) were taken; the rest passes
  // in silence, then the request goes out again.
  int perByte = 0;
  for (const auto& t : View.History) perByte += t == "Data communication";
  EXPECT_EQ(perByte, 9);
  EXPECT_EQ(Shown(), (Texts{"Invalid data", "Invalid data", "ask"}));
  EXPECT_EQ(Port.Sent.size(), 2u);
  Feed(MakeFrame(CMD_READ, 0x1000, Bytes(256, 0x22)));
  EXPECT_EQ(Client.Payloads.size(), 1u);
}

// ---- which reply answers -----------------------------------------------------------------------

struct TMatchCase {
  const char* Name;
  bool Outstanding;
  uint8_t AskCommand;
  int32_t AskAddress;
  bool AnyAddress;
  uint8_t ReplyCommand;
  int32_t ReplyAddress;
  bool Taken;
};

TEST_F(ExchangeTest, OnlyTheReplyToTheOutstandingRequestIsTaken) {
  const TMatchCase cases[] = {
      {"same page", true, CMD_READ, 0x1500, false, CMD_READ, 0x1500, true},
      {"another page's address", true, CMD_READ, 0x1500, false, CMD_READ, 0x1400, false},
      {"a write acknowledgement during a read", true, CMD_READ, 0x100, false, CMD_WRITE, 0x100, false},
      {"a read reply during a write", true, CMD_WRITE, 0x100, false, CMD_READ, 0x100, false},
      {"nothing outstanding", false, CMD_READ, 0, false, CMD_READ, 0, false},
      {"a single command at any address", true, CMD_CHECK_MODE, 0, true, CMD_CHECK_MODE, 0x1234, true},
      {"another command's reply", true, CMD_CHECK_MODE, 0, true, CMD_TIME_SYNC, 0, false},
      {"a time sync at any address", true, CMD_TIME_SYNC, 0, true, CMD_TIME_SYNC, 0x30000, true},
  };
  for (const TMatchCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TSpyClient client;
    if (c.Outstanding) Exchange.Send(client, c.AskCommand, c.AskAddress, {}, "ask", c.AnyAddress);
    Timers.Advance(1000);
    Feed(MakeFrame(c.ReplyCommand, static_cast<uint32_t>(c.ReplyAddress), {1}));
    EXPECT_EQ(client.Replies.size(), c.Taken ? 1u : 0u);
    EXPECT_EQ(Exchange.Outstanding(), c.Outstanding && !c.Taken);
    if (c.Outstanding && !c.Taken) {
      // The timer runs on for the reply still awaited: 2 s left of this try, not 3.
      Timers.Advance(1999);
      EXPECT_EQ(Port.Sent.size(), 1u);
      Timers.Advance(1);
      EXPECT_EQ(Port.Sent.size(), 2u);
      Exchange.Abandon(TExchangeFailure::Disconnected);
    }
    EXPECT_TRUE(Operator.Messages.empty());
    Port.Sent.clear();
  }
}

TEST_F(ExchangeTest, StrayFramesOfNoRequestShowTheirOwnTexts) {
  Ask(CMD_READ, 0);
  Feed(MakeFrame(7, 0, {1}));
  Feed(MakeFrame(CMD_WRITE, 0x30000, {1}));
  EXPECT_EQ(Shown(), (Texts{"ask", "Undefined data", "Undefined address"}));
  EXPECT_TRUE(Exchange.Outstanding());
}

TEST_F(ExchangeTest, AClientThatAsksForMoreKeepsTheExchangeBusy) {
  Client.Next = [this] {
    Client.Next = nullptr;
    Ask(CMD_READ, 0x1100);
  };
  Ask(CMD_READ, 0x1000);
  Feed(MakeFrame(CMD_READ, 0x1000, {1}));
  EXPECT_TRUE(Exchange.Busy());
  EXPECT_TRUE(ReplyTimer->Enabled());
  Feed(MakeFrame(CMD_READ, 0x1100, {1}));
  EXPECT_FALSE(Exchange.Busy());
  EXPECT_FALSE(ReplyTimer->Enabled());
  EXPECT_EQ(Port.Sent.size(), 2u);
}

// ---- repeats and the end of a request -----------------------------------------------------------

struct TTryCase {
  const char* Name;
  // What happens to each of the three tries.
  std::function<void(ExchangeTest&)> Fault;
  const char* Box;
  TExchangeFailure Failure;
};

TEST_F(ExchangeTest, ARequestGoesOutThreeTimesThenEndsWithOneBox) {
  const TTryCase cases[] = {
      {"silence", [](ExchangeTest& t) { t.Timers.Advance(3000); }, "Receive timeout",
       TExchangeFailure::Timeout},
      {"cut short",
       [](ExchangeTest& t) {
         t.Feed({0x23, 0x83, 0, 0, 0x10, 0});
         t.Timers.Advance(3000);
       },
       "Receive timeout", TExchangeFailure::Timeout},
      {"bad checksum", [](ExchangeTest& t) { t.Feed(Corrupt(MakeFrame(CMD_READ, 0x1000, Bytes(256, 1)))); },
       "Invalid data", TExchangeFailure::InvalidData},
      {"oversize, rest missing",
       [](ExchangeTest& t) {
         t.Feed({0x23, 0x83, 0, 0, 0x10, 0, 0x01, 0x2C, 1, 2, 3});
         t.Timers.Advance(3000);
       },
       "Invalid data", TExchangeFailure::InvalidData},
      {"unusable reply",
       [](ExchangeTest& t) {
         t.Client.Usable = false;
         t.Feed(MakeFrame(CMD_READ, 0x1000, {1}));
       },
       "Invalid data", TExchangeFailure::InvalidData},
  };
  for (const TTryCase& c : cases) {
    SCOPED_TRACE(c.Name);
    Port.Sent.clear();
    Operator.Messages.clear();
    Client = TSpyClient{};
    Progress.SetProgress(40);
    Ask(CMD_READ, 0x1000);
    for (int i = 1; i <= 3; ++i) {
      EXPECT_EQ(Exchange.Try(), i);
      EXPECT_TRUE(Operator.Messages.empty());
      c.Fault(*this);
    }
    // Every try put the very same bytes on the wire.
    ASSERT_EQ(Port.Sent.size(), 3u);
    EXPECT_EQ(Port.Sent[0], Port.Sent[2]);
    EXPECT_EQ(Operator.Messages, (Texts{c.Box}));
    EXPECT_EQ(Client.Failures, (std::vector<TExchangeFailure>{c.Failure}));
    EXPECT_FALSE(Exchange.Busy());
    EXPECT_FALSE(View.ProgressVisible);
    // The reason stays on the status line: the clear timer does not take it away.
    Timers.Advance(10000);
    EXPECT_EQ(View.Text, c.Box);
    EXPECT_EQ(Port.Sent.size(), 3u);
  }
}

TEST_F(ExchangeTest, ARepeatThatIsAnsweredCarriesOn) {
  Ask(CMD_READ, 0x1000);
  Feed(Corrupt(MakeFrame(CMD_READ, 0x1000, {5})));
  Timers.Advance(1500);
  Feed(MakeFrame(CMD_READ, 0x1000, {5}));
  EXPECT_EQ(Client.Payloads, (std::vector<Bytes>{{5}}));
  EXPECT_EQ(Port.Sent.size(), 2u);
  EXPECT_TRUE(Client.Failures.empty());
  EXPECT_TRUE(Operator.Messages.empty());
  EXPECT_FALSE(ReplyTimer->Enabled());
}

TEST_F(ExchangeTest, EachTryHasTheWholeReplyTime) {
  Ask(CMD_READ, 0x1000);
  Timers.Advance(2000);
  Feed(Corrupt(MakeFrame(CMD_READ, 0x1000, {5})));  // try 2 goes out at 2 s
  Timers.Advance(2999);
  EXPECT_EQ(Port.Sent.size(), 2u);
  Timers.Advance(1);
  EXPECT_EQ(Port.Sent.size(), 3u);
}

TEST_F(ExchangeTest, AbandonEndsTheRequestAndEveryTransferHoldingTheExchange) {
  TSpyClient between;  // a transfer asking the operator something between two pages
  Exchange.BeginTransfer(between);
  Ask(CMD_READ, 0x1000);
  Exchange.Abandon(TExchangeFailure::Disconnected);
  EXPECT_EQ(Client.Failures, (std::vector<TExchangeFailure>{TExchangeFailure::Disconnected}));
  EXPECT_EQ(between.Failures, (std::vector<TExchangeFailure>{TExchangeFailure::Disconnected}));
  EXPECT_FALSE(Exchange.Busy());
  // Its owner says what happened; the engine shows no box, and a late reply finds nobody.
  EXPECT_TRUE(Operator.Messages.empty());
  Feed(MakeFrame(CMD_READ, 0x1000, {1}));
  EXPECT_TRUE(Client.Replies.empty());
  Timers.Advance(10000);
  EXPECT_EQ(Port.Sent.size(), 1u);
}

}  // namespace
}  // namespace torvane::testing
