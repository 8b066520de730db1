// SPDX-License-Identifier: GPL-3.0-or-later
// TComm against a real pseudo-terminal: the component opens the slave, the test is the device on the
// master side and pumps the notifications as the window thread would.
#include "serial/comm.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "serial/pty.h"

namespace torvane {
namespace {

using testing::CountOpenFds;
using testing::CountThreads;
using testing::TPty;
using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

// What the window would see: every notification in delivery order.
struct TRecorder {
  std::vector<Bytes> Blocks;  // 0x0401
  std::vector<uint32_t> Errors;
  std::vector<uint32_t> Modem;
  int Hangups = 0;
  int Empties = 0;
  std::vector<char> Order;  // 'd', 'e', 'm', 'h', 's' in delivery order

  void Attach(TComm& c) {
    c.OnReceiveData = [this](TComm&, const char* buf, uint16_t n) {
      // The block ends with a terminating zero, past the count.
      EXPECT_EQ(buf[n], '\0');
      Blocks.emplace_back(reinterpret_cast<const uint8_t*>(buf), reinterpret_cast<const uint8_t*>(buf) + n);
      Order.push_back('d');
    };
    c.OnReceiveError = [this](TComm&, uint32_t f) {
      Errors.push_back(f);
      Order.push_back('e');
    };
    c.OnModemStateChange = [this](TComm&, uint32_t v) {
      Modem.push_back(v);
      Order.push_back('m');
    };
    c.OnRequestHangup = [this](TComm&) {
      ++Hangups;
      Order.push_back('h');
    };
    c.OnSendDataEmpty = [this](TComm&) {
      ++Empties;
      Order.push_back('s');
    };
  }
  Bytes AllBytes() const {
    Bytes all;
    for (auto& b : Blocks) all.insert(all.end(), b.begin(), b.end());
    return all;
  }
};

class CommTest : public ::testing::Test {
 protected:
  TQueueNotifyTarget Target;
  TPty Pty;
  TComm Comm{Target};
  TRecorder Seen;

  void SetUp() override {
    Seen.Attach(Comm);
    Comm.SetCommName(Pty.SlavePath());
    Comm.SetBaudRate(115200);
  }
  void TearDown() override { Comm.ClosePort(); }

  // Pumps as the window thread until `done` holds or `timeoutMs` passes.
  bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 3000) {
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
      if (Clock::now() > end) return false;
      Delivered += Target.WaitAndPump(20);
    }
    return true;
  }
  size_t Delivered = 0;  // notifications run by PumpUntil
  termios SlaveSettings() {
    termios t{};
    // On Linux the master's TCGETS reports the slave's settings.
    EXPECT_EQ(::tcgetattr(Pty.Master(), &t), 0);
    return t;
  }
};

Bytes Pattern(size_t n, uint8_t seed) {
  Bytes b(n);
  for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(seed + i * 7);
  return b;
}

TEST(CommDefaults, PropertiesStartAtTheComponentDefaults) {
  TQueueNotifyTarget target;
  TComm c(target);
  EXPECT_FALSE(c.PortOpen());
  EXPECT_EQ(c.CommName(), "COM1");
  EXPECT_EQ(c.CommPort(), 1);
  EXPECT_EQ(c.BaudRate(), 9600u);
  EXPECT_EQ(c.Parity(), TParity::None);
  EXPECT_EQ(c.ByteSize(), TByteSize::_8);
  EXPECT_EQ(c.StopBits(), TStopBits::_1);
  EXPECT_EQ(c.DtrControl(), TDtrControl::DtrDisable);
  EXPECT_EQ(c.RtsControl(), TRtsControl::RtsDisable);
  EXPECT_EQ(c.XonLimit(), 500);
  EXPECT_EQ(c.XoffLimit(), 500);
  EXPECT_EQ(c.XonChar(), 0x11);
  EXPECT_EQ(c.XoffChar(), 0x13);
  EXPECT_EQ(c.ReadIntervalTimeout(), 100u);
  EXPECT_EQ(c.InputLen(), 1);
  EXPECT_EQ(c.InBufferSize(), 2048);
  EXPECT_TRUE(c.PortOpenError().empty());
  EXPECT_TRUE(c.SendQueueEmpty());
}

TEST(CommDefaults, CommPortNamesTheWindowsPort) {
  TQueueNotifyTarget target;
  TComm c(target);
  c.SetCommName("ttyUSB0");
  c.SetCommPort(1);  // equal to the current one: ignored
  EXPECT_EQ(c.CommName(), "ttyUSB0");
  c.SetCommPort(0);  // ignored
  EXPECT_EQ(c.CommName(), "ttyUSB0");
  c.SetCommPort(12);
  EXPECT_EQ(c.CommPort(), 12);
  EXPECT_EQ(c.CommName(), "COM12");
}

TEST(CommDefaults, InputLenAndBufferSizeRules) {
  TQueueNotifyTarget target;
  TComm c(target);
  c.SetInputLen(0);  // 0 means InBufferSize
  EXPECT_EQ(c.InputLen(), 2048);
  c.SetInputLen(4000);  // above InBufferSize: ignored
  EXPECT_EQ(c.InputLen(), 2048);
  c.SetInputLen(16);
  EXPECT_EQ(c.InputLen(), 16);
  c.SetInBufferSize(0);  // 0 means 1
  EXPECT_EQ(c.InBufferSize(), 1);
}

TEST(CommDefaults, SendBytesWhileClosedFails) {
  TQueueNotifyTarget target;
  TComm c(target);
  const uint8_t b[] = {1, 2, 3};
  EXPECT_FALSE(c.SendBytes(b, 3));
  EXPECT_TRUE(c.SendQueueEmpty());
  c.ClosePort();  // a no-op when closed
  EXPECT_FALSE(c.PortOpen());
}

TEST(CommOpen, MissingDeviceRaisesAndStaysClosed) {
  TQueueNotifyTarget target;
  TComm c(target);
  c.SetCommName("ttyTorvaneNoSuchPort42");  // no "/": looked up as /dev/ttyTorvaneNoSuchPort42
  try {
    c.OpenPort();
    FAIL() << "no exception";
  } catch (const ECommsError& e) {
    EXPECT_STREQ(e.what(), "Error opening serial port");
  }
  EXPECT_EQ(c.PortOpenError(), "Error opening serial port");
  EXPECT_FALSE(c.PortOpen());
  c.SetCommName("/nonexistent/dir/ttyS0");
  EXPECT_THROW(c.OpenPort(), ECommsError);
  EXPECT_FALSE(c.PortOpen());
  EXPECT_EQ(target.Pump(), 0u);
}

TEST(CommOpen, RegularFileIsNotACommHandle) {
  char path[] = "/tmp/torvane-not-a-port-XXXXXX";
  const int fd = ::mkstemp(path);
  ASSERT_GE(fd, 0);
  ::close(fd);
  const size_t fds = CountOpenFds();
  TQueueNotifyTarget target;
  TComm c(target);
  c.SetCommName(path);
  EXPECT_NO_THROW(c.OpenPort());
  EXPECT_EQ(c.PortOpenError(), "File handle is not a comm handle ");
  EXPECT_FALSE(c.PortOpen());
  EXPECT_EQ(CountOpenFds(), fds);
  // A character device that is not a terminal is refused the same way.
  c.SetCommName("/dev/null");
  EXPECT_NO_THROW(c.OpenPort());
  EXPECT_EQ(c.PortOpenError(), "File handle is not a comm handle ");
  EXPECT_FALSE(c.PortOpen());
  ::unlink(path);
}

// Each open failure keeps the component's own text in PortOpenError and the system's reason beside
// it; the raising ones carry both in the ECommsError.
TEST(CommOpen, FailuresCarryTheSystemsReason) {
  TPty pty;
  TQueueNotifyTarget holderTarget;
  TComm holder(holderTarget);  // the first opener of the busy case
  holder.SetCommName(pty.SlavePath());
  char file[] = "/tmp/torvane-not-a-port-XXXXXX";
  const int fd = ::mkstemp(file);
  ASSERT_GE(fd, 0);
  ::close(fd);
  struct TCase {
    const char* What;
    std::string Port;
    std::function<void()> Before;
    std::string Error;
    int Errno;
    bool Raises;
  };
  const std::vector<TCase> cases = {
      {"missing", "ttyTorvaneNoSuchPort42", {}, "Error opening serial port", ENOENT, true},
      {"missing folder", "/nonexistent/dir/ttyS0", {}, "Error opening serial port", ENOENT, true},
      // Refused by the terminal's exclusive mark, or (for root, who passes it) by the lock: busy either way.
      {"busy", pty.SlavePath(), [&] { holder.OpenPort(); }, "Error opening serial port", EBUSY, true},
      {"regular file", file, {}, "File handle is not a comm handle ", ENOTTY, false},
      {"no terminal", "/dev/null", {}, "File handle is not a comm handle ", ENOTTY, false},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.What);
    if (c.Before) c.Before();
    TQueueNotifyTarget target;
    TComm comm(target);
    comm.SetCommName(c.Port);
    bool raised = false;
    try {
      comm.OpenPort();
    } catch (const ECommsError& e) {
      raised = true;
      EXPECT_EQ(e.what(), c.Error);
      EXPECT_EQ(e.Reason(), std::strerror(c.Errno));
      EXPECT_EQ(e.Error(), c.Errno);
    }
    EXPECT_EQ(raised, c.Raises);
    EXPECT_FALSE(comm.PortOpen());
    EXPECT_EQ(comm.PortOpenError(), c.Error);
    EXPECT_EQ(comm.PortOpenReason(), std::strerror(c.Errno));
    EXPECT_EQ(comm.PortOpenErrno(), c.Errno);
  }
  ::unlink(file);
  // A successful open or a close forgets the last failure's reason.
  holder.ClosePort();
  TQueueNotifyTarget target;
  TComm comm(target);
  comm.SetCommName(pty.SlavePath());
  comm.SetBaudRate(12345);
  EXPECT_NO_THROW(comm.OpenPort());
  EXPECT_FALSE(comm.PortOpenReason().empty());
  comm.SetBaudRate(115200);
  comm.OpenPort();
  ASSERT_TRUE(comm.PortOpen());
  EXPECT_TRUE(comm.PortOpenError().empty());
  EXPECT_TRUE(comm.PortOpenReason().empty());
  EXPECT_EQ(comm.PortOpenErrno(), 0);
}

// With room for the port's descriptor but not for the close event, the open fails with
// "Unable to create event", raises nothing, and leaves the component closed with nothing held.
TEST_F(CommTest, NoRoomForTheCloseEventFailsQuietly) {
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
  const size_t fds = CountOpenFds();
  // The two lowest free descriptor numbers: a limit at the second leaves exactly the first.
  std::set<int> used;
  for (const auto& e : std::filesystem::directory_iterator("/proc/self/fd"))
    used.insert(std::stoi(e.path().filename()));
  int firstFree = 0;
  while (used.count(firstFree)) ++firstFree;
  int secondFree = firstFree + 1;
  while (used.count(secondFree)) ++secondFree;
  rlimit tight = saved;
  tight.rlim_cur = static_cast<rlim_t>(secondFree);
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &tight), 0);
  EXPECT_NO_THROW(Comm.OpenPort());
  ::setrlimit(RLIMIT_NOFILE, &saved);
  EXPECT_EQ(Comm.PortOpenError(), "Unable to create event");
  EXPECT_FALSE(Comm.PortOpen());
  EXPECT_EQ(CountOpenFds(), fds);
  // Nothing was left marked or locked: the next open works.
  Comm.OpenPort();
  EXPECT_TRUE(Comm.PortOpen()) << Comm.PortOpenError();
}

TEST_F(CommTest, OpensAndReportsTheEmptyQueueOnce) {
  Comm.OpenPort();
  ASSERT_TRUE(Comm.PortOpen()) << Comm.PortOpenError();
  EXPECT_TRUE(Comm.PortOpenError().empty());
  EXPECT_TRUE(Comm.SendQueueEmpty());
  ASSERT_TRUE(PumpUntil([&] { return Seen.Empties == 1; }));
  Target.WaitAndPump(100);
  EXPECT_EQ(Seen.Empties, 1);
}

TEST_F(CommTest, AlreadyOpenChangesNothingElse) {
  Comm.OpenPort();
  ASSERT_TRUE(Comm.PortOpen());
  const size_t fds = CountOpenFds(), threads = CountThreads();
  EXPECT_NO_THROW(Comm.OpenPort());
  EXPECT_EQ(Comm.PortOpenError(), "This serial port already opened");
  EXPECT_TRUE(Comm.PortOpen());
  EXPECT_EQ(CountOpenFds(), fds);
  EXPECT_EQ(CountThreads(), threads);
  // The port still works both ways.
  const Bytes out{0x23, 0x83, 0x00};
  ASSERT_TRUE(Comm.SendBytes(out.data(), 3));
  EXPECT_EQ(Pty.Receive(3), out);
  Pty.Send({0x41});
  ASSERT_TRUE(PumpUntil([&] { return Seen.Blocks.size() == 1; }));
  EXPECT_EQ(Seen.Blocks[0], Bytes{0x41});
  // The next successful call clears the text.
  Comm.ClosePort();
  EXPECT_TRUE(Comm.PortOpenError().empty());
}

TEST_F(CommTest, SendBytesWithZeroCountFails) {
  Comm.OpenPort();
  const uint8_t b[] = {9};
  EXPECT_FALSE(Comm.SendBytes(b, 0));
  EXPECT_TRUE(Comm.SendQueueEmpty());
  EXPECT_TRUE(Pty.Drain(100).empty());
  Comm.ClosePort();
  EXPECT_FALSE(Comm.SendBytes(b, 1));
}

TEST_F(CommTest, TwoBlocksArriveUnbrokenAndInOrder) {
  Comm.OpenPort();
  const Bytes a = Pattern(3000, 1), b = Pattern(5000, 100);
  ASSERT_TRUE(Comm.SendBytes(a.data(), static_cast<uint16_t>(a.size())));
  ASSERT_TRUE(Comm.SendBytes(b.data(), static_cast<uint16_t>(b.size())));
  Bytes want = a;
  want.insert(want.end(), b.begin(), b.end());
  EXPECT_EQ(Pty.Receive(want.size()), want);
  ASSERT_TRUE(PumpUntil([&] { return Comm.SendQueueEmpty(); }));
}

TEST_F(CommTest, ThreeBytesGiveThreeOneByteNotificationsInOrder) {
  Comm.OpenPort();
  Pty.Send({0x23, 0x83, 0x7F});
  ASSERT_TRUE(PumpUntil([&] { return Seen.Blocks.size() >= 3; }));
  Target.WaitAndPump(50);
  ASSERT_EQ(Seen.Blocks.size(), 3u);
  EXPECT_EQ(Seen.Blocks[0], Bytes{0x23});
  EXPECT_EQ(Seen.Blocks[1], Bytes{0x83});
  EXPECT_EQ(Seen.Blocks[2], Bytes{0x7F});
}

TEST_F(CommTest, ManyBytesArriveOneByOneInOrder) {
  Comm.OpenPort();
  const Bytes in = Pattern(10000, 3);
  std::thread device([&] { Pty.Send(in); });
  ASSERT_TRUE(PumpUntil([&] { return Seen.Blocks.size() >= in.size(); }, 10000));
  device.join();
  for (auto& b : Seen.Blocks) ASSERT_EQ(b.size(), 1u);
  EXPECT_EQ(Seen.AllBytes(), in);
}

TEST_F(CommTest, InputLenBoundsEachBlockAndTheIntervalEndsAShortOne) {
  Comm.SetInputLen(4);
  Comm.SetReadIntervalTimeout(50);
  Comm.OpenPort();
  Pty.Send({1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
  ASSERT_TRUE(PumpUntil([&] { return Seen.Blocks.size() >= 3; }));
  EXPECT_EQ(Seen.Blocks[0], (Bytes{1, 2, 3, 4}));
  EXPECT_EQ(Seen.Blocks[1], (Bytes{5, 6, 7, 8}));
  EXPECT_EQ(Seen.Blocks[2], (Bytes{9, 10}));  // the 50 ms interval passed after byte 10
}

TEST_F(CommTest, ZeroIntervalWaitsForAWholeBlock) {
  Comm.SetInputLen(3);
  Comm.SetReadIntervalTimeout(0);
  Comm.OpenPort();
  Pty.Send({1, 2});
  Target.WaitAndPump(200);
  Target.WaitAndPump(100);
  EXPECT_TRUE(Seen.Blocks.empty());
  Pty.Send({3});
  ASSERT_TRUE(PumpUntil([&] { return Seen.Blocks.size() == 1; }));
  EXPECT_EQ(Seen.Blocks[0], (Bytes{1, 2, 3}));
}

TEST_F(CommTest, TotalTimeoutEndsAShortBlockAndAQuietLineKeepsReading) {
  Comm.SetInputLen(8);
  Comm.SetReadIntervalTimeout(0);
  Comm.SetReadTotalTimeoutConstant(60);
  Comm.OpenPort();
  // Quiet for several total time-outs (pumping as the window would): the worker keeps going.
  for (int i = 0; i < 4; ++i) Target.WaitAndPump(60);
  EXPECT_TRUE(Seen.Blocks.empty());
  Pty.Send({5, 6});
  ASSERT_TRUE(PumpUntil([&] { return Seen.Blocks.size() == 1; }));
  EXPECT_EQ(Seen.Blocks[0], (Bytes{5, 6}));
  EXPECT_EQ(Seen.Hangups, 0);
}

// A read-ahead that reads a block's length from its first byte, as a frame's header tells its own.
size_t FirstByteIsTheLength(const uint8_t* bytes, size_t count) {
  return count < bytes[0] ? bytes[0] - count : 0;
}

TEST_F(CommTest, ReadAheadDeliversABlockThatCameInBurstsWhole) {
  Comm.SetInputLen(Comm.InBufferSize());
  Comm.SetReadIntervalTimeout(UINT32_MAX);
  Comm.SetReadAhead(FirstByteIsTheLength);
  Comm.OpenPort();
  Bytes block = Pattern(200, 3);
  block[0] = 200;
  // Bursts a few milliseconds apart, as an adapter hands them over: at 115200 baud the 199 bytes
  // after the first are due within 18 ms.
  Pty.Send(Bytes(block.begin(), block.begin() + 1));
  std::this_thread::sleep_for(std::chrono::milliseconds(4));
  Pty.Send(Bytes(block.begin() + 1, block.begin() + 120));
  std::this_thread::sleep_for(std::chrono::milliseconds(4));
  Pty.Send(Bytes(block.begin() + 120, block.end()));
  ASSERT_TRUE(PumpUntil([&] { return !Seen.Blocks.empty(); }));
  Target.WaitAndPump(50);
  ASSERT_EQ(Seen.Blocks.size(), 1u);
  EXPECT_EQ(Seen.Blocks[0], block);
}

TEST_F(CommTest, ReadAheadDeliversWhatCameWhenTheLineGoesQuiet) {
  Comm.SetInputLen(Comm.InBufferSize());
  Comm.SetReadIntervalTimeout(UINT32_MAX);
  Comm.SetReadAhead(FirstByteIsTheLength);
  Comm.OpenPort();
  // A block cut short: it says 250 bytes and only 30 come; then the next block, whole.
  Bytes cut = Pattern(30, 9);
  cut[0] = 250;
  Pty.Send(cut);
  ASSERT_TRUE(PumpUntil([&] { return !Seen.Blocks.empty(); }));
  EXPECT_EQ(Seen.AllBytes(), cut);
  const Bytes next{3, 1, 2};
  Pty.Send(next);
  ASSERT_TRUE(PumpUntil([&] { return Seen.AllBytes().size() == cut.size() + next.size(); }));
  EXPECT_EQ(Seen.Blocks.back(), next);
}

TEST_F(CommTest, IgnoreNullCharDropsZeroBytes) {
  Comm.SetIgnoreNullChar(true);
  Comm.OpenPort();
  Pty.Send({0, 7, 0, 8});
  ASSERT_TRUE(PumpUntil([&] { return Seen.Blocks.size() == 2; }));
  EXPECT_EQ(Seen.AllBytes(), (Bytes{7, 8}));
}

TEST_F(CommTest, SendDataEmptyOnceEachTimeTheQueueRunsDry) {
  Comm.OpenPort();
  ASSERT_TRUE(PumpUntil([&] { return Seen.Empties == 1; }));
  const Bytes a{1, 2, 3};
  ASSERT_TRUE(Comm.SendBytes(a.data(), 3));
  EXPECT_EQ(Pty.Receive(3), a);
  ASSERT_TRUE(PumpUntil([&] { return Seen.Empties == 2; }));
  ASSERT_TRUE(Comm.SendBytes(a.data(), 3));
  EXPECT_EQ(Pty.Receive(3), a);
  ASSERT_TRUE(PumpUntil([&] { return Seen.Empties == 3; }));
  Target.WaitAndPump(100);
  EXPECT_EQ(Seen.Empties, 3);
  EXPECT_TRUE(Comm.SendQueueEmpty());
}

TEST_F(CommTest, OutputPropertySendsItsBytes) {
  Comm.OpenPort();
  Comm.SetOutput("AT\r");
  EXPECT_EQ(Comm.Output(), "AT\r");
  EXPECT_EQ(Pty.Receive(3), (Bytes{'A', 'T', '\r'}));
}

TEST_F(CommTest, CloseWhileAWriteIsPendingEndsTheWriterPromptly) {
  Comm.OpenPort();
  // Nobody reads the master: the pty's buffers fill and the writer waits for room.
  const Bytes big = Pattern(60000, 9);
  ASSERT_TRUE(Comm.SendBytes(big.data(), static_cast<uint16_t>(big.size())));
  ASSERT_TRUE(Comm.SendBytes(big.data(), static_cast<uint16_t>(big.size())));
  // Wait until the line stops taking bytes: the writer is then held inside the first block.
  ASSERT_TRUE(PumpUntil([&, last = -1, still = 0]() mutable {
    int queued = 0;
    ::ioctl(Pty.Master(), FIONREAD, &queued);
    still = queued > 0 && queued == last ? still + 1 : 0;
    last = queued;
    return still >= 3;
  }));
  EXPECT_FALSE(Comm.SendQueueEmpty());
  // Returns at all (a hang would be caught by the test's time limit), closed, queue reported empty.
  Comm.ClosePort();
  EXPECT_FALSE(Comm.PortOpen());
  EXPECT_TRUE(Comm.SendQueueEmpty());
  // The port opens again afterwards and works.
  Pty.Drain(100);
  Comm.OpenPort();
  ASSERT_TRUE(Comm.PortOpen()) << Comm.PortOpenError();
  const Bytes small{4, 5, 6};
  ASSERT_TRUE(Comm.SendBytes(small.data(), 3));
  EXPECT_EQ(Pty.Receive(3), small);
}

TEST_F(CommTest, LineSettingsAreAppliedOnOpen) {
  Comm.OpenPort();
  const termios t = SlaveSettings();
  EXPECT_EQ(::cfgetospeed(&t), B115200);
  EXPECT_EQ(::cfgetispeed(&t), B115200);
  EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
  EXPECT_EQ(t.c_iflag & (IXON | IXOFF | ICRNL | INPCK), 0u);
  EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
  EXPECT_EQ(t.c_oflag & OPOST, 0u);
}

TEST_F(CommTest, SettingBaudRateWhileOpenReappliesAtOnce) {
  Comm.OpenPort();
  EXPECT_EQ(::cfgetospeed(&static_cast<const termios&>(SlaveSettings())), B115200);
  Comm.SetBaudRate(9600);
  termios t = SlaveSettings();
  EXPECT_EQ(::cfgetospeed(&t), B9600);
  Comm.SetBaudRate(57600);
  t = SlaveSettings();
  EXPECT_EQ(::cfgetospeed(&t), B57600);
  // The other line settings follow the same way. (A pty forces CS8 and clears PARENB whatever is
  // asked, so the parity kind shows in PARODD/CMSPAR only, and the byte size not at all.)
  Comm.SetParity(TParity::Mark);
  // Newer kernels refuse a change of which nothing could be carried out (7 data bits alone, on a
  // pty) with EINVAL; older ones report success. Refused, the property keeps its value.
  try {
    Comm.SetByteSize(TByteSize::_7);
    EXPECT_EQ(Comm.ByteSize(), TByteSize::_7);
  } catch (const ECommsError& e) {
    EXPECT_STREQ(e.what(), "Cannot setup comm state");
    EXPECT_EQ(e.Error(), EINVAL);
    EXPECT_EQ(Comm.ByteSize(), TByteSize::_8);
  }
  Comm.SetStopBits(TStopBits::_2);
  Comm.SetOutx_XonXoffFlow(true);
  Comm.SetOutx_CtsFlow(true);
  t = SlaveSettings();
  EXPECT_EQ(t.c_cflag & (PARODD | CMSPAR), static_cast<tcflag_t>(PARODD | CMSPAR));
  EXPECT_NE(t.c_cflag & CSTOPB, 0u);
  EXPECT_NE(t.c_iflag & IXON, 0u);
  EXPECT_NE(t.c_cflag & CRTSCTS, 0u);
  Comm.SetParity(TParity::Space);
  t = SlaveSettings();
  EXPECT_EQ(t.c_cflag & (PARODD | CMSPAR), static_cast<tcflag_t>(CMSPAR));
  Comm.SetParity(TParity::Odd);
  t = SlaveSettings();
  EXPECT_EQ(t.c_cflag & (PARODD | CMSPAR), static_cast<tcflag_t>(PARODD));
  Comm.SetParity(TParity::None);
  Comm.SetStopBits(TStopBits::_1);
  t = SlaveSettings();
  EXPECT_EQ(t.c_cflag & (PARODD | CMSPAR | CSTOPB), 0u);
  // The port still carries bytes after all that.
  Comm.SetOutx_XonXoffFlow(false);
  Comm.SetOutx_CtsFlow(false);
  const Bytes out{1, 2};
  ASSERT_TRUE(Comm.SendBytes(out.data(), 2));
  EXPECT_EQ(Pty.Receive(2), out);
}

// A rate the line cannot run at fails the open (quietly: only two open failures raise), or the setter
// while open, instead of leaving the former speed on the line without a word.
TEST_F(CommTest, AnUnsupportedBaudRateFailsWithAReason) {
  const size_t fds = CountOpenFds();
  for (const uint32_t baud : {12345u, 0u, 115201u}) {
    SCOPED_TRACE(baud);
    Comm.SetBaudRate(baud);
    EXPECT_NO_THROW(Comm.OpenPort());
    EXPECT_EQ(Comm.PortOpenError(), "Unsupported baud rate " + std::to_string(baud));
    EXPECT_EQ(Comm.PortOpenReason(), "Invalid argument");
    EXPECT_FALSE(Comm.PortOpen());
    EXPECT_EQ(CountOpenFds(), fds);
  }

  Comm.SetBaudRate(115200);
  Comm.OpenPort();
  ASSERT_TRUE(Comm.PortOpen()) << Comm.PortOpenError();
  try {
    Comm.SetBaudRate(12345);
    FAIL() << "no exception";
  } catch (const ECommsError& e) {
    EXPECT_STREQ(e.what(), "Unsupported baud rate 12345");
    EXPECT_EQ(e.Reason(), "Invalid argument");
  }
  // The property and the line both stay at the rate the port runs at, and it still carries bytes.
  EXPECT_EQ(Comm.BaudRate(), 115200u);
  EXPECT_EQ(::cfgetospeed(&static_cast<const termios&>(SlaveSettings())), B115200);
  EXPECT_TRUE(Comm.PortOpen());
  const Bytes out{1, 2};
  ASSERT_TRUE(Comm.SendBytes(out.data(), 2));
  EXPECT_EQ(Pty.Receive(2), out);
}

// A terminal whose other end went away refuses every termios call (EIO): a line setting changed then
// raises with that reason and the property keeps its value.
TEST_F(CommTest, ALineSettingTheTerminalRefusesRaisesWithTheReason) {
  Comm.OpenPort();
  ASSERT_TRUE(Comm.PortOpen());
  Pty.CloseMaster();
  for (const auto& set : std::vector<std::function<void()>>{[&] { Comm.SetBaudRate(9600); },
                                                            [&] { Comm.SetParity(TParity::Even); },
                                                            [&] { Comm.SetStopBits(TStopBits::_2); }}) {
    try {
      set();
      FAIL() << "no exception";
    } catch (const ECommsError& e) {
      EXPECT_STREQ(e.what(), "Cannot setup comm state");
      EXPECT_EQ(e.Reason(), "Input/output error");
      EXPECT_EQ(e.Error(), EIO);
    }
  }
  EXPECT_EQ(Comm.BaudRate(), 115200u);
  EXPECT_EQ(Comm.Parity(), TParity::None);
  EXPECT_EQ(Comm.StopBits(), TStopBits::_1);
  Comm.ClosePort();
  EXPECT_FALSE(Comm.PortOpen());
}

TEST_F(CommTest, SettingBaudRateWhileClosedWaitsForOpen) {
  Comm.SetBaudRate(19200);
  EXPECT_FALSE(Comm.PortOpen());
  Comm.OpenPort();
  const termios t = SlaveSettings();
  EXPECT_EQ(::cfgetospeed(&t), B19200);
}

TEST_F(CommTest, ExclusiveOpenRefusesASecondOpener) {
  Comm.OpenPort();
  ASSERT_TRUE(Comm.PortOpen());
  TQueueNotifyTarget otherTarget;
  TComm other(otherTarget);
  other.SetCommName(Pty.SlavePath());
  EXPECT_THROW(other.OpenPort(), ECommsError);
  EXPECT_EQ(other.PortOpenError(), "Error opening serial port");
  EXPECT_FALSE(other.PortOpen());
  // The terminal itself is marked exclusive: an ordinary user's open is refused outright, and a
  // privileged one (which passes that mark, hence the component's lock as well) can see the mark.
  const int fd = ::open(Pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    EXPECT_EQ(errno, EBUSY);
  } else {
    int excl = 0;
    EXPECT_EQ(::ioctl(fd, TIOCGEXCL, &excl), 0);
    EXPECT_EQ(excl, 1);
    ::close(fd);
  }
  // The first opener is untouched.
  const Bytes out{7};
  ASSERT_TRUE(Comm.SendBytes(out.data(), 1));
  EXPECT_EQ(Pty.Receive(1), out);
  // Once closed, another component may open it.
  Comm.ClosePort();
  EXPECT_NO_THROW(other.OpenPort());
  EXPECT_TRUE(other.PortOpen());
  other.ClosePort();
}

TEST_F(CommTest, HangupOfTheDevicePostsRequestHangup) {
  Comm.OpenPort();
  ASSERT_TRUE(PumpUntil([&] { return Seen.Empties == 1; }));
  Pty.Send({0x11, 0x22});
  ASSERT_TRUE(PumpUntil([&] { return Seen.Blocks.size() == 2; }));
  Pty.CloseMaster();
  ASSERT_TRUE(PumpUntil([&] { return Seen.Hangups >= 1; }));
  EXPECT_EQ(Seen.AllBytes(), (Bytes{0x11, 0x22}));
  // A worker that ended leaves the component open until ClosePort.
  EXPECT_TRUE(Comm.PortOpen());
  // The writer finds the line gone too and ends; after that nothing more can be queued.
  const Bytes out{1};
  Comm.SendBytes(out.data(), 1);
  ASSERT_TRUE(PumpUntil([&] { return !Comm.SendBytes(out.data(), 1); }));
  EXPECT_TRUE(Comm.SendQueueEmpty());
  Comm.ClosePort();
  EXPECT_FALSE(Comm.PortOpen());
}

// The window may close the port from inside a notification (a hang-up handler does just that).
TEST_F(CommTest, ClosingFromInsideANotificationWorks) {
  Comm.OnRequestHangup = [this](TComm& c) {
    ++Seen.Hangups;
    c.ClosePort();
  };
  Comm.OpenPort();
  Pty.CloseMaster();
  ASSERT_TRUE(PumpUntil([&] { return Seen.Hangups >= 1; }));
  EXPECT_FALSE(Comm.PortOpen());
}

// A target that can no longer take notifications (its window is gone) ends the workers: nothing more
// can be queued, and the port still closes cleanly.
TEST_F(CommTest, ATargetThatRefusesEndsTheWorkers) {
  struct TRefusing : ICommNotifyTarget {
    bool Post(std::function<void()>) override { return false; }
  } refusing;
  TComm c(refusing);
  c.SetCommName(Pty.SlavePath());
  c.OpenPort();
  ASSERT_TRUE(c.PortOpen());
  const uint8_t b = 1;
  ASSERT_TRUE(PumpUntil([&] { return !c.SendBytes(&b, 1); }));
  Pty.Send({1, 2, 3});
  c.ClosePort();
  EXPECT_FALSE(c.PortOpen());
  EXPECT_TRUE(c.SendQueueEmpty());
}

TEST_F(CommTest, NotificationsAfterTheComponentIsGoneAreDropped) {
  TQueueNotifyTarget target;
  int calls = 0;
  {
    TComm c(target);
    c.SetCommName(Pty.SlavePath());
    c.OnReceiveData = [&](TComm&, const char*, uint16_t) { ++calls; };
    c.OnSendDataEmpty = [&](TComm&) { ++calls; };
    c.OpenPort();
    Pty.Send({1, 2, 3});
    // Destroyed with notifications still queued (three bytes and the first empty queue).
    ASSERT_TRUE(PumpUntil([&] { return target.Queued() >= 4; }));
  }
  EXPECT_EQ(target.Pump(), 4u);
  EXPECT_EQ(calls, 0);
}

TEST_F(CommTest, UnassignedEventsAreNoOps) {
  Comm.OnReceiveData = nullptr;
  Comm.OnSendDataEmpty = nullptr;
  Comm.OpenPort();
  Pty.Send({1, 2, 3});
  ASSERT_TRUE(PumpUntil([&] { return Delivered >= 4; }));
  EXPECT_EQ(Delivered, 4u);
  EXPECT_TRUE(Seen.Blocks.empty());
}

TEST_F(CommTest, OpenCloseOpenWorks) {
  for (int i = 0; i < 3; ++i) {
    Comm.OpenPort();
    ASSERT_TRUE(Comm.PortOpen()) << Comm.PortOpenError();
    Comm.ClosePort();
    EXPECT_FALSE(Comm.PortOpen());
    EXPECT_TRUE(Comm.PortOpenError().empty());
  }
}

TEST_F(CommTest, DestructorStopsTheWorkers) {
  // Warm up once: a sanitizer runtime starts a helper thread with the first thread made.
  Comm.OpenPort();
  Comm.ClosePort();
  const size_t threads = CountThreads(), fds = CountOpenFds();
  {
    TQueueNotifyTarget target;
    TComm c(target);
    c.SetCommName(Pty.SlavePath());
    c.OpenPort();
    ASSERT_TRUE(c.PortOpen());
    EXPECT_EQ(CountThreads(), threads + 2);
    const Bytes big = Pattern(60000, 1);
    c.SendBytes(big.data(), static_cast<uint16_t>(big.size()));
  }
  EXPECT_EQ(CountThreads(), threads);
  EXPECT_EQ(CountOpenFds(), fds);
}

// A thousand open / send / receive / close cycles on one pty, leaving no thread, descriptor or
// block behind (blocks are checked by the sanitizer builds).
TEST_F(CommTest, ThousandCyclesWithTrafficLeakNothing) {
  // Warm up once so lazily made process state (locale, allocator arenas) is not counted.
  Comm.OpenPort();
  Comm.ClosePort();
  Target.Pump();
  const size_t threads = CountThreads(), fds = CountOpenFds();
  size_t received = 0;
  for (int i = 0; i < 1000; ++i) {
    Seen.Blocks.clear();
    Comm.OpenPort();
    ASSERT_TRUE(Comm.PortOpen()) << "cycle " << i << ": " << Comm.PortOpenError();
    const Bytes out{0x23, static_cast<uint8_t>(i), static_cast<uint8_t>(i >> 8)};
    ASSERT_TRUE(Comm.SendBytes(out.data(), 3));
    ASSERT_EQ(Pty.Receive(3), out) << "cycle " << i;
    Pty.Send({static_cast<uint8_t>(i), 0x5A});
    ASSERT_TRUE(PumpUntil([&] { return Seen.Blocks.size() >= 2; })) << "cycle " << i;
    received += Seen.Blocks.size();
    // Every few cycles close with traffic still moving both ways.
    if (i % 10 == 0) {
      const Bytes more = Pattern(20000, static_cast<uint8_t>(i));
      Comm.SendBytes(more.data(), static_cast<uint16_t>(more.size()));
      Pty.Send(Pattern(500, 3));
    }
    Comm.ClosePort();
    ASSERT_FALSE(Comm.PortOpen());
    Pty.Drain(0);
  }
  Target.Pump();
  EXPECT_GE(received, 2000u);
  EXPECT_EQ(CountThreads(), threads);
  EXPECT_EQ(CountOpenFds(), fds);
}

}  // namespace
}  // namespace torvane
