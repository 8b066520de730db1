// SPDX-License-Identifier: GPL-3.0-or-later
#include "numbers/number_find.h"

#include <algorithm>
#include <optional>

#include "files/phone_number.h"
#include "numbers/number_record.h"

namespace torvane {

namespace {

// The serial of "#12" (spaces allowed anywhere); nothing when the query is no serial query.
std::optional<int> SerialOf(const std::string& cleaned) {
  if (!cleaned.starts_with('#')) return std::nullopt;
  const std::string digits = cleaned.substr(1);
  if (digits.empty() || digits.size() > 9 ||
      !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return 0;  // a '#' query, but no serial: names no row
  return std::stoi(digits);
}

}  // namespace

TNumberFind::TNumberFind(TGrid& grid) : grid_(grid), dirtyLast_(grid.RowCount() - 1) {
  listener_ = grid_.AddListener([this](int first, int last) {
    dirtyFirst_ = dirtyLast_ < dirtyFirst_ ? first : std::min(dirtyFirst_, first);
    dirtyLast_ = std::max(dirtyLast_, last);
  });
}

TNumberFind::~TNumberFind() {
  grid_.RemoveListener(listener_);
}

void TNumberFind::MakeKeys() {
  keys_.resize(static_cast<size_t>(std::max(0, grid_.RowCount())));
  const int last = std::min(dirtyLast_, grid_.RowCount() - 1);
  for (int row = std::max(dirtyFirst_, 1); row <= last; ++row)
    keys_[row] = PhoneNumberKey(grid_.Cell(kColNumber, row));
  dirtyFirst_ = 1;
  dirtyLast_ = -1;
}

std::vector<int> TNumberFind::Find(std::string_view query) {
  std::vector<int> rows;
  const std::string cleaned = CleanPhoneNumber(query);
  if (const auto serial = SerialOf(cleaned)) {
    if (*serial >= 1 && *serial < grid_.RowCount()) rows.push_back(*serial);
    return rows;
  }
  const std::string key = PhoneNumberKey(cleaned);
  if (key.empty()) return rows;
  MakeKeys();
  for (int row = 1; row < static_cast<int>(keys_.size()); ++row)
    if (keys_[row].find(key) != std::string::npos) rows.push_back(row);
  return rows;
}

}  // namespace torvane
