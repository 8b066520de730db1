// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Named faults the virtual device can be told to commit on chosen requests, for tests of the PC's
// error paths and for demonstrations.
#include <cstdint>
#include <optional>
#include <string>

#include "device/device_memory.h"

namespace torvane::device {

enum class TFaultKind {
  Silence,      // the request is dropped unseen: no reply, nothing carried out
  BadChecksum,  // the reply's checksum byte is wrong
  Refuse,       // the request is not carried out and the reply's payload is [0]
  Cut,          // the reply stops after KeepBytes bytes
  Noise,        // NoiseBytes stray bytes go out before the reply
  Oversize,     // the reply's header declares DeclaredLength (> 256) payload bytes
  Late,         // the reply leaves DelayMs later than it would
  Duplicate,    // the reply is sent twice
  Hangup,       // the device closes its port instead of answering
  WrongPage,    // the reply carries the address of the page after the one asked for
  Forget,       // a write is acknowledged as stored, but the memory is left as it was
  Moved,        // the lead moved to another controller: from this request on the memory is another's
};

struct TFault {
  TFaultKind Kind = TFaultKind::Silence;
  // What a request must be to match; -1, None and 0 match anything. Region and page select reads
  // and writes only (the other commands carry no page).
  int Command = -1;
  TRegion Region = TRegion::None;
  int Page = 0;
  // The fault fires on the Nth matching request and on the Count - 1 matches after it; Count 0 keeps
  // it firing on every match from the Nth on.
  int Nth = 1;
  int Count = 1;
  int DelayMs = 3500;
  int NoiseBytes = 3;
  int KeepBytes = -1;  // -1: half the frame
  int DeclaredLength = 300;
  // The controller the lead moved to: factory-fresh for seed 0, otherwise one holding MovedNumbers
  // sample numbers of that seed and a SIM number of its own.
  uint32_t MovedSeed = 0;
  int MovedNumbers = 3000;
};

// The memory of the controller a Moved fault moves the lead to.
TDeviceMemory MovedMemory(const TFault& fault);

const char* FaultKindName(TFaultKind kind);

// "KIND[:key=value,...]" as the program's --fault option takes it. On failure returns nothing and
// says why in *error.
std::optional<TFault> ParseFault(const std::string& text, std::string* error = nullptr);

// The help text describing that syntax.
const char* FaultSyntaxHelp();

}  // namespace torvane::device
