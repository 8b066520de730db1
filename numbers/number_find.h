// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The find of the number list: the rows a query names. "#" and digits name the row of that serial
// ("#12"); any other query is part of a telephone number, and a row matches when its number's key
// holds the query's key (PhoneNumberKey: no spaces, '-', '.', brackets, leading '+' or "00"), so
// "170 12", "+49 170-12" and "0049 17012" all find "+491701234567". A query without a key (empty,
// or only a '+' or "00") names no row.
#include <string>
#include <string_view>
#include <vector>

#include "core/grid.h"

namespace torvane {

class TNumberFind {
 public:
  explicit TNumberFind(TGrid& grid);
  ~TNumberFind();
  TNumberFind(const TNumberFind&) = delete;
  TNumberFind& operator=(const TNumberFind&) = delete;

  // Grid rows (1 ..), in order.
  std::vector<int> Find(std::string_view query);

 private:
  // The keys are made once per change of the grid, for the rows it changed, and only when a find
  // needs them: a keystroke costs one pass over the keys, not over the numbers.
  void MakeKeys();
  TGrid& grid_;
  int listener_ = 0;
  std::vector<std::string> keys_;  // by grid row; row 0 (the headings) stays empty
  int dirtyFirst_ = 1, dirtyLast_ = -1;
};

}  // namespace torvane
