// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The find bar of the Historical Data tab: the rows it leaves shown. It hides rows in the view only;
// the history grid keeps every record, so the find and the date-time filter's result combine, and
// closing the bar shows all rows again. The exports write what is shown.
//
// A row is shown when its executant (the telephone number that caused the event) holds the text as
// part of a number, by the number list's rule (PhoneNumberKey on both: no spaces, '-', leading '+' or
// "00"), or when its executant or its content holds the text, letters compared without case. The
// headings are always shown, and every row is while the text is empty.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/grid.h"

namespace torvane {

// Lower-case letters for upper-case ones (Latin, Greek and Cyrillic; UTF-8 in and out): the texts the
// device's code pages can hold.
std::string FoldCase(std::string_view utf8);

class THistoryFind {
 public:
  explicit THistoryFind(TGrid& grid);
  ~THistoryFind();
  THistoryFind(const THistoryFind&) = delete;
  THistoryFind& operator=(const THistoryFind&) = delete;

  void SetQuery(std::string_view query);
  const std::string& Query() const { return query_; }
  bool Active() const { return !query_.empty(); }
  bool Shown(int row) const { return row <= 0 || row >= static_cast<int>(shown_.size()) || shown_[row] != 0; }
  // Rows that hold a record (their "No." is not empty), and how many of them are shown.
  int Records() const { return records_; }
  int ShownRecords() const { return shownRecords_; }

  // Rows first..last may be shown or hidden now (a new query, or a change of the grid).
  std::function<void(int firstRow, int lastRow)> OnChanged;

 private:
  struct TRowText {
    std::string Key;     // the executant's key
    std::string Folded;  // executant and content, without case
    bool Record = false;
  };
  void Index(int first, int last);
  bool Matches(const TRowText& row) const;
  void Apply(int first, int last);
  TGrid& grid_;
  int listener_ = 0;
  std::vector<TRowText> rows_;
  std::vector<char> shown_;
  std::string query_, queryKey_, queryFolded_;
  int records_ = 0, shownRecords_ = 0;
};

}  // namespace torvane
