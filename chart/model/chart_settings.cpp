#include "chart/model/chart_settings.h"

#include <algorithm>

namespace kb::chart {

namespace {

constexpr ChartColours kYellowOnBlack = {0x000000, 0xFFFFFF, 0x998877, 0x32CD32, 0x00FFFF, 0x00FFFF,
                                         0x000000, 0xFFFFFF, 0x00FFFF, 0x0000FF, 0x0000FF};
constexpr ChartColours kGreenOnBlack = {0x000000, 0xFFFFFF, 0x998877, 0x32CD32, 0x00FF00, 0x00FF00,
                                        0x000000, 0xFFFFFF, 0x00FF00, 0x0000FF, 0x0000FF};
constexpr ChartColours kBlackOnWhite = {0xFFFFFF, 0x000000, 0xC0C0C0, 0x008000, 0x000000, 0x000000,
                                        0xFFFFFF, 0x000000, 0x000000, 0x0045FF, 0x0045FF};

constexpr int kStandardDpi = 96;

int32_t as_flag(int32_t value) { return value != 0 ? 1 : 0; }

// The field of a flag, for const and non-const settings alike.
template <class Settings>
auto& flag_field(Settings& settings, ChartFlag which) {
    switch (which) {
    case ChartFlag::Foreground: return settings.foreground;
    case ChartFlag::Volumes: return settings.volumes;
    case ChartFlag::Grid: return settings.grid;
    case ChartFlag::Days: return settings.days;
    case ChartFlag::AskLine: return settings.askline;
    case ChartFlag::Ohlc: return settings.ohlc;
    case ChartFlag::TradeLevels: return settings.trade_levels;
    case ChartFlag::Descriptions: return settings.descriptions;
    case ChartFlag::Scroll: return settings.scroll;
    case ChartFlag::Shift: break;
    }
    return settings.shift;
}

}  // namespace

const ChartColours& scheme_colours(ColourScheme scheme) {
    switch (scheme) {
    case ColourScheme::YellowOnBlack: return kYellowOnBlack;
    case ColourScheme::GreenOnBlack: return kGreenOnBlack;
    case ColourScheme::BlackOnWhite: break;
    }
    return kBlackOnWhite;
}

ChartSettings ChartSettings::defaults() {
    ChartSettings settings;
    settings.color_scheme = static_cast<int32_t>(ColourScheme::BlackOnWhite);
    settings.scale = kDefaultScale;
    settings.period = kDefaultPeriod;
    settings.grid = 1;
    settings.scroll = 1;
    settings.ohlc = 1;
    settings.graphmode = static_cast<int32_t>(GraphMode::Candles);
    return settings;
}

int32_t& ChartSettings::flag(ChartFlag which) { return flag_field(*this, which); }

int32_t ChartSettings::flag(ChartFlag which) const { return flag_field(*this, which); }

void ChartSettings::apply_limits() {
    period = std::clamp(period, kMinPeriod, kMaxPeriod);
    scale = std::clamp(scale, kMinScale, kMaxScale);
    if (color_scheme < 0 || color_scheme > 2) color_scheme = static_cast<int32_t>(ColourScheme::BlackOnWhite);
    if (graphmode < 0 || graphmode > 2) graphmode = static_cast<int32_t>(GraphMode::Candles);
    for (ChartFlag which : {ChartFlag::Foreground, ChartFlag::Volumes, ChartFlag::Grid, ChartFlag::Days,
                            ChartFlag::AskLine, ChartFlag::Ohlc, ChartFlag::TradeLevels, ChartFlag::Descriptions,
                            ChartFlag::Scroll, ChartFlag::Shift})
        flag(which) = as_flag(flag(which));
    leftpos = std::max(leftpos, 0);
}

void ChartSettings::set_colour_scheme(ColourScheme scheme) {
    color_scheme = static_cast<int32_t>(scheme);
    colours = scheme_colours(scheme);
}

void ChartSettings::reset_working_fields(const core::DisplayMetrics& metrics) {
    crosshair = 0;
    cursor_x = 0;
    cursor_y = 0;
    shift_percent = kDefaultShiftPercent;
    pen_width = 1;
    dpi_y = metrics.dpi_y;
    set_colour_scheme(static_cast<ColourScheme>(color_scheme));
    margins = chart_margins(metrics.dpi_x);
}

Margins chart_margins(int dpi_x) {
    if (dpi_x == kStandardDpi) return {3, 2, 39, 18};
    return {(dpi_x + 48) / 96 + 2, 2, (dpi_x * 35 + 48) / 96, (dpi_x * 15 + 48) / 96};
}

int chart_font_size(int dpi_x) { return dpi_x == kStandardDpi ? 70 : 65; }

}  // namespace kb::chart
