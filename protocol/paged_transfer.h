#pragma once
// Base of the three paged transfers (settings, number list, history). It owns what every table's
// transfer does alike: the page counters, the page addresses, the one request a page, the state of a
// read or a write, and the end of the transfer with its box. A table says only what a page is: how it
// is decoded into its grid, how it is encoded from it, and the texts the operator sees.
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "protocol/exchange.h"
#include "protocol/frame.h"

namespace torvane {

// Every page of every table is this long, at addresses kPageSpan apart.
constexpr int kPageBytes = 256;

struct TPagedTexts {
  const char* ReadRequest = "";   // status when a page is asked for
  const char* ReadReply = "";     // status when it has come
  const char* WriteRequest = "";  // status when a page is sent
  const char* WriteReply = "";    // status when its acknowledgement has come
  const char* ReadDone = "";      // the box that ends a complete read
  const char* WriteDone = "";     // the box that ends a complete write
  const char* WriteRefused = "";  // the box when the device does not store a page
  // Replies show the page counter after their text ("Reading number list:1/375") and move the bar.
  bool Counted = false;
};

// How the last transfer of a table ended.
enum class TTransferOutcome {
  None,          // none has run yet, or one is running
  Done,          // every page, and its success box
  Refused,       // the device did not store a page
  NotEncoded,    // a cell could not be converted; the operator was told, the page was not sent
  Timeout,       // "Receive timeout" after the last try
  InvalidData,   // "Invalid data" after the last try
  Disconnected,  // the port went away
};

class Tsend_rec_command : public TTemplate, protected IExchangeClient {
 public:
  enum class TMode { Idle, Reading, Writing };

  // Pages of the running transfer, and the 1-based number of the next one to send or ask for. NextPage
  // moves on right after each page goes out, so while the reply to page k is awaited it holds k + 1.
  uint16_t PageCount = 0;
  uint16_t NextPage = 0;

  TMode Mode() const { return mode_; }
  bool Running() const { return mode_ != TMode::Idle; }
  TTransferOutcome Outcome() const { return outcome_; }
  // Told when a transfer of this table starts, and once at its end: after its own box, or before the
  // box of the exchange engine when that ended it.
  std::function<void(TMode)> OnTransferStarted;
  std::function<void(TTransferOutcome)> OnTransferEnded;
  int TablePages() const { return tablePages_; }
  int32_t RegionBase() const { return regionBase_; }
  int32_t PageAddress(int page) const { return regionBase_ + (page - 1) * kPageSpan; }

  // The request for one page, and the next page of a read or the end of it.
  void RequestPage(int page);
  void ReadNextPage();
  // Encodes and sends one page; false when it could not be built (the operator has been told).
  bool SendPage(int page);
  void WriteNextPage();

 protected:
  Tsend_rec_command(TExchange& exchange, int32_t regionBase, int tablePages, const TPagedTexts& texts)
      : exchange_(exchange), regionBase_(regionBase), tablePages_(tablePages), texts_(texts) {}

  // Start a read or a write of the whole table from page 1; false (nothing sent) while the exchange is
  // busy.
  bool BeginRead();
  bool BeginWrite();

  // ---- what a page is ----
  // The reply to page `page`, a whole page, into the grid.
  virtual void DecodePage(int page, std::span<const uint8_t, kPageBytes> bytes) = 0;
  // Page `page` from the grid; false when a cell cannot be converted (the operator has been told).
  virtual bool EncodePage(int page, std::span<uint8_t, kPageBytes> out);
  // Before page NextPage of a write goes out.
  virtual void BeforeWritePage() {}
  // After the last page: by default the texts' box.
  virtual void ReadFinished();
  virtual void WriteFinished();
  // The transfer ended without its last page (the operator has been or will be told why).
  virtual void TransferFailed(TTransferOutcome) {}

  TExchange& exchange_;

 private:
  bool OnReply(const TReply& reply) override;
  void OnFailed(TExchangeFailure why) override;
  void Begin(TMode mode);
  // Back to idle with the outcome; the exchange is released.
  void End(TTransferOutcome outcome);
  void Fail(TTransferOutcome outcome);
  void ShowReply(const char* text);

  int32_t regionBase_;
  int tablePages_;
  const TPagedTexts& texts_;
  TMode mode_ = TMode::Idle;
  TTransferOutcome outcome_ = TTransferOutcome::None;
};

}  // namespace torvane
