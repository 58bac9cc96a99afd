#include "chart/indicators/volume_indicators.h"

#include <algorithm>
#include <vector>

#include "chart/indicators/applied_price.h"
#include "chart/indicators/window_sum.h"

namespace kb::chart::ind {
namespace {

int checked(int computed, std::size_t n) {
    return computed < 0 || computed > static_cast<int>(n) ? 0 : computed;
}

}  // namespace

Calculation volumes(const BarView& bars, int computed, std::span<double> out) {
    const std::size_t n = bars.count;
    if (n == 0) return kNothing;
    for (std::size_t i = restart_index(0, checked(computed, n)); i < n; ++i) out[i] = bars.volume[i];
    return drawn_from(0);
}

Calculation on_balance_volume(const BarView& bars, int apply, int computed, std::span<double> out) {
    const std::size_t n = bars.count;
    if (n == 0) return kNothing;
    computed = checked(computed, n);
    if (computed == 0) out[0] = bars.volume[0];
    with_applied_price(bars, apply, [&](const auto& price) {
        double before = 0;
        std::size_t i = restart_index(1, computed);
        if (i < n) before = price(i - 1);
        double obv = out[i - 1];
        for (; i < n; ++i) {
            const double now = price(i);
            // -1, 0 or +1 times the volume: no branch on the unpredictable direction.
            const int direction = (now > before) - (now < before);
            obv += direction * bars.volume[i];
            out[i] = obv;
            before = now;
        }
    });
    return drawn_from(0);
}

Calculation money_flow_index(const BarView& bars, int period, int computed, std::span<double> out) {
    const std::size_t n = bars.count;
    if (n == 0 || period <= 0) return kNothing;
    const std::size_t p = static_cast<std::size_t>(period);
    computed = checked(computed, n);
    if (computed < period) {
        computed = 0;
        zero(out, 0, std::min(n, p - 1));
    }
    const std::size_t from = restart_index(p - 1, computed);
    if (from >= n) return drawn_from(period - 1);
    // The typical price times a third rather than divided by 3: the same to rounding, and
    // the same for equal bars, which is what the flow's direction depends on.
    constexpr double kThird = 1.0 / 3;
    const auto typical = [&](std::size_t j) { return (bars.high[j] + bars.low[j] + bars.close[j]) * kThird; };
    // Flow of bar j: its volume × typical price, positive when the typical price rose from the
    // bar before (from 0 before the first bar), negative when it fell. The window's flows are
    // kept in a ring so that each bar's is worked out once.
    struct Flow {
        double positive = 0, negative = 0;
    };
    const std::size_t first = from + 1 - p;
    double before = first == 0 ? 0.0 : typical(first - 1);
    const auto flow = [&](std::size_t j) {
        const double tp = typical(j);
        const double money = bars.volume[j] * tp;
        // Selects rather than branches: rises and falls alternate unpredictably.
        const Flow f{tp > before ? money : 0.0, tp < before ? money : 0.0};
        before = tp;
        return f;
    };
    std::vector<Flow> ring(p);
    detail::WindowSum positive, negative;
    for (std::size_t j = first; j < from; ++j) {
        const Flow f = ring[j - first] = flow(j);
        positive.add(f.positive);
        negative.add(f.negative);
    }
    std::size_t slot = p - 1;
    for (std::size_t i = from; i < n; ++i) {
        const Flow f = flow(i);
        positive.add(f.positive);
        negative.add(f.negative);
        // 100 - 100 / (1 + positive / negative), with one division.
        out[i] = negative.sum == 0 ? 100 : 100 * positive.sum / (positive.sum + negative.sum);
        ring[slot] = f;
        slot = slot + 1 == p ? 0 : slot + 1;
        const Flow gone = ring[slot];
        positive.drop(gone.positive);
        negative.drop(gone.negative);
    }
    return drawn_from(period - 1);
}

Calculation accumulation_distribution(const BarView& bars, int computed, std::span<double> out) {
    const std::size_t n = bars.count;
    if (n == 0) return kNothing;
    const std::size_t from = restart_index(0, checked(computed, n));
    double total = from == 0 ? 0 : out[from - 1];
    for (std::size_t i = from; i < n; ++i) {
        const double high = bars.high[i], low = bars.low[i], close = bars.close[i];
        const double clv = (close - low) - (high - close);
        if (clv != 0 && high != low) total += clv / (high - low) * bars.volume[i];
        out[i] = total;
    }
    return drawn_from(0);
}

Calculation market_facilitation(const BarView& bars, int digits, int computed,
                                const FacilitationBuffers& out) {
    const std::size_t n = bars.count;
    if (n == 0) return kNothing;
    long long factor = 1;
    for (int d = 0; d < digits; ++d) factor *= 10;
    const double scale = static_cast<double>(factor);
    for (std::size_t i = restart_index(0, checked(computed, n)); i < n; ++i) {
        const double volume = bars.volume[i];
        const double before = i == 0 ? 0 : bars.volume[i - 1];
        out.value[i] = volume == 0 ? (i == 0 ? 0 : out.value[i - 1])
                                   : (bars.high[i] - bars.low[i]) * scale / volume;
        out.volume_change[i] = volume - before;
    }
    return drawn_from(0);
}

}  // namespace kb::chart::ind
