#pragma once
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "chart/model/chart_settings.h"
#include "market/bar_record.h"

namespace kb::chart {

// The arithmetic of chart rendering: DPI factors, bar shapes, vertical scales, price-axis
// marks and period separators. Pure functions on values, any thread.

// The integer DPI factor s = DPI / 96, at least 1.
int dpi_factor(int dpi);

// L pixels at 96 DPI on this screen: (dpi x L + 48) / 96.
int scaled(int length, int dpi);

// Pen width of an indicator line: a solid line's width times (dpi + 48) / 96 on screens
// other than 96 DPI; other styles keep theirs.
int line_pen_width(int32_t style, int32_t width, int dpi);

// Candle body half-width and bar tick length for a scale (see the rule in the source);
// 2 at scale 8, 5 at 16 and 12 at 32 on a 96 DPI screen; never below 0.
int candle_half_width(int scale, int dpi_x);

// The bounds a window's values are drawn between.
struct ValueRange {
    double min = 0;
    double max = 0;
    double span() const { return max - min; }
};

// The main window's range over bars [first, end): lowest low (0 if negative) to highest
// high, widened by a 40th of that span on both sides (twice on top when the OHLC title
// line is on) and rounded outward to digits - 1 decimals. Nothing without bars.
std::optional<ValueRange> main_window_range(std::span<const market::BarRecord> bars, int first, int end, int digits,
                                            bool ohlc_line);

// The largest tick volume of bars [first, end), at least 30.
double largest_volume(std::span<const market::BarRecord> bars, int first, int end);

// What an indicator's range is computed from.
struct IndicatorValues {
    std::span<const double> main;
    std::span<const double> signal;   // empty when the indicator has none
    int draw_begin = 0;
    std::optional<double> fixed_minimum;
    std::optional<double> fixed_maximum;
    int digits = 4;
};

// An indicator window's range over bars [first, end) from the draw begin: the extremes of
// the main (and signal) values, a fixed bound replacing a computed one, computed bounds
// widened by 5% of the span, both rounded to digits + 1 decimals. Nothing when no value
// lies in view and no bound is fixed.
std::optional<ValueRange> indicator_range(const IndicatorValues& values, int first, int end);

// The pixel row of a value: bottom - (value - min) x (height - 1) / (max - min) - 1; the
// middle row when min = max; limited to +-1000000 so that far values stay drawable.
// Inline: it runs for every point of every drawn line.
inline int value_to_y(const Rect& window, const ValueRange& range, double value) {
    if (!(range.span() > 0)) return (window.top + window.bottom) / 2;
    const double y = window.bottom - (value - range.min) * (window.height() - 1) / range.span() - 1;
    if (!std::isfinite(y)) return window.bottom - 1;
    return static_cast<int>(std::clamp(y, -1e6, 1e6));
}
// The value at a pixel row (inverse of value_to_y).
double y_to_value(const Rect& window, const ValueRange& range, int y);

// One mark of the main window's price axis.
struct PriceMark {
    double price = 0;
    int y = 0;
};

// The marks of the main window's price axis: candidates every step from min + step while
// below max, step = 5 x floor(range x 10^digits / (height + 1) / 5) points (at least 5);
// a candidate is kept when at least 32 x s pixels above the last kept one. None when the
// range is 0.
std::vector<PriceMark> price_axis_marks(const Rect& window, const ValueRange& range, int digits, int dpi_y);

// The unit that period separators mark on a period: day up to H1, week (from Sunday) up
// to H4, month up to D1, year above.
enum class SeparatorUnit { Day, Week, Month, Year };
SeparatorUnit separator_unit(int period_minutes);

// A number that changes exactly when a new unit starts at time (seconds since 1970).
int64_t separator_bucket(int64_t time, SeparatorUnit unit);

}  // namespace kb::chart
