// The serial back end on Windows, run under wine (or on Windows) against COM ports mapped onto
// pseudo-terminals of Linux programs. A plain program until GoogleTest is built for mingw: each case
// prints "ok" or what failed, and the exit status is the number of failed cases. A case whose port is
// not named in the environment is skipped.
//   TORVANE_TEST_COM         a port served by torvane-device
//   TORVANE_TEST_COM_PACED   a port served by torvane-device --baud 115200
//   TORVANE_TEST_COM_HANGUP  a port served by torvane-device --fault hangup:count=all
//   TORVANE_TEST_COM_STUCK   a port whose other end nobody reads
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <type_traits>
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

std::vector<std::string> failures;  // of the case running

#define CHECK(cond)                                                         \
  do {                                                                      \
    if (!(cond)) failures.push_back(std::to_string(__LINE__) + ": " #cond); \
  } while (0)
#define CHECK_EQ(a, b)                                                                                  \
  do {                                                                                                  \
    if (!((a) == (b)))                                                                                  \
      failures.push_back(std::to_string(__LINE__) + ": " #a " == " #b ", got [" + Text(a) + "] and [" + \
                         Text(b) + "]");                                                                \
  } while (0)

std::string Text(const std::string& s) {
  return s;
}
std::string Text(const char* s) {
  return s;
}
template <typename T>
std::string Text(const T& v) {
  if constexpr (std::is_arithmetic_v<T> || std::is_enum_v<T>)
    return std::to_string(static_cast<long long>(v));
  else {
    std::string all;
    for (const auto& x : v) all += (all.empty() ? "" : ",") + Text(x);
    return all;
  }
}

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
  CHECK_EQ(reply.size(), 265u);
  if (reply.size() != 265) return;
  CHECK_EQ(Bytes(reply.begin(), reply.begin() + 8), (Bytes{0x23, 0x83, 0, 0, 0, 0, 0x01, 0x00}));
  uint8_t sum = 0;
  for (size_t i = 1; i + 1 < reply.size(); ++i) sum ^= reply[i];
  CHECK_EQ(sum, reply.back());
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
  CHECK(!notFound.empty());
  CHECK_EQ(TComm::DevicePath("COM250"), "\\\\.\\COM250");
  CHECK_EQ(TComm::DevicePath("\\\\.\\COM3"), "\\\\.\\COM3");
  TQueueNotifyTarget target;
  TComm comm(target);
  comm.SetCommName("COM250");
  bool raised = false;
  try {
    comm.OpenPort();
  } catch (const ECommsError& e) {
    raised = true;
    CHECK_EQ(std::string(e.what()), "Error opening serial port");
    CHECK_EQ(e.Error(), int(ERROR_FILE_NOT_FOUND));
    CHECK_EQ(e.Reason(), notFound);
  }
  CHECK(raised);
  CHECK(!comm.PortOpen());
  CHECK_EQ(comm.PortOpenErrno(), int(ERROR_FILE_NOT_FOUND));
  const TPortDiagnosis d = DiagnosePort(TComm::DevicePath("COM250"), comm.PortOpenErrno());
  CHECK(d.Cause == TPortDiagnosis::TCause::Vanished);
  CHECK_EQ(d.Reason, notFound);
  CHECK(!d.Lines.empty() && d.Lines[0].rfind("COM250 does not exist", 0) == 0);
  CHECK(d.Lines.size() == 2 && d.Lines[1].find("Device Manager") != std::string::npos &&
        d.Lines[1].find("CH340, CP210x or FTDI") != std::string::npos);
  // Another error has the system's text only.
  const TPortDiagnosis other = DiagnosePort("\\\\.\\COM3", ERROR_GEN_FAILURE);
  CHECK(other.Cause == TPortDiagnosis::TCause::Other && other.Lines.empty());
  CHECK_EQ(other.Reason, SystemsOwnText(ERROR_GEN_FAILURE));
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
    CHECK_EQ(raised, o.Raises);
    CHECK(!comm.PortOpen());
    CHECK_EQ(comm.PortOpenError(), o.Error);
    CHECK(!comm.PortOpenReason().empty());
    if (o.Code != 0) CHECK_EQ(comm.PortOpenErrno(), int(o.Code));
  }
  // The port itself is none the worse.
  TQueueNotifyTarget target;
  TComm comm(target);
  comm.SetCommName(port);
  comm.OpenPort();
  CHECK(comm.PortOpen());
}

// A fake list under HKCU, as the drivers write theirs under HKLM.
constexpr wchar_t kFakeParent[] = L"Software\\TorvaneSerialCheck";
constexpr wchar_t kFakeList[] = L"Software\\TorvaneSerialCheck\\SERIALCOMM";
constexpr char kFakeRoot[] = "HKCU\\Software\\TorvaneSerialCheck\\SERIALCOMM";

void SetPort(const wchar_t* device, const wchar_t* name) {
  HKEY key;
  CHECK(::RegCreateKeyExW(HKEY_CURRENT_USER, kFakeList, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                          nullptr) == ERROR_SUCCESS);
  if (name)
    CHECK(::RegSetValueExW(key, device, 0, REG_SZ, reinterpret_cast<const BYTE*>(name),
                           static_cast<DWORD>((wcslen(name) + 1) * sizeof(wchar_t))) == ERROR_SUCCESS);
  else
    CHECK(::RegDeleteValueW(key, device) == ERROR_SUCCESS);
  ::RegCloseKey(key);
}

void RegistryListInNaturalOrder(const std::string&) {
  ::RegDeleteTreeW(HKEY_CURRENT_USER, kFakeParent);
  using Names = std::vector<std::string>;
  CHECK(Trecognitionserial(kFakeRoot).FillPortList().empty());  // no key yet
  SetPort(L"\\Device\\Serial1", L"COM2");
  SetPort(L"\\Device\\VCP0", L"COM10");
  SetPort(L"\\Device\\Serial0", L"COM1");
  CHECK_EQ(Trecognitionserial(kFakeRoot).FillPortList(), (Names{"COM1", "COM2", "COM10"}));
  std::printf("  the system's list: %s\n", Text(Trecognitionserial().FillPortList()).c_str());

  // Hot-plug: the source posts once a batch, the monitor reads the list anew.
  std::string why;
  std::shared_ptr<IPortEventSource> events = OpenPortEvents(&why, kFakeRoot);
  CHECK(events != nullptr);
  if (!events) {
    failures.push_back("no source: " + why);
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
    CHECK(PumpUntil(window, [&] { return ready > 0; }));
    CHECK(monitor.Update());
    CHECK_EQ(monitor.Ports(), s.After);
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
  CHECK(comm.PortOpen());
  CHECK_EQ(comm.PortOpenError(), "");
  CHECK(PumpUntil(target, [&] { return seen.Empties == 1; }));
  comm.ClosePort();
  // The line keeps its settings after the close: read them back with a handle of our own.
  const HANDLE h = ::CreateFileW((L"\\\\.\\" + std::wstring(port.begin(), port.end())).c_str(),
                                 GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  CHECK(h != INVALID_HANDLE_VALUE);
  if (h == INVALID_HANDLE_VALUE) return;
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  CHECK(::GetCommState(h, &dcb));
  CHECK_EQ(unsigned(dcb.BaudRate), 115200u);
  CHECK_EQ(int(dcb.ByteSize), 8);
  CHECK_EQ(int(dcb.Parity), NOPARITY);
  CHECK_EQ(int(dcb.StopBits), ONESTOPBIT);
  CHECK_EQ(unsigned(dcb.fOutxCtsFlow), 0u);
  CHECK_EQ(unsigned(dcb.fOutX), 0u);
  CHECK_EQ(unsigned(dcb.fInX), 0u);
  std::printf("  DTR control %u, RTS control %u as read back\n", unsigned(dcb.fDtrControl),
              unsigned(dcb.fRtsControl));
  ::CloseHandle(h);
}

void ASecondOpenerIsRefusedAsBusy(const std::string& port) {
  if (UnderWine()) {
    std::printf("  not under wine: it lets a second opener share the port\n");
    return;
  }
  TQueueNotifyTarget target;
  TComm first(target), second(target);
  first.SetCommName(port);
  second.SetCommName(port);
  first.OpenPort();
  CHECK(first.PortOpen());
  bool raised = false;
  try {
    second.OpenPort();
  } catch (const ECommsError&) {
    raised = true;
  }
  CHECK(raised);
  CHECK_EQ(second.PortOpenErrno(), int(ERROR_ACCESS_DENIED));
  CHECK_EQ(second.PortOpenReason(), SystemsOwnText(ERROR_ACCESS_DENIED));
  const TPortDiagnosis d = DiagnosePort(TComm::DevicePath(port), second.PortOpenErrno());
  CHECK(d.Cause == TPortDiagnosis::TCause::Busy);
  CHECK(d.Lines.size() == 2 && d.Lines[1].find("Resource Monitor") != std::string::npos &&
        d.Lines[1].find("Associated Handles") != std::string::npos &&
        d.Lines[1].find(port) != std::string::npos);
  first.ClosePort();
  second.OpenPort();
  CHECK(second.PortOpen());
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
  CHECK(comm.PortOpen());
  double slowest = 0, total = 0;
  int split = 0;
  for (int i = 0; i < rounds; ++i) {
    seen.Blocks.clear();
    const auto start = Clock::now();
    CHECK(comm.SendBytes(kLoginRequest.data(), static_cast<uint16_t>(kLoginRequest.size())));
    CHECK(PumpUntil(target, [&] { return seen.All().size() >= 265; }));
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    slowest = std::max(slowest, ms);
    total += ms;
    target.WaitAndPump(30);  // nothing more comes after it
    CheckSettingsReply(seen.All());
    if (seen.Blocks.size() > 1) ++split;
  }
  CHECK_EQ(seen.Errors.size(), 0u);
  CHECK_EQ(seen.Hangups, 0);
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
  CHECK_EQ(LoginRounds(port, true, 20), 0);
  CHECK(LoginRounds(port, false, 3) > 0);
}

void InputLenOneGivesTheReplyByteByByte(const std::string& port) {
  TQueueNotifyTarget target;
  TComm comm(target);
  TRecorder seen;
  seen.Attach(comm);
  comm.SetCommName(port);
  comm.SetBaudRate(115200);
  comm.OpenPort();
  CHECK(comm.PortOpen());
  CHECK(PumpUntil(target, [&] { return seen.Empties == 1; }));  // the open
  CHECK(comm.SendBytes(kLoginRequest.data(), static_cast<uint16_t>(kLoginRequest.size())));
  CHECK(PumpUntil(target, [&] { return seen.Blocks.size() >= 265; }));
  target.WaitAndPump(30);
  CHECK_EQ(seen.Blocks.size(), 265u);
  for (const Bytes& b : seen.Blocks) CHECK_EQ(b.size(), 1u);
  CheckSettingsReply(seen.All());
  CHECK(PumpUntil(target, [&] { return seen.Empties == 2; }));  // and the write
}

void TheDeviceEndClosedIsAHangup(const std::string& port) {
  TQueueNotifyTarget target;
  TComm comm(target);
  TRecorder seen;
  seen.Attach(comm);
  comm.SetCommName(port);
  comm.OpenPort();
  CHECK(comm.PortOpen());
  CHECK(comm.SendBytes(kLoginRequest.data(), static_cast<uint16_t>(kLoginRequest.size())));
  const auto start = Clock::now();
  CHECK(PumpUntil(target, [&] { return seen.Hangups >= 1; }));
  std::printf("  hang-up heard after %.0f ms\n",
              std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  CHECK(comm.PortOpen());  // until the window closes it
  comm.ClosePort();
  CHECK(!comm.PortOpen());
}

void CloseIsPromptWithAWriteStuck(const std::string& port) {
  TQueueNotifyTarget target;
  TComm comm(target);
  comm.SetCommName(port);
  comm.OpenPort();
  CHECK(comm.PortOpen());
  const Bytes big(60000, 0x55);
  CHECK(comm.SendBytes(big.data(), static_cast<uint16_t>(big.size())));
  CHECK(comm.SendBytes(big.data(), static_cast<uint16_t>(big.size())));
  target.WaitAndPump(300);
  CHECK(!comm.SendQueueEmpty());
  const auto start = Clock::now();
  comm.ClosePort();  // returning at all is the point
  std::printf("  ClosePort took %.1f ms\n",
              std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  CHECK(!comm.PortOpen());
  CHECK(comm.SendQueueEmpty());
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
    CHECK(comm.PortOpen());
    comm.SendBytes(kLoginRequest.data(), static_cast<uint16_t>(kLoginRequest.size()));
    comm.ClosePort();
  }
  target.Pump();
  ::GetProcessHandleCount(::GetCurrentProcess(), &after);
  CHECK_EQ(after, before);
}

struct TCase {
  const char* Name;
  const char* Port;  // the environment variable naming its port; null: none needed
  void (*Run)(const std::string& port);
};

const TCase kCases[] = {
    {"a missing port: Error opening serial port, the system's text, the diagnosis", nullptr,
     MissingPortCarriesTheSystemsText},
    {"the registry's list in natural order, and its changes", nullptr, RegistryListInNaturalOrder},
    {"only two open failures raise", "TORVANE_TEST_COM", OnlyTwoOpenFailuresRaise},
    {"opens at 115200 8N1, no flow control", "TORVANE_TEST_COM", OpensAt115200With8N1AndNoDtrRts},
    {"a second opener is refused as busy", "TORVANE_TEST_COM", ASecondOpenerIsRefusedAsBusy},
    {"the login's 265-byte reply whole", "TORVANE_TEST_COM", TheLoginsReplyComesWhole},
    {"read-ahead: a reply at 115200 baud in one block", "TORVANE_TEST_COM_PACED",
     ReadAheadMakesOneBlockOfAPacedReply},
    {"InputLen 1: the reply byte by byte", "TORVANE_TEST_COM", InputLenOneGivesTheReplyByteByByte},
    {"open and close leave no handle", "TORVANE_TEST_COM", OpenAndCloseLeaveNoHandle},
    {"the device end closed is a hang-up", "TORVANE_TEST_COM_HANGUP", TheDeviceEndClosedIsAHangup},
    {"ClosePort is prompt with a write stuck", "TORVANE_TEST_COM_STUCK", CloseIsPromptWithAWriteStuck},
};

}  // namespace
}  // namespace torvane

int main() {
  using namespace torvane;
  int failed = 0;
  for (const TCase& c : kCases) {
    // TORVANE_CHECK_ONLY=text runs the cases whose name holds it.
    if (!Env("TORVANE_CHECK_ONLY").empty() &&
        std::string(c.Name).find(Env("TORVANE_CHECK_ONLY")) == std::string::npos)
      continue;
    const std::string port = c.Port ? Env(c.Port) : std::string();
    if (c.Port && port.empty()) {
      std::printf("skip  %s (%s not set)\n", c.Name, c.Port);
      continue;
    }
    failures.clear();
    try {
      c.Run(port);
    } catch (const std::exception& e) {
      failures.push_back(std::string("exception: ") + e.what());
    }
    std::printf("%s  %s\n", failures.empty() ? "ok  " : "FAIL", c.Name);
    for (const std::string& f : failures) std::printf("        %s\n", f.c_str());
    std::fflush(stdout);
    failed += failures.empty() ? 0 : 1;
  }
  return failed;
}
