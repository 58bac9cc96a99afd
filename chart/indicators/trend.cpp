#include "chart/indicators/trend.h"

#include <algorithm>
#include <cmath>

#include "chart/indicators/applied_price.h"
#include "chart/indicators/ma_kernel.h"
#include "chart/indicators/sliding_extremes.h"

namespace kb::chart::ind {
namespace {

// The computed count the moving average itself works with.
int effective_computed(int computed, int period, std::size_t n) {
    return computed < period || computed > static_cast<int>(n) ? 0 : computed;
}

int ma_draw_begin(int period, int method) { return method == kExponential ? 0 : period; }

template <class Src>
Calculation envelopes_of(const Src& src, std::size_t n, int base, int period, int method,
                         double deviation, int computed, const EnvelopesBuffers& out) {
    detail::ma_kernel(src, n, period, method, computed, out.centre.data());
    const double up = 1 + deviation / 100, down = 1 - deviation / 100;
    for (std::size_t i = restart_index(0, effective_computed(computed, period, n)); i < n; ++i) {
        out.upper[i] = out.centre[i] * up;
        out.lower[i] = out.centre[i] * down;
    }
    return drawn_from(base + ma_draw_begin(period, method));
}

// Mean and sum of squared deviations from it (m2) of the `period` values up to a bar, slid
// one bar at a time with the one-in one-out update and recomputed directly every kResync
// bars so that rounding cannot build up over long series. `equal_run` counts how many values
// up to the bar equal it, so that a window of equal values is known exactly.
template <class Src>
struct SlidingMoments {
    static constexpr std::size_t kResync = 512;
    const Src& src;
    std::size_t p;
    double pd, inverse;
    double mean = 0, m2 = 0;
    std::size_t equal_run = 0, next_resync = 0;

    SlidingMoments(const Src& s, std::size_t period, std::size_t at)
        : src(s), p(period), pd(static_cast<double>(period)), inverse(1 / pd) {
        for (std::size_t j = at + 1 - p; j <= at; ++j)
            equal_run = j > at + 1 - p && src(j) == src(j - 1) ? equal_run + 1 : 1;
        resync(at);
    }

    void resync(std::size_t at) {
        double sum = 0;
        for (std::size_t j = at + 1 - p; j <= at; ++j) sum += src(j);
        mean = sum / pd;
        m2 = 0;
        for (std::size_t j = at + 1 - p; j <= at; ++j) {
            const double d = src(j) - mean;
            m2 += d * d;
        }
        next_resync = at + kResync;
    }

    bool constant() const { return equal_run >= p; }

    // Moves the window to end at bar i (one after the last).
    void slide_to(std::size_t i, double before) {
        const double in = src(i);
        equal_run = in == before ? equal_run + 1 : 1;
        if (i == next_resync) {
            resync(i);
            return;
        }
        const double gone = src(i - p);
        const double next_mean = mean + (in - gone) * inverse;
        m2 += (in - gone) * (in - next_mean + gone - mean);
        mean = next_mean;
    }
};

// Root mean square deviation of the `period` values up to each i from average[i], times
// factor: Σ(x - a)² = m2 + period × (mean - a)².
template <class Src>
void deviation_around(const Src& src, std::size_t n, int period, int computed, double factor,
                      const double* average, double* out) {
    const std::size_t p = static_cast<std::size_t>(period);
    const int eff = effective_computed(computed, period, n);
    if (eff == 0) std::fill(out, out + std::min(n, p - 1), 0.0);
    const std::size_t from = restart_index(p - 1, eff);
    if (from >= n) return;
    SlidingMoments<Src> window(src, p, from);
    for (std::size_t i = from;;) {
        const double x = src(i);
        const double gap = window.mean - average[i];
        double deviation;
        if (window.constant()) {
            // Only the average's distance counts; an average of equal values that misses
            // them by rounding alone counts as on them.
            const double distance = std::fabs(x - average[i]);
            deviation = distance <= window.pd * 4e-16 * std::fabs(x) ? 0.0 : distance;
        } else {
            deviation = std::sqrt(std::max(0.0, (window.m2 + window.pd * gap * gap) * window.inverse));
        }
        out[i] = factor * deviation;
        if (++i >= n) break;
        window.slide_to(i, x);
    }
}

// Bollinger Bands in one pass: the window's mean is the middle line, its deviation the half
// width.
template <class Src>
Calculation bands_of(const Src& src, std::size_t n, int base, int period, int deviations,
                     int computed, const BandsBuffers& out) {
    const std::size_t p = static_cast<std::size_t>(period);
    const int eff = effective_computed(computed, period, n);
    if (eff == 0) {
        for (std::span<double> b : {out.middle, out.half_width, out.upper, out.lower})
            zero(b, 0, std::min(n, p - 1));
    }
    const std::size_t from = restart_index(p - 1, eff);
    if (from < n) {
        SlidingMoments<Src> window(src, p, from);
        for (std::size_t i = from;;) {
            const double middle = window.mean;
            const double half =
                window.constant() ? 0.0 : deviations * std::sqrt(std::max(0.0, window.m2 * window.inverse));
            out.middle[i] = middle;
            out.half_width[i] = half;
            out.upper[i] = middle + half;
            out.lower[i] = middle - half;
            if (++i >= n) break;
            window.slide_to(i, src(i - 1));
        }
    }
    return drawn_from(base + period);
}

template <class Src>
Calculation stddev_of(const Src& src, std::size_t n, int base, int period, int method,
                      int computed, const StdDevBuffers& out) {
    detail::ma_kernel(src, n, period, method, computed, out.average.data());
    deviation_around(src, n, period, computed, 1.0, out.average.data(), out.value.data());
    return drawn_from(base + period);
}

bool usable(const BarView& bars, int period) { return bars.count >= 2 && period > 0; }
bool usable(std::span<const double> source, int period) { return !source.empty() && period > 0; }

// One bar of a Parabolic SAR trend; returns whether it reverses. For a long trend the
// extreme point is on the highs and the stop below the lows; a short trend is the mirror
// image, except that both take SAR[1] at bar 2 when the bar's front side falls.
template <bool Long>
bool sar_step(const BarView& bars, std::size_t i, double step, double maximum, SarState& s,
              std::span<double> out) {
    const auto ahead = [](double a, double b) { return Long ? a > b : a < b; };
    const Column& front = Long ? bars.high : bars.low;
    const Column& back = Long ? bars.low : bars.high;
    double& extreme = Long ? s.highest : s.lowest;
    double& opposite = Long ? s.lowest : s.highest;
    const double prev = out[i - 1];
    const double f = front[i], b = back[i];
    bool reverse = ahead(prev, b);
    if (!reverse) {
        double sar = prev + s.acceleration * (s.extreme_point - prev);
        if (ahead(f, s.extreme_point) && s.acceleration + step <= maximum) s.acceleration += step;
        if (i == 2 && f < front[i - 1]) sar = out[1];
        sar = Long ? std::min({sar, back[i - 1], back[i - 2]}) : std::max({sar, back[i - 1], back[i - 2]});
        reverse = ahead(sar, b);
        if (!reverse) {
            out[i] = sar;
            if (ahead(f, s.extreme_point)) s.extreme_point = f;
            if (ahead(f, extreme)) extreme = f;
            return false;
        }
    }
    out[i] = extreme;
    s.long_trend = !Long;
    s.extreme_point = b;
    opposite = b;
    s.acceleration = step;
    return true;
}

}  // namespace

Calculation moving_average(const BarView& bars, int period, int method, int apply, int computed,
                           std::span<double> out) {
    if (!usable(bars, period)) return kNothing;
    with_applied_price(bars, apply, [&](const auto& price) {
        detail::ma_kernel(price, bars.count, period, method, computed, out.data());
    });
    return drawn_from(ma_draw_begin(period, method));
}

Calculation moving_average(std::span<const double> source, int source_draw_begin, int period,
                           int method, int computed, std::span<double> out) {
    if (!usable(source, period)) return kNothing;
    detail::ma_kernel(ArrayPrice{source.data()}, source.size(), period, method, computed,
                      out.data());
    return drawn_from(source_draw_begin + ma_draw_begin(period, method));
}

Calculation envelopes(const BarView& bars, int period, int method, int apply, double deviation,
                      int computed, const EnvelopesBuffers& out) {
    if (!usable(bars, period)) return kNothing;
    return with_applied_price(bars, apply, [&](const auto& price) {
        return envelopes_of(price, bars.count, 0, period, method, deviation, computed, out);
    });
}

Calculation envelopes(std::span<const double> source, int source_draw_begin, int period,
                      int method, double deviation, int computed, const EnvelopesBuffers& out) {
    if (!usable(source, period)) return kNothing;
    return envelopes_of(ArrayPrice{source.data()}, source.size(), source_draw_begin, period,
                        method, deviation, computed, out);
}

Calculation bollinger_bands(const BarView& bars, int period, int deviations, int apply,
                            int computed, const BandsBuffers& out) {
    if (!usable(bars, period)) return kNothing;
    return with_applied_price(bars, apply, [&](const auto& price) {
        return bands_of(price, bars.count, 0, period, deviations, computed, out);
    });
}

Calculation bollinger_bands(std::span<const double> source, int source_draw_begin, int period,
                            int deviations, int computed, const BandsBuffers& out) {
    if (!usable(source, period)) return kNothing;
    return bands_of(ArrayPrice{source.data()}, source.size(), source_draw_begin, period,
                    deviations, computed, out);
}

Calculation standard_deviation(const BarView& bars, int period, int method, int apply,
                               int computed, const StdDevBuffers& out) {
    if (!usable(bars, period)) return kNothing;
    return with_applied_price(bars, apply, [&](const auto& price) {
        return stddev_of(price, bars.count, 0, period, method, computed, out);
    });
}

Calculation standard_deviation(std::span<const double> source, int source_draw_begin,
                               int period, int method, int computed, const StdDevBuffers& out) {
    if (!usable(source, period)) return kNothing;
    return stddev_of(ArrayPrice{source.data()}, source.size(), source_draw_begin, period, method,
                     computed, out);
}

Calculation parabolic_sar(const BarView& bars, double step, double maximum, int computed,
                          SarState& state, std::span<double> out) {
    const std::size_t n = bars.count;
    if (n < 2) return kNothing;
    const Column& high = bars.high;
    const Column& low = bars.low;
    SarState s;
    std::size_t i;
    int first;
    if (computed > 0 && computed <= static_cast<int>(n) && state.bar >= 0 &&
        state.bar + 2 < computed) {
        s = state;
        i = static_cast<std::size_t>(s.bar) + 1;
        first = s.first_bar;
    } else {
        // The first trend: long on the first bar whose high and low both rise, short on the
        // first whose high and low both fall, long when neither happens.
        s.highest = -10000000.0;
        s.lowest = 10000000.0;
        std::size_t j = 1;
        for (;; ++j) {
            s.highest = std::max(s.highest, high[j]);
            s.lowest = std::min(s.lowest, low[j]);
            if (j >= n - 1) {
                s.long_trend = true;
                break;
            }
            if (high[j] > high[j - 1] && low[j] > low[j - 1]) {
                s.long_trend = true;
                break;
            }
            if (high[j] < high[j - 1] && low[j] < low[j - 1]) {
                s.long_trend = false;
                break;
            }
        }
        zero(out, 0, j);
        out[j] = s.long_trend ? low[j - 1] : high[j - 1];
        s.extreme_point = s.long_trend ? high[j] : low[j];
        s.acceleration = step;
        first = static_cast<int>(j);
        s.bar = -1;
        s.first_bar = first;
        state = s;
        i = j + 1;
    }
    for (; i < n; ++i) {
        const bool reverse = s.long_trend ? sar_step<true>(bars, i, step, maximum, s, out)
                                          : sar_step<false>(bars, i, step, maximum, s, out);
        // Only reversals on bars that an incremental call will not recompute are kept.
        if (reverse && i + 2 < n) {
            s.bar = static_cast<int>(i);
            state = s;
        }
    }
    return drawn_from(first);
}

Calculation ichimoku(const BarView& bars, int tenkan, int kijun, int senkou, int computed,
                     const IchimokuBuffers& out) {
    const std::size_t n = bars.count;
    if (n == 0 || tenkan <= 0 || kijun <= 0 || senkou <= 0) return kNothing;
    if (computed > static_cast<int>(n)) computed = 0;
    const auto high = [&](std::size_t i) { return bars.high[i]; };
    const auto low = [&](std::size_t i) { return bars.low[i]; };
    auto midpoints = [&](int period, std::span<double> buffer) {
        const std::size_t k = static_cast<std::size_t>(period);
        if (computed == 0) zero(buffer, 0, std::min(n, k - 1));
        const std::size_t from = restart_index(k - 1, computed);
        if (from >= n) return;
        detail::sliding_high_low(high, low, k, from, n, [&](std::size_t i, double hh, double ll) {
            buffer[i] = (hh + ll) * 0.5;
        });
    };
    midpoints(tenkan, out.tenkan);
    midpoints(kijun, out.kijun);
    midpoints(senkou, out.span_b);
    const std::size_t a_first = static_cast<std::size_t>(std::max(tenkan, kijun)) - 1;
    if (computed == 0) zero(out.span_a, 0, std::min(n, a_first));
    for (std::size_t i = restart_index(a_first, computed); i < n; ++i)
        out.span_a[i] = (out.tenkan[i] + out.kijun[i]) * 0.5;
    const std::size_t lag = static_cast<std::size_t>(kijun);
    if (computed == 0) zero(out.chinkou, 0, n);
    for (std::size_t i = restart_index(lag, computed); i < n; ++i)
        out.chinkou[i - lag] = bars.close[i];
    zero(out.chinkou, n > lag ? n - lag : 0, n);
    return drawn_from(tenkan - 1, kijun - 1);
}

}  // namespace kb::chart::ind
