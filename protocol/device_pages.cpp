// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/device_pages.h"

#include <algorithm>

namespace torvane {

void TDevicePages::Set(int page, std::span<const uint8_t, kPageBytes> bytes) {
  if (page < 1 || page > PageCount()) return;
  std::copy(bytes.begin(), bytes.end(), bytes_.begin() + static_cast<ptrdiff_t>(page - 1) * kPageBytes);
  if (!known_[page - 1]) {
    known_[page - 1] = true;
    ++knownCount_;
  }
  if (OnChanged) OnChanged(page, page);
}

bool TDevicePages::SetAll(std::span<const uint8_t> bytes) {
  if (bytes.size() != bytes_.size()) return false;
  std::copy(bytes.begin(), bytes.end(), bytes_.begin());
  std::fill(known_.begin(), known_.end(), true);
  knownCount_ = PageCount();
  if (OnChanged) OnChanged(1, PageCount());
  return true;
}

void TDevicePages::Forget() {
  if (knownCount_ == 0) return;
  std::fill(known_.begin(), known_.end(), false);
  std::fill(bytes_.begin(), bytes_.end(), 0);
  knownCount_ = 0;
  if (OnChanged) OnChanged(1, PageCount());
}

}  // namespace torvane
