#pragma once
#include <span>

#include "chart/indicators/bar_view.h"
#include "chart/indicators/calculation.h"

namespace kb::chart::ind {

// Trend indicators drawn over the prices. Calling convention: calculation.h.
// The forms taking `source` run on another indicator's main buffer (one entry per bar, its
// leading zeros included) and offset the draw begin by the source's.

// Moving Average: out = MA(price, period, method). Draw begin 0 for Exponential, else period.
Calculation moving_average(const BarView& bars, int period, int method, int apply, int computed,
                           std::span<double> out);
Calculation moving_average(std::span<const double> source, int source_draw_begin, int period,
                           int method, int computed, std::span<double> out);

// Envelopes: the Moving Average centre and bands centre × (1 ± deviation / 100).
struct EnvelopesBuffers {
    std::span<double> upper, lower, centre;
};
Calculation envelopes(const BarView& bars, int period, int method, int apply, double deviation,
                      int computed, const EnvelopesBuffers& out);
Calculation envelopes(std::span<const double> source, int source_draw_begin, int period,
                      int method, double deviation, int computed, const EnvelopesBuffers& out);

// Bollinger Bands: Simple MA middle, half width = deviations × population standard deviation
// of the last `period` prices around it, bands middle ± half width. Draw begin period.
struct BandsBuffers {
    std::span<double> middle, half_width, upper, lower;
};
Calculation bollinger_bands(const BarView& bars, int period, int deviations, int apply,
                            int computed, const BandsBuffers& out);
Calculation bollinger_bands(std::span<const double> source, int source_draw_begin, int period,
                            int deviations, int computed, const BandsBuffers& out);

// Standard Deviation of the last `period` prices around MA(price, period, method).
// Draw begin period.
struct StdDevBuffers {
    std::span<double> value, average;
};
Calculation standard_deviation(const BarView& bars, int period, int method, int apply,
                               int computed, const StdDevBuffers& out);
Calculation standard_deviation(std::span<const double> source, int source_draw_begin,
                               int period, int method, int computed, const StdDevBuffers& out);

// Parabolic SAR. The state of the last reversal that lies before the two newest bars is kept
// between calls; an incremental call continues from it instead of from the first bar.
struct SarState {
    int bar = -1;        // bar of the saved reversal, -1 = none
    int first_bar = 1;   // bar of the first value
    bool long_trend = true;
    double acceleration = 0;
    double extreme_point = 0;
    double highest = 0;  // highest high of the current long trend
    double lowest = 0;   // lowest low of the current short trend
};
Calculation parabolic_sar(const BarView& bars, double step, double maximum, int computed,
                          SarState& state, std::span<double> out);

// Ichimoku Kinko Hyo. All three periods must be > 0.
struct IchimokuBuffers {
    std::span<double> tenkan, kijun, span_a, span_b, chinkou;
};
Calculation ichimoku(const BarView& bars, int tenkan, int kijun, int senkou, int computed,
                     const IchimokuBuffers& out);

}  // namespace kb::chart::ind
