#include "market/bar_repair.h"

#include <algorithm>
#include <cmath>

namespace kb::market {

namespace {

constexpr double kMaxPrice = 10000000.0;
constexpr double kMaxVolume = 100000000000.0;

bool prices_sound(const BarRecord& bar) {
    const double open = bar.open, low = bar.low, high = bar.high, close = bar.close;
    for (double price : {open, low, high, close})
        if (!std::isfinite(price) || price <= 0 || price > kMaxPrice) return false;
    if (low > high) return false;
    return open <= high && open >= low && close <= high && close >= low;
}

}  // namespace

int check_and_repair(std::vector<BarRecord>& bars) {
    int errors = 0;
    bool out_of_order = false;
    size_t kept = 0;
    for (size_t i = 0; i < bars.size(); ++i) {
        BarRecord bar = bars[i];
        const double volume = bar.volume;
        const bool duplicate = kept > 0 && bars[kept - 1].time == bar.time;
        if (bar.time <= 0 || !prices_sound(bar) || !std::isfinite(volume) || duplicate) {
            ++errors;
            continue;
        }
        if (volume < 0 || volume > kMaxVolume) {
            bar.volume = 1.0;
            ++errors;
        }
        if (kept > 0 && bar.time < bars[kept - 1].time) {
            out_of_order = true;
            ++errors;
        }
        bars[kept++] = bar;
    }
    bars.resize(kept);
    if (out_of_order) {
        std::stable_sort(bars.begin(), bars.end(), [](const BarRecord& a, const BarRecord& b) { return a.time < b.time; });
        // Sorting can bring together bars of one time that were apart: keep the first.
        auto last = std::unique(bars.begin(), bars.end(), [](const BarRecord& a, const BarRecord& b) { return a.time == b.time; });
        errors += static_cast<int>(bars.end() - last);
        bars.erase(last, bars.end());
    }
    return errors;
}

bool is_acceptable_download(const BarRecord& bar) {
    const double volume = bar.volume;
    // An infinite volume would be deleted by the next load's check: refuse it here.
    return prices_sound(bar) && std::isfinite(volume) && volume >= 1;
}

}  // namespace kb::market
