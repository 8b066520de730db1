// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Base of the three paged transfers (settings, number list, history). It owns what every table's
// transfer does alike: the page counters, the page addresses, the one request a page, the state of a
// read or a save, and the end of the transfer with its box. A table says only what a page is: how it
// is decoded into its grid, how it is encoded from it, and the texts the operator sees.
//
// A save is made safe and short here too. The transfer keeps the device's pages as last seen on this
// port, but the protocol cannot tell one controller from the next (the installer moves the lead without
// closing the port) nor see a change made behind the program's back: the remembered pages are a cache,
// proven before they are trusted. A save that would rely on them first reads a probe (the settings'
// first page, which names the device, every page about to be written, the first and last pages the
// previous save wrote, the first and last pages in use) and compares it with what is remembered. When
// they match, the remembered pages are kept in a backup file; when any differs, or nothing is known,
// the save reads the whole table first (the backup). It then encodes every page from the grid, sends
// only the pages that differ from the device's, reads each page it wrote back and compares it byte for
// byte, and only then says the device holds the grid.
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "protocol/device_pages.h"
#include "protocol/exchange.h"
#include "protocol/frame.h"

namespace torvane {

// Every page of every table is this long, at addresses kPageSpan apart.
constexpr int kPageBytes = 256;

struct TPagedTexts {
  const char* ReadRequest = "";    // status when a page is asked for
  const char* ReadReply = "";      // status when it has come
  const char* WriteRequest = "";   // status when a page is sent
  const char* WriteReply = "";     // status when its acknowledgement has come
  const char* BackupRequest = "";  // status when a page of the backup read before a save is asked for
  const char* BackupReply = "";    // and when it has come
  const char* VerifyRequest = "";  // status when a page written is asked for again
  const char* VerifyReply = "";    // and when it has come
  const char* ProbeRequest = "";   // status when a page of the probe before a save is asked for
  const char* ProbeReply = "";     // and when it has come
  const char* ReadDone = "";       // the box that ends a complete read
  const char* WriteDone = "";      // the box that ends a complete save
  const char* WriteRefused = "";   // the box when the device does not store a page
  const char* Table = "";          // "number list", "basic settings": what a stopped transfer's box names
  // Replies show the page counter after their text ("Reading number list:1/375") and move the bar.
  bool Counted = false;
};

// How a save goes about it; the window keeps them between runs.
struct TSaveOptions {
  bool WriteAllPages = false;  // every page, not only those that differ from the device's
  bool Verify = true;          // read back every page written and compare it with what was sent
};

// How the last transfer of a table ended.
enum class TTransferOutcome {
  None,          // none has run yet, or one is running
  Done,          // every page, and its success box
  Refused,       // the device did not store a page
  NotEncoded,    // a cell could not be converted; the operator was told, nothing more was sent
  Timeout,       // "Receive timeout" after the last try
  InvalidData,   // "Invalid data" after the last try
  Disconnected,  // the port went away
  Cancelled,     // the operator said no to the save's summary; nothing was sent
  Stopped,       // the operator stopped it after a page
  NotKept,       // a page read back after the save differs from what was sent
  NoBackup,      // the backup before a save could not be kept; nothing was written
};

class Tsend_rec_command : public TTemplate, protected IExchangeClient {
 public:
  enum class TMode { Idle, Reading, Writing };
  // The pass over the table's pages that runs now: a read into the grid, the backup read before a save,
  // the writes, and the reading back of what was written.
  enum class TPass { None, Read, Probe, Backup, Write, Verify };

  // Pages of the running pass, and the 1-based number of the next one to send or ask for. NextPage
  // moves on right after each page goes out, so while the reply to page k is awaited it holds k + 1.
  // The base alone moves them; views and tests read them.
  uint16_t PageCount() const { return pageCount_; }
  uint16_t NextPage() const { return nextPage_; }

  // What the device holds, as last seen on this port: filled by a complete read, the backup read of a
  // save and a verified save; forgotten when the port closes, a transfer of the table fails part-way
  // or a probe finds another device.
  TDevicePages Device;
  // Whether a save may skip the backup read after a probe of the remembered pages. The settings are
  // three pages: reading them all costs hardly more than a probe, so they are always read.
  bool ProbeRemembered = true;
  // The table whose first page names the device (the settings: password and SIM number), probed with
  // this table's pages when it is remembered.
  Tsend_rec_command* Identity = nullptr;
  // Every page of this table read from the device, whatever the pass (also the identity page a probe
  // of another table reads).
  std::function<void(int page, std::span<const uint8_t, 256> bytes)> OnPageSeen;
  // A probe found the remembered pages wrong: the device on the port is not the one last seen, and
  // what is remembered of its other tables is wrong too.
  std::function<void()> OnOtherDevice;
  // What the grid was loaded from (a read, or a restored backup): a save keeps these bytes for whatever
  // still reads the same, so that a backup restored and saved gives the device back its bytes exactly.
  TDevicePages Basis;
  TSaveOptions Options;
  // Keeps a backup of the pages of a complete read (the table's pages, one after the other) and returns
  // the file's path; nothing when it could not (the operator has been told why).
  std::function<std::optional<std::string>(const std::vector<uint8_t>& pages)> OnBackup;
  // The backup kept by the running or last save (or read) of this table; empty when none was kept.
  const std::string& LastBackup() const { return lastBackup_; }
  // The last save found the device other than last read (a probe or its backup read differed from the
  // remembered pages), and backed it up first.
  bool DeviceWasOther() const { return otherDevice_; }

  TMode Mode() const { return mode_; }
  TPass Pass() const { return pass_; }
  bool Running() const { return mode_ != TMode::Idle; }
  TTransferOutcome Outcome() const { return outcome_; }
  int TablePages() const { return tablePages_; }
  int32_t RegionBase() const { return regionBase_; }
  int32_t PageAddress(int page) const { return regionBase_ + (page - 1) * kPageSpan; }
  // The pages the last save sent (or would have sent), in order.
  const std::vector<int>& PagesToSend() const { return toSend_; }
  // The addresses the last save's probe read, in order (empty when it read a backup instead).
  const std::vector<int32_t>& ProbeAddresses() const { return probe_; }

  // Ends the running read or save once the page in flight is answered: nothing more is sent, on any
  // pass, the first page of the next included. The request belongs to the transfer running now.
  void Stop();
  // Every page can be encoded from the grid as it stands (without a basis); false, with the operator
  // told of the cell that cannot, when one cannot. Nothing is sent: a check before a save starts.
  bool Encodable();
  // A backup of this table (its pages, one after the other) into the grid, as one change; it becomes
  // the basis of the next save. Nothing goes to the device.
  void RestorePages(const std::vector<uint8_t>& pages);

  // Told when a transfer of this table starts, and once at its end: after its own box, or before the
  // box of the exchange engine when that ended it.
  std::function<void(TMode)> OnTransferStarted;
  std::function<void(TTransferOutcome)> OnTransferEnded;

 protected:
  Tsend_rec_command(TExchange& exchange, TContext& context, int32_t regionBase, int tablePages,
                    const TPagedTexts& texts)
      : Device(tablePages),
        Basis(tablePages),
        exchange_(exchange),
        context_(context),
        regionBase_(regionBase),
        tablePages_(tablePages),
        texts_(texts) {}

  // A read of the whole table into the grid, or a save of it; false (nothing sent) while the exchange
  // is busy.
  bool BeginRead();
  bool BeginSave();

  // ---- what a page is ----
  // The reply to page `page`, a whole page, into the grid.
  virtual void DecodePage(int page, std::span<const uint8_t, kPageBytes> bytes) = 0;
  // Page `page` from the grid. With a basis, whatever reads the same as the basis keeps the basis's
  // bytes; without one, every byte is encoded. False when a cell cannot be converted (the operator has
  // been told).
  virtual bool EncodePage(int page, std::span<uint8_t, kPageBytes> out, const TDevicePages* basis);
  // Before a save sends anything: the device's pages and the pages it would hold after. False: the
  // operator does not want it.
  virtual bool ConfirmSave(const std::vector<uint8_t>& /*before*/, const std::vector<uint8_t>& /*after*/) {
    return true;
  }
  // The box when pages read back differ from what was sent: what the device did not keep.
  virtual std::string NotKeptText(const std::vector<uint8_t>& sent, const std::vector<uint8_t>& held);
  // Before page NextPage of the writes goes out.
  virtual void BeforeWritePage() {}
  // Every page of a restored backup into the grid; a table batches them into one change of its grid.
  virtual void LoadPages(const std::vector<uint8_t>& pages);
  // Whether a remembered page holds anything (the probe reads the first and the last that do).
  virtual bool PageInUse(int page) const;
  // After the last page: by default the texts' box.
  virtual void ReadFinished();
  virtual void WriteFinished();
  // A box's text; a save that found another device says so in every box of its own.
  std::string WithNote(const std::string& text) const;

  TExchange& exchange_;
  TContext& context_;

 private:
  // The request for one page; the next page of a read pass (the read, the backup read, the reading
  // back) or the end of the pass; the sending of one page of the save; the next of them or their end.
  void RequestPage(int page);
  void ReadNextPage();
  void SendPage(int page);
  void WriteNextPage();

  uint16_t pageCount_ = 0;
  uint16_t nextPage_ = 0;
  bool OnReply(const TReply& reply) override;
  void OnFailed(TExchangeFailure why) override;
  void Begin(TMode mode);
  void StartPass(TPass pass, std::vector<int> pages);
  // The next request of the pass, or the end of the pass.
  void Next();
  void FinishPass();
  // The pages the save sends, encoded from the grid against the remembered pages; false (the save
  // has ended) when a cell cannot be converted.
  bool Compose();
  // The probe of the remembered pages before a save that relies on them.
  std::vector<int32_t> ProbeSet() const;
  // The probe's page at `address` as remembered, and whether the device's reply matches it.
  bool ProbeMatches(int32_t address, std::span<const uint8_t, kPageBytes> bytes);
  // What the device held before the save is known: kept in a backup, then the changes are sent.
  void BackUpAndWrite(const std::vector<uint8_t>& held);
  void WriteChanges();
  void Stopped();
  // Back to idle with the outcome; the exchange is released and the bar hidden.
  void End(TTransferOutcome outcome);
  // A transfer that ends part-way leaves the device's pages unknown.
  void Fail(TTransferOutcome outcome);
  void Ended();
  void ShowReply(const char* text);
  void Seen(int page, std::span<const uint8_t, kPageBytes> bytes) {
    if (OnPageSeen) OnPageSeen(page, bytes);
  }
  std::span<uint8_t, kPageBytes> Slot(std::vector<uint8_t>& all, int page) {
    return std::span<uint8_t, kPageBytes>(all.data() + static_cast<size_t>(page - 1) * kPageBytes,
                                          kPageBytes);
  }

  int32_t regionBase_;
  int tablePages_;
  const TPagedTexts& texts_;
  TMode mode_ = TMode::Idle;
  TPass pass_ = TPass::None;
  TTransferOutcome outcome_ = TTransferOutcome::None;
  std::vector<int> pages_;        // the running pass's pages
  std::vector<int> toSend_;       // the save's pages: those that differ, or all
  std::vector<int> changed_;      // the save's pages whose bytes it changes
  std::vector<int32_t> probe_;    // the probe's addresses
  std::vector<int> lastWritten_;  // the pages the previous save of the table wrote
  std::vector<uint8_t> scratch_;  // pages read by the running read, until it is complete
  std::vector<uint8_t> out_;      // the pages the save sends
  std::vector<int> notKept_;
  bool stop_ = false;
  bool otherDevice_ = false;
  std::string lastBackup_;
};

}  // namespace torvane
