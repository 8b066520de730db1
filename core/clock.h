// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The PC's local wall clock, injectable so that tests fix "now".
#include <functional>
#include <string>

namespace torvane {

struct TDateTime {
  int Year = 2000, Month = 1, Day = 1, Hour = 0, Minute = 0, Second = 0;
};

// "2026-12-09 14:03:22", as backups and the boxes that name a time write it.
std::string DateTimeText(const TDateTime& t);

class IClock {
 public:
  virtual ~IClock() = default;
  virtual TDateTime Now() const = 0;
};

class TSystemClock : public IClock {
 public:
  TDateTime Now() const override;
};

class TFixedClock : public IClock {
 public:
  explicit TFixedClock(TDateTime t) : Time(t) {}
  TDateTime Now() const override { return Time; }
  TDateTime Time;
};

}  // namespace torvane
