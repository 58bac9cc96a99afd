#pragma once
#include <algorithm>
#include <cstdint>
#include <vector>

#include "chart/indicators/bar_view.h"
#include "market/bar_record.h"

namespace kb::chart::test {

struct Hlc {
    double high, low, close;
};

inline market::BarRecord bar(double open, double high, double low, double close,
                             double volume = 1) {
    market::BarRecord b{};
    b.open = open;
    b.high = high;
    b.low = low;
    b.close = close;
    b.volume = volume;
    return b;
}

// Bars whose open, high, low and close are all `price`.
inline std::vector<market::BarRecord> flat_bars(std::size_t count, double price) {
    return std::vector<market::BarRecord>(count, bar(price, price, price, price, 10));
}

// One bar per close; high and low a little around it.
inline std::vector<market::BarRecord> close_bars(const std::vector<double>& closes) {
    std::vector<market::BarRecord> bars;
    for (double c : closes) bars.push_back(bar(c, c + 0.5, c - 0.5, c));
    return bars;
}

inline std::vector<market::BarRecord> hlc_bars(const std::vector<Hlc>& rows, double volume = 1) {
    std::vector<market::BarRecord> bars;
    for (const Hlc& r : rows) bars.push_back(bar(r.close, r.high, r.low, r.close, volume));
    return bars;
}

// A reproducible random walk of bars around 1.2, with equal neighbours now and then so that
// the tie rules are exercised.
inline std::vector<market::BarRecord> random_bars(std::size_t count, std::uint32_t seed = 7) {
    std::uint32_t state = seed;
    auto next = [&] {
        state = state * 1664525u + 1013904223u;
        return static_cast<double>(state >> 8) / 16777216.0;
    };
    std::vector<market::BarRecord> bars;
    double price = 1.2;
    for (std::size_t i = 0; i < count; ++i) {
        const double open = price;
        const double close = open + (next() - 0.5) * 0.004;
        const double high = std::max(open, close) + (next() < 0.2 ? 0 : next() * 0.002);
        const double low = std::min(open, close) - (next() < 0.2 ? 0 : next() * 0.002);
        const double volume = next() < 0.05 ? 0 : static_cast<double>(1 + static_cast<int>(next() * 100));
        bars.push_back(bar(open, high, low, close, volume));
        price = close;
    }
    return bars;
}

inline ind::BarView view(const std::vector<market::BarRecord>& bars) {
    return ind::BarView::of(bars);
}

}  // namespace kb::chart::test
