#pragma once
#include "trade/request_sink.h"

namespace kb::market {
class SymbolsBase;
}

namespace kb::trade {

class TradeBase;

// The trade base and the symbols base as the trade contexts see them. Holds references
// only; both bases must outlive it (symbols may be null: digits are then unknown).
// Thread-safe as the bases are.
class TradeBaseRequests final : public RequestSink {
public:
    TradeBaseRequests(TradeBase& trades, const market::SymbolsBase* symbols) : trades_(trades), symbols_(symbols) {}

    void apply_transactions(std::span<const TradeTransaction> transactions) override;
    void add_requote(const TradeRequest& request, double bid, double ask) override;
    std::optional<TradeRecord> trade_by_ticket(int32_t ticket) override;
    int symbol_digits(std::string_view symbol) override;

private:
    TradeBase& trades_;
    const market::SymbolsBase* symbols_;
};

}  // namespace kb::trade
