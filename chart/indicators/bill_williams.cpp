#include "chart/indicators/bill_williams.h"

#include <algorithm>
#include <array>

#include "chart/indicators/applied_price.h"
#include "chart/indicators/ma_kernel.h"

namespace kb::chart::ind {
namespace {

using detail::ma_kernel;

int checked(int computed, std::size_t n) {
    return computed < 0 || computed > static_cast<int>(n) ? 0 : computed;
}

constexpr std::size_t kFast = 5, kSlow = 34;

// The two averages of the median price and their difference, 0 for bars 0 .. 33. One pass
// keeps the last 34 medians in a ring and both running sums.
void awesome_of(const BarView& bars, int computed, std::span<double> ao,
                std::span<double> average5, std::span<double> average34) {
    const std::size_t n = bars.count;
    // Restarting inside the zeroed leading bars would need the averages that were dropped.
    if (computed < static_cast<int>(kSlow) + 2) computed = 0;
    if (computed == 0) {
        zero(ao, 0, std::min(n, kSlow));
        zero(average5, 0, std::min(n, kSlow));
        zero(average34, 0, std::min(n, kSlow));
    }
    const std::size_t from = computed == 0 ? kSlow : static_cast<std::size_t>(computed - 2);
    if (from >= n) return;
    const MedianPrice median{bars.high, bars.low};
    std::array<double, kSlow> ring;  // median of bar j at j % kSlow
    double sum5 = 0, sum34 = 0;
    for (std::size_t j = from - kSlow; j < from; ++j) {
        ring[j % kSlow] = median(j);
        sum34 += ring[j % kSlow];
        if (j + kFast >= from) sum5 += ring[j % kSlow];
    }
    for (std::size_t i = from; i < n; ++i) {
        const double m = median(i);
        double& slot = ring[i % kSlow];  // holds bar i - 34
        sum5 += m - ring[(i - kFast) % kSlow];
        sum34 += m - slot;
        slot = m;
        const double a5 = sum5 / static_cast<double>(kFast), a34 = sum34 / static_cast<double>(kSlow);
        average5[i] = a5;
        average34[i] = a34;
        ao[i] = a5 - a34;
    }
}

// Up fractal test at bar i on one side; `beyond(a, b)` is "a lies further out than b".
template <class Get, class Beyond>
bool is_fractal(const Get& v, std::size_t i, const Beyond& beyond) {
    const double x = v(i);
    const auto at_least = [&](std::size_t j) { return !beyond(v(j), x); };
    if (!(beyond(x, v(i + 1)) && beyond(x, v(i + 2)))) return false;
    if (beyond(x, v(i - 1)) && beyond(x, v(i - 2))) return true;
    if (i >= 3 && x == v(i - 1) && beyond(x, v(i - 2)) && beyond(x, v(i - 3))) return true;
    if (i >= 4 && at_least(i - 1) && x == v(i - 2) && beyond(x, v(i - 3)) &&
        beyond(x, v(i - 4)))
        return true;
    if (i >= 5 && at_least(i - 1) && at_least(i - 2) && x == v(i - 3) && beyond(x, v(i - 4)) &&
        beyond(x, v(i - 5)))
        return true;
    if (i >= 6 && at_least(i - 1) && x == v(i - 2) && at_least(i - 3) && x == v(i - 4) &&
        beyond(x, v(i - 5)) && beyond(x, v(i - 6)))
        return true;
    return false;
}

}  // namespace

Calculation alligator(const BarView& bars, int jaw_period, int teeth_period, int lips_period,
                      int method, int apply, int computed, const AlligatorBuffers& out) {
    const std::size_t n = bars.count;
    if (n < 2 || jaw_period <= 0 || teeth_period <= 0 || lips_period <= 0) return kNothing;
    computed = checked(computed, n);
    with_applied_price(bars, apply, [&](const auto& price) {
        ma_kernel(price, n, jaw_period, method, computed, out.jaw.data());
        ma_kernel(price, n, teeth_period, method, computed, out.teeth.data());
        ma_kernel(price, n, lips_period, method, computed, out.lips.data());
    });
    return drawn_from(method == kExponential ? 0 : jaw_period);
}

Calculation awesome(const BarView& bars, int computed, const AwesomeBuffers& out) {
    if (bars.count < 2) return kNothing;
    awesome_of(bars, checked(computed, bars.count), out.ao, out.average5, out.average34);
    return drawn_from(static_cast<int>(kSlow));
}

Calculation accelerator(const BarView& bars, int computed, const AcceleratorBuffers& out) {
    const std::size_t n = bars.count;
    constexpr std::size_t kFirst = kSlow + kFast - 1;
    if (n <= kFirst) return kNothing;
    computed = checked(computed, n);
    if (computed < static_cast<int>(kFirst) + 2) computed = 0;
    awesome_of(bars, computed, out.ao, out.average5, out.average34);
    ma_kernel(ArrayPrice{out.ao.data()}, n, kFast, kSimple, computed, out.ao_average.data());
    if (computed == 0) zero(out.ac, 0, kFirst);
    for (std::size_t i = restart_index(kFirst, computed); i < n; ++i)
        out.ac[i] = out.ao[i] - out.ao_average[i];
    return drawn_from(static_cast<int>(kFirst));
}

Calculation fractals(const BarView& bars, int computed, const FractalsBuffers& out) {
    const std::size_t n = bars.count;
    if (n <= 6) return kNothing;
    computed = checked(computed, n);
    if (computed == 0) {
        zero(out.up, 0, 2);
        zero(out.down, 0, 2);
    }
    const auto high = [&](std::size_t i) { return bars.high[i]; };
    const auto low = [&](std::size_t i) { return bars.low[i]; };
    const auto above = [](double a, double b) { return a > b; };
    const auto below = [](double a, double b) { return a < b; };
    const std::size_t from = computed > 5 ? static_cast<std::size_t>(computed - 3) : 2;
    for (std::size_t i = from; i + 2 < n; ++i) {
        out.up[i] = is_fractal(high, i, above) ? high(i) : 0;
        out.down[i] = is_fractal(low, i, below) ? low(i) : 0;
    }
    zero(out.up, n - 2, n);
    zero(out.down, n - 2, n);
    return drawn_from(0);
}

}  // namespace kb::chart::ind
