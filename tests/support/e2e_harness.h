// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The whole program logic against the virtual device: the device serves a pseudo-terminal, the real
// serial component opens it, and a session on fake operator and status views listens to the
// component's receive event. Bytes reach the session only when the test pumps the notification
// queue, on the test's thread, as the window's event loop would deliver them. Timers run on a manual
// clock; only the bytes on the line take real time, and every wait for them has a deadline.
//
//   TE2eHarness h;
//   ASSERT_TRUE(h.Start()) << h.Problem();
//   h.Session().Login.BeginLogin();
//   ASSERT_TRUE(h.PumpUntilIdle());
#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "device/virtual_device.h"
#include "serial/comm.h"
#include "session/session.h"
#include "support/fakes.h"
#include "support/pump.h"

namespace torvane::testing {

class TE2eHarness {
 public:
  explicit TE2eHarness(device::TDeviceOptions options = {}) : Device(std::move(options)), Comm(Target) {
    Comm.OnReceiveData = [this](TComm&, const char* buffer, uint16_t length) {
      Session().cm1ReceiveData(reinterpret_cast<const uint8_t*>(buffer), length);
    };
    // As the window does when the adapter is pulled out: the port is closed and whatever runs ends.
    Comm.OnRequestHangup = [this](TComm&) {
      if (!Comm.PortOpen()) return;
      Comm.ClosePort();
      Session().PortLost();
      ++HangUps;
    };
    session_ = std::make_unique<TSession>(TSessionInterfaces{Comm, Operator, StatusView, Timers, Clock});
  }
  ~TE2eHarness() {
    session_.reset();
    Comm.ClosePort();
    Device.Stop();
  }
  TE2eHarness(const TE2eHarness&) = delete;
  TE2eHarness& operator=(const TE2eHarness&) = delete;

  // Starts the device and opens its port at 115200 8N1, as the window does. False with Problem()
  // set when either fails.
  bool Start() {
    if (!Device.Start()) {
      problem_ = "device: " + Device.Error();
      return false;
    }
    return OpenPort();
  }
  bool OpenPort() {
    Comm.SetCommName(Device.PortPath());
    Session().PortName = Device.PortPath();
    Comm.SetBaudRate(115200);
    try {
      Comm.OpenPort();
    } catch (const ECommsError& e) {
      problem_ = std::string("port: ") + e.what() + " " + Comm.PortOpenError();
      return false;
    }
    return Comm.PortOpen();
  }
  const std::string& Problem() const { return problem_; }

  TSession& Session() { return *session_; }
  TExchange& Exchange() { return session_->Exchange; }

  // Delivers what has arrived so far.
  size_t Pump() { return Target.Pump(); }

  // Pumps until done() holds; false when it still does not after timeoutMs of real time.
  bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 10000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
      Target.Pump();
      if (done()) return true;
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) return false;
      Target.WaitAndPump(static_cast<int>(std::min<int64_t>(left.count(), 50)));
      if (done()) return true;
    }
  }

  // Pumps until the exchange in progress is over: the last reply handled, an error shown or the
  // reply timer expired. A device that stays silent keeps it open; advance Timers for the timeout.
  bool PumpUntilIdle(int timeoutMs = 10000) {
    return PumpUntil([this] { return !Exchange().Busy(); }, timeoutMs);
  }

  // Like PumpUntilIdle, but a reply the device does not send within a moment of real time counts as
  // missing: the reply timer is moved on, so repeats and the last try's timeout take no real time.
  bool PumpUntilIdleAdvancing(int timeoutMs = 30000, int quietMs = 100) {
    return testing::PumpUntilIdleAdvancing(Target, Exchange(), Timers, timeoutMs, quietMs);
  }

  // Waits until the device has finished with `frames` frames in all (answered, dropped or faulted)
  // and then delivers whatever it sent. For silent and faulty replies, where the exchange does not
  // end on its own.
  bool PumpUntilHandled(uint64_t frames, int timeoutMs = 10000) {
    if (!Device.WaitForHandled(frames, std::chrono::milliseconds(timeoutMs))) return false;
    // The reply, if any, is on its way; take all of it.
    DrainFor(100);
    return true;
  }

  // Pumps until nothing more arrives for quietMs of real time.
  void DrainFor(int quietMs) { testing::DrainFor(Target, quietMs); }

  // The password as the device holds it (the first four bytes of the settings region).
  void SetDevicePassword(const std::string& password) {
    auto settings = Device.Settings();
    for (size_t i = 0; i < 4; ++i) settings[i] = i < password.size() ? static_cast<uint8_t>(password[i]) : 0;
    Device.SetSettings(settings);
  }

  // Logs in with `typed` in the password box and waits for the outcome.
  bool LogIn(const std::string& typed, int timeoutMs = 10000) {
    Session().PasswordText = typed;
    Session().Login.BeginLogin();
    return PumpUntilIdle(timeoutMs);
  }

  // Members are public so a test can reach every part; declaration order is destruction order in
  // reverse: the session goes first, then the port, then the device.
  device::TVirtualDevice Device;
  TQueueNotifyTarget Target;
  TComm Comm;
  TFakeOperator Operator;
  TFakeStatusView StatusView;
  TManualClock Timers;
  TFixedClock Clock{{2026, 12, 7, 18, 30, 5}};
  int HangUps = 0;

 private:
  std::unique_ptr<TSession> session_;
  std::string problem_;
};

}  // namespace torvane::testing
