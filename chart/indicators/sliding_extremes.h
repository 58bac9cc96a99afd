#pragma once
#include <cstddef>

namespace kb::chart::ind::detail {

// Highest of high(j) and lowest of low(j) over each window j = i - k + 1 .. i, for i from
// `from` (at least k - 1) to n - 1, handed to emit(i, highest, lowest). The position of each
// extreme is kept; the window is searched again only when that position leaves it, so a
// pass costs about one comparison per bar on market data.
template <class High, class Low, class Emit>
void sliding_high_low(const High& high, const Low& low, std::size_t k, std::size_t from,
                      std::size_t n, Emit&& emit) {
    if (k == 0 || from + 1 < k) return;
    std::size_t hi_at = from + 1 - k, lo_at = from + 1 - k;
    double hi = high(hi_at), lo = low(lo_at);
    auto rescan = [&](std::size_t start, std::size_t end) {
        hi_at = lo_at = start;
        hi = high(start);
        lo = low(start);
        for (std::size_t j = start + 1; j <= end; ++j) {
            const double h = high(j), l = low(j);
            if (h >= hi) hi = h, hi_at = j;
            if (l <= lo) lo = l, lo_at = j;
        }
    };
    rescan(from + 1 - k, from);
    emit(from, hi, lo);
    for (std::size_t i = from + 1; i < n; ++i) {
        const std::size_t start = i + 1 - k;
        const double h = high(i), l = low(i);
        // Selects, not branches: whether a bar makes a new extreme is a coin toss.
        const bool higher = h >= hi, lower = l <= lo;
        hi = higher ? h : hi;
        hi_at = higher ? i : hi_at;
        lo = lower ? l : lo;
        lo_at = lower ? i : lo_at;
        if (hi_at < start) {
            hi_at = start;
            hi = high(start);
            for (std::size_t j = start + 1; j <= i; ++j)
                if (high(j) >= hi) hi = high(j), hi_at = j;
        }
        if (lo_at < start) {
            lo_at = start;
            lo = low(start);
            for (std::size_t j = start + 1; j <= i; ++j)
                if (low(j) <= lo) lo = low(j), lo_at = j;
        }
        emit(i, hi, lo);
    }
}

}  // namespace kb::chart::ind::detail
