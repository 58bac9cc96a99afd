#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "net/protocol.h"
#include "trade/trade_record.h"
#include "trade/trade_request.h"

namespace kb::core {
class Journal;
}

namespace kb::trade {

// The name of an order type in journal lines ("buy" .. "credit"); "error" for any other.
const char* order_type_name(int type);

// The journal lines of one trade request, each beginning with the account's login:
// what is sent, the server's acceptance and processing, the done, requote and failure
// lines. Prices print with the symbol's digits (clamped to 0..8) and a price beyond
// ±10000000000 prints as an empty text; volumes print as lots with two decimals. The
// lines of opening and closing orders are flushed to the file at once.
// Holds references only; the caller keeps journal alive. One thread at a time.
class RequestJournal {
public:
    // order and opposite are the trade base's records of the request's ticket and
    // opposite ticket as they were when the request was sent (nullopt when unknown); the
    // modify, close, delete and close-by lines take the old values from them.
    RequestJournal(core::Journal& journal, int32_t login, int digits, const TradeRequest& request,
                   const std::optional<TradeRecord>& order, const std::optional<TradeRecord>& opposite);

    void sending();
    void accepted();
    void in_process();
    // result: the record the server returned (open and close kinds); bid and ask: the
    // answer to a price request.
    void done(const TradeRecord& result, double bid, double ask);
    // The server's new prices. Kinds without a requote line write the failure line.
    void requote(double bid, double ask);
    // Level 1, the code's text last.
    void failed(net::ReturnCode code);

private:
    std::string price(double value) const;
    double lots(int32_t volume) const { return volume / 100.0; }
    bool pending_modify() const;
    void flush_for_orders();
    // The request's ticket fields: the base's record when known, else the request.
    int32_t order_ticket() const;
    const char* order_type() const;
    std::string order_symbol() const;

    core::Journal& journal_;
    const int32_t login_;
    const int digits_;
    const TradeRequest& request_;
    const std::optional<TradeRecord>& order_;
    const std::optional<TradeRecord>& opposite_;
};

}  // namespace kb::trade
