#include "chart/objects/object_geometry.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "chart/model/chart_geometry.h"
#include "chart/objects/fibo.h"

namespace kb::chart {
namespace {

constexpr int kStandardDpi = 96;
constexpr int kLineTolerance = 3;
constexpr int kHandleTolerance = 5;
// Screen coordinates are kept well inside int so that differences never overflow.
constexpr double kFarAway = 1e8;

// Prices near the limits of a double can give infinities, and their differences NaN: both
// are far off the screen.
int to_pixel(double value) {
    if (std::isnan(value)) return static_cast<int>(kFarAway);
    return static_cast<int>(std::clamp(std::round(value), -kFarAway, kFarAway));
}

int scaled(int size, int dpi) { return (size * dpi + kStandardDpi / 2) / kStandardDpi; }

int middle_position(int first, int second) {
    return static_cast<int>(std::lround((static_cast<double>(first) + second) / 2.0));
}

// Distance from (x, y) to the segment a-b; with a ray the segment goes on past b.
double distance_to_line(ScreenPoint a, ScreenPoint b, int x, int y, bool ray) {
    const double dx = b.x - a.x;
    const double dy = b.y - a.y;
    const double length = dx * dx + dy * dy;
    double t = 0;
    if (length > 0) t = ((x - a.x) * dx + (y - a.y) * dy) / length;
    t = ray ? std::max(t, 0.0) : std::clamp(t, 0.0, 1.0);
    return std::hypot(a.x + t * dx - x, a.y + t * dy - y);
}

bool near_handle(ScreenPoint handle, int x, int y, int tolerance) {
    return std::abs(handle.x - x) <= tolerance && std::abs(handle.y - y) <= tolerance;
}

bool touches_lines(const CObj& object, const ObjectView& view, const std::array<ScreenPoint, 3>& points, int x,
                   int y, int tolerance) {
    switch (object.type()) {
    case ObjectType::VerticalLine: return std::abs(points[0].x - x) <= tolerance;
    case ObjectType::HorizontalLine: return std::abs(points[0].y - y) <= tolerance;
    case ObjectType::Trendline:
        return distance_to_line(points[0], points[1], x, y, object.property(ObjectProperty::Ray).value_or(0) != 0) <=
               tolerance;
    case ObjectType::Fibo: {
        if (distance_to_line(points[0], points[1], x, y, false) <= tolerance) return true;
        const auto& fibo = static_cast<const Fibo&>(object);
        const int left = std::min(points[0].x, points[1].x);
        const int right = fibo.property(ObjectProperty::LevelsRay).value_or(0) != 0 ? view.window.right
                                                                                     : std::max(points[0].x, points[1].x);
        if (x < left - tolerance || x > right + tolerance) return false;
        for (int i = 0; i < static_cast<int>(fibo.levels().size()); ++i)
            if (std::abs(view.prices.y_of(fibo.level_price(i)) - y) <= tolerance) return true;
        return false;
    }
    }
    return false;
}

}  // namespace

BarAxis BarAxis::of(const ChartSettings& settings, int dpi_x) {
    // Bar leftpos is centred one pixel inside the drawing rectangle, where the renderer
    // draws it.
    return {drawing_rect(settings).left + 1, bar_step(settings.scale, dpi_x), settings.leftpos};
}

int BarAxis::x_of(int position) const {
    return to_pixel(left + (static_cast<double>(position) - leftpos) * step);
}

int BarAxis::position_at(int x) const {
    const long position = std::lround(static_cast<double>(x - left) / std::max(step, 1)) + leftpos;
    return static_cast<int>(std::clamp<long>(position, INT32_MIN / 2, INT32_MAX / 2));
}

int PriceAxis::y_of(double price) const {
    if (!(maximum > minimum) || bottom <= top) return top + (bottom - top) / 2;
    return to_pixel(bottom - (price - minimum) * (bottom - top) / (maximum - minimum));
}

double PriceAxis::price_at(int y) const {
    if (!(maximum > minimum) || bottom <= top) return minimum;
    return minimum + static_cast<double>(bottom - y) * (maximum - minimum) / (bottom - top);
}

int line_tolerance(int dpi) { return scaled(kLineTolerance, dpi); }

int handle_tolerance(int dpi) { return scaled(kHandleTolerance, dpi); }

std::array<ScreenPoint, 3> handle_points(const CObj& object, const ObjectView& view) {
    const std::array<int, kObjectAnchors>& at = object.positions(view.timeline);
    switch (object.anchor_use()) {
    case AnchorUse::Time: {
        const ScreenPoint point{view.bars.x_of(at[0]), view.window.top + view.window.height() / 2};
        return {point, point, point};
    }
    case AnchorUse::Price: {
        const ScreenPoint point{view.window.left + view.window.width() / 2, view.prices.y_of(object.value(0))};
        return {point, point, point};
    }
    case AnchorUse::TimeAndPrice: break;
    }
    const ScreenPoint first{view.bars.x_of(at[0]), view.prices.y_of(object.value(0))};
    const ScreenPoint second{view.bars.x_of(at[1]), view.prices.y_of(object.value(1))};
    const ScreenPoint middle{view.bars.x_of(middle_position(at[0], at[1])),
                             view.prices.y_of((object.value(0) + object.value(1)) / 2)};
    return {first, second, middle};
}

std::optional<Handle> hit_object(const CObj& object, const ObjectView& view, int x, int y, Selected selected) {
    if (!view.window.contains(x, y)) return std::nullopt;
    const std::array<ScreenPoint, 3> points = handle_points(object, view);
    if (selected == Selected::Yes && object.anchor_count() == 2) {
        const int tolerance = handle_tolerance(view.dpi);
        for (Handle handle : {Handle::First, Handle::Second, Handle::Middle})
            if (near_handle(points[static_cast<int>(handle)], x, y, tolerance)) return handle;
    }
    if (touches_lines(object, view, points, x, y, line_tolerance(view.dpi))) return Handle::Middle;
    return std::nullopt;
}

}  // namespace kb::chart
