// Grid, time axis, period separators, price axes, levels, the cursor readouts, the data
// window and the crosshair box.
#include <algorithm>
#include <cstdio>

#include "chart/framework/indicator.h"
#include "chart/render/frame.h"
#include "core/number_format.h"
#include "platform/clock.h"

namespace kb::chart::render {

namespace {

constexpr int kGridSpacing = 32;
constexpr int kLabelSpacing = 64;
constexpr int kCrosshairBox = 20;

std::string time_label(int32_t time, int period) {
    const platform::DateTime t = platform::utc_calendar(time);
    char text[32];
    if (period < 1440) std::snprintf(text, sizeof text, "%02d.%02d %02d:%02d", t.day, t.month, t.hour, t.minute);
    else std::snprintf(text, sizeof text, "%04d.%02d.%02d", t.year, t.month, t.day);
    return text;
}

// A tick 3 x s out of the window's right edge at y with the foreground pen of the axis.
void axis_tick(Frame& frame, const Rect& window, int y) {
    const Pen& pen = frame.pen(0, (frame.dpi_y + 48) / 96, frame.colour(ChartColour::Foreground));
    frame.canvas.line({window.right, y}, {window.right + 3 * frame.sx - 1, y}, pen);
}

void axis_text(Frame& frame, const Rect& window, int y, const std::string& text) {
    frame.text(window.right + 3 * frame.sx + 1, y, text, frame.colour(ChartColour::Foreground));
}

}  // namespace

void draw_grid(Frame& frame) {
    const int spacing = kGridSpacing * frame.sx;
    const int right = frame.drawing.right;
    const Pen& pen = frame.dashed(frame.colour(ChartColour::Grid));
    for (int x = frame.drawing.left + spacing; x < right; x += spacing)
        frame.canvas.line({x, frame.drawing.top}, {x, frame.drawing.bottom - 1}, pen);
}

void draw_time_axis(Frame& frame) {
    int spacing = kLabelSpacing * frame.sx;
    int interval = std::max(1, kLabelSpacing / std::max(frame.settings.scale, 1));
    if (frame.first >= frame.end) return;
    const std::string first_label = time_label(frame.bars[frame.first].time, frame.settings.period);
    if (frame.measure(first_label).width > spacing) {
        spacing *= 2;
        interval *= 2;
    }
    const int shift = frame.measure("08").width;
    const Pen& pen = frame.solid(frame.colour(ChartColour::Foreground));
    const int tick = 3 * frame.sy;
    const int y = frame.drawing.bottom;
    for (int k = frame.first; k < frame.end; k += interval) {
        const int x = frame.bar_x(k);
        if (x >= frame.drawing.right) break;
        frame.canvas.line({x, y}, {x, y + tick}, pen);
        const std::string label = k == frame.first ? first_label : time_label(frame.bars[k].time, frame.settings.period);
        frame.text(k == frame.first ? x : x - shift, y + tick, label, frame.colour(ChartColour::Foreground));
    }
}

void draw_period_separators(Frame& frame) {
    if (frame.first >= frame.end) return;
    const SeparatorUnit unit = separator_unit(frame.settings.period);
    const Pen& pen = frame.dashed(frame.colour(ChartColour::Foreground));
    const auto draw_at = [&](int k) {
        const int x = frame.bar_x(k);
        if (x < frame.drawing.right) frame.canvas.line({x, frame.drawing.top}, {x, frame.drawing.bottom - 1}, pen);
    };
    int64_t previous = frame.first > 0 ? separator_bucket(frame.bars[frame.first - 1].time, unit)
                                       : separator_bucket(frame.bars[frame.first].time, unit);
    for (int k = frame.first; k < frame.end; ++k) {
        const int64_t bucket = separator_bucket(frame.bars[k].time, unit);
        if (bucket != previous) draw_at(k);
        previous = bucket;
    }
    // Past the newest bar the series of times goes on, for one more separator at most.
    if (frame.end != frame.bar_count()) return;
    const int64_t period_seconds = int64_t{frame.settings.period} * 60;
    const int positions = std::max(frame.settings.visible_bars, 1) - (frame.end - frame.first);
    const int64_t newest = frame.bars.back().time;
    for (int extra = 1; extra <= positions; ++extra) {
        const int64_t bucket = separator_bucket(newest + extra * period_seconds, unit);
        if (bucket != previous) {
            draw_at(frame.end - 1 + extra);
            return;
        }
    }
}

void draw_main_price_axis(Frame& frame, const Rect& window, const ValueRange& range) {
    const int top_band = 2 * frame.sy;
    for (const PriceMark& mark : price_axis_marks(window, range, frame.settings.digits, frame.dpi_y)) {
        axis_tick(frame, window, mark.y);
        int y = mark.y - frame.text_height / 2;
        if (mark.y >= window.bottom - 1) y -= 3 * frame.sy;
        if (mark.y < window.top + top_band) y = window.top + top_band;
        axis_text(frame, window, y, core::price_text(mark.price, frame.settings.digits));
    }
}

void draw_sub_price_axis(Frame& frame, const Rect& window, const ValueRange& range, int digits, bool zero_grid_line) {
    const int top = window.top;
    const int bottom = window.bottom - 1;
    axis_tick(frame, window, top);
    axis_text(frame, window, top, core::fixed_text(range.max, digits));
    axis_tick(frame, window, bottom);
    axis_text(frame, window, bottom - frame.text_height, core::fixed_text(range.min, digits));
    if (!(range.min < 0 && range.max > 0)) return;
    const int zero = value_to_y(window, range, 0);
    if (zero_grid_line)
        frame.canvas.line({window.left, zero}, {window.right - 1, zero}, frame.dashed(frame.colour(ChartColour::Grid)));
    const int text_y = zero - frame.text_height / 2;
    const int keep = frame.text_height * 3 / 2;
    axis_tick(frame, window, zero);
    if (text_y - top >= keep && (bottom - frame.text_height) - text_y >= keep) axis_text(frame, window, text_y, "0.00");
}

void draw_levels(Frame& frame, const CInd& indicator, const Rect& window, const ValueRange& range) {
    const LineStyle style = indicator.level_style();
    const Colour colour = static_cast<Colour>(style.color);
    const Pen& pen = frame.pen(style.style, line_pen_width(style.style, style.weight, frame.dpi_y), colour);
    for (const IndicatorLevel& level : indicator.levels()) {
        if (level.value < range.min || level.value > range.max) continue;
        const int y = value_to_y(window, range, level.value);
        frame.canvas.line({window.left, y}, {window.right - 1, y}, pen);
        const std::string value = core::fixed_text(level.value, 4);
        frame.canvas.clear_clip();
        const int text_y = y - frame.text_height / 2;
        if (style.style == 0) frame.opaque_text(window.right + 3 * frame.sx, text_y, value, frame.colour(ChartColour::Background), colour);
        else frame.text(window.right + 3 * frame.sx, text_y, value, colour);
        frame.canvas.set_clip(window);
        if (!level.description.empty())
            frame.text(window.left + 2 * frame.sx, y - frame.text_height, level.description, colour);
    }
}

void draw_cursor_time(Frame& frame) {
    const int x = frame.settings.cursor_x;
    const int y = frame.settings.cursor_y;
    const Pen& pen = frame.solid(frame.colour(ChartColour::Foreground));
    if (y - 2 > frame.drawing.top) frame.canvas.line({x, frame.drawing.top}, {x, y - 3}, pen);
    if (y + 2 < frame.drawing.bottom - 1) frame.canvas.line({x, y + 3}, {x, frame.drawing.bottom - 1}, pen);
    const int bar = frame.cursor_bar();
    if (bar < 0) return;
    const platform::DateTime t = platform::utc_calendar(frame.bars[bar].time);
    char text[48];
    std::snprintf(text, sizeof text, " %04d.%02d.%02d %d:%02d ", t.year, t.month, t.day, t.hour, t.minute);
    const TextSize size = frame.measure(text);
    int left = x - size.width / 2;
    if (left < frame.drawing.left) left = frame.drawing.left;
    frame.opaque_text(left, frame.drawing.bottom + 1, text, frame.colour(ChartColour::Background),
                      frame.colour(ChartColour::Foreground));
}

void draw_cursor_value(Frame& frame, const Rect& window, const ValueRange& range, int digits) {
    const int y = frame.settings.cursor_y;
    const Pen& pen = frame.solid(frame.colour(ChartColour::Foreground));
    const int x = frame.settings.cursor_x;
    if (x - 2 > window.left) frame.canvas.line({window.left, y}, {x - 3, y}, pen);
    if (x + 2 < window.right - 1) frame.canvas.line({x + 3, y}, {window.right - 1, y}, pen);
    const std::string value = core::fixed_text(y_to_value(window, range, y), digits);
    frame.opaque_text(window.right + 3 * frame.sx, y - frame.text_height / 2, value,
                      frame.colour(ChartColour::Background), frame.colour(ChartColour::Foreground));
}

void draw_crosshair_box(Frame& frame) {
    const int size = kCrosshairBox * frame.sx;
    const Rect box{frame.drawing.right - size, frame.drawing.top, frame.drawing.right, frame.drawing.top + size};
    const Colour foreground = frame.colour(ChartColour::Foreground);
    const Pen& pen = frame.solid(foreground);
    frame.canvas.rectangle(box, pen, frame.colour(ChartColour::Background));
    // Two icons: a small cross (the mode) on the left half, a close mark on the right half.
    const int half = size / 2;
    const int cx = box.left + half / 2;
    const int cy = box.top + half;
    const int arm = std::max(1, half / 3);
    frame.canvas.line({cx - arm, cy}, {cx + arm, cy}, pen);
    frame.canvas.line({cx, cy - arm}, {cx, cy + arm}, pen);
    const int qx = box.left + half + half / 2;
    frame.canvas.line({qx - arm, cy - arm}, {qx + arm, cy + arm}, pen);
    frame.canvas.line({qx - arm, cy + arm}, {qx + arm, cy - arm}, pen);
}

void draw_data_window(Frame& frame, const Rect& window, int first_row, const std::vector<DataLine>& lines) {
    if (lines.empty()) return;
    int caption_width = 0;
    for (const DataLine& line : lines) caption_width = std::max(caption_width, frame.measure(line.caption + " ").width);
    const int value_width = frame.measure("0.0").width;
    const int blank = std::max(1, frame.measure(" ").width);
    frame.canvas.set_clip(window);
    const int left = window.left + 6 * frame.sx;
    int y = window.top + 1 + first_row * frame.text_height;
    const Colour foreground = frame.colour(ChartColour::Foreground);
    const Colour background = frame.colour(ChartColour::Background);
    for (const DataLine& line : lines) {
        std::string caption = line.caption;
        int width = frame.measure(caption).width;
        // Padded with blanks to the widest caption with one blank plus room for a short value.
        while (width < caption_width + value_width) {
            caption += ' ';
            width += blank;
        }
        frame.opaque_text(left, y, caption, foreground, background);
        frame.opaque_text(left + width, y, line.value, foreground, background);
        y += frame.text_height;
        if (y >= window.bottom) break;
    }
    frame.canvas.clear_clip();
}

}  // namespace kb::chart::render
