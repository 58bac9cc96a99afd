#include "chart/render/render_scale.h"

#include <algorithm>
#include <cmath>

#include "core/number_format.h"
#include "platform/clock.h"

namespace kb::chart {

namespace {

constexpr int kDpiUnit = 96;
constexpr int kMarkSpacing = 32;
// Weeks are counted from Sunday 1970-01-04 00:00.
constexpr int64_t kFirstSunday = 259200;
constexpr int64_t kWeek = 604800;
constexpr int64_t kDay = 86400;

int64_t floor_div(int64_t a, int64_t b) {
    int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
    return q;
}

}  // namespace

int dpi_factor(int dpi) { return std::max(1, dpi / kDpiUnit); }

int scaled(int length, int dpi) { return (dpi * length + kDpiUnit / 2) / kDpiUnit; }

int line_pen_width(int32_t style, int32_t width, int dpi) {
    if (style == 0 && dpi != kDpiUnit) return width * ((dpi + kDpiUnit / 2) / kDpiUnit);
    return width;
}

int candle_half_width(int scale, int dpi_x) {
    const int w = 32 * dpi_factor(dpi_x) * scale;
    int h = w / 64 > 3 ? w / 64 - 2 : w / 64 - 1;
    for (int threshold : {4, 8, 16})
        if (h > threshold) --h;
    return std::max(h, 0);
}

std::optional<ValueRange> main_window_range(std::span<const market::BarRecord> bars, int first, int end, int digits,
                                            bool ohlc_line) {
    first = std::max(first, 0);
    end = std::min(end, static_cast<int>(bars.size()));
    if (first >= end) return std::nullopt;
    double high = bars[first].high;
    double low = bars[first].low;
    // Packed fields are copied out: a reference to one may be misaligned.
    for (int i = first + 1; i < end; ++i) {
        high = std::max(high, double{bars[i].high});
        low = std::min(low, double{bars[i].low});
    }
    if (low < 0) low = 0;
    const double margin = (high - low) / 40;
    const double bottom = low - margin;
    const double top = ohlc_line ? high + 2 * margin : high + margin;
    const int d = std::max(digits - 1, 0);
    const double tick = 1.0 / core::power_of_ten(d);
    ValueRange range{core::normalize(bottom, d), core::normalize(top, d)};
    if (range.min > bottom) range.min -= tick;
    if (range.max < top) range.max += tick;
    return range;
}

double largest_volume(std::span<const market::BarRecord> bars, int first, int end) {
    double largest = 30;
    end = std::min(end, static_cast<int>(bars.size()));
    for (int i = std::max(first, 0); i < end; ++i) largest = std::max(largest, double{bars[i].volume});
    return largest;
}

std::optional<ValueRange> indicator_range(const IndicatorValues& values, int first, int end) {
    std::optional<double> low;
    std::optional<double> high;
    auto take = [&](std::span<const double> buffer) {
        const int last = std::min(end, static_cast<int>(buffer.size()));
        for (int i = std::max(first, values.draw_begin); i < last; ++i) {
            const double v = buffer[i];
            if (!std::isfinite(v)) continue;
            if (!low || v < *low) low = v;
            if (!high || v > *high) high = v;
        }
    };
    if (!values.fixed_minimum || !values.fixed_maximum) {
        take(values.main);
        take(values.signal);
    }
    if (values.fixed_minimum) low = values.fixed_minimum;
    if (values.fixed_maximum) high = values.fixed_maximum;
    if (!low || !high) return std::nullopt;
    ValueRange range{*low, *high};
    const double margin = std::fabs(range.max - range.min) * 0.05;
    if (!values.fixed_minimum) range.min -= margin;
    if (!values.fixed_maximum) range.max += margin;
    const int decimals = std::clamp(values.digits + 1, 0, core::kMaxDigits);
    range.min = core::normalize(range.min, decimals);
    range.max = core::normalize(range.max, decimals);
    return range;
}

double y_to_value(const Rect& window, const ValueRange& range, int y) {
    if (window.height() <= 1) return range.min;
    return range.min + (window.bottom - 1 - y) * range.span() / (window.height() - 1);
}

std::vector<PriceMark> price_axis_marks(const Rect& window, const ValueRange& range, int digits, int dpi_y) {
    std::vector<PriceMark> marks;
    const double span = range.span();
    if (!(span > 0) || window.height() <= 0) return marks;
    const double scale = core::power_of_ten(std::clamp(digits, 0, core::kMaxDigits));
    const double points = std::max(5.0, 5 * std::floor(span * scale / (window.height() + 1) / 5));
    const double step = points / scale;
    const int spacing = kMarkSpacing * dpi_factor(dpi_y);
    // Candidates never outnumber the window's pixel rows much; the cap guards a degenerate range.
    const int most = 4 * (window.height() + 2);
    for (int k = 1; k <= most; ++k) {
        const double price = range.min + k * step;
        if (price >= range.max) break;
        const int y = value_to_y(window, range, price);
        if (!marks.empty() && marks.back().y - y < spacing) continue;
        marks.push_back({price, y});
    }
    return marks;
}

SeparatorUnit separator_unit(int period_minutes) {
    if (period_minutes <= 60) return SeparatorUnit::Day;
    if (period_minutes <= 240) return SeparatorUnit::Week;
    if (period_minutes <= 1440) return SeparatorUnit::Month;
    return SeparatorUnit::Year;
}

int64_t separator_bucket(int64_t time, SeparatorUnit unit) {
    switch (unit) {
    case SeparatorUnit::Day: return floor_div(time, kDay);
    case SeparatorUnit::Week: return floor_div(time - kFirstSunday, kWeek);
    case SeparatorUnit::Month: {
        const platform::DateTime date = platform::utc_calendar(time);
        return int64_t{date.year} * 12 + date.month;
    }
    case SeparatorUnit::Year: return platform::utc_calendar(time).year;
    }
    return 0;
}

}  // namespace kb::chart
