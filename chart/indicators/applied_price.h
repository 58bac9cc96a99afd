#pragma once
#include <cstddef>

#include "chart/indicators/bar_view.h"

namespace kb::chart::ind {

// The price an indicator takes from each bar.
enum AppliedPrice : int {
    kPriceClose = 0,
    kPriceOpen = 1,
    kPriceHigh = 2,
    kPriceLow = 3,
    kPriceMedian = 4,         // (high + low) / 2
    kPriceTypical = 5,        // (high + low + close) / 3
    kPriceWeighted = 6,       // (high + low + close + close) / 4
    kPricePreviousIndicator = 7,
    kPriceFirstIndicator = 8,
};

// Price of bar i for an applied price; any other value gives 0.
double applied_price(const BarView& bars, int apply, std::size_t i);

// Per-bar price readers, so that loops choose the formula once rather than per bar.
struct ColumnPrice {
    Column column;
    double operator()(std::size_t i) const { return column[i]; }
};
struct MedianPrice {
    Column high, low;
    double operator()(std::size_t i) const { return (high[i] + low[i]) * 0.5; }
};
struct TypicalPrice {
    Column high, low, close;
    double operator()(std::size_t i) const { return (high[i] + low[i] + close[i]) / 3; }
};
struct WeightedPrice {
    Column high, low, close;
    double operator()(std::size_t i) const {
        return (high[i] + low[i] + close[i] + close[i]) * 0.25;
    }
};
struct ZeroPrice {
    double operator()(std::size_t) const { return 0.0; }
};
struct ArrayPrice {
    const double* values;
    double operator()(std::size_t i) const { return values[i]; }
};

// Calls f with the reader of the applied price and returns what f returns.
template <class F>
decltype(auto) with_applied_price(const BarView& bars, int apply, F&& f) {
    switch (apply) {
    case kPriceClose: return f(ColumnPrice{bars.close});
    case kPriceOpen: return f(ColumnPrice{bars.open});
    case kPriceHigh: return f(ColumnPrice{bars.high});
    case kPriceLow: return f(ColumnPrice{bars.low});
    case kPriceMedian: return f(MedianPrice{bars.high, bars.low});
    case kPriceTypical: return f(TypicalPrice{bars.high, bars.low, bars.close});
    case kPriceWeighted: return f(WeightedPrice{bars.high, bars.low, bars.close});
    default: return f(ZeroPrice{});
    }
}

inline double applied_price(const BarView& bars, int apply, std::size_t i) {
    return with_applied_price(bars, apply, [i](const auto& price) { return price(i); });
}

}  // namespace kb::chart::ind
