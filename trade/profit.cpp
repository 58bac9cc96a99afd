#include "trade/profit.h"

#include <cstring>

#include "core/number_format.h"

namespace kb::trade {

int deposit_digits(std::string_view currency) { return currency == "JPY" ? 0 : 2; }

double base_profit_multiplier(const market::SymbolRecord& symbol) {
    if (symbol.profit_mode == market::ProfitMode::Futures)
        return symbol.tick_value != 0 && symbol.tick_size != 0 ? symbol.tick_value : 0;
    return symbol.contract_size;
}

ConversionRoute profit_route(const market::SymbolRecord& symbol, std::string_view deposit,
                             const std::function<bool(std::string_view)>& exists) {
    const std::string_view profit = currency_code(symbol.profit_currency, sizeof symbol.profit_currency);
    const std::string_view name(symbol.name, strnlen(symbol.name, sizeof symbol.name));
    return find_route(profit, deposit, symbol_suffix(name), PairPreference::DirectFirst, exists);
}

double side_profit_multiplier(const market::SymbolRecord& symbol, const ConversionRoute& route, bool buy,
                              const std::function<std::optional<market::SymbolPrices>(std::string_view)>& prices) {
    return base_profit_multiplier(symbol) * route_rate(route, buy ? PriceSide::Bid : PriceSide::Ask, prices);
}

double position_profit(const TradeRecord& position, const market::SymbolRecord& symbol, double multiplier,
                       int deposit_decimals) {
    if (!is_position(position.type)) return 0;
    const double volume = position.volume;
    const double open = position.open_price;
    const double close = position.close_price;
    const bool buy = position.type == kBuy;
    double profit = 0;
    if (symbol.profit_mode == market::ProfitMode::Cfd || symbol.profit_mode == market::ProfitMode::Futures) {
        profit = (buy ? close - open : open - close) * multiplier * volume / 100;
        if (symbol.profit_mode == market::ProfitMode::Futures) {
            if (symbol.tick_size == 0) return 0;
            profit /= symbol.tick_size;
        }
    } else {
        const double lots = volume * multiplier / 100;
        const double at_close = core::normalize(close * lots, deposit_decimals);
        const double at_open = core::normalize(open * lots, deposit_decimals);
        profit = buy ? at_close - at_open : at_open - at_close;
    }
    return core::normalize(profit, deposit_decimals);
}

double profit_points(const TradeRecord& position) {
    const double gain = position.type == kSell ? position.open_price - position.close_price
                                               : position.close_price - position.open_price;
    return core::normalize(gain, position.digits) * core::power_of_ten(position.digits);
}

}  // namespace kb::trade
