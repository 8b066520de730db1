// SPDX-License-Identifier: GPL-3.0-or-later
// The reply assembler and dispatcher fed arbitrary bytes, with each kind of exchange open. Besides
// crashes and sanitizer reports it stops on a hang: an exchange left open with no reply timer running
// would keep the buttons locked for ever.
//
// Input: byte 0 picks the exchange in progress, byte 1 how the bytes are handed over, the rest are
// the bytes from the line.
#include <cstdio>
#include <cstdlib>

#include "support/fakes.h"

using namespace torvane;
using torvane::testing::TFakeSession;

namespace {

TFakeSession& Fake() {
  static TFakeSession* fake = [] {
    auto* f = new TFakeSession;
    f->StatusView.KeepHistory = false;  // a text per byte would be most of the work
    // A full number list, so that saves encode real records page after page.
    for (int row = 1; row <= 3000; ++row) {
      f->Session->NumberGrid.SetCell(1, row, "+86138" + std::to_string(10000000 + row));
      f->Session->NumberGrid.SetCell(6, row, "yes");
    }
    return f;
  }();
  return *fake;
}

void Check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "invariant broken: %s\n", what);
  std::abort();
}

void Open(TSession& s, uint8_t scenario) {
  switch (scenario % 10) {
    case 0:
      break;  // nothing asked: every byte is unsolicited
    case 1:
      s.Login.BeginLogin();
      break;
    case 2:
      s.Settings.StartRead();
      break;
    case 3:
      s.Settings.StartSave();
      break;
    case 4:
      s.Numbers.StartRead();
      break;
    case 5:
      s.Numbers.StartSave();
      break;
    case 6:
      s.History.StartRead();
      break;
    case 7:
      s.TimeSync.Send();
      break;
    case 8:
      s.CheckMode.Send();
      break;
    case 9:
      s.DeleteHistory.Send();
      break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  TFakeSession& f = Fake();
  TSession& s = *f.Session;

  // Whatever the previous input left open ends the way the operator would see it end.
  if (s.Exchange.Busy()) f.Timers.Advance(TExchange::kTries * 3000);
  s.Dispatcher.ResetAssembler();
  s.Login.Verifying = false;
  f.Operator.Messages.clear();
  f.Operator.Errors.clear();
  f.StatusView.Positions.clear();
  f.Port.Sent.clear();

  Open(s, data[0]);
  const bool blocks = data[1] & 1;
  const bool expireBetween = data[1] & 2;
  const uint8_t* bytes = data + 2;
  const size_t count = size - 2;

  if (blocks) {
    // Should the component ever hand over more than one byte per event, each is still taken.
    size_t i = 0;
    while (i < count) {
      const size_t n = std::min<size_t>(count - i, 1 + bytes[i] % 64);
      s.cm1ReceiveData(bytes + i, static_cast<uint16_t>(n));
      i += n;
    }
  } else {
    for (size_t i = 0; i < count; ++i) {
      s.cm1ReceiveData(bytes + i, 1);
      if (expireBetween && bytes[i] == 0xA5) f.Timers.Advance(3000);
      Check(!s.Exchange.Outstanding() || s.ReplyTimer->Enabled(),
            "request outstanding without a reply timer");
    }
  }
  Check(!s.Exchange.Outstanding() || s.ReplyTimer->Enabled(), "request outstanding without a reply timer");
  Check(s.Exchange.Outstanding() || !s.Exchange.Busy(), "transfer running with nothing asked");
  Check(s.Exchange.Try() >= 0 && s.Exchange.Try() <= TExchange::kTries, "more tries than allowed");
  Check(s.RecData.RawCount >= 0 && s.RecData.RawCount <= 8 + kMaxPayload, "assembler count out of range");

  // The reply timer always ends what is left open, after the last try at most.
  f.Timers.Advance(TExchange::kTries * 3000);
  Check(!s.Exchange.Busy(), "exchange still open after the last try's timeout");
  return 0;
}
