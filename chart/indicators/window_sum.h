#pragma once
#include <cstddef>

namespace kb::chart::ind::detail {

// A running sum over a sliding window that is exactly 0 whenever every value in the window
// is 0, so that "no movement" tests on it are not fooled by rounding left behind by values
// that have left the window.
struct WindowSum {
    double sum = 0;
    std::size_t nonzero = 0;

    void add(double v) {
        sum += v;
        nonzero += v != 0;
    }
    void drop(double v) {
        sum -= v;
        nonzero -= v != 0;
        if (nonzero == 0) sum = 0;
    }
};

}  // namespace kb::chart::ind::detail
