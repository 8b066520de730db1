// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/history_find.h"

#include <algorithm>

#include "core/codepage.h"
#include "files/phone_number.h"
#include "history/history_record.h"

namespace torvane {

namespace {

char32_t Lower(char32_t c) {
  if (c >= U'A' && c <= U'Z') return c + 32;
  if ((c >= 0xC0 && c <= 0xDE && c != 0xD7) || (c >= 0x391 && c <= 0x3AB && c != 0x3A2) ||
      (c >= 0x410 && c <= 0x42F))
    return c + 32;
  if (c >= 0x400 && c <= 0x40F) return c + 80;
  // Latin Extended-A pairs its letters: upper case at the even code, lower case at the odd one, but
  // for the stretch from Ĺ to Ň and from Ź to Ž, where it is the other way round.
  if ((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) return c | 1;
  if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c & 1) ? c + 1 : c;
  return c;
}

bool Holds(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// Digits after an optional '+' once the spaces and dashes are gone: a query that may be a number.
bool NumberLike(const std::string& cleaned) {
  const size_t from = cleaned.starts_with('+') ? 1 : 0;
  return cleaned.size() > from &&
         std::all_of(cleaned.begin() + from, cleaned.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

std::string FoldCase(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    const auto b = static_cast<unsigned char>(s[i]);
    // Only two-byte characters have case here; everything else is copied as it stands.
    if ((b & 0xE0) == 0xC0 && i + 1 < s.size() && (static_cast<unsigned char>(s[i + 1]) & 0xC0) == 0x80) {
      const char32_t c = (char32_t{b & 0x1Fu} << 6) | (static_cast<unsigned char>(s[i + 1]) & 0x3F);
      AppendUtf8(out, Lower(c));
      i += 2;
    } else {
      out += static_cast<char>(b < 0x80 ? Lower(b) : b);
      ++i;
    }
  }
  return out;
}

THistoryFind::THistoryFind(TGrid& grid) : grid_(grid) {
  listener_ = grid_.AddListener([this](int first, int last) {
    Index(first, last);
    Apply(first, last);
  });
  Index(0, grid_.RowCount() - 1);
  Apply(0, grid_.RowCount() - 1);
}

THistoryFind::~THistoryFind() {
  grid_.RemoveListener(listener_);
}

void THistoryFind::Index(int first, int last) {
  if (static_cast<int>(rows_.size()) != grid_.RowCount()) {
    rows_.assign(static_cast<size_t>(std::max(0, grid_.RowCount())), {});
    shown_.assign(rows_.size(), 1);
    records_ = shownRecords_ = 0;
    first = 0;
    last = grid_.RowCount() - 1;
  }
  for (int row = std::max(first, 1); row <= last && row < static_cast<int>(rows_.size()); ++row) {
    TRowText& r = rows_[row];
    if (r.Record) {
      --records_;
      shownRecords_ -= shown_[row] != 0;
    }
    const std::string& executant = grid_.Cell(kHisExecutant, row);
    r.Key = PhoneNumberKey(executant);
    r.Folded = FoldCase(executant) + '\n' + FoldCase(grid_.Cell(kHisContent, row));
    r.Record = !grid_.Cell(kHisNumber, row).empty();
    if (r.Record) {
      ++records_;
      shownRecords_ += shown_[row] != 0;
    }
  }
}

bool THistoryFind::Matches(const TRowText& row) const {
  if (query_.empty()) return true;
  if (!queryKey_.empty() && Holds(row.Key, queryKey_)) return true;
  return Holds(row.Folded, queryFolded_);
}

void THistoryFind::Apply(int first, int last) {
  int changedFirst = -1, changedLast = -1;
  for (int row = std::max(first, 1); row <= last && row < static_cast<int>(rows_.size()); ++row) {
    const char shown = Matches(rows_[row]) ? 1 : 0;
    if (shown == shown_[row]) continue;
    shown_[row] = shown;
    if (rows_[row].Record) shownRecords_ += shown ? 1 : -1;
    if (changedFirst < 0) changedFirst = row;
    changedLast = row;
  }
  if (changedFirst >= 0 && OnChanged) OnChanged(changedFirst, changedLast);
}

void THistoryFind::SetQuery(std::string_view query) {
  if (query == query_) return;
  query_ = std::string(query);
  const std::string cleaned = CleanPhoneNumber(query_);
  queryKey_ = NumberLike(cleaned) ? PhoneNumberKey(cleaned) : std::string();
  queryFolded_ = FoldCase(query_);
  Apply(1, static_cast<int>(rows_.size()) - 1);
}

}  // namespace torvane
