#pragma once
#include <algorithm>
#include <cstddef>

#include "chart/indicators/calculation.h"

namespace kb::chart::ind::detail {

// out[i] = src(i) × k + out[i - 1] × (1 - k) for i from `from` (at least 1) to n - 1, four
// bars per step from the last carried value.
template <class Src>
void smooth(const Src& src, std::size_t from, std::size_t n, double k, double* out) {
    const double a = 1 - k;
    const double a2 = a * a, a3 = a2 * a, a4 = a3 * a;
    const double ka = k * a, ka2 = k * a2, ka3 = k * a3;
    std::size_t i = from;
    double last = out[i - 1];
    for (; i + 4 <= n; i += 4) {
        const double v0 = src(i), v1 = src(i + 1), v2 = src(i + 2), v3 = src(i + 3);
        out[i] = v0 * k + last * a;
        out[i + 1] = v1 * k + (v0 * ka + last * a2);
        out[i + 2] = v2 * k + (v1 * ka + (v0 * ka2 + last * a3));
        last = v3 * k + (v2 * ka + (v1 * ka2 + (v0 * ka3 + last * a4)));
        out[i + 3] = last;
    }
    for (; i < n; ++i) {
        last = src(i) * k + last * a;
        out[i] = last;
    }
}

// The shared moving average over any per-index reader src(i), i < n, into out[0, n).
// The caller has checked period > 0 and n against its own precondition.
//
// The running sums are advanced four bars per step: the four differences are added to the
// carried sum as partial prefix sums, so the carried sum sees one addition per four bars.
// Exponential averages likewise compute four bars from the last carried value. Both give
// the plain recurrence's values to rounding.
template <class Src>
void ma_kernel(const Src& src, std::size_t n, int period, int method, int computed, double* out) {
    const std::size_t p = static_cast<std::size_t>(period);
    const double pd = period;
    if (n < p && method != kExponential) {
        std::fill(out, out + n, 0.0);
        return;
    }
    if (computed < period || computed > static_cast<int>(n)) {
        computed = 0;
        if (method != kExponential) std::fill(out, out + p, 0.0);
    }
    const std::size_t i0 = restart_index(p - 1, computed);
    switch (method) {
    case kSimple: {
        double sum = 0;
        for (std::size_t j = i0 + 1 - p; j <= i0; ++j) sum += src(j);
        out[i0] = sum / pd;
        std::size_t i = i0 + 1;
        for (; i + 4 <= n; i += 4) {
            const double d0 = src(i) - src(i - p);
            const double d1 = src(i + 1) - src(i + 1 - p);
            const double d2 = src(i + 2) - src(i + 2 - p);
            const double d3 = src(i + 3) - src(i + 3 - p);
            const double d01 = d0 + d1;
            out[i] = (sum + d0) / pd;
            out[i + 1] = (sum + d01) / pd;
            out[i + 2] = (sum + (d01 + d2)) / pd;
            sum += d01 + (d2 + d3);
            out[i + 3] = sum / pd;
        }
        for (; i < n; ++i) {
            sum += src(i) - src(i - p);
            out[i] = sum / pd;
        }
        break;
    }
    case kExponential: {
        std::size_t i;
        if (computed <= 3) {
            out[0] = src(0);
            i = 1;
        } else {
            i = static_cast<std::size_t>(computed - 2);
        }
        smooth(src, i, n, 2.0 / (pd + 1), out);
        break;
    }
    case kSmoothed: {
        // (previous × (period - 1) + value) / period is exponential smoothing by 1 / period.
        std::size_t i = i0;
        if (i == p - 1) {
            double sum = 0;
            for (std::size_t j = 0; j < p; ++j) sum += src(j);
            out[i] = sum / pd;
            ++i;
        }
        smooth(src, i, n, 1 / pd, out);
        break;
    }
    case kLinearWeighted: {
        double weights = pd * (pd + 1) / 2;
        if (weights == 0) weights = 1;
        double weighted = 0, plain = 0;
        for (std::size_t w = 1; w <= p; ++w) {
            const double v = src(i0 - p + w);
            weighted += v * static_cast<double>(w);
            plain += v;
        }
        out[i0] = weighted / weights;
        for (std::size_t i = i0 + 1; i < n; ++i) {
            const double v = src(i);
            weighted += pd * v - plain;
            plain += v - src(i - p);
            out[i] = weighted / weights;
        }
        break;
    }
    default:
        break;
    }
}

}  // namespace kb::chart::ind::detail
