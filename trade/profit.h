#pragma once
#include <functional>
#include <optional>
#include <string_view>

#include "market/symbol_record.h"
#include "trade/currency_route.h"
#include "trade/trade_record.h"

namespace kb::trade {

// Profit of open positions in the deposit currency. Volumes are hundredths of a lot.

// Decimals of amounts in the deposit currency: 0 for "JPY", 2 for every other currency.
int deposit_digits(std::string_view currency);

// The symbol's multiplier before currency conversion: the tick value in the futures profit
// mode (0 when the tick value or the tick size is 0), the contract size in the others.
double base_profit_multiplier(const market::SymbolRecord& symbol);

// The pairs that convert the profit currency into the deposit currency: profit + deposit
// first, then deposit + profit, then through USD, each with the symbol's suffix first.
ConversionRoute profit_route(const market::SymbolRecord& symbol, std::string_view deposit,
                             const std::function<bool(std::string_view)>& exists);

// The multiplier of one side, converted: a buy's at the bid of the route's pairs, a sell's
// at the ask (each side converts at the price it closes at; inverted pairs take the other
// side). 0 while a pair has no quote.
double side_profit_multiplier(const market::SymbolRecord& symbol, const ConversionRoute& route, bool buy,
                              const std::function<std::optional<market::SymbolPrices>(std::string_view)>& prices);

// Profit of a buy or sell at its current close price, rounded to deposit_digits.
// multiplier is the converted one of the position's side. The forex profit mode works in
// lots (rounding each leg), CFD and futures in price differences (futures divided by the
// tick size). 0 for other order types and for futures without a tick size.
double position_profit(const TradeRecord& position, const market::SymbolRecord& symbol, double multiplier,
                       int deposit_decimals);

// The distance from open to close price in points, positive when the position gains.
double profit_points(const TradeRecord& position);

}  // namespace kb::trade
