#pragma once
#include <array>
#include <optional>

#include "chart/model/chart_settings.h"
#include "chart/objects/bar_timeline.h"
#include "chart/objects/chart_object.h"

namespace kb::chart {

// Where chart objects sit on the screen and what the pointer touches. Pure functions on
// values, any thread (the object's cached positions are filled in, so the caller holds the
// window's lock).

// Bar positions across the window: position leftpos at x = left, one bar step apart.
struct BarAxis {
    int left = 0;      // x of position leftpos
    int step = 1;      // bar step in pixels
    int leftpos = 0;

    // The chart's axis: leftpos one pixel right of the drawing rectangle's left edge.
    static BarAxis of(const ChartSettings& settings, int dpi_x);
    int x_of(int position) const;
    // The position at x, rounded half away from zero.
    int position_at(int x) const;
};

// Prices down a window: maximum at top, minimum at bottom. A window without a range
// (maximum not above minimum, or no height) puts every price in its middle and reads the
// minimum everywhere.
struct PriceAxis {
    int top = 0;
    int bottom = 0;
    double minimum = 0;
    double maximum = 0;

    int y_of(double price) const;
    double price_at(int y) const;
};

// An object's editing handles: the first anchor, the second, and the middle (which moves
// the whole object). One-anchor objects are moved by their middle only.
enum class Handle : int { First = 0, Second = 1, Middle = 2 };

struct ScreenPoint {
    int x = 0;
    int y = 0;
    bool operator==(const ScreenPoint&) const = default;
};

// Everything needed to put an object of a window on the screen.
struct ObjectView {
    const BarTimeline& timeline;
    BarAxis bars;
    PriceAxis prices;
    Rect window;
    int dpi = 96;
};

// The screen points of the handles, in Handle order. Two-anchor objects: the anchors and
// the point of the midpoint bar (rounded half away from zero) at the mean price. A
// vertical line has all three at its x, halfway down the window; a horizontal line at its
// y, halfway across.
std::array<ScreenPoint, 3> handle_points(const CObj& object, const ObjectView& view);

// Pointer tolerances, scaled from 96 DPI as (size x dpi + 48) / 96: a line is touched
// within 3 pixels, a handle within a square of 5 pixels each way.
int line_tolerance(int dpi);
int handle_tolerance(int dpi);

// Whether the object is being edited: only then do its handles count.
enum class Selected { No, Yes };

// What the pointer at (x, y) touches of the object: a handle of a selected object first,
// then its lines, which answer Middle; nothing outside the window or off the object. The
// lines: a vertical or horizontal line across the window; a trendline between its
// anchors, and on past the second one to the window's edge with its ray; a Fibonacci
// retracement's line between its anchors and its level lines, from the left anchor to the
// right one (to the window's right edge with the levels ray).
std::optional<Handle> hit_object(const CObj& object, const ObjectView& view, int x, int y, Selected selected);

}  // namespace kb::chart
