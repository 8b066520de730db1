// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/paged_transfer.h"

#include <algorithm>
#include <array>
#include <numeric>

#include "core/message.h"
#include "protocol/protocol_texts.h"

namespace torvane {

namespace {

std::vector<int> AllPages(int count) {
  std::vector<int> pages(static_cast<size_t>(count));
  std::iota(pages.begin(), pages.end(), 1);
  return pages;
}

}  // namespace

bool Tsend_rec_command::BeginRead() {
  if (exchange_.Busy()) return false;
  Begin(TMode::Reading);
  StartPass(TPass::Read, AllPages(tablePages_));
  return true;
}

bool Tsend_rec_command::BeginSave() {
  if (exchange_.Busy()) return false;
  // A cell no page can hold stops the save before anything goes out, the backup read included.
  if (!Encodable()) {
    outcome_ = TTransferOutcome::NotEncoded;
    Ended();
    return false;
  }
  Begin(TMode::Writing);
  toSend_.clear();
  probe_.clear();
  lastBackup_.clear();
  if (ProbeRemembered && Device.Known()) {
    if (!Compose()) return true;
    probe_ = ProbeSet();
    if (!probe_.empty()) {
      StartPass(TPass::Probe, AllPages(static_cast<int>(probe_.size())));
      return true;
    }
  }
  // Nothing is written before what the device holds is known and kept.
  StartPass(TPass::Backup, AllPages(tablePages_));
  return true;
}

void Tsend_rec_command::Begin(TMode mode) {
  mode_ = mode;
  outcome_ = TTransferOutcome::None;
  stop_ = false;
  otherDevice_ = false;
  exchange_.BeginTransfer(*this);
  if (OnTransferStarted) OnTransferStarted(mode);
}

void Tsend_rec_command::StartPass(TPass pass, std::vector<int> pages) {
  pass_ = pass;
  pages_ = std::move(pages);
  pageCount_ = static_cast<uint16_t>(pages_.size());
  nextPage_ = 1;
  if (pass == TPass::Read || pass == TPass::Backup)
    scratch_.assign(static_cast<size_t>(tablePages_) * kPageBytes, 0);
  if (pass == TPass::Verify) notKept_.clear();
  Next();
}

void Tsend_rec_command::Next() {
  if (mode_ == TMode::Idle) return;
  // Stop takes effect once the page in flight is answered, never in the middle of one, and before any
  // page of any pass, the first included. A pass whose last page has just come is finished as usual
  // (a read is then complete; a save goes no further than the pass it finished).
  if (stop_ && nextPage_ <= pageCount_) {
    Stopped();
    return;
  }
  if (pass_ == TPass::Write)
    WriteNextPage();
  else
    ReadNextPage();
}

void Tsend_rec_command::ReadNextPage() {
  if (nextPage_ <= pageCount_) {
    if (pass_ == TPass::Probe)
      exchange_.Send(*this, CMD_READ, probe_[nextPage_ - 1], {}, texts_.ProbeRequest);
    else
      RequestPage(pages_[nextPage_ - 1]);
    ++nextPage_;
    return;
  }
  FinishPass();
}

void Tsend_rec_command::WriteNextPage() {
  if (nextPage_ <= pageCount_) {
    BeforeWritePage();
    SendPage(pages_[nextPage_ - 1]);
    ++nextPage_;
    return;
  }
  FinishPass();
}

void Tsend_rec_command::RequestPage(int page) {
  const char* text = pass_ == TPass::Backup   ? texts_.BackupRequest
                     : pass_ == TPass::Verify ? texts_.VerifyRequest
                                              : texts_.ReadRequest;
  exchange_.Send(*this, CMD_READ, PageAddress(page), {}, text);
}

void Tsend_rec_command::SendPage(int page) {
  exchange_.Send(*this, CMD_WRITE, PageAddress(page), Slot(out_, page), texts_.WriteRequest);
}

bool Tsend_rec_command::Compose() {
  // A grid never loaded from anywhere is measured against the device itself.
  const TDevicePages* basis = Options.WriteAllPages ? nullptr : Basis.Known() ? &Basis : &Device;
  out_.assign(static_cast<size_t>(tablePages_) * kPageBytes, 0);
  for (int page = 1; page <= tablePages_; ++page) {
    if (!EncodePage(page, Slot(out_, page), basis)) {
      Fail(TTransferOutcome::NotEncoded);
      Ended();
      return false;
    }
  }
  toSend_.clear();
  changed_.clear();
  for (int page = 1; page <= tablePages_; ++page) {
    const auto held = Device.Page(page);
    const auto sent = Slot(out_, page);
    const bool differs = !std::equal(held.begin(), held.end(), sent.begin());
    if (differs) changed_.push_back(page);
    if (Options.WriteAllPages || differs) toSend_.push_back(page);
  }
  return true;
}

std::vector<int32_t> Tsend_rec_command::ProbeSet() const {
  std::vector<int32_t> set;
  auto add = [&set](int32_t address) {
    if (std::find(set.begin(), set.end(), address) == set.end()) set.push_back(address);
  };
  // The pages most likely to tell another controller first: its name, then where the remembered
  // list begins and ends and where the last save wrote, then what this save overwrites.
  if (Identity && Identity->Device.Known(1)) add(Identity->PageAddress(1));
  int first = 0, last = 0;
  for (int page = 1; page <= tablePages_; ++page) {
    if (!PageInUse(page)) continue;
    if (!first) first = page;
    last = page;
  }
  if (first) {
    add(PageAddress(first));
    add(PageAddress(last));
  }
  if (!lastWritten_.empty()) {
    add(PageAddress(lastWritten_.front()));
    add(PageAddress(lastWritten_.back()));
  }
  for (int page : changed_) add(PageAddress(page));
  return set;
}

bool Tsend_rec_command::ProbeMatches(int32_t address, std::span<const uint8_t, kPageBytes> bytes) {
  const bool identity = Identity && address == Identity->PageAddress(1);
  const auto held =
      identity ? Identity->Device.Page(1) : Device.Page((address - regionBase_) / kPageSpan + 1);
  return std::equal(held.begin(), held.end(), bytes.begin());
}

void Tsend_rec_command::BackUpAndWrite(const std::vector<uint8_t>& held) {
  if (OnBackup) {
    const std::optional<std::string> path = OnBackup(held);
    if (!path) {
      Fail(TTransferOutcome::NoBackup);
      Ended();
      return;
    }
    lastBackup_ = *path;
  }
  if (stop_) {
    Stopped();
    return;
  }
  WriteChanges();
}

void Tsend_rec_command::WriteChanges() {
  if (!toSend_.empty() && !ConfirmSave(Device.All(), out_)) {
    End(TTransferOutcome::Cancelled);
    Ended();
    return;
  }
  if (toSend_.empty()) {
    // The device holds the grid already: nothing to send, and the operator is told so.
    End(TTransferOutcome::Done);
    WriteFinished();
    Ended();
    return;
  }
  StartPass(TPass::Write, toSend_);
}

void Tsend_rec_command::FinishPass() {
  switch (pass_) {
    case TPass::Read:
      Device.SetAll(scratch_);
      Basis.SetAll(scratch_);
      End(TTransferOutcome::Done);
      ReadFinished();
      // Every complete read is kept too; a backup that cannot be written is the operator's to hear of
      // (the hook says why), but the read itself succeeded.
      if (OnBackup) {
        if (auto path = OnBackup(scratch_)) lastBackup_ = *path;
      }
      Ended();
      return;
    case TPass::Probe:
      // Every page of the probe is as remembered: the remembered pages are what the device holds.
      BackUpAndWrite(Device.All());
      return;
    case TPass::Backup: {
      for (int page = 1; page <= tablePages_; ++page) {
        const auto held = Device.Page(page);
        if (Device.Known(page) && !std::equal(held.begin(), held.end(), Slot(scratch_, page).begin()))
          otherDevice_ = true;
      }
      if (otherDevice_) {
        if (Identity) Identity->Device.Forget();
        if (OnOtherDevice) OnOtherDevice();
      }
      Device.SetAll(scratch_);
      if (!Compose()) return;
      BackUpAndWrite(scratch_);
      return;
    }
    case TPass::Write:
      lastWritten_ = toSend_;
      if (Options.Verify) {
        if (stop_) {
          Stopped();
          return;
        }
        StartPass(TPass::Verify, toSend_);
        return;
      }
      // Not read back: the device acknowledged every page as stored, and that is what it is taken to
      // hold (the operator chose not to check).
      for (int page : toSend_) Device.Set(page, Slot(out_, page));
      End(TTransferOutcome::Done);
      WriteFinished();
      Ended();
      return;
    case TPass::Verify:
      if (notKept_.empty()) {
        End(TTransferOutcome::Done);
        WriteFinished();
      } else {
        End(TTransferOutcome::NotKept);
        context_.Operator.Message(WithNote(NotKeptText(out_, Device.All())));
      }
      Ended();
      return;
    case TPass::None:
      return;
  }
}

void Tsend_rec_command::Stop() {
  if (Running()) stop_ = true;
}

bool Tsend_rec_command::Encodable() {
  std::array<uint8_t, kPageBytes> page{};
  for (int p = 1; p <= tablePages_; ++p)
    if (!EncodePage(p, page, nullptr)) return false;
  return true;
}

void Tsend_rec_command::RestorePages(const std::vector<uint8_t>& pages) {
  if (pages.size() != static_cast<size_t>(tablePages_) * kPageBytes) return;
  Basis.SetAll(pages);
  LoadPages(pages);
}

void Tsend_rec_command::LoadPages(const std::vector<uint8_t>& pages) {
  for (int page = 1; page <= tablePages_; ++page)
    DecodePage(page,
               std::span<const uint8_t, kPageBytes>(pages.data() + (page - 1) * kPageBytes, kPageBytes));
}

void Tsend_rec_command::Stopped() {
  const int done = nextPage_ - 1, of = pageCount_;
  std::string text = FillText(kStoppedAfter, {std::to_string(done), std::to_string(of)});
  switch (pass_) {
    case TPass::Read:
      text += kStoppedRead;
      break;
    case TPass::Probe:
      text += kStoppedProbe;
      break;
    case TPass::Backup:
      text += kStoppedBackup;
      break;
    case TPass::Write:
      if (done == of) {
        text += kStoppedWritten;
        break;
      }
      text += FillText(kStoppedWriteHolds, {std::to_string(done), texts_.Table});
      if (!lastBackup_.empty()) text += FillText(kStoppedWriteBackup, {lastBackup_});
      break;
    case TPass::Verify:
      text += kStoppedVerify;
      break;
    case TPass::None:
      break;
  }
  text = WithNote(text);
  // The device holds part of the new and part of the old: what it holds is no longer known.
  Fail(TTransferOutcome::Stopped);
  context_.Status.ShowLasting(FillText(kStoppedAfterStatus, {std::to_string(done), std::to_string(of)}));
  context_.Operator.Message(text);
  Ended();
}

bool Tsend_rec_command::EncodePage(int, std::span<uint8_t, kPageBytes>, const TDevicePages*) {
  return false;
}

std::string Tsend_rec_command::NotKeptText(const std::vector<uint8_t>&, const std::vector<uint8_t>&) {
  return FillText(kNotKept, {JoinFirst(notKept_, notKept_.size(), ", ", "")});
}

bool Tsend_rec_command::PageInUse(int page) const {
  // Erased and never-written records are all 0xFF or all zeros; anything else is something kept.
  const auto bytes = Device.Page(page);
  return std::any_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b != 0x00 && b != 0xFF; });
}

void Tsend_rec_command::ReadFinished() {
  context_.Operator.Success(texts_.ReadDone);
}

void Tsend_rec_command::WriteFinished() {
  context_.Operator.Success(WithNote(texts_.WriteDone));
}

std::string Tsend_rec_command::WithNote(const std::string& text) const {
  return otherDevice_ ? text + "\n" + kOtherDeviceBackedUp : text;
}

void Tsend_rec_command::End(TTransferOutcome outcome) {
  mode_ = TMode::Idle;
  pass_ = TPass::None;
  outcome_ = outcome;
  stop_ = false;
  context_.Progress.SetProgress(100);
  exchange_.EndTransfer(*this);
}

void Tsend_rec_command::Fail(TTransferOutcome outcome) {
  End(outcome);
  Device.Forget();
}

void Tsend_rec_command::Ended() {
  if (OnTransferEnded) OnTransferEnded(outcome_);
}

void Tsend_rec_command::ShowReply(const char* text) {
  if (!texts_.Counted) {
    context_.Status.ShowStatus(text);
    return;
  }
  // The page whose reply just came is one behind NextPage; the bar is at NextPage itself, so the last
  // reply hides it (PageCount + 1 pages' worth is 100 or more).
  context_.Status.ShowStatus(std::string(text) + std::to_string(static_cast<int>(nextPage_) - 1) + "/" +
                             std::to_string(pageCount_));
  context_.Progress.SetProgress(static_cast<uint16_t>(nextPage_ * 100 / pageCount_));
}

bool Tsend_rec_command::OnReply(const TReply& reply) {
  if (mode_ == TMode::Idle || nextPage_ < 2) return true;
  if (pass_ == TPass::Write) {
    // Without its first byte an acknowledgement says nothing.
    if (reply.Payload.empty()) return false;
    ShowReply(texts_.WriteReply);
    if (reply.Payload[0] != 1) {
      Fail(TTransferOutcome::Refused);
      context_.Operator.Message(WithNote(texts_.WriteRefused));
      Ended();
      return true;
    }
    Next();
    return true;
  }
  // A page is a page: a shorter answer is not one, and is asked for again.
  if (reply.Payload.size() != kPageBytes) return false;
  const std::span<const uint8_t, kPageBytes> bytes(reply.Payload.data(), kPageBytes);
  if (pass_ == TPass::Probe) {
    ShowReply(texts_.ProbeReply);
    const int32_t address = probe_[nextPage_ - 2];
    const bool same = ProbeMatches(address, bytes);
    if (!same) {
      // Not the device last seen (or it changed behind the program's back): nothing remembered of it
      // is true, and it is saved as a device never seen, from a backup read of its own.
      otherDevice_ = true;
      Device.Forget();
      if (Identity) Identity->Device.Forget();
      if (OnOtherDevice) OnOtherDevice();
    }
    if (Identity && address == Identity->PageAddress(1)) {
      Identity->Device.Set(1, bytes);
      Identity->Seen(1, bytes);
    } else {
      Seen((address - regionBase_) / kPageSpan + 1, bytes);
    }
    if (!same) {
      if (stop_) {
        Stopped();
        return true;
      }
      StartPass(TPass::Backup, AllPages(tablePages_));
      return true;
    }
    Next();
    return true;
  }
  const int page = pages_[nextPage_ - 2];
  switch (pass_) {
    case TPass::Read:
      ShowReply(texts_.ReadReply);
      DecodePage(page, bytes);
      std::copy(bytes.begin(), bytes.end(), Slot(scratch_, page).begin());
      break;
    case TPass::Backup:
      ShowReply(texts_.BackupReply);
      std::copy(bytes.begin(), bytes.end(), Slot(scratch_, page).begin());
      break;
    case TPass::Verify:
      ShowReply(texts_.VerifyReply);
      Device.Set(page, bytes);
      if (!std::equal(bytes.begin(), bytes.end(), Slot(out_, page).begin())) notKept_.push_back(page);
      break;
    default:
      break;
  }
  Seen(page, bytes);
  Next();
  return true;
}

void Tsend_rec_command::OnFailed(TExchangeFailure why) {
  if (mode_ == TMode::Idle) return;
  Fail(why == TExchangeFailure::Timeout       ? TTransferOutcome::Timeout
       : why == TExchangeFailure::InvalidData ? TTransferOutcome::InvalidData
                                              : TTransferOutcome::Disconnected);
  // The engine shows its box after this returns; whoever waits for the end learns of it now.
  Ended();
}

}  // namespace torvane
