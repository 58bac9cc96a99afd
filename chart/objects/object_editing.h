#pragma once
#include "chart/objects/bar_timeline.h"
#include "chart/objects/chart_object.h"
#include "chart/objects/object_geometry.h"

namespace kb::chart {

// Whether the other anchor follows when one anchor is dragged.
enum class Linked { No, Yes };

// A point in bar and price space: a bar position (extrapolated outside the bars) and a price.
struct BarPoint {
    int position = 0;
    double price = 0;
};

// Drags a handle of the object to target, in bar and price space; anchor times become
// the open times of their new positions (extrapolated beyond the bars) and prices are
// rounded to digits decimals.
//  - First / Second: that anchor goes to target; linked, the other one moves by the same
//    number of bars and the same price difference.
//  - Middle: both anchors move by the bars and price from their midpoint (bar position
//    rounded half away from zero, mean price) to target.
// One-anchor objects move their anchor to target with any handle: a vertical line its
// time only, a horizontal line its price only.
// Without bars nothing moves (false).
bool drag_handle(CObj& object, const BarTimeline& timeline, Handle handle, BarPoint target, Linked linked,
                 int digits);

}  // namespace kb::chart
