#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "market/symbol_record.h"
#include "net/protocol.h"
#include "market/tick_history.h"
#include "trade/trade_record.h"
#include "trade/trade_request.h"

namespace kb::core {
class Journal;
}

namespace kb::trade {

// What the local test of a request reads: copies taken by the trade base under its lock,
// so the test itself touches no shared state.
struct RequestCheckInputs {
    bool investor_mode = false;
    int32_t login = 0;                                 // the connected account
    std::optional<market::SymbolRecord> symbol;        // the request's symbol
    const market::GroupRecord* group = nullptr;        // the account's group; null refuses
    std::optional<TradeRecord> order;                  // the record of the request's ticket
    std::optional<TradeRecord> opposite;               // the record of the opposite ticket
    int32_t open_orders = 0;                           // positions and pending orders held
    double bid = 0;                                    // the symbol's current prices
    double ask = 0;
    int32_t quote_time = 0;                            // server time of the newest quote
    std::vector<market::TickHistoryEntry> recent_ticks;   // up to two, newest first
    // The margin test: true when the free margin after the request is enough. Unset passes.
    std::function<bool(const TradeRequest&)> margin_ok;
    // Called when the ticket belongs to another login: the base empties its lists and
    // tells the user interface.
    std::function<void()> clear_foreign_trades;
};

// A recent tick counts for an instant order or close when it is at most this old.
inline constexpr int32_t kRecentTickSeconds = 5;
inline constexpr double kMaximumPendingPrice = 1000000000.0;
inline constexpr int32_t kMaximumCloseDeviation = 1000000;

// Tests a request before it is sent and returns the first failing rule's code, Ok when it
// may be sent, OkNoResult for a modify that changes nothing. The request is adjusted where the
// rules say so (pending expirations rounded down to a minute, an instant close takes its
// position's order type). The investor-mode, foreign-ticket and margin refusals of an
// order write their journal lines. Any thread; journal may be null.
net::ReturnCode check_request(TradeRequest& request, const RequestCheckInputs& inputs, core::Journal* journal);

}  // namespace kb::trade
