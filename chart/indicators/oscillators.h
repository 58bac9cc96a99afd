#pragma once
#include <span>

#include "chart/indicators/bar_view.h"
#include "chart/indicators/calculation.h"

namespace kb::chart::ind {

// Oscillators drawn in their own window. Calling convention: calculation.h.

// MACD: main = fast EMA - slow EMA; signal = simple average of it over signal_period bars.
// Moving Average of Oscillator: main = (fast EMA - slow EMA) - signal. With signal_period
// at or above the bar count nothing but zeros is written. Draw begins: main, signal.
struct MacdBuffers {
    std::span<double> main, fast, slow, signal;
};
enum class MacdForm { Macd, Osma };
Calculation macd(const BarView& bars, MacdForm form, int fast_period, int slow_period,
                 int signal_period, int apply, int computed, const MacdBuffers& out);
Calculation macd(std::span<const double> source, int source_draw_begin, MacdForm form,
                 int fast_period, int slow_period, int signal_period, int computed,
                 const MacdBuffers& out);

// Relative Strength Index with Wilder's averages; 0 where the average loss is 0.
struct RsiBuffers {
    std::span<double> rsi, average_gain, average_loss;
};
Calculation rsi(const BarView& bars, int period, int apply, int computed, const RsiBuffers& out);

// Stochastic Oscillator. price_field 0 = lows and highs, 1 = closes. Draw begins: main,
// signal.
struct StochasticBuffers {
    std::span<double> main, signal, lowest, highest;
};
Calculation stochastic(const BarView& bars, int kperiod, int dperiod, int slowing, int method,
                       int price_field, int computed, const StochasticBuffers& out);

// Commodity Channel Index; 0 where the mean deviation is 0.
struct CciBuffers {
    std::span<double> cci, difference, mean_deviation, average;
};
Calculation cci(const BarView& bars, int period, int apply, int computed, const CciBuffers& out);

// DeMarker; calculated only when period < bar count.
struct DeMarkerBuffers {
    std::span<double> value, de_min, de_max;
};
Calculation demarker(const BarView& bars, int period, int computed, const DeMarkerBuffers& out);

// Momentum: price × 100 / price `period` bars before (0 where that price is 0).
Calculation momentum(const BarView& bars, int period, int apply, int computed,
                     std::span<double> out);

// Relative Vigor Index. Draw begins: RVI, signal.
struct RviBuffers {
    std::span<double> rvi, signal, numerator, denominator, numerator_sum, denominator_sum;
};
Calculation rvi(const BarView& bars, int period, int computed, const RviBuffers& out);

// Williams' Percent Range, -100 .. 0.
Calculation williams_r(const BarView& bars, int period, int computed, std::span<double> out);

// Average True Range; calculated only when period < bar count.
struct AtrBuffers {
    std::span<double> atr, true_range;
};
Calculation atr(const BarView& bars, int period, int computed, const AtrBuffers& out);

// Average Directional Movement Index; the true range uses the applied price of the bar
// before.
struct AdxBuffers {
    std::span<double> adx, plus_di, minus_di, plus_raw, minus_raw, dx;
};
Calculation adx(const BarView& bars, int period, int apply, int computed, const AdxBuffers& out);

// Force Index: change of MA(price, period, method) × volume.
struct ForceBuffers {
    std::span<double> force, average;
};
Calculation force_index(const BarView& bars, int period, int method, int apply, int computed,
                        const ForceBuffers& out);

// Bulls Power (high - EMA) and Bears Power (low - EMA).
struct PowerBuffers {
    std::span<double> value, average;
};
enum class PowerSide { Bulls, Bears };
Calculation power(const BarView& bars, PowerSide side, int period, int apply, int computed,
                  const PowerBuffers& out);

}  // namespace kb::chart::ind
