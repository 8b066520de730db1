#pragma once
// The history transfer: 500 pages of two 128-byte records from 0x30000.
#include "app/grid.h"
#include "protocol/frame.h"
#include "protocol/link.h"

namespace torvane {

class THistoryInf : public Tsend_rec_command {
 public:
  THistoryInf(TLink& link, TGrid& grid) : link_(link), grid_(grid) {}
  void DecodePage() override;

 private:
  TLink& link_;
  TGrid& grid_;
};

// Headings and the record numbers 1..1000 of the history grid.
void SetUpHistoryGrid(TGrid& grid);

}  // namespace torvane
