// SPDX-License-Identifier: GPL-3.0-or-later
// The protocol trace: its lines for a login and a page, the hidden secrets, the ring's bound.
#include "protocol/frame_trace.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/fakes.h"

namespace torvane::testing {
namespace {

using Bytes = std::vector<uint8_t>;

// 2026-12-09 14:03:22.123 in the machine's own time zone.
std::chrono::system_clock::time_point Noon() {
  tm t{};
  t.tm_year = 126, t.tm_mon = 11, t.tm_mday = 9, t.tm_hour = 14, t.tm_min = 3, t.tm_sec = 22, t.tm_isdst = -1;
  return std::chrono::system_clock::from_time_t(::mktime(&t)) + std::chrono::milliseconds(123);
}

struct TraceTest : ::testing::Test {
  TFakeSession f;
  TSession& S() { return *f.Session; }
  TraceTest() {
    // The session's own trace, on a clock that stands still.
    S().Trace.SetClock([] { return Noon(); });
  }
};

TEST_F(TraceTest, ALoginAndItsPageAreTracedWithThePasswordHidden) {
  Bytes page(256, 0);
  std::copy_n("4711", 4, page.begin());
  page[4] = '1';
  S().PasswordText = "4711";
  S().Login.BeginLogin();
  f.Feed(MakeFrame(CMD_READ, 0, page));
  const std::vector<std::string> lines = S().Trace.Lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0],
            "2026-12-09 14:03:22.123 PC>  131 read   0x00000000 len   0 ok   23 83 00 00 00 00 00 00 83");
  // The four password bytes, and the checksum that would give them back, are hidden; the SIM number
  // behind them is not.
  EXPECT_EQ(lines[1].substr(0, 87),
            "2026-12-09 14:03:22.123 <DEV 131 read   0x00000000 len 256 ok   23 83 00 00 00 00 01 00");
  EXPECT_EQ(lines[1].substr(87, 18), " ** ** ** ** 31 00");
  EXPECT_EQ(lines[1].substr(lines[1].size() - 3), " **");
  S().Trace.ShowSecrets = true;
  EXPECT_EQ(S().Trace.Lines()[1].substr(87, 18), " 34 37 31 31 31 00");
}

TEST_F(TraceTest, SecretsOnLaterPagesAndBadFramesAreTracedAsSuch) {
  Bytes page2(256, 'x');  // GPRS password at 62..77, MQTT password from 208 on
  S().Trace.Awaited = [] { return TFrameTrace::TAwaited{CMD_READ, 0x100}; };
  S().Trace.Received(MakeFrame(CMD_READ, 0x100, page2), true);
  S().Trace.Awaited = nullptr;
  Bytes bad = MakeFrame(CMD_READ, 0x1000, {1, 2, 3});
  bad.back() ^= 1;
  S().Trace.Received(bad, false);
  S().Trace.Received(Bytes{0x23, 0x83, 0, 0, 0x10, 0, 0x01, 0x2C}, false);  // an oversized header
  const auto lines = S().Trace.Lines();
  ASSERT_EQ(lines.size(), 3u);
  // Payload byte i is at column 87 + 3 * i of the line, after the time, the fields and the header.
  auto payload = [&](int i) { return lines[0].substr(87 + 3 * i, 3); };
  EXPECT_EQ(payload(61), " 78");
  EXPECT_EQ(payload(62), " **");
  EXPECT_EQ(payload(77), " **");
  EXPECT_EQ(payload(78), " 78");
  EXPECT_EQ(payload(207), " 78");
  EXPECT_EQ(payload(208), " **");
  EXPECT_NE(lines[1].find(" len   3 bad  23 83 00 00 10 00 00 03 01 02 03"), std::string::npos) << lines[1];
  EXPECT_NE(lines[2].find(" len 300 bad  23 83 00 00 10 00 01 2c"), std::string::npos) << lines[2];
}

// A device that answers with the next page's address (the wrong-page fault) still sends the page
// that was asked for, passwords and all: a settings page that answers no request is hidden whole,
// and so is anything nobody asked for.
TEST_F(TraceTest, ASettingsPageAtAnAddressNotAskedForIsHiddenWhole) {
  for (int asked = 1; asked <= 3; ++asked) {
    SCOPED_TRACE("page " + std::to_string(asked) + " asked for");
    TFakeSession g;
    TSession& s = *g.Session;
    s.Settings.StartRead();
    for (int page = 1; page < asked; ++page) g.Feed(MakeFrame(CMD_READ, (page - 1) * 0x100, Bytes(256, 'x')));
    ASSERT_EQ(g.Port.Sent.back(), MakeFrame(CMD_READ, (asked - 1) * 0x100, {}));
    g.Feed(MakeFrame(CMD_READ, asked * 0x100, Bytes(256, 'x')));
    const std::string line = s.Trace.Lines().back();
    EXPECT_EQ(line.find(" 78"), std::string::npos) << line;
    EXPECT_EQ(line.substr(line.size() - 3), " **");
  }
  S().Trace.Received(MakeFrame(CMD_READ, 0x000, Bytes(256, 'x')), true);  // nothing outstanding
  EXPECT_EQ(S().Trace.Lines().back().find(" 78"), std::string::npos);
}

TEST_F(TraceTest, TheRingKeepsTheLast2000FramesAndTellsEachAsItComes) {
  std::vector<std::string> told;
  S().Trace.OnLine = [&](const std::string& line) { told.push_back(line); };
  for (int i = 0; i < 2500; ++i) S().Trace.Sent(MakeFrame(CMD_READ, 0x1000 + (i % 375) * 0x100, {}));
  EXPECT_EQ(told.size(), 2500u);
  const auto lines = S().Trace.Lines();
  ASSERT_EQ(lines.size(), TFrameTrace::kKept);
  EXPECT_EQ(lines.front(), told[500]);
  EXPECT_EQ(lines.back(), told.back());
}

}  // namespace
}  // namespace torvane::testing
