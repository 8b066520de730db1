#pragma once
// The number-list transfer: 375 pages of eight 32-byte records from 0x1000.
#include "app/grid.h"
#include "protocol/frame.h"
#include "protocol/link.h"

namespace torvane {

class TtelephoneSend : public Tsend_rec_command {
 public:
  TtelephoneSend(TLink& link, TGrid& grid) : link_(link), grid_(grid) {}
  void DecodePage() override;
  void WriteNextPage() override;

 private:
  TLink& link_;
  TGrid& grid_;
};

// Headings, serials 1..3000 and the "no" marks of the number grid.
void SetUpNumberGrid(TGrid& grid);

}  // namespace torvane
