#pragma once
#include "market/symbol_record.h"
#include "trade/trade_record.h"

namespace kb::trade {

// Where stops and pending prices may lie, by the symbol's stop distance (stops level ×
// point). Prices are compared normalised to the symbol's digits, so a price exactly on the
// distance passes. The buy-side order types place stops below the reference.

// Stop loss and take profit (0: none) against the reference price.
bool stops_keep_distance(const market::SymbolRecord& symbol, OrderType type, double reference, double stop_loss,
                         double take_profit);

// A pending order's price against the market: limits below the ask (buy) or above the bid
// (sell), stops the other way, each by at least the distance. False for other types.
bool pending_price_placed(const market::SymbolRecord& symbol, OrderType type, double price, double bid, double ask);

}  // namespace kb::trade
