#pragma once
#include <array>
#include <cstdint>
#include <string>

#include "core/display_metrics.h"

namespace kb::chart {

// 0x00BBGGRR: red in the low byte.
using Colour = uint32_t;

enum class GraphMode : int32_t { Bars = 0, Candles = 1, Line = 2 };

enum class ColourScheme : int32_t { YellowOnBlack = 0, GreenOnBlack = 1, BlackOnWhite = 2 };

// The eleven colours of a scheme, in this order.
enum class ChartColour : int {
    Background,
    Foreground,   // axes, text, frame, cursor
    Grid,
    Volumes,
    BarUp,
    BarDown,
    BullCandle,
    BearCandle,
    LineChart,
    AskLine,
    StopLevels,
};
inline constexpr int kChartColourCount = 11;
using ChartColours = std::array<Colour, kChartColourCount>;

// The colours a scheme sets; an unknown scheme gives Black On White's.
const ChartColours& scheme_colours(ColourScheme scheme);

// The display flags the user toggles, each kept as 0/1 in the settings.
enum class ChartFlag {
    Foreground,     // chart drawn over objects
    Volumes,
    Grid,
    Days,           // period separators
    AskLine,
    Ohlc,
    TradeLevels,
    Descriptions,   // kept in the profile only
    Scroll,         // auto scroll to the newest bar
    Shift,          // empty space right of the newest bar
};

struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
};

struct Margins {
    int left = 0;
    int top = 0;
    int right = 0;    // price axis width
    int bottom = 0;   // time axis height
};

// The chart's settings: what the profile keeps plus the working fields of the view.
// Plain data; the chart guards it with its lock.
struct ChartSettings {
    static constexpr int kMaxSymbolLength = 11;
    static constexpr int kMinPeriod = 1;
    static constexpr int kMaxPeriod = 43200;
    static constexpr int kMinScale = 1;
    static constexpr int kMaxScale = 32;
    static constexpr int kDefaultPeriod = 60;
    static constexpr int kDefaultScale = 8;
    static constexpr int kDefaultShiftPercent = 20;

    int32_t leftpos = 0;
    int32_t visible_bars = 0;
    std::string symbol;          // at most 11 characters
    int32_t period = 0;
    int32_t digits = 0;
    int32_t graphmode = 0;
    int32_t foreground = 0;
    int32_t volumes = 0;
    int32_t grid = 0;
    int32_t days = 0;
    int32_t askline = 0;
    int32_t ohlc = 0;
    int32_t trade_levels = 0;
    int32_t descriptions = 0;
    int32_t scroll = 0;
    int32_t shift = 0;
    int32_t shift_percent = 0;
    int32_t scale = 0;
    int32_t color_scheme = 0;
    ChartColours colours{};
    Rect area;                   // the whole drawing rectangle of the view
    Margins margins;
    int32_t cursor_x = 0;
    int32_t cursor_y = 0;
    int32_t crosshair = 0;
    int32_t pen_width = 0;
    int32_t dpi_y = 0;

    // The settings of a chart without a profile.
    static ChartSettings defaults();

    // The flag's field.
    int32_t& flag(ChartFlag which);
    int32_t flag(ChartFlag which) const;

    // Brings every loaded field into its range: period 1..43200, scale 1..32, scheme 0..2
    // (else 2), graph mode 0..2 (else 1), flags to 0/1, leftpos not below 0.
    void apply_limits();

    // Stores the scheme number and sets the eleven colours from it.
    void set_colour_scheme(ColourScheme scheme);

    // The fields a load resets after reading: crosshair and cursor off, shift percent 20,
    // pen width 1, the screen's vertical DPI, the scheme's colours and the margins.
    void reset_working_fields(const core::DisplayMetrics& metrics);
};

// Margins of the drawing rectangle for the screen's horizontal DPI.
Margins chart_margins(int dpi_x);

// Chart text size in tenths of a point: 70 at 96 DPI, 65 otherwise.
int chart_font_size(int dpi_x);

}  // namespace kb::chart
