// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The number-list transfer: 375 pages of eight 32-byte records from 0x1000, read into and written
// from the number grid one page per reply.
#include <cstdint>
#include <span>
#include <string>

#include "core/grid.h"
#include "numbers/number_record.h"
#include "protocol/exchange.h"
#include "protocol/paged_transfer.h"

namespace torvane {

class TtelephoneSend : public Tsend_rec_command {
 public:
  TtelephoneSend(TExchange& exchange, TContext& context, TGrid& grid);

  // The "Read" button: asks first, then reads all pages from page 1.
  void StartRead();
  // The "Save" button: checks the grid, then the safe save (see Tsend_rec_command).
  void StartSave();
  // True when every row with a number has a mark or a whole time window.
  bool CheckBeforeSave();

  static int32_t PageAddressOf(int page) { return kNumbersBase + (page - 1) * kPageSpan; }

 protected:
  void DecodePage(int page, std::span<const uint8_t, kPageBytes> bytes) override;
  bool EncodePage(int page, std::span<uint8_t, kPageBytes> out, const TDevicePages* basis) override;
  bool ConfirmSave(const std::vector<uint8_t>& before, const std::vector<uint8_t>& after) override;
  std::string NotKeptText(const std::vector<uint8_t>& sent, const std::vector<uint8_t>& held) override;
  void LoadPages(const std::vector<uint8_t>& pages) override;

 private:
  TGrid& grid_;
};

// The question when a number (compared as the find compares them) stands in more than one row not
// marked for deletion, naming the rows by their serials; empty when none does.
std::string DuplicateNumbersText(const TGrid& grid);

// Page `page` (1..375) of eight records into its rows: one grid change for the whole page.
void DecodeNumberPage(TGrid& grid, int page, const uint8_t* bytes);

// Headings, serials 1..3000 and the "no" marks of the number grid.
void SetUpNumberGrid(TGrid& grid);

// Puts "yes" or "no" into a mark column of every row, as one change.
void SetNumberMarks(TGrid& grid, int col, bool yes);

// A click on a mark: "yes" becomes "no"; anything else becomes "yes" and empties the row's window,
// since an always-allowed or deleted row has no use for one.
void ToggleNumberMark(TGrid& grid, int col, int row);

}  // namespace torvane
