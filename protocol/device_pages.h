// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The pages of one table as last seen on the device (or as a backup holds them): filled page by page by
// reads, forgotten whole when the port closes or a transfer of the table fails part-way. Saving
// compares the grid with them, sends only what differs, and checks the device kept it.
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace torvane {

class TDevicePages {
 public:
  static constexpr int kPageBytes = 256;

  explicit TDevicePages(int pageCount)
      : bytes_(static_cast<size_t>(pageCount) * kPageBytes), known_(static_cast<size_t>(pageCount), false) {}

  int PageCount() const { return static_cast<int>(known_.size()); }
  // Every page is known.
  bool Known() const { return knownCount_ == PageCount(); }
  bool Known(int page) const { return page >= 1 && page <= PageCount() && known_[page - 1]; }
  // Page 1..PageCount; zeros while not known.
  std::span<const uint8_t, kPageBytes> Page(int page) const {
    return std::span<const uint8_t, kPageBytes>(bytes_.data() + static_cast<size_t>(page - 1) * kPageBytes,
                                                kPageBytes);
  }
  // Every page, one after the other.
  const std::vector<uint8_t>& All() const { return bytes_; }

  void Set(int page, std::span<const uint8_t, kPageBytes> bytes);
  // All pages at once (PageCount() x 256 bytes); the others' size is refused.
  bool SetAll(std::span<const uint8_t> bytes);
  void Forget();

  // Told after every change (pages first..last), so that views can mark what differs from the device.
  std::function<void(int firstPage, int lastPage)> OnChanged;

 private:
  std::vector<uint8_t> bytes_;
  std::vector<bool> known_;
  int knownCount_ = 0;
};

}  // namespace torvane
