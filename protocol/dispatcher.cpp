#include "protocol/dispatcher.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace torvane {
namespace {

// Shown for every byte that arrives; one string kept rather than one made per byte.
const std::string kDataCommunication = "Data communication";

// "Reading number list:1/375": the page whose reply just arrived is one behind NextPage, which was
// advanced when that page was requested.
std::string PageCounter(const std::string& caption, const Tsend_rec_command& transfer) {
  return caption + std::to_string(static_cast<int>(transfer.NextPage) - 1) + "/" +
         std::to_string(transfer.PageCount);
}

}  // namespace

void TReceiveDispatcher::ResetAssembler() {
  rec_.RawCount = 0;
  rec_.Receiving = false;
}

void TReceiveDispatcher::cm1ReceiveData(const uint8_t* buffer, uint16_t length) {
  if (!buffer) return;
  // The serial component hands over one byte per call; should a block ever carry more, every byte
  // is taken rather than all but the first lost.
  for (uint16_t i = 0; i < length; ++i) TakeByte(buffer[i]);
}

void TReceiveDispatcher::TakeByte(uint8_t b) {
  link_.ReplyTimer.Stop();
  link_.Status.ShowStatus(kDataCommunication);

  // Only one request is ever outstanding, so a frame still half collected when a new request went
  // out is a stale remnant (the tail of a late reply): start afresh rather than let it swallow the
  // answer to the new request.
  if (link_.SendCount() != seenSendCount_) {
    seenSendCount_ = link_.SendCount();
    ResetAssembler();
  }

  Collect(b);

  // Every byte stops the reply timer; while a reply is still awaited it runs again from this byte,
  // so a device that stops mid-frame still ends in "Receive timeout" instead of leaving the
  // exchange open for ever.
  if (link_.Busy()) link_.ReplyTimer.Start();
}

void TReceiveDispatcher::Collect(uint8_t b) {
  if (!rec_.Receiving) {
    if (b == kFrameStart) rec_.Receiving = true;
    return;
  }
  rec_.RawBytes[rec_.RawCount] = b;
  if (rec_.RawCount == 7) {
    rec_.ExpectedLength = rec_.RawBytes[5] * 256 + rec_.RawBytes[6];
    // The record holds at most 256 payload bytes; a longer declared length can only be garbage.
    if (rec_.ExpectedLength > kMaxPayload) {
      Reject();
      return;
    }
  }
  ++rec_.RawCount;
  if (rec_.RawCount != rec_.ExpectedLength + 8) return;

  const int n = rec_.ExpectedLength;
  rec_.ReceivedChecksum = rec_.RawBytes[n + 7];
  rec_.Command = rec_.RawBytes[0];
  std::copy_n(&rec_.RawBytes[1], 4, rec_.AddressBytes.begin());
  std::copy_n(&rec_.RawBytes[5], 2, rec_.LengthBytes.begin());
  std::copy_n(&rec_.RawBytes[7], n, rec_.Payload.begin());
  rec_.ComputeChecksum();
  if (rec_.Checksum != rec_.ReceivedChecksum) {
    Reject();
    return;
  }
  ResetAssembler();

  valid_.Command = rec_.RawBytes[0];
  valid_.Address =
      static_cast<int32_t>((uint32_t{rec_.RawBytes[1]} << 24) | (uint32_t{rec_.RawBytes[2]} << 16) |
                           (uint32_t{rec_.RawBytes[3]} << 8) | uint32_t{rec_.RawBytes[4]});
  valid_.Length = static_cast<uint16_t>(n);
  // Nothing of an earlier reply may stay behind the payload: the password check reads four bytes
  // whatever the length.
  valid_.Data.fill(0);
  std::copy_n(&rec_.RawBytes[7], n + 1, valid_.Data.begin());

  const uint64_t sentBefore = link_.SendCount();
  Route();
  ResetAssembler();
  seenSendCount_ = link_.SendCount();
  // A handler that asked for the next page keeps the exchange open; anything else ends it.
  if (link_.SendCount() == sentBefore) link_.EndExchange();
}

void TReceiveDispatcher::Reject() {
  link_.Status.ShowStatus("Invalid data");
  ResetAssembler();
  link_.EndExchange();
}

void TReceiveDispatcher::CopyInto(Tsend_rec_command& target, int count) {
  std::memcpy(target.Buffer.data(), valid_.Data.data(), static_cast<size_t>(count));
  target.Address = valid_.Address;
}

void TReceiveDispatcher::ShowPageProgress(const Tsend_rec_command& transfer) {
  if (transfer.PageCount == 0) return;
  link_.Progress.SetProgress(static_cast<uint16_t>(transfer.NextPage * 100 / transfer.PageCount));
}

void TReceiveDispatcher::Route() {
  // Regions are compared unsigned: an address with its top bit set lies above the history base.
  const auto a = static_cast<uint32_t>(valid_.Address);
  const bool settingsRegion = a < static_cast<uint32_t>(kNumbersBase);
  const bool numbersRegion = !settingsRegion && a < static_cast<uint32_t>(kHistoryBase);
  const int length = valid_.Length;
  // A reply without payload carries no verdict; behind an empty payload sits the checksum byte,
  // which must not pass for "accepted".
  const bool accepted = length >= 1 && valid_.Data[0] == 1;

  switch (valid_.Command) {
    case CMD_READ:
      if (settingsRegion) {
        link_.Status.ShowStatus("Reading basic setting");
        if (login_.Verifying) {
          login_.CheckPassword(valid_.Data.data());
        } else {
          CopyInto(settings_, length);
          settings_.DecodePage();
        }
      } else if (numbersRegion) {
        link_.Status.ShowStatus(PageCounter("Reading number list:", numbers_));
        ShowPageProgress(numbers_);
        CopyInto(numbers_, length);
        numbers_.DecodePage();
      } else {
        link_.Status.ShowStatus(PageCounter("Reading historical data:", history_));
        if (history_.NextPage != 0) ShowPageProgress(history_);
        CopyInto(history_, length);
        history_.DecodePage();
      }
      break;
    case CMD_WRITE:
      if (settingsRegion) {
        link_.Status.ShowStatus("Save basic settings");
        CopyInto(settings_, length);
        if (accepted)
          settings_.WriteNextPage();
        else
          link_.Operator.Message("Basic setting error");
      } else if (numbersRegion) {
        link_.Status.ShowStatus(PageCounter("Save number list:", numbers_));
        ShowPageProgress(numbers_);
        // The number-list write step also sees the checksum byte behind the payload.
        CopyInto(numbers_, length + 1);
        if (accepted)
          numbers_.WriteNextPage();
        else
          link_.Operator.Message("Number list data error");
      } else {
        link_.Status.ShowStatus("Undefined address");
      }
      break;
    case CMD_TIME_SYNC:
      link_.Status.ShowStatus("Receives the data synchronization command returns");
      link_.Operator.Message(accepted ? "1同步时间返回正确" : "0同步时间返回错误");
      break;
    case CMD_CHECK_MODE:
      link_.Status.ShowStatus("Checking mode");
      link_.Operator.Message(accepted ? "Enter" : "Error");
      break;
    case CMD_DELETE_HISTORY:
      link_.Status.ShowStatus("Delete command");
      link_.Operator.Message(accepted ? "Historical data deleted" : "Historical data delet error");
      break;
    default:
      link_.Status.ShowStatus("Undefined data");
      break;
  }
}

}  // namespace torvane
