#pragma once
#include <cstdint>

#include <functional>
#include <optional>
#include <string_view>

#include "market/symbol_record.h"
#include "trade/currency_route.h"

namespace kb::trade {

// The margin one symbol's positions need. Volumes are hundredths of a lot; the sum over
// the symbols is divided by 100 by the caller.

// The sums of one side (buys or sells) of a symbol.
struct SideSums {
    double volume = 0;
    double volume_price = 0;         // Σ volume × open price
    double volume_rate = 0;          // Σ volume × margin conversion rate

    void add(double lots, double price, double rate) {
        volume += lots;
        volume_price += lots * price;
        volume_rate += lots * rate;
    }
};

struct MarginTerms {
    int32_t leverage = 1;            // values below 1 count as 1
    bool larger_leg = false;         // the group's larger-leg flag
    bool with_request = false;       // the sums include a hypothetical request
};

// The symbol's margin in the deposit currency, times 100, by its margin calculation mode
// (other values than the five modes give 0), with the hedged part or, under the larger-leg rule, the
// margin of the larger side. A margin divider of 0 counts as 1.
double symbol_margin(const market::SymbolRecord& symbol, const SideSums& buys, const SideSums& sells,
                     const MarginTerms& terms);

// Free margin: balance + credit - margin, with the floating profit added as the group's
// free-margin mode says (other values than its modes never add it).
double free_margin(double balance, double credit, double margin, double profit, market::FreeMarginMode mode);

// The opening order's margin test: true (refused, 134) when the free margin after it plus
// the group's allowance is below 0, unless the order lowers the margin and the symbol's
// margin flag is 0.
bool margin_refused(double margin, double margin_after, double free_margin_after, double allowance,
                    int32_t margin_flag);

// The rate that converts a symbol's margin currency into the deposit currency for an order
// at price, as far as the symbol and price alone tell it: 1 for no margin currency or the
// deposit currency, the price (or 1 / price) for a pair of the two in the forex margin mode;
// nothing when other pairs must tell it (margin_route).
std::optional<double> margin_rate_from_price(const market::SymbolRecord& symbol, std::string_view deposit,
                                             double price);

// The pairs that convert the margin currency into the deposit currency: deposit + margin
// first, then margin + deposit, then through USD; the traded symbol's suffix only in the
// forex margin mode. Their rate is route_rate(route, PriceSide::Mid, ...).
ConversionRoute margin_route(const market::SymbolRecord& symbol, std::string_view deposit,
                             const std::function<bool(std::string_view)>& exists);

}  // namespace kb::trade
