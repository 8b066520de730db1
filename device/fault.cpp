// SPDX-License-Identifier: GPL-3.0-or-later
#include "device/fault.h"

#include <algorithm>
#include <cstdlib>
#include <utility>
#include <vector>

namespace torvane::device {

namespace {

const std::vector<std::pair<TFaultKind, const char*>>& KindNames() {
  static const std::vector<std::pair<TFaultKind, const char*>> names = {
      {TFaultKind::Silence, "silence"}, {TFaultKind::BadChecksum, "bad-checksum"},
      {TFaultKind::Refuse, "refuse"},   {TFaultKind::Cut, "cut"},
      {TFaultKind::Noise, "noise"},     {TFaultKind::Oversize, "oversize"},
      {TFaultKind::Late, "late"},       {TFaultKind::Duplicate, "duplicate"},
      {TFaultKind::Hangup, "hangup"},   {TFaultKind::WrongPage, "wrong-page"},
      {TFaultKind::Forget, "forget"},   {TFaultKind::Moved, "moved"},
  };
  return names;
}

bool ParseInt(const std::string& s, int lo, int hi, int& out) {
  if (s.empty()) return false;
  char* end = nullptr;
  const long v = std::strtol(s.c_str(), &end, 0);
  if (*end != '\0' || v < lo || v > hi) return false;
  out = static_cast<int>(v);
  return true;
}

bool ParseCommand(const std::string& s, int& out) {
  static const std::vector<std::pair<const char*, int>> names = {
      {"read", 131}, {"write", 130}, {"sync", 3}, {"check", 4}, {"delete", 133}};
  for (const auto& [name, code] : names) {
    if (s == name) {
      out = code;
      return true;
    }
  }
  return ParseInt(s, 0, 255, out);
}

}  // namespace

TDeviceMemory MovedMemory(const TFault& fault) {
  TDeviceMemory memory = TDeviceMemory::Factory();
  if (fault.MovedSeed == 0) return memory;
  Populate(memory, fault.MovedNumbers, 0, fault.MovedSeed);
  const std::string sim = "+86139" + std::to_string(10000000 + fault.MovedSeed % 90000000);
  std::copy(sim.begin(), sim.end(), memory.Settings.begin() + 4);
  return memory;
}

const char* FaultKindName(TFaultKind kind) {
  for (const auto& [k, name] : KindNames()) {
    if (k == kind) return name;
  }
  return "?";
}

std::optional<TFault> ParseFault(const std::string& text, std::string* error) {
  auto fail = [&](const std::string& why) -> std::optional<TFault> {
    if (error) *error = "bad fault \"" + text + "\": " + why;
    return std::nullopt;
  };
  const size_t colon = text.find(':');
  const std::string kind = text.substr(0, colon);
  TFault fault;
  bool known = false;
  for (const auto& [k, name] : KindNames()) {
    if (kind == name) {
      fault.Kind = k;
      known = true;
    }
  }
  if (!known) return fail("unknown kind \"" + kind + "\"");
  if (colon == std::string::npos) return fault;

  std::string rest = text.substr(colon + 1);
  size_t pos = 0;
  while (pos <= rest.size()) {
    size_t comma = rest.find(',', pos);
    if (comma == std::string::npos) comma = rest.size();
    const std::string item = rest.substr(pos, comma - pos);
    pos = comma + 1;
    const size_t eq = item.find('=');
    if (eq == std::string::npos) return fail("\"" + item + "\" is not key=value");
    const std::string key = item.substr(0, eq), value = item.substr(eq + 1);
    bool ok = true;
    if (key == "cmd") {
      ok = ParseCommand(value, fault.Command);
    } else if (key == "region") {
      if (value == "settings")
        fault.Region = TRegion::Settings;
      else if (value == "numbers")
        fault.Region = TRegion::Numbers;
      else if (value == "history")
        fault.Region = TRegion::History;
      else
        ok = false;
    } else if (key == "page") {
      ok = ParseInt(value, 1, kHistoryPages, fault.Page);
    } else if (key == "nth") {
      ok = ParseInt(value, 1, 1 << 30, fault.Nth);
    } else if (key == "count") {
      ok = value == "all" ? (fault.Count = 0, true) : ParseInt(value, 0, 1 << 30, fault.Count);
    } else if (key == "delay") {
      ok = ParseInt(value, 0, 600000, fault.DelayMs);
    } else if (key == "bytes") {
      ok = ParseInt(value, 1, 4096, fault.NoiseBytes);
    } else if (key == "keep") {
      ok = ParseInt(value, 0, 264, fault.KeepBytes);
    } else if (key == "length") {
      ok = ParseInt(value, 257, 65535, fault.DeclaredLength);
    } else if (key == "seed") {
      int seed = 0;
      ok = ParseInt(value, 0, 1 << 30, seed);
      fault.MovedSeed = static_cast<uint32_t>(seed);
    } else if (key == "numbers") {
      ok = ParseInt(value, 0, kNumberRecords, fault.MovedNumbers);
    } else {
      return fail("unknown key \"" + key + "\"");
    }
    if (!ok) return fail("bad value for " + key + ": \"" + value + "\"");
    if (comma == rest.size()) break;
  }
  return fault;
}

const char* FaultSyntaxHelp() {
  return "Fault syntax: --fault KIND[:key=value,...]   (the option may be repeated)\n"
         "  KIND is one of\n"
         "    silence       drop the request unseen: no reply, nothing carried out\n"
         "    bad-checksum  answer with a wrong checksum byte\n"
         "    refuse        do not carry the request out; answer with payload [0]\n"
         "    cut           send only the first bytes of the reply (keep=N, default half)\n"
         "    noise         send stray bytes before the reply (bytes=N, default 3)\n"
         "    oversize      declare a payload length above 256 (length=L, default 300)\n"
         "    late          answer after a delay longer than the PC waits (delay=MS, default 3500)\n"
         "    duplicate     send the reply twice\n"
         "    hangup        close the port instead of answering\n"
         "    wrong-page    carry the request out but answer with the next page's address\n"
         "    forget        acknowledge a write as stored ([1]) but keep the memory as it was\n"
         "    moved         the lead moves to another controller before this request: factory-fresh\n"
         "                  (seed=0, the default) or one with numbers=N (default 3000) sample\n"
         "                  numbers of seed=S and a SIM number of its own\n"
         "  keys choosing the requests (all optional):\n"
         "    cmd=read|write|sync|check|delete|CODE   the command\n"
         "    region=settings|numbers|history          reads and writes of that region\n"
         "    page=P                                   the 1-based page within the region\n"
         "    nth=N        fire on the Nth matching request (default 1)\n"
         "    count=K|all  and on the K-1 matches after it (default 1)\n"
         "  examples:\n"
         "    --fault silence:cmd=read,region=numbers,page=3\n"
         "    --fault refuse:cmd=write,region=settings,page=2\n"
         "    --fault late:cmd=read,nth=5,delay=4000\n"
         "    --fault bad-checksum:region=history,count=all\n"
         "    --fault moved:nth=400,seed=7\n";
}

}  // namespace torvane::device
