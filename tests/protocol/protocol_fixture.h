#pragma once
// A receive dispatcher wired to spies in place of the three paged transfers, so that routing is
// checked without the page decoders behind it.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "protocol/dispatcher.h"
#include "protocol/frame.h"
#include "protocol/link.h"
#include "protocol/login.h"
#include "support/fakes.h"

namespace torvane::testing {

// Records what the dispatcher handed over; optionally asks for the next page, as a running transfer
// does.
class TSpyTransfer : public Tsend_rec_command {
 public:
  explicit TSpyTransfer(TLink& link) : link_(link) {}
  int Decoded = 0;
  int Written = 0;
  std::vector<int32_t> Addresses;
  std::vector<uint8_t> FirstBytes;  // Buffer as seen by the last call (first 8 bytes)
  bool RequestNext = false;

  void DecodePage() override { Record(++Decoded); }
  void WriteNextPage() override { Record(++Written); }

 private:
  void Record(int) {
    Addresses.push_back(Address);
    FirstBytes.assign(Buffer.begin(), Buffer.begin() + 8);
    if (RequestNext) link_.SendFrame(CMD_READ, Address + kPageSpan, 0, nullptr, "next");
  }
  TLink& link_;
};

struct DispatcherFixture : ::testing::Test {
  TFakeOperator Operator;
  TFakeStatusView View;
  TFakePort Port;
  TManualClock Timers;
  TFixedClock Clock{{2026, 12, 7, 18, 30, 5}};
  std::unique_ptr<ITimer> ReplyTimer = Timers.CreateTimer(3000);
  std::unique_ptr<ITimer> ClearTimer = Timers.CreateTimer(3000);
  Tstatusbar_ctrl Status{View, *ClearTimer};
  Tprogressbar_ctrl Progress{View};
  TLink Link{Port, Operator, Status, Progress, *ReplyTimer, Clock};
  std::string Password = "6853";
  Tpasswordverify Login{Link, [this] { return Password; }};
  TRecData Rec;
  TRecValidCom Valid;
  TSpyTransfer Settings{Link}, Numbers{Link}, History{Link};
  TReceiveDispatcher Dispatcher{Link, Rec, Valid, Login, Settings, Numbers, History};

  void Feed(const std::vector<uint8_t>& bytes) {
    for (uint8_t b : bytes) Dispatcher.cm1ReceiveData(&b, 1);
  }
  // Status texts other than the per-byte "Data communication".
  std::vector<std::string> Shown() const {
    std::vector<std::string> out;
    for (const auto& t : View.History)
      if (t != "Data communication") out.push_back(t);
    return out;
  }
};

}  // namespace torvane::testing
