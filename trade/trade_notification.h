#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "net/protocol.h"
#include "trade/trade_record.h"
#include "trade/trade_request.h"

namespace kb::net {
class PacketStream;
}

namespace kb::trade {

// What a trade server's notification (command 190, after its command byte) says about the
// request a trade channel follows:
//
//   int32 request id, uint8 request kind, uint8 code, then by code and the request's kind:
//   142 accepted, 143 in process: nothing; 138 requote: bid, ask (doubles);
//   0 done: price request: bid, ask; open: a compressed block of one TradeRecord;
//           close: balance, credit, then a block of one or two records (closed, rest);
//           modify: a block of one record; delete, multiple close by: nothing;
//           close by: balance, credit, then a block of two or three records;
//   anything else: the request failed with that code.
struct TradeNotification {
    net::ReturnCode code = net::ReturnCode::CommonError;   // the server's code, CommonError after a fault
    std::string fault;             // the journal line of a fault; empty without one
    int32_t request_id = 0;
    double bid = 0;                // 138, and 0 for a price request
    double ask = 0;
    double balance = 0;            // 0 for closes and close by
    double credit = 0;
    std::vector<TradeRecord> records;
};

// Where a request stands while a trade channel follows it. These are the channel's own
// states, not return codes: a request that ends leaves its code with its requester.
enum class RequestState : uint8_t {
    Ready,       // no request, or one sent that the server has not accepted yet
    Accepted,    // the server accepted it (OrderAccepted): its id is known
    InProcess,   // the dealer works on it (OrderInProcess)
};

// The state a request goes on in after a notification's code: Accepted after
// OrderAccepted, InProcess after OrderInProcess; nothing for a code that ends it.
std::optional<RequestState> state_going_on(net::ReturnCode code);

// What the reader needs to know of the request it follows.
struct FollowedRequest {
    uint8_t kind = 0;                            // RequestKind of the request sent
    RequestState state = RequestState::Ready;    // Ready once sent, until the acceptance
    int32_t request_id = 0;                      // the id of the acceptance (0 before it)
};

// Reads one notification and checks it against the followed request: an acceptance only
// while Ready, processing only once Accepted and with the same id, a requote or done only
// with the expected id, records and prices complete (block sizes are checked before
// anything is allocated). A fault gives CommonError and its line; the stream is then left
// wherever the fault was found (the caller closes it). Called by the thread that owns the
// stream.
TradeNotification read_trade_notification(net::PacketStream& stream, const FollowedRequest& followed);

// The transactions a done notification brings for the trade base: an open adds its record;
// a close deletes the first (with balance and credit) and adds the rest of a partly closed
// position; a modify updates; a delete deletes the order (the caller's copy, when known);
// a close by deletes the first two and adds a remainder.
std::vector<TradeTransaction> done_transactions(const FollowedRequest& followed, const TradeNotification& done,
                                                const TradeRecord* deleted_order);

// The record a done notification leaves as the request's result: the opened, closed,
// modified or deleted order, a close by's remainder; all zero otherwise.
TradeRecord done_result(const FollowedRequest& followed, const TradeNotification& done, const TradeRecord* deleted_order);

}  // namespace kb::trade
