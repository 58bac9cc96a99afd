#include "trade/price_distance.h"

#include "core/number_format.h"
#include "trade/profit.h"

namespace kb::trade {

namespace {

double distance(const market::SymbolRecord& symbol) { return symbol.stops_level * symbol.point; }

}  // namespace

bool stops_keep_distance(const market::SymbolRecord& symbol, OrderType type, double reference, double stop_loss,
                         double take_profit) {
    const int digits = symbol.digits;
    const double low = core::normalize(reference - distance(symbol), digits);
    const double high = core::normalize(reference + distance(symbol), digits);
    const double sl = core::normalize(stop_loss, digits), tp = core::normalize(take_profit, digits);
    const bool buy = is_buy_side(type);
    if (sl != 0 && (buy ? sl > low : sl < high)) return false;
    if (tp != 0 && (buy ? tp < high : tp > low)) return false;
    return true;
}

bool pending_price_placed(const market::SymbolRecord& symbol, OrderType type, double price, double bid, double ask) {
    const int digits = symbol.digits;
    const double d = distance(symbol);
    const double at = core::normalize(price, digits);
    switch (type) {
        case kBuyLimit: return at <= core::normalize(ask - d, digits);
        case kSellLimit: return at >= core::normalize(bid + d, digits);
        case kBuyStop: return at >= core::normalize(ask + d, digits);
        case kSellStop: return at <= core::normalize(bid - d, digits);
        default: return false;
    }
}

}  // namespace kb::trade
