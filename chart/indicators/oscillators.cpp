#include "chart/indicators/oscillators.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <vector>

#include "chart/indicators/applied_price.h"
#include "chart/indicators/ma_kernel.h"
#include "chart/indicators/sliding_extremes.h"
#include "chart/indicators/window_sum.h"

namespace kb::chart::ind {
namespace {

using detail::ma_kernel;

// A computed count that does not fit these bars asks for a full calculation.
int checked(int computed, std::size_t n) {
    return computed < 0 || computed > static_cast<int>(n) ? 0 : computed;
}

std::size_t as_size(int value) { return static_cast<std::size_t>(value); }

// The computed count to go on from: 0, with the first `lead` entries of each buffer zeroed,
// unless it lies beyond `limit` and within the bars.
int go_on_from(int computed, std::size_t n, int limit, std::size_t lead,
               std::initializer_list<std::span<double>> buffers) {
    computed = checked(computed, n);
    if (computed > limit) return computed;
    for (std::span<double> buffer : buffers) zero(buffer, 0, std::min(lead, n));
    return 0;
}

// One pass computes both exponential averages (MA(…, Exponential) recurrences and seeding),
// their difference, its running simple average over signal_period bars and the main line.
template <class Src>
Calculation macd_of(const Src& src, std::size_t n, int base, MacdForm form, int fast_period,
                    int slow_period, int signal_period, int computed, const MacdBuffers& out) {
    computed = checked(computed, n);
    const std::size_t p = as_size(signal_period);
    // Below any of the periods the averages start over; that gives the same values.
    if (computed < std::max({fast_period, slow_period, signal_period}) || computed <= 3) computed = 0;
    if (computed == 0) {
        zero(out.main, 0, std::min(p, n));
        zero(out.signal, 0, std::min(p, n));
    }
    if (p >= n) {
        if (computed == 0) {
            zero(out.fast, 0, n);
            zero(out.slow, 0, n);
        }
        for (std::size_t i = restart_index(0, computed); i < n; ++i) out.main[i] = 0;
        return drawn_from(base, base + signal_period - 1);
    }
    const std::size_t from = computed == 0 ? 1 : as_size(computed - 2);
    if (from == 1) out.fast[0] = out.slow[0] = src(0);
    const double kf = 2.0 / (fast_period + 1), af = 1 - kf;
    const double ks = 2.0 / (slow_period + 1), as = 1 - ks;
    const auto difference = [&](std::size_t j) { return out.fast[j] - out.slow[j]; };
    // Sum of the `p` differences up to from - 1 (fewer at the start); each step adds the
    // newest and drops the one `p` bars back.
    double sum = 0;
    for (std::size_t j = from >= p ? from - p : 0; j < from; ++j) sum += difference(j);
    double fast = out.fast[from - 1], slow = out.slow[from - 1];
    const bool osma = form == MacdForm::Osma;
    for (std::size_t i = from; i < n; ++i) {
        const double value = src(i);
        fast = value * kf + fast * af;
        slow = value * ks + slow * as;
        const double d = fast - slow;
        sum += i >= p ? d - difference(i - p) : d;
        out.fast[i] = fast;
        out.slow[i] = slow;
        double signal = 0;
        if (i + 1 >= p) {
            signal = sum / signal_period;
            out.signal[i] = signal;
        }
        out.main[i] = osma ? d - signal : d;
    }
    return drawn_from(base, base + signal_period - 1);
}

bool macd_periods_valid(int fast, int slow, int signal) { return fast > 0 && slow > 0 && signal > 0; }

}  // namespace

Calculation macd(const BarView& bars, MacdForm form, int fast_period, int slow_period,
                 int signal_period, int apply, int computed, const MacdBuffers& out) {
    if (bars.count < 2 || !macd_periods_valid(fast_period, slow_period, signal_period))
        return kNothing;
    return with_applied_price(bars, apply, [&](const auto& price) {
        return macd_of(price, bars.count, 0, form, fast_period, slow_period, signal_period,
                       computed, out);
    });
}

Calculation macd(std::span<const double> source, int source_draw_begin, MacdForm form,
                 int fast_period, int slow_period, int signal_period, int computed,
                 const MacdBuffers& out) {
    if (source.empty() || !macd_periods_valid(fast_period, slow_period, signal_period))
        return kNothing;
    return macd_of(ArrayPrice{source.data()}, source.size(), source_draw_begin, form,
                   fast_period, slow_period, signal_period, computed, out);
}

Calculation rsi(const BarView& bars, int period, int apply, int computed, const RsiBuffers& out) {
    const std::size_t n = bars.count;
    if (n == 0 || period <= 0) return kNothing;
    const std::size_t p = as_size(period);
    computed = go_on_from(computed, n, period, p, {out.rsi, out.average_gain, out.average_loss});
    if (p >= n) return drawn_from(period);
    with_applied_price(bars, apply, [&](const auto& price) {
        // (previous × (period - 1) + new) / period, with the division taken out of the chain.
        const double take = 1.0 / period, keep = (period - 1) * take;
        std::size_t i = restart_index(p, computed);
        double gain, loss;
        if (i == p) {
            gain = loss = 0;
            for (std::size_t j = 1; j <= p; ++j) {
                const double diff = price(j) - price(j - 1);
                if (diff > 0) gain += diff;
                else loss -= diff;
            }
            gain /= period;
            loss /= period;
        } else {
            gain = out.average_gain[i - 1];
            loss = out.average_loss[i - 1];
            const double diff = price(i) - price(i - 1);
            gain = gain * keep + std::max(diff, 0.0) * take;
            loss = loss * keep + std::max(-diff, 0.0) * take;
        }
        // 100 - 100 / (1 + gain / loss) is 100 × gain / (gain + loss): one division.
        double before = price(i);
        for (;;) {
            out.average_gain[i] = gain;
            out.average_loss[i] = loss;
            out.rsi[i] = loss == 0 ? 0 : 100 * gain / (gain + loss);
            if (++i >= n) break;
            const double now = price(i);
            const double diff = now - before;
            before = now;
            gain = gain * keep + std::max(diff, 0.0) * take;
            loss = loss * keep + std::max(-diff, 0.0) * take;
        }
    });
    return drawn_from(period);
}

Calculation stochastic(const BarView& bars, int kperiod, int dperiod, int slowing, int method,
                       int price_field, int computed, const StochasticBuffers& out) {
    const std::size_t n = bars.count;
    if (n == 0 || kperiod <= 0 || dperiod <= 0 || slowing <= 0) return kNothing;
    computed = checked(computed, n);
    const std::size_t k = as_size(kperiod);
    const std::size_t first = k + as_size(slowing);
    if (computed <= static_cast<int>(first)) {
        computed = 0;
        zero(out.lowest, 0, std::min(k, n));
        zero(out.highest, 0, std::min(k, n));
        zero(out.main, 0, std::min(first, n));
        zero(out.signal, 0, std::min(first, n));
    }
    const Column& low_field = price_field == 1 ? bars.close : bars.low;
    const Column& high_field = price_field == 1 ? bars.close : bars.high;
    const std::size_t from = restart_index(k, computed);
    if (from < n) {
        detail::sliding_high_low([&](std::size_t i) { return high_field[i]; },
                                 [&](std::size_t i) { return low_field[i]; }, k, from, n,
                                 [&](std::size_t i, double hh, double ll) {
                                     out.highest[i] = std::max(hh, -1000000.0);
                                     out.lowest[i] = std::min(ll, 1000000.0);
                                 });
    }
    // Running sums over the slowing window; the range's is exactly 0 when every range in the
    // window is, so flat bars read 100.
    const std::size_t s = as_size(slowing);
    const std::size_t main_from = restart_index(first, computed);
    if (main_from < n) {
        const auto above_low = [&](std::size_t t) { return bars.close[t] - out.lowest[t]; };
        const auto range = [&](std::size_t t) { return out.highest[t] - out.lowest[t]; };
        double above = 0;
        detail::WindowSum ranges;
        for (std::size_t t = main_from + 1 - s; t < main_from; ++t) {
            above += above_low(t);
            ranges.add(range(t));
        }
        for (std::size_t i = main_from; i < n; ++i) {
            above += above_low(i);
            ranges.add(range(i));
            out.main[i] = ranges.sum == 0 ? 100 : 100 * above / ranges.sum;
            const std::size_t gone = i + 1 - s;
            above -= above_low(gone);
            ranges.drop(range(gone));
        }
    }
    if (first < n) {
        const int shifted = computed > static_cast<int>(first) ? computed - static_cast<int>(first) : 0;
        ma_kernel(ArrayPrice{out.main.data() + first}, n - first, dperiod, method, shifted,
                  out.signal.data() + first);
    }
    const int begin = static_cast<int>(first);
    return drawn_from(begin, begin + (method == kExponential ? 0 : dperiod));
}

Calculation cci(const BarView& bars, int period, int apply, int computed, const CciBuffers& out) {
    const std::size_t n = bars.count;
    if (n < 2 || period <= 0) return kNothing;
    const std::size_t p = as_size(period);
    computed = checked(computed, n);
    if (computed < period) {
        computed = 0;
        zero(out.cci, 0, std::min(n, p - 1));
        zero(out.difference, 0, std::min(n, p - 1));
        zero(out.mean_deviation, 0, std::min(n, p - 1));
    }
    with_applied_price(bars, apply, [&](const auto& price) {
        ma_kernel(price, n, period, kSimple, computed, out.average.data());
        const std::size_t from = restart_index(p - 1, computed);
        if (from >= n) return;
        // The last `period` prices, oldest first from `next`.
        std::vector<double> window(p);
        for (std::size_t j = 0; j + 1 < p; ++j) window[j] = price(from + 1 - p + j);
        std::size_t slot = p - 1;
        for (std::size_t i = from; i < n; ++i) {
            const double value = price(i);
            window[slot] = value;
            slot = slot + 1 == p ? 0 : slot + 1;
            const double average = out.average[i];
            double deviation = 0;
            for (const double v : window) deviation += std::fabs(v - average);
            const double mean_deviation = deviation * 0.015 / period;
            const double difference = value - average;
            out.mean_deviation[i] = mean_deviation;
            out.difference[i] = difference;
            out.cci[i] = mean_deviation == 0 ? 0 : difference / mean_deviation;
        }
    });
    return drawn_from(period - 1);
}

Calculation demarker(const BarView& bars, int period, int computed, const DeMarkerBuffers& out) {
    const std::size_t n = bars.count;
    if (period <= 0 || as_size(period) >= n) return kNothing;
    const std::size_t p = as_size(period);
    computed = checked(computed, n);
    if (computed < period) {
        computed = 0;
        out.de_max[0] = out.de_min[0] = 0;
        zero(out.value, 0, p - 1);
    }
    for (std::size_t i = restart_index(1, computed); i < n; ++i) {
        out.de_max[i] = std::max(bars.high[i] - bars.high[i - 1], 0.0);
        out.de_min[i] = std::max(bars.low[i - 1] - bars.low[i], 0.0);
    }
    detail::paired_window_sums(out.de_max.data(), out.de_min.data(), p, restart_index(p - 1, computed), n,
                               [&](std::size_t i, double up, double down) {
                                   const double a = up / period, b = down / period;
                                   out.value[i] = a + b == 0 ? 0 : a / (a + b);
                               });
    return drawn_from(period - 1);
}

Calculation momentum(const BarView& bars, int period, int apply, int computed,
                     std::span<double> out) {
    const std::size_t n = bars.count;
    if (n == 0 || period <= 0) return kNothing;
    const std::size_t p = as_size(period);
    computed = go_on_from(computed, n, period, p, {out});
    with_applied_price(bars, apply, [&](const auto& price) {
        for (std::size_t i = restart_index(p, computed); i < n; ++i) {
            const double before = price(i - p);
            out[i] = before == 0 ? 0 : price(i) * 100 / before;
        }
    });
    return drawn_from(period);
}

Calculation rvi(const BarView& bars, int period, int computed, const RviBuffers& out) {
    const std::size_t n = bars.count;
    if (n == 0 || period <= 0) return kNothing;
    const std::size_t p = as_size(period);
    computed = checked(computed, n);
    if (computed <= period + 5) {
        computed = 0;
        zero(out.numerator, 0, std::min<std::size_t>(n, 3));
        zero(out.denominator, 0, std::min<std::size_t>(n, 3));
        zero(out.numerator_sum, 0, std::min(n, p + 2));
        zero(out.denominator_sum, 0, std::min(n, p + 2));
        zero(out.rvi, 0, std::min(n, p + 2));
        zero(out.signal, 0, std::min(n, p + 5));
    }
    const auto body = [&](std::size_t i) { return bars.close[i] - bars.open[i]; };
    const auto range = [&](std::size_t i) { return bars.high[i] - bars.low[i]; };
    for (std::size_t i = restart_index(3, computed); i < n; ++i) {
        out.numerator[i] = (body(i) + 2 * body(i - 1) + 2 * body(i - 2) + body(i - 3)) / 6;
        out.denominator[i] = (range(i) + 2 * range(i - 1) + 2 * range(i - 2) + range(i - 3)) / 6;
    }
    const std::size_t from = restart_index(p + 2, computed);
    if (from < n) {
        detail::paired_window_sums(out.numerator.data(), out.denominator.data(), p, from, n,
                                   [&](std::size_t i, double num, double den) {
                                       out.numerator_sum[i] = num;
                                       out.denominator_sum[i] = den;
                                       out.rvi[i] = den == 0 ? 0 : num / den;
                                   });
    }
    for (std::size_t i = restart_index(p + 5, computed); i < n; ++i)
        out.signal[i] = (out.rvi[i] + 2 * out.rvi[i - 1] + 2 * out.rvi[i - 2] + out.rvi[i - 3]) / 6;
    return drawn_from(period + 3, period + 6);
}

Calculation williams_r(const BarView& bars, int period, int computed, std::span<double> out) {
    const std::size_t n = bars.count;
    if (n == 0 || period <= 0) return kNothing;
    const std::size_t p = as_size(period);
    computed = checked(computed, n);
    if (computed < period) {
        computed = 0;
        zero(out, 0, std::min(n, p - 1));
    }
    const std::size_t from = restart_index(p - 1, computed);
    if (from < n) {
        detail::sliding_high_low([&](std::size_t i) { return bars.high[i]; },
                                 [&](std::size_t i) { return bars.low[i]; }, p, from, n,
                                 [&](std::size_t i, double hh, double ll) {
                                     hh = std::max(hh, -1.0);
                                     ll = std::min(ll, 500000.0);
                                     out[i] = hh == ll ? 0 : -(hh - bars.close[i]) * 100 / (hh - ll);
                                 });
    }
    return drawn_from(period - 1);
}

Calculation atr(const BarView& bars, int period, int computed, const AtrBuffers& out) {
    const std::size_t n = bars.count;
    if (period <= 0 || as_size(period) >= n) return kNothing;
    computed = checked(computed, n);
    if (computed < period) computed = 0;
    std::size_t i = restart_index(1, computed);
    if (computed == 0) out.true_range[0] = bars.high[0] - bars.low[0];
    for (; i < n; ++i) {
        const double before = bars.close[i - 1];
        out.true_range[i] = std::max(bars.high[i], before) - std::min(bars.low[i], before);
    }
    ma_kernel(ArrayPrice{out.true_range.data()}, n, period, kSimple, computed, out.atr.data());
    return drawn_from(period - 1);
}

// One pass does the raw movements, both exponential averages of them, DX and its average:
// the same recurrences as MA(…, period, Exponential) with its restart rule.
Calculation adx(const BarView& bars, int period, int apply, int computed, const AdxBuffers& out) {
    const std::size_t n = bars.count;
    if (n < 2 || period <= 0) return kNothing;
    computed = checked(computed, n);
    if (computed < period) computed = 0;
    std::size_t from = computed <= 3 ? 1 : static_cast<std::size_t>(computed - 2);
    if (from == 1) {
        out.plus_raw[0] = out.minus_raw[0] = out.dx[0] = 0;
        out.plus_di[0] = out.minus_di[0] = out.adx[0] = 0;
    }
    const double k = 2.0 / (period + 1), a = 1 - k;
    with_applied_price(bars, apply, [&](const auto& price) {
        double plus = out.plus_di[from - 1], minus = out.minus_di[from - 1], average = out.adx[from - 1];
        double high_before = bars.high[from - 1], low_before = bars.low[from - 1];
        for (std::size_t i = from; i < n; ++i) {
            const double h = bars.high[i], l = bars.low[i];
            double up = std::max(h - high_before, 0.0);
            double down = std::max(low_before - l, 0.0);
            high_before = h;
            low_before = l;
            // Only the larger move counts; equal moves count as none.
            const double larger_up = up > down ? up : 0.0;
            const double larger_down = down > up ? down : 0.0;
            const double before = price(i - 1);
            const double range =
                std::max({std::fabs(h - l), std::fabs(h - before), std::fabs(l - before)});
            const double scale = range == 0 ? 0.0 : 100 / range;
            const double plus_raw = larger_up * scale, minus_raw = larger_down * scale;
            plus = plus_raw * k + plus * a;
            minus = minus_raw * k + minus * a;
            const double sum = std::fabs(plus + minus);
            const double dx = sum == 0 ? 0.0 : 100 * std::fabs(plus - minus) / sum;
            average = dx * k + average * a;
            out.plus_raw[i] = plus_raw;
            out.minus_raw[i] = minus_raw;
            out.plus_di[i] = plus;
            out.minus_di[i] = minus;
            out.dx[i] = dx;
            out.adx[i] = average;
        }
    });
    return drawn_from(0);
}

namespace {

// MA(applied price, period, method) into `average`; returns the computed count it used.
int price_average(const BarView& bars, int period, int method, int apply, int computed,
                  std::span<double> average) {
    computed = checked(computed, bars.count);
    if (computed < period) computed = 0;
    with_applied_price(bars, apply, [&](const auto& price) {
        ma_kernel(price, bars.count, period, method, computed, average.data());
    });
    return computed;
}

}  // namespace

Calculation force_index(const BarView& bars, int period, int method, int apply, int computed,
                        const ForceBuffers& out) {
    const std::size_t n = bars.count;
    if (n < 2 || period <= 0) return kNothing;
    computed = price_average(bars, period, method, apply, computed, out.average);
    // Before the average's first value the change would be the whole average: no value.
    const std::size_t first = method == kExponential ? 1 : std::min(n, as_size(period));
    if (computed == 0) zero(out.force, 0, first);
    for (std::size_t i = restart_index(first, computed); i < n; ++i)
        out.force[i] = (out.average[i] - out.average[i - 1]) * bars.volume[i];
    return drawn_from(static_cast<int>(first));
}

Calculation power(const BarView& bars, PowerSide side, int period, int apply, int computed,
                  const PowerBuffers& out) {
    const std::size_t n = bars.count;
    if (n < 2 || period <= 0) return kNothing;
    computed = price_average(bars, period, kExponential, apply, computed, out.average);
    const Column& extreme = side == PowerSide::Bulls ? bars.high : bars.low;
    for (std::size_t i = restart_index(0, computed); i < n; ++i)
        out.value[i] = extreme[i] - out.average[i];
    return drawn_from(0);
}

}  // namespace kb::chart::ind
