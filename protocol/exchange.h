// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The exchange engine. The PC is always the requester and one request is outstanding at a time; the
// frames carry no sequence number, so a reply is known only by its command and address. The engine
// records what answers the request it sent and takes nothing else: a reply that comes late after a
// repeat, twice, for another page or when nothing is awaited changes nothing. A request whose reply is
// missing, bad or cut short goes out again, twice at most (every request is safe to repeat: the same
// bytes ask for the same page or the same action; a time sync is sent with the time of its repeat). When the
// last try fails too, the client's transfer ends and the operator is told why, so no transfer ever stops
// without a word.
//
// It is only the engine: what senders and file operations share besides it is the context
// (core/context.h), and the login lock over the buttons belongs to the session.
#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "core/context.h"
#include "core/timer.h"
#include "protocol/frame.h"
#include "serial/send_port.h"

namespace torvane {

// A reply that answers the outstanding request; the payload lives as long as the call it is passed to.
struct TReply {
  uint8_t Command = 0;
  int32_t Address = 0;
  std::span<const uint8_t> Payload;
};

// Why a request got no usable reply.
enum class TExchangeFailure {
  Timeout,       // nothing usable came on the last try
  InvalidData,   // the last try was answered by a frame that could not be taken
  Disconnected,  // the port went away
};

// The transfer or command that sent the request.
class IExchangeClient {
 public:
  virtual ~IExchangeClient() = default;
  // The awaited reply. False when it answers the request but cannot be used (a page of the wrong size,
  // an acknowledgement without its verdict byte): it then counts as a bad reply and the request goes
  // out again. A client that returns false must not have sent anything.
  virtual bool OnReply(const TReply& reply) = 0;
  // The request will not be answered: the client's transfer ends here. The engine has already updated
  // the status line and tells the operator after this returns (except for Disconnected, which the
  // owner of the port reports).
  virtual void OnFailed(TExchangeFailure why) = 0;
  // Before a repeat: a request that carries the moment it is sent (the time sync) fills its payload
  // afresh and returns true; every other request goes out again as the same bytes.
  virtual bool RefreshPayload(std::span<uint8_t> /*payload*/) { return false; }
};

class TExchange {
 public:
  static constexpr int kTries = 3;

  // The engine shows its own status texts and boxes through the context.
  TExchange(ISendPort& port, ITimer& replyTimer, TContext& context)
      : Port(port), ReplyTimer(replyTimer), context_(context) {}
  TExchange(const TExchange&) = delete;
  TExchange& operator=(const TExchange&) = delete;

  ISendPort& Port;
  ITimer& ReplyTimer;

  // Builds the frame, queues it, shows statusText and starts the reply timer; the reply goes to client.
  // Single commands answer on their own command whatever address the device puts in the reply
  // (anyAddress); every page is answered at its own address.
  void Send(IExchangeClient& client, uint8_t command, int32_t address, std::span<const uint8_t> payload,
            const std::string& statusText, bool anyAddress = false);

  // ---- from the receive side ----
  // A whole frame that passed its checksum.
  void OnFrame(uint8_t command, int32_t address, std::span<const uint8_t> payload);
  // A frame that could not be taken (checksum mismatch, a length the record has no room for). `whole`:
  // the device has finished sending it, so the request can go out again at once; otherwise the rest
  // of it is still on its way, and the repeat waits for it (or for the reply timer).
  void OnBadFrame(bool whole);
  // The reply timer's expiry.
  void OnReplyTimeout();
  // The port went away or was closed: the outstanding request and its transfer end at once.
  void Abandon(TExchangeFailure why);

  // A request is awaiting its reply.
  bool Outstanding() const { return client_ != nullptr; }
  // A transfer runs (between its pages too, and while it asks the operator something), or a request is
  // outstanding. While busy, nothing may start another exchange.
  bool Busy() const { return client_ != nullptr || !transfers_.empty(); }
  // A transfer holds the exchange from its first request to its end; when the port goes away, every
  // transfer holding it is told, not only the one whose request is outstanding.
  void BeginTransfer(IExchangeClient& owner);
  void EndTransfer(IExchangeClient& owner);
  // Counts every frame queued, repeats included: the receive side drops a half-collected frame when a
  // new request has gone out since it began.
  uint64_t SendCount() const { return sendCount_; }
  // The try (1..kTries) of the outstanding request.
  int Try() const { return try_; }

  // Told when Busy() may have changed (the session enables and disables its buttons by it).
  std::function<void()> OnBusyChanged;
  // The outstanding request's address (meaningful while Outstanding()), and whether it is a page
  // request that a reply must answer at that very address.
  int32_t AwaitedAddress() const { return address_; }
  uint8_t AwaitedCommand() const { return command_; }
  bool AwaitsPage() const { return client_ != nullptr && !anyAddress_; }
  // Every frame as it is queued, repeats included (for the protocol trace).
  std::function<void(std::span<const uint8_t> frame)> OnFrameSent;

 private:
  void Build(std::span<const uint8_t> payload);
  void Resend();
  void GiveUp(TExchangeFailure why);
  void Notify();
  // The request itself: repeats put exactly the same bytes on the wire.
  std::array<uint8_t, kMaxPayload + 9> frame_{};
  uint16_t frameLength_ = 0;
  std::array<uint8_t, kMaxPayload> payload_{};
  uint16_t payloadLength_ = 0;
  uint8_t command_ = 0;
  int32_t address_ = 0;
  bool anyAddress_ = false;
  std::string statusText_;
  IExchangeClient* client_ = nullptr;
  int try_ = 0;
  bool badThisTry_ = false;
  std::vector<IExchangeClient*> transfers_;
  TContext& context_;
  uint64_t sendCount_ = 0;
};

}  // namespace torvane
