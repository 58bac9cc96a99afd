#pragma once
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "trade/trade_record.h"
#include "trade/trade_request.h"

namespace kb::trade {

// What a trade context needs from the trade base while it follows a request. The trade
// base implements it; every call takes the base's own lock, and the trade context calls
// from its worker thread without holding a lock of the base.
class RequestSink {
public:
    virtual ~RequestSink() = default;
    // The outcome of a request: adds, deletes (with balance and credit) and updates.
    virtual void apply_transactions(std::span<const TradeTransaction> transactions) = 0;
    // The server's new prices for a request (the requote list).
    virtual void add_requote(const TradeRequest& request, double bid, double ask) = 0;
    // A copy of the open position or pending order with that ticket; nothing when unknown.
    virtual std::optional<TradeRecord> trade_by_ticket(int32_t ticket) = 0;
    // The symbol's digits; -1 for an unknown symbol.
    virtual int symbol_digits(std::string_view symbol) = 0;
};

}  // namespace kb::trade
