#include "chart/model/chart_geometry.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace kb::chart {

namespace {

constexpr int kStandardDpi = 96;
constexpr int kCrosshairBoxSize = 20;
constexpr int kMinDraggedWeight = 4;
// A window's bottom sits this many pixels above the end of its share.
constexpr int kWindowBottomGap = 2;

int window_pixel_height(const Rect& window) { return window.bottom - window.top + kWindowBottomGap; }

}  // namespace

int bar_step(int scale, int dpi_x) { return std::max(scale * dpi_x / kStandardDpi, 1); }

Rect drawing_rect(const ChartSettings& settings) {
    return {settings.area.left + settings.margins.left, settings.area.top + settings.margins.top,
            settings.area.right - settings.margins.right, settings.area.bottom - settings.margins.bottom};
}

int visible_bar_count(const ChartSettings& settings, int dpi_x) {
    return std::max(drawing_rect(settings).width() / bar_step(settings.scale, dpi_x), 1);
}

int shift_bars(const ChartSettings& settings) {
    return settings.shift ? settings.shift_percent * settings.visible_bars / 100 : 0;
}

int newest_leftpos(const ChartSettings& settings, int bar_count) {
    return std::max(bar_count - settings.visible_bars + shift_bars(settings), 0);
}

int clamp_leftpos(const ChartSettings& settings, int requested, int bar_count) {
    return std::clamp(requested, 0, newest_leftpos(settings, bar_count));
}

int leftpos_after_new_bars(const ChartSettings& settings, int bar_count) {
    if (settings.scroll) return newest_leftpos(settings, bar_count);
    int leftpos = settings.leftpos;
    if (leftpos >= bar_count) leftpos = std::min(bar_count - settings.visible_bars + 1, bar_count - 1);
    return std::max(leftpos, 0);
}

std::optional<int> zoomed_scale(int scale, Zoom direction) {
    if (direction == Zoom::In) {
        if (scale > 16) return std::nullopt;
        return scale * 2;
    }
    if (scale < 2) return std::nullopt;
    return scale / 2;
}

int32_t time_at_x(const ChartSettings& settings, int dpi_x, std::span<const market::BarRecord> bars, int x) {
    if (bars.empty()) return 0;
    const int offset = x - settings.margins.left - settings.area.left;
    const int64_t index =
        std::lround(static_cast<double>(offset) / bar_step(settings.scale, dpi_x)) + static_cast<int64_t>(settings.leftpos);
    if (index < 0) return 0;
    const int64_t newest = static_cast<int64_t>(bars.size()) - 1;
    if (index <= newest) return bars[static_cast<size_t>(index)].time;
    const int64_t time = bars.back().time + (index - newest) * settings.period * 60;
    return static_cast<int32_t>(std::min<int64_t>(time, INT32_MAX));
}

int splitter_gap(int dpi_y) { return (dpi_y + 24) * 2 / kStandardDpi; }

std::vector<Rect> layout_windows(const Rect& drawing, std::span<const WindowWeight> windows, int dpi_y) {
    std::vector<Rect> rects(windows.size(), Rect{drawing.left, drawing.bottom, drawing.right, drawing.bottom});
    int64_t sum = 0;
    size_t last_shown = windows.size();
    for (size_t i = 0; i < windows.size(); ++i) {
        if (!windows[i].shown) continue;
        sum += windows[i].weight;
        last_shown = i;
    }
    if (last_shown == windows.size() || sum <= 0) return rects;
    int top = drawing.top;
    for (size_t i = 0; i < windows.size(); ++i) {
        if (!windows[i].shown) continue;
        const int height = static_cast<int>(static_cast<int64_t>(drawing.height()) * windows[i].weight / sum);
        const int bottom = i == last_shown ? drawing.bottom : top + height - kWindowBottomGap;
        rects[i] = Rect{drawing.left, top, drawing.right, bottom};
        top = bottom + splitter_gap(dpi_y);
    }
    return rects;
}

std::optional<int> dragged_weight(const Rect& above, int weight_above, const Rect& below, int weight_below, int y) {
    const int64_t pixels = window_pixel_height(above) + window_pixel_height(below);
    if (pixels <= 0) return std::nullopt;
    const int64_t both = static_cast<int64_t>(weight_above) + weight_below;
    const int64_t weight = both * (y - above.top + kWindowBottomGap) / pixels;
    if (weight <= kMinDraggedWeight || both - weight <= kMinDraggedWeight) return std::nullopt;
    return static_cast<int>(weight);
}

Hit hit_test(const ChartSettings& settings, std::span<const Rect> windows, std::span<const WindowWeight> weights,
             int dpi_y, int x, int y) {
    if (settings.crosshair && !windows.empty()) {
        const Rect drawing = drawing_rect(settings);
        const int box = kCrosshairBoxSize * std::max(dpi_y / kStandardDpi, 1);
        if (Rect{drawing.right - box, drawing.top, drawing.right, drawing.top + box}.contains(x, y))
            return {HitCode::CrosshairClose, 0};
        const Rect& main = windows.front();
        if (y >= main.top && y < main.bottom) {
            if (x < main.left) return {HitCode::CrosshairLeft, 0};
            if (x >= main.right) return {HitCode::CrosshairRight, 0};
        }
    }
    size_t last_shown = windows.size();
    for (size_t i = 0; i < windows.size() && i < weights.size(); ++i)
        if (weights[i].shown) last_shown = i;
    const int above = (dpi_y + 24) * 2 / kStandardDpi;
    const int below = (dpi_y + 12) * 4 / kStandardDpi;
    for (size_t i = 0; i < last_shown; ++i) {
        if (!weights[i].shown) continue;
        const Rect& window = windows[i];
        if (x >= window.left && x < window.right && y >= window.bottom - above && y <= window.bottom + below)
            return {HitCode::Splitter, static_cast<int>(i)};
    }
    for (size_t i = 0; i < windows.size(); ++i)
        if (windows[i].contains(x, y)) return {HitCode::Window, static_cast<int>(i)};
    return {};
}

}  // namespace kb::chart
