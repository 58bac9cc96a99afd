#include "trade/trade_base_requests.h"

#include "market/symbols_base.h"
#include "trade/trade_base.h"

namespace kb::trade {

void TradeBaseRequests::apply_transactions(std::span<const TradeTransaction> transactions) {
    trades_.apply_transactions(transactions);
}

void TradeBaseRequests::add_requote(const TradeRequest& request, double bid, double ask) {
    trades_.add_requote(request, bid, ask);
}

std::optional<TradeRecord> TradeBaseRequests::trade_by_ticket(int32_t ticket) {
    return trades_.open_trade_by_ticket(ticket);
}

int TradeBaseRequests::symbol_digits(std::string_view symbol) {
    if (!symbols_) return -1;
    const std::optional<market::SymbolRecord> record = symbols_->symbol_by_name(symbol);
    return record ? record->digits : -1;
}

}  // namespace kb::trade
