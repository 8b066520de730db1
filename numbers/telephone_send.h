#pragma once
// The number-list transfer: 375 pages of eight 32-byte records from 0x1000, read into and written
// from the number grid one page per reply.
#include <cstdint>

#include "core/grid.h"
#include "numbers/number_record.h"
#include "protocol/frame.h"
#include "protocol/link.h"

namespace torvane {

class TtelephoneSend : public Tsend_rec_command {
 public:
  TtelephoneSend(TLink& link, TGrid& grid) : link_(link), grid_(grid) {}

  // The "Read" button: asks first, then reads all pages from page 1.
  void StartRead();
  // The "Save" button: checks the grid, then writes all pages from page 1.
  void StartSave();

  void RequestPage(int page);
  void ReadNextPage();
  void DecodePage() override;
  // Encodes and sends one page; false when a cell could not be converted (the operator was told).
  bool SendPage(int page);
  void WriteNextPage() override;
  // True when every row with a number has a mark or a whole time window.
  bool CheckBeforeSave();

  static int32_t PageAddress(int page) { return kNumbersBase + (page - 1) * kPageSpan; }

 private:
  TLink& link_;
  TGrid& grid_;
};

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
