#pragma once
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "chart/model/chart_settings.h"
#include "market/bar_record.h"

namespace kb::chart {

// The arithmetic of the chart's view: bar steps, scrolling limits, zoom, window layout,
// splitters and hit codes. Pure functions on values, any thread.

// Bar step in pixels: scale x DPI / 96, at least 1.
int bar_step(int scale, int dpi_x);

// The drawing rectangle: the chart area less the margins.
Rect drawing_rect(const ChartSettings& settings);

// Bar positions that fit the drawing width, at least 1.
int visible_bar_count(const ChartSettings& settings, int dpi_x);

// Empty bar positions kept right of the newest bar: shift percent of the visible bars
// when the chart shift is on, else 0.
int shift_bars(const ChartSettings& settings);

// The leftpos that shows the newest bar at the right edge (with the chart shift): bar
// count - visible bars + shift bars, never below 0.
int newest_leftpos(const ChartSettings& settings, int bar_count);

// A requested leftpos limited to 0..newest_leftpos().
int clamp_leftpos(const ChartSettings& settings, int requested, int bar_count);

// leftpos after the history side copied a changed series of bar_count bars: with auto
// scroll on, the newest bar at the right edge; off, a leftpos at or beyond the bar count
// becomes bar count - visible bars + 1, at most bar count - 1; never below 0.
int leftpos_after_new_bars(const ChartSettings& settings, int bar_count);

enum class Zoom { In, Out };
// The scale after a zoom, or nothing when refused: in doubles up to 32 (refused above
// 16), out halves down to 1 (refused below 2).
std::optional<int> zoomed_scale(int scale, Zoom direction);

// The open time of the bar at x (rounded half away from zero to a bar position); past
// the newest bar the newest bar's time plus period x 60 per extra position; 0 left of
// the first bar or without bars.
int32_t time_at_x(const ChartSettings& settings, int dpi_x, std::span<const market::BarRecord> bars, int x);

// One window as the layout sees it.
struct WindowWeight {
    int weight = 0;
    bool shown = false;   // at least one indicator visible on the current period
};

// Gap between two windows, where the splitter sits.
int splitter_gap(int dpi_y);

// Rectangles of the windows in list order: the shown ones share the drawing rectangle's
// height by weight (each gets area height x weight / sum, its bottom 2 pixels short of
// that; the last shown one reaches the drawing bottom); the others get an empty
// rectangle at the drawing bottom.
std::vector<Rect> layout_windows(const Rect& drawing, std::span<const WindowWeight> windows, int dpi_y);

// The new weight of the window above a dragged splitter with the pointer at y, or nothing
// when the move is not applied (the result would not exceed 4, or the window below would
// be left with 4 or less). The pixel height of a window is its bottom - top + 2.
std::optional<int> dragged_weight(const Rect& above, int weight_above, const Rect& below, int weight_below, int y);

// Hit codes of a point.
enum class HitCode : int {
    Outside = -2,
    Window = 1,
    Splitter = 104,
    CrosshairLeft = 105,
    CrosshairRight = 106,
    CrosshairClose = 110,
};

struct Hit {
    HitCode code = HitCode::Outside;
    int window = -1;   // the window hit, or the one above the splitter
};

// Where a point lies: the crosshair's close box (a 20 x DPI/96 square at the drawing
// rectangle's top right) and the sides of the main window while the crosshair is on,
// then a splitter (from (dpi_y + 24) x 2 / 96 pixels above to (dpi_y + 12) x 4 / 96
// below a shown window's bottom, the last shown window aside), then a window.
Hit hit_test(const ChartSettings& settings, std::span<const Rect> windows, std::span<const WindowWeight> weights,
             int dpi_y, int x, int y);

}  // namespace kb::chart
