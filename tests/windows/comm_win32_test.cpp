// SPDX-License-Identifier: GPL-3.0-or-later
// The serial back end on Windows, run under wine (or on Windows) against COM ports mapped onto
// pseudo-terminals of Linux programs (scripts/wine-devices names them). A case whose port is not named
// in the environment is skipped.
//   TORVANE_TEST_COM         a port served by torvane-device
//   TORVANE_TEST_COM_PACED   a port served by torvane-device --baud 115200
//   TORVANE_TEST_COM_HANGUP  a port served by torvane-device --fault hangup:count=all
//   TORVANE_TEST_COM_STUCK   a port whose other end nobody reads
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "protocol/frame.h"
#include "serial/comm.h"
#include "serial/port_diagnosis.h"
#include "serial/port_list.h"
#include "serial/port_monitor.h"

namespace torvane {
namespace {

using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

// What the window would see.
struct TRecorder {
  std::vector<Bytes> Blocks;
  std::vector<uint32_t> Errors;
  int Hangups = 0, Empties = 0;
  void Attach(TComm& c) {
    c.OnReceiveData = [this](TComm&, const char* b, uint16_t n) {
      Blocks.emplace_back(reinterpret_cast<const uint8_t*>(b), reinterpret_cast<const uint8_t*>(b) + n);
    };
    c.OnReceiveError = [this](TComm&, uint32_t f) { Errors.push_back(f); };
    c.OnRequestHangup = [this](TComm&) { ++Hangups; };
    c.OnSendDataEmpty = [this](TComm&) { ++Empties; };
  }
  Bytes All() const {
    Bytes all;
    for (const Bytes& b : Blocks) all.insert(all.end(), b.begin(), b.end());
    return all;
  }
};

bool PumpUntil(TQueueNotifyTarget& target, const std::function<bool()>& done, int timeoutMs = 5000) {
  const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!done()) {
    if (Clock::now() > end) return false;
    target.WaitAndPump(20);
  }
  return true;
}

// The login's first request: read 131 at address 0, the settings' first page.
const Bytes kLoginRequest = {0x23, 0x83, 0, 0, 0, 0, 0, 0, 0x83};

void CheckSettingsReply(const Bytes& reply) {
  EXPECT_EQ(reply.size(), 265u);
  if (reply.size() != 265) return;
  EXPECT_EQ(Bytes(reply.begin(), reply.begin() + 8), (Bytes{0x23, 0x83, 0, 0, 0, 0, 0x01, 0x00}));
  uint8_t sum = 0;
  for (size_t i = 1; i + 1 < reply.size(); ++i) sum ^= reply[i];
  EXPECT_EQ(sum, reply.back());
}

// ---- the cases ----

// The system's text for `code`, read the other way FormatMessage offers (ANSI), to compare with.
std::string SystemsOwnText(DWORD code) {
  char buffer[512] = {};
  DWORD n = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                             buffer, sizeof buffer, nullptr);
  while (n > 0 &&
         (buffer[n - 1] == '\n' || buffer[n - 1] == '\r' || buffer[n - 1] == '.' || buffer[n - 1] == ' '))
    --n;
  return std::string(buffer, n);
}

// Wine lets two handles share a COM port that a Windows driver would refuse to a second opener.
bool UnderWine() {
  const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  return ntdll && ::GetProcAddress(ntdll, "wine_get_version");
}

void MissingPortCarriesTheSystemsText(const std::string&) {
  const std::string notFound = SystemsOwnText(ERROR_FILE_NOT_FOUND);
  EXPECT_TRUE(!notFound.empty());
  EXPECT_EQ(TComm::DevicePath("COM250"), "\\\\.\\COM250");
  EXPECT_EQ(TComm::DevicePath("\\\\.\\COM3"), "\\\\.\\COM3");
  TQueueNotifyTarget target;
  TComm comm(target);
  comm.SetCommName("COM250");
  bool raised = false;
  try {
    comm.OpenPort();
  } catch (const ECommsError& e) {
    raised = true;
    EXPECT_EQ(std::string(e.what()), "Error opening serial port");
    EXPECT_EQ(e.Error(), int(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(e.Reason(), notFound);
  }
  EXPECT_TRUE(raised);
  EXPECT_TRUE(!comm.PortOpen());
  EXPECT_EQ(comm.PortOpenErrno(), int(ERROR_FILE_NOT_FOUND));
  const TPortDiagnosis d = DiagnosePort(TComm::DevicePath("COM250"), comm.PortOpenErrno());
  EXPECT_TRUE(d.Cause == TPortDiagnosis::TCause::Vanished);
  EXPECT_EQ(d.Reason, notFound);
  EXPECT_TRUE(!d.Lines.empty() && d.Lines[0].rfind("COM250 does not exist", 0) == 0);
  EXPECT_TRUE(d.Lines.size() == 2 && d.Lines[1].find("Device Manager") != std::string::npos &&
              d.Lines[1].find("CH340, CP210x or FTDI") != std::string::npos);
  // Another error has the system's text only.
  const TPortDiagnosis other = DiagnosePort("\\\\.\\COM3", ERROR_GEN_FAILURE);
  EXPECT_TRUE(other.Cause == TPortDiagnosis::TCause::Other && other.Lines.empty());
  EXPECT_EQ(other.Reason, SystemsOwnText(ERROR_GEN_FAILURE));
}

// Only "Error opening serial port" and "Cannot setup comm buffer" raise; every other open failure
// leaves its text and the port closed.
void OnlyTwoOpenFailuresRaise(const std::string& port) {
  struct TOpen {
    std::string Port;
    uint32_t Baud;
    bool Raises;
    std::string Error;
    DWORD Code;
  };
  const std::vector<TOpen> opens = {
      {"COM250", 115200, true, "Error opening serial port", ERROR_FILE_NOT_FOUND},
      {"\\\\.\\NUL", 115200, false, "File handle is not a comm handle ", 0},
      {port, 0, false, "Unsupported baud rate 0", ERROR_INVALID_PARAMETER},
  };
  for (const TOpen& o : opens) {
    TQueueNotifyTarget target;
    TComm comm(target);
    comm.SetCommName(o.Port);
    comm.SetBaudRate(o.Baud);
    bool raised = false;
    try {
      comm.OpenPort();
    } catch (const ECommsError&) {
      raised = true;
    }
    EXPECT_EQ(raised, o.Raises);
    EXPECT_TRUE(!comm.PortOpen());
    EXPECT_EQ(comm.PortOpenError(), o.Error);
    EXPECT_TRUE(!comm.PortOpenReason().empty());
    if (o.Code != 0) {
      EXPECT_EQ(comm.PortOpenErrno(), int(o.Code));
    }
  }
  // The port itself is none the worse.
  TQueueNotifyTarget target;
  TComm comm(target);
  comm.SetCommName(port);
  comm.OpenPort();
  EXPECT_TRUE(comm.PortOpen());
}

// A fake list under HKCU, as the drivers write theirs under HKLM.
constexpr wchar_t kFakeParent[] = L"Software\\TorvaneSerialCheck";
constexpr wchar_t kFakeList[] = L"Software\\TorvaneSerialCheck\\SERIALCOMM";
constexpr char kFakeRoot[] = "HKCU\\Software\\TorvaneSerialCheck\\SERIALCOMM";

void SetPort(const wchar_t* device, const wchar_t* name) {
  HKEY key;
  EXPECT_TRUE(::RegCreateKeyExW(HKEY_CURRENT_USER, kFakeList, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                                nullptr) == ERROR_SUCCESS);
  if (name)
    EXPECT_TRUE(::RegSetValueExW(key, device, 0, REG_SZ, reinterpret_cast<const BYTE*>(name),
                                 static_cast<DWORD>((wcslen(name) + 1) * sizeof(wchar_t))) == ERROR_SUCCESS);
  else
    EXPECT_TRUE(::RegDeleteValueW(key, device) == ERROR_SUCCESS);
  ::RegCloseKey(key);
}

void RegistryListInNaturalOrder(const std::string&) {
  ::RegDeleteTreeW(HKEY_CURRENT_USER, kFakeParent);
  using Names = std::vector<std::string>;
  EXPECT_TRUE(Trecognitionserial(kFakeRoot).FillPortList().empty());  // no key yet
  SetPort(L"\\Device\\Serial1", L"COM2");
  SetPort(L"\\Device\\VCP0", L"COM10");
  SetPort(L"\\Device\\Serial0", L"COM1");
  EXPECT_EQ(Trecognitionserial(kFakeRoot).FillPortList(), (Names{"COM1", "COM2", "COM10"}));
  std::string all;
  for (const std::string& name : Trecognitionserial().FillPortList()) all += " " + name;
  std::printf("  the system's list:%s\n", all.c_str());

  // Hot-plug: the source posts once a batch, the monitor reads the list anew.
  std::string why;
  std::shared_ptr<IPortEventSource> events = OpenPortEvents(&why, kFakeRoot);
  EXPECT_TRUE(events != nullptr);
  if (!events) {
    ADD_FAILURE() << "no source: " << why;
    return;
  }
  TQueueNotifyTarget window;
  TPortMonitor monitor(Trecognitionserial(kFakeRoot), events);
  int ready = 0;
  monitor.Watch(window, [&] { ++ready; });
  struct TStep {
    const wchar_t* Device;
    const wchar_t* Name;  // null: removed
    Names After;
  };
  const std::vector<TStep> steps = {
      {L"\\Device\\Silabser0", L"COM5", {"COM1", "COM2", "COM5", "COM10"}},
      {L"\\Device\\VCP0", nullptr, {"COM1", "COM2", "COM5"}},
  };
  for (const TStep& s : steps) {
    ready = 0;
    SetPort(s.Device, s.Name);
    EXPECT_TRUE(PumpUntil(window, [&] { return ready > 0; }));
    EXPECT_TRUE(monitor.Update());
    EXPECT_EQ(monitor.Ports(), s.After);
  }
  ::RegDeleteTreeW(HKEY_CURRENT_USER, kFakeParent);
}

void OpensAt115200With8N1AndNoDtrRts(const std::string& port) {
  TQueueNotifyTarget target;
  TComm comm(target);
  TRecorder seen;
  seen.Attach(comm);
  comm.SetCommName(port);
  comm.SetBaudRate(115200);
  comm.OpenPort();
  EXPECT_TRUE(comm.PortOpen());
  EXPECT_EQ(comm.PortOpenError(), "");
  EXPECT_TRUE(PumpUntil(target, [&] { return seen.Empties == 1; }));
  comm.ClosePort();
  // The line keeps its settings after the close: read them back with a handle of our own.
  const HANDLE h = ::CreateFileW((L"\\\\.\\" + std::wstring(port.begin(), port.end())).c_str(),
                                 GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_TRUE(h != INVALID_HANDLE_VALUE);
  if (h == INVALID_HANDLE_VALUE) return;
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  EXPECT_TRUE(::GetCommState(h, &dcb));
  EXPECT_EQ(unsigned(dcb.BaudRate), 115200u);
  EXPECT_EQ(int(dcb.ByteSize), 8);
  EXPECT_EQ(int(dcb.Parity), NOPARITY);
  EXPECT_EQ(int(dcb.StopBits), ONESTOPBIT);
  EXPECT_EQ(unsigned(dcb.fOutxCtsFlow), 0u);
  EXPECT_EQ(unsigned(dcb.fOutX), 0u);
  EXPECT_EQ(unsigned(dcb.fInX), 0u);
  std::printf("  DTR control %u, RTS control %u as read back\n", unsigned(dcb.fDtrControl),
              unsigned(dcb.fRtsControl));
  ::CloseHandle(h);
}

void ASecondOpenerIsRefusedAsBusy(const std::string& port) {
  TQueueNotifyTarget target;
  TComm first(target), second(target);
  first.SetCommName(port);
  second.SetCommName(port);
  first.OpenPort();
  EXPECT_TRUE(first.PortOpen());
  bool raised = false;
  try {
    second.OpenPort();
  } catch (const ECommsError&) {
    raised = true;
  }
  EXPECT_TRUE(raised);
  EXPECT_EQ(second.PortOpenErrno(), int(ERROR_ACCESS_DENIED));
  EXPECT_EQ(second.PortOpenReason(), SystemsOwnText(ERROR_ACCESS_DENIED));
  const TPortDiagnosis d = DiagnosePort(TComm::DevicePath(port), second.PortOpenErrno());
  EXPECT_TRUE(d.Cause == TPortDiagnosis::TCause::Busy);
  EXPECT_TRUE(d.Lines.size() == 2 && d.Lines[1].find("Resource Monitor") != std::string::npos &&
              d.Lines[1].find("Associated Handles") != std::string::npos &&
              d.Lines[1].find(port) != std::string::npos);
  first.ClosePort();
  second.OpenPort();
  EXPECT_TRUE(second.PortOpen());
}

// The login's request and the settings page back, as torvane's jobs read it: everything that has
// come at once (InputLen = InBufferSize, interval MAXDWORD), with or without the frame read ahead.
// Returns how many rounds came in more than one block.
int LoginRounds(const std::string& port, bool readAhead, int rounds) {
  TQueueNotifyTarget target;
  TComm comm(target);
  TRecorder seen;
  seen.Attach(comm);
  comm.SetCommName(port);
  comm.SetBaudRate(115200);
  comm.SetInputLen(comm.InBufferSize());
  comm.SetReadIntervalTimeout(UINT32_MAX);
  if (readAhead) comm.SetReadAhead(FrameBytesMissing);
  comm.OpenPort();
  EXPECT_TRUE(comm.PortOpen());
  double slowest = 0, total = 0;
  int split = 0;
  for (int i = 0; i < rounds; ++i) {
    seen.Blocks.clear();
    const auto start = Clock::now();
    EXPECT_TRUE(comm.SendBytes(kLoginRequest.data(), static_cast<uint16_t>(kLoginRequest.size())));
    EXPECT_TRUE(PumpUntil(target, [&] { return seen.All().size() >= 265; }));
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    slowest = std::max(slowest, ms);
    total += ms;
    target.WaitAndPump(30);  // nothing more comes after it
    CheckSettingsReply(seen.All());
    if (seen.Blocks.size() > 1) ++split;
  }
  EXPECT_EQ(seen.Errors.size(), 0u);
  EXPECT_EQ(seen.Hangups, 0);
  std::printf(
      "  %s read-ahead: request to whole reply %.1f ms on average, %.1f ms at most; %d of %d rounds split\n",
      readAhead ? "with" : "without", total / rounds, slowest, split, rounds);
  return split;
}

void TheLoginsReplyComesWhole(const std::string& port) {
  LoginRounds(port, true, 20);
}

// At the line's own pace the reply trickles in: only the read-ahead makes one block of it.
void ReadAheadMakesOneBlockOfAPacedReply(const std::string& port) {
  EXPECT_EQ(LoginRounds(port, true, 20), 0);
  EXPECT_TRUE(LoginRounds(port, false, 3) > 0);
}

void InputLenOneGivesTheReplyByteByByte(const std::string& port) {
  TQueueNotifyTarget target;
  TComm comm(target);
  TRecorder seen;
  seen.Attach(comm);
  comm.SetCommName(port);
  comm.SetBaudRate(115200);
  comm.OpenPort();
  EXPECT_TRUE(comm.PortOpen());
  EXPECT_TRUE(PumpUntil(target, [&] { return seen.Empties == 1; }));  // the open
  EXPECT_TRUE(comm.SendBytes(kLoginRequest.data(), static_cast<uint16_t>(kLoginRequest.size())));
  EXPECT_TRUE(PumpUntil(target, [&] { return seen.Blocks.size() >= 265; }));
  target.WaitAndPump(30);
  EXPECT_EQ(seen.Blocks.size(), 265u);
  for (const Bytes& b : seen.Blocks) EXPECT_EQ(b.size(), 1u);
  CheckSettingsReply(seen.All());
  EXPECT_TRUE(PumpUntil(target, [&] { return seen.Empties == 2; }));  // and the write
}

void TheDeviceEndClosedIsAHangup(const std::string& port) {
  TQueueNotifyTarget target;
  TComm comm(target);
  TRecorder seen;
  seen.Attach(comm);
  comm.SetCommName(port);
  comm.OpenPort();
  EXPECT_TRUE(comm.PortOpen());
  EXPECT_TRUE(comm.SendBytes(kLoginRequest.data(), static_cast<uint16_t>(kLoginRequest.size())));
  const auto start = Clock::now();
  EXPECT_TRUE(PumpUntil(target, [&] { return seen.Hangups >= 1; }));
  std::printf("  hang-up heard after %.0f ms\n",
              std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  EXPECT_TRUE(comm.PortOpen());  // until the window closes it
  comm.ClosePort();
  EXPECT_TRUE(!comm.PortOpen());
}

void CloseIsPromptWithAWriteStuck(const std::string& port) {
  TQueueNotifyTarget target;
  TComm comm(target);
  comm.SetCommName(port);
  comm.OpenPort();
  EXPECT_TRUE(comm.PortOpen());
  const Bytes big(60000, 0x55);
  EXPECT_TRUE(comm.SendBytes(big.data(), static_cast<uint16_t>(big.size())));
  EXPECT_TRUE(comm.SendBytes(big.data(), static_cast<uint16_t>(big.size())));
  target.WaitAndPump(300);
  EXPECT_TRUE(!comm.SendQueueEmpty());
  const auto start = Clock::now();
  comm.ClosePort();  // returning at all is the point
  std::printf("  ClosePort took %.1f ms\n",
              std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  EXPECT_TRUE(!comm.PortOpen());
  EXPECT_TRUE(comm.SendQueueEmpty());
}

void OpenAndCloseLeaveNoHandle(const std::string& port) {
  TQueueNotifyTarget target;
  TComm comm(target);
  comm.SetCommName(port);
  comm.OpenPort();
  comm.ClosePort();
  DWORD before = 0, after = 0;
  ::GetProcessHandleCount(::GetCurrentProcess(), &before);
  for (int i = 0; i < 100; ++i) {
    comm.OpenPort();
    EXPECT_TRUE(comm.PortOpen());
    comm.SendBytes(kLoginRequest.data(), static_cast<uint16_t>(kLoginRequest.size()));
    comm.ClosePort();
  }
  target.Pump();
  ::GetProcessHandleCount(::GetCurrentProcess(), &after);
  EXPECT_EQ(after, before);
}

// The port named by the environment variable `var`, or the test is skipped.
#define PORT_OR_SKIP(var)            \
  const std::string port = Env(var); \
  if (port.empty()) GTEST_SKIP() << (var) << " names no port"

TEST(CommWin32, AMissingPortCarriesTheSystemsTextAndTheDiagnosis) {
  MissingPortCarriesTheSystemsText("");
}
TEST(CommWin32, TheRegistrysListInNaturalOrderAndItsChanges) {
  RegistryListInNaturalOrder("");
}
TEST(CommWin32, OnlyTwoOpenFailuresRaise) {
  PORT_OR_SKIP("TORVANE_TEST_COM");
  OnlyTwoOpenFailuresRaise(port);
}
TEST(CommWin32, OpensAt115200With8N1AndNoFlowControl) {
  PORT_OR_SKIP("TORVANE_TEST_COM");
  OpensAt115200With8N1AndNoDtrRts(port);
}
TEST(CommWin32, ASecondOpenerIsRefusedAsBusy) {
  PORT_OR_SKIP("TORVANE_TEST_COM");
  if (UnderWine()) GTEST_SKIP() << "wine lets a second opener share the port";
  ASecondOpenerIsRefusedAsBusy(port);
}
TEST(CommWin32, TheLoginsReplyComesWhole) {
  PORT_OR_SKIP("TORVANE_TEST_COM");
  TheLoginsReplyComesWhole(port);
}
TEST(CommWin32, ReadAheadMakesOneBlockOfAPacedReply) {
  PORT_OR_SKIP("TORVANE_TEST_COM_PACED");
  ReadAheadMakesOneBlockOfAPacedReply(port);
}
TEST(CommWin32, InputLenOneGivesTheReplyByteByByte) {
  PORT_OR_SKIP("TORVANE_TEST_COM");
  InputLenOneGivesTheReplyByteByByte(port);
}
TEST(CommWin32, OpenAndCloseLeaveNoHandle) {
  PORT_OR_SKIP("TORVANE_TEST_COM");
  OpenAndCloseLeaveNoHandle(port);
}
TEST(CommWin32, TheDeviceEndClosedIsAHangup) {
  PORT_OR_SKIP("TORVANE_TEST_COM_HANGUP");
  TheDeviceEndClosedIsAHangup(port);
}
TEST(CommWin32, ClosePortIsPromptWithAWriteStuck) {
  PORT_OR_SKIP("TORVANE_TEST_COM_STUCK");
  CloseIsPromptWithAWriteStuck(port);
}

}  // namespace
}  // namespace torvane
