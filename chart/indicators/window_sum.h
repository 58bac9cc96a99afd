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

// Window sums of two buffers over j = i - p + 1 .. i for each i from `from` (at least p - 1)
// to n - 1, handed to emit(i, sum of a, sum of b).
template <class Emit>
void paired_window_sums(const double* a, const double* b, std::size_t p, std::size_t from,
                        std::size_t n, Emit&& emit) {
    WindowSum sum_a, sum_b;
    for (std::size_t j = from + 1 - p; j < from; ++j) {
        sum_a.add(a[j]);
        sum_b.add(b[j]);
    }
    for (std::size_t i = from; i < n; ++i) {
        sum_a.add(a[i]);
        sum_b.add(b[i]);
        emit(i, sum_a.sum, sum_b.sum);
        sum_a.drop(a[i + 1 - p]);
        sum_b.drop(b[i + 1 - p]);
    }
}

}  // namespace kb::chart::ind::detail
