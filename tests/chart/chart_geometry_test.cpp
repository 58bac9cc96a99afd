#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "chart/model/chart_geometry.h"

namespace kb::chart {
namespace {

constexpr int kDpi = 96;
constexpr int32_t kMonday = 1796601600;   // 2026-12-07 00:00:00 UTC
constexpr int32_t kHour = 3600;

// A 400 x 300 view at 96 DPI: drawing rectangle {3, 2, 361, 282}, 358 x 280 pixels, so
// 44 bars of 8 pixels at the default scale.
ChartSettings view_settings() {
    ChartSettings settings = ChartSettings::defaults();
    core::DisplayMetrics metrics;
    metrics.dpi_x = metrics.dpi_y = kDpi;
    settings.reset_working_fields(metrics);
    settings.area = {0, 0, 400, 300};
    settings.visible_bars = visible_bar_count(settings, kDpi);
    return settings;
}

std::vector<market::BarRecord> hourly_bars(int count) {
    std::vector<market::BarRecord> bars(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) bars[static_cast<size_t>(i)].time = kMonday + i * kHour;
    return bars;
}

TEST(ChartGeometry, DrawingRectangleAndVisibleBarsFollowScaleAndDpi) {
    ChartSettings settings = view_settings();
    const Rect drawing = drawing_rect(settings);
    EXPECT_EQ(drawing.left, 3);
    EXPECT_EQ(drawing.top, 2);
    EXPECT_EQ(drawing.right, 361);
    EXPECT_EQ(drawing.bottom, 282);
    EXPECT_EQ(settings.visible_bars, 44);
    const struct {
        int scale, dpi, step;
    } steps[] = {{8, 96, 8}, {1, 96, 1}, {32, 96, 32}, {8, 192, 16}, {1, 48, 1}, {0, 96, 1}};
    for (auto [scale, dpi, step] : steps) EXPECT_EQ(bar_step(scale, dpi), step) << scale << " at " << dpi;
    settings.scale = 32;
    EXPECT_EQ(visible_bar_count(settings, kDpi), 11);
    settings.area = {0, 0, 45, 300};   // narrower than one step
    EXPECT_EQ(visible_bar_count(settings, kDpi), 1);
}

TEST(ChartGeometry, ZoomHalvesAndDoublesWithinOneToThirtyTwo) {
    const struct {
        int scale;
        Zoom direction;
        std::optional<int> result;
    } cases[] = {
        {8, Zoom::In, 16},  {16, Zoom::In, 32},          {32, Zoom::In, std::nullopt}, {17, Zoom::In, std::nullopt},
        {8, Zoom::Out, 4},  {2, Zoom::Out, 1},           {1, Zoom::Out, std::nullopt}, {3, Zoom::Out, 1},
        {12, Zoom::In, 24}, {12, Zoom::Out, 6},
    };
    for (auto [scale, direction, result] : cases)
        EXPECT_EQ(zoomed_scale(scale, direction), result) << scale << (direction == Zoom::In ? " in" : " out");
}

TEST(ChartGeometry, ScrollingStopsAtTheNewestBarPlusTheChartShift) {
    ChartSettings settings = view_settings();
    const struct {
        int shift, requested, bar_count, leftpos;
    } cases[] = {
        {0, 1000, 100, 56},   // 100 - 44
        {1, 1000, 100, 64},   // + 20 % of 44 = 8
        {0, -5, 100, 0},      {0, 30, 100, 30}, {0, 30, 10, 0},   // fewer bars than fit
        {1, 30, 10, 0},
    };
    for (auto [shift, requested, bar_count, leftpos] : cases) {
        settings.shift = shift;
        EXPECT_EQ(clamp_leftpos(settings, requested, bar_count), leftpos)
            << "shift " << shift << " requested " << requested << " of " << bar_count;
    }
}

TEST(ChartGeometry, NewBarsMoveLeftposByTheAutoScrollRule) {
    ChartSettings settings = view_settings();
    const struct {
        int scroll, shift, leftpos, bar_count, result;
    } cases[] = {
        {1, 0, 10, 101, 57},    // newest bar at the right edge
        {1, 1, 10, 101, 65},    // with the chart shift
        {0, 0, 30, 101, 30},    // a leftpos inside the bars stays
        {0, 0, 120, 100, 57},   // beyond: bar count - visible + 1
        {0, 0, 100, 100, 57},
        {0, 0, 12, 10, 0},      // never below 0
        {0, 0, 5, 5, 0},
    };
    for (auto [scroll, shift, leftpos, bar_count, result] : cases) {
        settings.scroll = scroll;
        settings.shift = shift;
        settings.leftpos = leftpos;
        EXPECT_EQ(leftpos_after_new_bars(settings, bar_count), result)
            << "scroll " << scroll << " shift " << shift << " leftpos " << leftpos << " bars " << bar_count;
    }
}

TEST(ChartGeometry, TimeAtXRoundsToTheNearestBarAndExtendsPastTheNewest) {
    ChartSettings settings = view_settings();
    const std::vector<market::BarRecord> bars = hourly_bars(20);
    const struct {
        int leftpos, x;
        int32_t time;
    } cases[] = {
        {10, 19, kMonday + 12 * kHour},   // 16 pixels in: two steps
        {10, 15, kMonday + 12 * kHour},   // 1.5 steps rounds up
        {10, 14, kMonday + 11 * kHour},   // 1.375 steps rounds down
        {10, 0, kMonday + 10 * kHour},    // -0.375 steps
        {0, -1, 0},                       // -0.5 steps rounds away from zero: left of the first bar
        {0, 3, kMonday},
        {10, 99, kMonday + 22 * kHour},   // three positions past the newest bar
    };
    for (auto [leftpos, x, time] : cases) {
        settings.leftpos = leftpos;
        EXPECT_EQ(time_at_x(settings, kDpi, bars, x), time) << "leftpos " << leftpos << " x " << x;
    }
    EXPECT_EQ(time_at_x(settings, kDpi, {}, 19), 0);
}

TEST(ChartGeometry, WindowsShareTheHeightByWeightAndHiddenOnesGetNothing) {
    const Rect drawing{3, 2, 361, 282};
    const WindowWeight windows[] = {{100, true}, {50, true}, {50, false}, {30, true}};
    const std::vector<Rect> rects = layout_windows(drawing, windows, kDpi);
    ASSERT_EQ(rects.size(), 4u);
    // 280 x 100 / 180 = 155, bottom 2 short; splitter gap 2.
    EXPECT_EQ(rects[0].top, 2);
    EXPECT_EQ(rects[0].bottom, 155);
    EXPECT_EQ(rects[1].top, 157);
    EXPECT_EQ(rects[1].bottom, 232);   // 280 x 50 / 180 = 77
    EXPECT_EQ(rects[2].height(), 0);
    EXPECT_EQ(rects[3].top, 234);
    EXPECT_EQ(rects[3].bottom, 282);   // the last shown window reaches the bottom
    for (const Rect& rect : rects) {
        EXPECT_EQ(rect.left, 3);
        EXPECT_EQ(rect.right, 361);
    }
    EXPECT_EQ(splitter_gap(192), 4);
}

TEST(ChartGeometry, SplitterDragMovesWeightOnlyWhenBothWindowsKeepMoreThanFour) {
    const Rect above{3, 2, 361, 155};
    const Rect below{3, 157, 361, 232};   // 155 + 77 pixels for 150 weight
    const struct {
        int y;
        std::optional<int> weight;
    } cases[] = {{100, 64}, {155, 100}, {7, std::nullopt}, {8, 5}, {230, std::nullopt}, {225, 145}};
    for (auto [y, weight] : cases) EXPECT_EQ(dragged_weight(above, 100, below, 50, y), weight) << y;
}

TEST(ChartGeometry, HitTestFindsWindowsSplittersAndTheCrosshairZones) {
    ChartSettings settings = view_settings();
    const WindowWeight weights[] = {{100, true}, {50, true}, {30, true}};
    const Rect windows[] = {{3, 2, 361, 155}, {3, 157, 361, 232}, {3, 234, 361, 282}};
    const struct {
        int crosshair, x, y;
        HitCode code;
        int window;
    } cases[] = {
        {0, 100, 50, HitCode::Window, 0},          {0, 100, 152, HitCode::Window, 0},
        {0, 100, 153, HitCode::Splitter, 0},       // 2 pixels above the bottom
        {0, 100, 159, HitCode::Splitter, 0},       // 4 below
        {0, 100, 160, HitCode::Window, 1},         {0, 100, 234, HitCode::Splitter, 1},
        {0, 100, 281, HitCode::Window, 2},         // no splitter under the last window
        {0, 100, 290, HitCode::Outside, -1},       {0, 1, 50, HitCode::Outside, -1},
        {0, 350, 5, HitCode::Window, 0},           {1, 350, 5, HitCode::CrosshairClose, 0},
        {1, 340, 22, HitCode::Window, 0},          // just below the 20-pixel box
        {1, 1, 50, HitCode::CrosshairLeft, 0},     {1, 370, 50, HitCode::CrosshairRight, 0},
        {1, 370, 200, HitCode::Outside, -1},       // beside a sub-window
    };
    for (auto [crosshair, x, y, code, window] : cases) {
        settings.crosshair = crosshair;
        const Hit hit = hit_test(settings, windows, weights, kDpi, x, y);
        EXPECT_EQ(hit.code, code) << "crosshair " << crosshair << " at " << x << "," << y;
        EXPECT_EQ(hit.window, window) << "crosshair " << crosshair << " at " << x << "," << y;
    }
}

TEST(ChartSettingsColours, EachSchemeSetsItsElevenColours) {
    const struct {
        ColourScheme scheme;
        ChartColours colours;
    } cases[] = {
        {ColourScheme::YellowOnBlack,
         {0x000000, 0xFFFFFF, 0x998877, 0x32CD32, 0x00FFFF, 0x00FFFF, 0x000000, 0xFFFFFF, 0x00FFFF, 0x0000FF, 0x0000FF}},
        {ColourScheme::GreenOnBlack,
         {0x000000, 0xFFFFFF, 0x998877, 0x32CD32, 0x00FF00, 0x00FF00, 0x000000, 0xFFFFFF, 0x00FF00, 0x0000FF, 0x0000FF}},
        {ColourScheme::BlackOnWhite,
         {0xFFFFFF, 0x000000, 0xC0C0C0, 0x008000, 0x000000, 0x000000, 0xFFFFFF, 0x000000, 0x000000, 0x0045FF, 0x0045FF}},
    };
    for (const auto& [scheme, colours] : cases) {
        ChartSettings settings;
        settings.set_colour_scheme(scheme);
        EXPECT_EQ(settings.color_scheme, static_cast<int32_t>(scheme));
        EXPECT_EQ(settings.colours, colours) << static_cast<int>(scheme);
    }
    EXPECT_EQ(scheme_colours(ColourScheme::YellowOnBlack)[static_cast<int>(ChartColour::AskLine)], 0x0000FFu);
}

TEST(ChartSettingsMargins, StandardDpiHasFixedMarginsOthersScale) {
    const struct {
        int dpi;
        Margins margins;
        int font;
    } cases[] = {
        {96, {3, 2, 39, 18}, 70},
        {192, {4, 2, 70, 30}, 65},    // (192 + 48) / 96 + 2, (192 x 35 + 48) / 96, (192 x 15 + 48) / 96
        {288, {5, 2, 105, 45}, 65},
    };
    for (auto [dpi, margins, font] : cases) {
        const Margins got = chart_margins(dpi);
        EXPECT_EQ(got.left, margins.left) << dpi;
        EXPECT_EQ(got.top, margins.top) << dpi;
        EXPECT_EQ(got.right, margins.right) << dpi;
        EXPECT_EQ(got.bottom, margins.bottom) << dpi;
        EXPECT_EQ(chart_font_size(dpi), font) << dpi;
    }
}

}  // namespace
}  // namespace kb::chart
