#pragma once
#include <cstdint>

#include "market/symbol_record.h"

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
// (0..4; other modes give 0), with the hedged part or, under the larger-leg rule, the
// margin of the larger side. A margin divider of 0 counts as 1.
double symbol_margin(const market::SymbolRecord& symbol, const SideSums& buys, const SideSums& sells,
                     const MarginTerms& terms);

}  // namespace kb::trade
