#include "protocol/paged_transfer.h"

#include <array>

namespace torvane {

bool Tsend_rec_command::BeginRead() {
  if (exchange_.Busy()) return false;
  Begin(TMode::Reading);
  ReadNextPage();
  return true;
}

bool Tsend_rec_command::BeginWrite() {
  if (exchange_.Busy()) return false;
  Begin(TMode::Writing);
  WriteNextPage();
  return true;
}

void Tsend_rec_command::Begin(TMode mode) {
  mode_ = mode;
  outcome_ = TTransferOutcome::None;
  PageCount = static_cast<uint16_t>(tablePages_);
  NextPage = 1;
  exchange_.BeginTransfer(*this);
  if (OnTransferStarted) OnTransferStarted(mode);
}

void Tsend_rec_command::End(TTransferOutcome outcome) {
  mode_ = TMode::Idle;
  outcome_ = outcome;
  exchange_.EndTransfer(*this);
}

void Tsend_rec_command::Fail(TTransferOutcome outcome) {
  End(outcome);
  TransferFailed(outcome);
}

void Tsend_rec_command::RequestPage(int page) {
  exchange_.Send(*this, CMD_READ, PageAddress(page), {}, texts_.ReadRequest);
}

void Tsend_rec_command::ReadNextPage() {
  if (mode_ != TMode::Reading) return;
  if (NextPage <= PageCount) {
    RequestPage(NextPage);
    ++NextPage;
    return;
  }
  End(TTransferOutcome::Done);
  ReadFinished();
  if (OnTransferEnded) OnTransferEnded(outcome_);
}

bool Tsend_rec_command::SendPage(int page) {
  std::array<uint8_t, kPageBytes> out{};
  if (!EncodePage(page, out)) return false;
  exchange_.Send(*this, CMD_WRITE, PageAddress(page), out, texts_.WriteRequest);
  return true;
}

void Tsend_rec_command::WriteNextPage() {
  if (mode_ != TMode::Writing) return;
  if (NextPage <= PageCount) {
    BeforeWritePage();
    if (!SendPage(NextPage)) {
      // The pages before this one are stored; this one and the rest are not sent. NextPage stays on the
      // page that was not sent.
      exchange_.Progress.SetProgress(100);
      Fail(TTransferOutcome::NotEncoded);
      if (OnTransferEnded) OnTransferEnded(outcome_);
      return;
    }
    ++NextPage;
    return;
  }
  End(TTransferOutcome::Done);
  WriteFinished();
  if (OnTransferEnded) OnTransferEnded(outcome_);
}

bool Tsend_rec_command::EncodePage(int, std::span<uint8_t, kPageBytes>) {
  return false;
}

void Tsend_rec_command::ReadFinished() {
  exchange_.Operator.Message(texts_.ReadDone);
}

void Tsend_rec_command::WriteFinished() {
  exchange_.Operator.Message(texts_.WriteDone);
}

void Tsend_rec_command::ShowReply(const char* text) {
  if (!texts_.Counted) {
    exchange_.Status.ShowStatus(text);
    return;
  }
  // The page whose reply just came is one behind NextPage; the bar is at NextPage itself, so the last
  // reply hides it (PageCount + 1 pages' worth is 100 or more).
  exchange_.Status.ShowStatus(std::string(text) + std::to_string(static_cast<int>(NextPage) - 1) + "/" +
                              std::to_string(PageCount));
  exchange_.Progress.SetProgress(static_cast<uint16_t>(NextPage * 100 / PageCount));
}

bool Tsend_rec_command::OnReply(const TReply& reply) {
  Address = reply.Address;
  const int page = NextPage - 1;
  if (mode_ == TMode::Reading) {
    // A page is a page: a shorter answer is not one, and is asked for again.
    if (reply.Payload.size() != kPageBytes) return false;
    ShowReply(texts_.ReadReply);
    DecodePage(page, std::span<const uint8_t, kPageBytes>(reply.Payload.data(), kPageBytes));
    ReadNextPage();
    return true;
  }
  if (mode_ == TMode::Writing) {
    // Without its first byte an acknowledgement says nothing.
    if (reply.Payload.empty()) return false;
    ShowReply(texts_.WriteReply);
    if (reply.Payload[0] != 1) {
      Fail(TTransferOutcome::Refused);
      exchange_.Operator.Message(texts_.WriteRefused);
      if (OnTransferEnded) OnTransferEnded(outcome_);
      return true;
    }
    WriteNextPage();
    return true;
  }
  return true;
}

void Tsend_rec_command::OnFailed(TExchangeFailure why) {
  if (mode_ == TMode::Idle) return;
  Fail(why == TExchangeFailure::Timeout       ? TTransferOutcome::Timeout
       : why == TExchangeFailure::InvalidData ? TTransferOutcome::InvalidData
                                              : TTransferOutcome::Disconnected);
  // The engine shows its box after this returns; whoever waits for the end learns of it now.
  if (OnTransferEnded) OnTransferEnded(outcome_);
}

}  // namespace torvane
