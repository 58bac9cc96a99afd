#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>

#include "chart/objects/fibo.h"
#include "chart/objects/line_objects.h"
#include "chart/render/frame.h"
#include "platform/clock.h"

namespace kb::chart::render {

namespace {

// Half the side of a handle's square at 96 DPI; the pointer catches it a little wider.
constexpr int kHandleHalfSide = 3;

struct DoublePoint {
    double x = 0;
    double y = 0;
};

// The part of the line from a to b inside rect (its pixels left..right-1, top..bottom-1),
// nothing when none is. Lines far off the screen never reach the canvas this way.
std::optional<Segment> clipped(const Rect& rect, DoublePoint a, DoublePoint b) {
    const double dx = b.x - a.x;
    const double dy = b.y - a.y;
    double enter = 0;
    double leave = 1;
    const auto edge = [&](double p, double q) {
        if (p == 0) return q >= 0;
        const double t = q / p;
        if (p < 0) enter = std::max(enter, t);
        else leave = std::min(leave, t);
        return enter <= leave;
    };
    if (!edge(-dx, a.x - rect.left) || !edge(dx, rect.right - 1 - a.x) || !edge(-dy, a.y - rect.top) ||
        !edge(dy, rect.bottom - 1 - a.y))
        return std::nullopt;
    const auto at = [&](double t) {
        return Point{static_cast<int>(std::lround(a.x + t * dx)), static_cast<int>(std::lround(a.y + t * dy))};
    };
    return Segment{at(enter), at(leave)};
}

DoublePoint as_double(ScreenPoint p) { return {static_cast<double>(p.x), static_cast<double>(p.y)}; }

void clipped_line(Frame& frame, const Rect& rect, DoublePoint a, DoublePoint b, const Pen& pen) {
    if (const std::optional<Segment> part = clipped(rect, a, b)) frame.canvas.line(part->from, part->to, pen);
}

// Where the line from a through b leaves rect beyond b: far enough along that a clip ends
// it at the window's edge. b itself when a and b are the same point.
DoublePoint ray_end(const Rect& rect, ScreenPoint a, ScreenPoint b) {
    const double dx = b.x - a.x;
    const double dy = b.y - a.y;
    const double longest = std::max(std::abs(dx), std::abs(dy));
    if (longest == 0) return as_double(b);
    const double reach = (rect.width() + rect.height()) / longest + 1;
    return {b.x + dx * reach, b.y + dy * reach};
}

const Pen& object_pen(Frame& frame, int32_t style, int32_t weight, int32_t colour) {
    return frame.pen(style, line_pen_width(style, weight, frame.dpi_x), static_cast<Colour>(colour) & 0xFFFFFF);
}

int32_t look(const CObj& object, ObjectProperty property) { return object.property(property).value_or(0); }

const Pen& main_pen(Frame& frame, const CObj& object) {
    return object_pen(frame, look(object, ObjectProperty::Style), look(object, ObjectProperty::Weight),
                      look(object, ObjectProperty::Color));
}

void draw_vertical_line(Frame& frame, const CObj& object, const Rect& rect, ScreenPoint at) {
    if (at.x < rect.left || at.x >= rect.right) return;
    frame.canvas.line({at.x, rect.top}, {at.x, rect.bottom - 1}, main_pen(frame, object));
    const platform::DateTime t = platform::utc_calendar(object.time(0));
    char text[32];
    std::snprintf(text, sizeof text, "%04d.%02d.%02d %02d:%02d", t.year, t.month, t.day, t.hour, t.minute);
    // Right of the line, or left of it where the window ends first.
    int left = at.x + 2 * frame.sx;
    const int width = frame.measure(text).width;
    if (left + width > rect.right) left = at.x - 2 * frame.sx - width;
    frame.text(left, rect.bottom - frame.text_height - 1, text,
               static_cast<Colour>(look(object, ObjectProperty::Color)) & 0xFFFFFF);
}

void draw_horizontal_line(Frame& frame, const CObj& object, const Rect& rect, ScreenPoint at) {
    if (at.y < rect.top || at.y >= rect.bottom) return;
    frame.canvas.line({rect.left, at.y}, {rect.right - 1, at.y}, main_pen(frame, object));
}

void draw_trendline(Frame& frame, const CObj& object, const Rect& rect, ScreenPoint first, ScreenPoint second) {
    const bool ray = look(object, ObjectProperty::Ray) != 0;
    const DoublePoint end = ray ? ray_end(rect, first, second) : as_double(second);
    clipped_line(frame, rect, as_double(first), end, main_pen(frame, object));
}

void draw_fibo(Frame& frame, const Fibo& fibo, const Rect& rect, const PriceAxis& prices, ScreenPoint first,
               ScreenPoint second) {
    clipped_line(frame, rect, as_double(first), as_double(second), main_pen(frame, fibo));
    const int32_t colour2 = look(fibo, ObjectProperty::Color2);
    const Pen& level_pen =
        object_pen(frame, look(fibo, ObjectProperty::Style2), look(fibo, ObjectProperty::Weight2), colour2);
    const int left = std::min(first.x, second.x);
    const int right = look(fibo, ObjectProperty::LevelsRay) != 0 ? rect.right - 1 : std::max(first.x, second.x);
    for (int i = 0; i < static_cast<int>(fibo.levels().size()); ++i) {
        const int y = prices.y_of(fibo.level_price(i));
        clipped_line(frame, rect, {static_cast<double>(left), static_cast<double>(y)},
                     {static_cast<double>(right), static_cast<double>(y)}, level_pen);
        if (y < rect.top || y >= rect.bottom) continue;
        // The label sits on the line's left end, just above it.
        frame.text(std::max(left, rect.left) + 2 * frame.sx, y - frame.text_height, fibo.level_label(i),
                   static_cast<Colour>(colour2) & 0xFFFFFF);
    }
}

void draw_handles(Frame& frame, const CObj& object, const std::array<ScreenPoint, 3>& points) {
    const int half = kHandleHalfSide * frame.sx;
    const Pen& outline = frame.solid(frame.colour(ChartColour::Foreground));
    const Colour fill = static_cast<Colour>(look(object, ObjectProperty::Color)) & 0xFFFFFF;
    const int count = object.anchor_count() == 1 ? 1 : 3;
    for (int i = 0; i < count; ++i) {
        // One-anchor objects have their one handle in the middle.
        const ScreenPoint p = object.anchor_count() == 1 ? points[static_cast<int>(Handle::Middle)] : points[i];
        frame.canvas.rectangle({p.x - half, p.y - half, p.x + half + 1, p.y + half + 1}, outline, fill);
    }
}

}  // namespace

PriceAxis object_axis(const Rect& window, const ValueRange& range) {
    return {window.top, window.bottom - 1, range.min, range.max};
}

void draw_objects(Frame& frame, const ChartWindow& window, const Rect& rect, const ValueRange& range,
                  ObjectLayer layer) {
    if (!(range.span() > 0)) return;
    const BarTimeline timeline(frame.bars, frame.settings.period);
    const ObjectView view{timeline, BarAxis{frame.drawing.left + 1, frame.step, frame.first}, object_axis(rect, range),
                          rect, frame.dpi_x};
    const bool background = layer == ObjectLayer::Background;
    for (const CObj* object : window.objects()) {
        if (!object->visible_on(frame.settings.period)) continue;
        if ((look(*object, ObjectProperty::Background) != 0) != background) continue;
        const std::array<ScreenPoint, 3> points = handle_points(*object, view);
        const ScreenPoint first = points[static_cast<int>(Handle::First)];
        const ScreenPoint second = points[static_cast<int>(Handle::Second)];
        switch (object->type()) {
        case ObjectType::VerticalLine: draw_vertical_line(frame, *object, rect, first); break;
        case ObjectType::HorizontalLine: draw_horizontal_line(frame, *object, rect, first); break;
        case ObjectType::Trendline: draw_trendline(frame, *object, rect, first, second); break;
        case ObjectType::Fibo:
            draw_fibo(frame, static_cast<const Fibo&>(*object), rect, view.prices, first, second);
            break;
        }
        if (frame.options.selected_object != object->counter()) continue;
        draw_handles(frame, *object, points);
        if (object->type() == ObjectType::Trendline) {
            const std::string info = static_cast<const Trendline&>(*object).info_text(timeline, frame.settings.digits);
            frame.text(second.x + 2 * frame.sx, second.y - frame.text_height, info,
                       frame.colour(ChartColour::Foreground));
        }
    }
}

}  // namespace kb::chart::render
