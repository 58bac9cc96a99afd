#include "chart/render/chart_renderer.h"

#include <algorithm>

#include "chart/framework/price_series.h"
#include "chart/model/chart.h"
#include "chart/model/chart_geometry.h"
#include "chart/model/chart_window.h"
#include "chart/render/frame.h"
#include "core/number_format.h"

namespace kb::chart {

namespace {

constexpr std::string_view kChartFace = "Tahoma";
constexpr std::string_view kLoadingFace = "Impact";
constexpr int kLoadingSize = 300;   // 30 point
constexpr int kLoadingInset = 5;
constexpr int kStripeSpacing = 2;

using render::Frame;

void paint_loading(Frame& frame, const RenderOptions& options) {
    const Rect& area = frame.settings.area;
    frame.canvas.fill_rect(area, frame.colour(ChartColour::Background));
    const Font& font = frame.pens.font(kLoadingSize, kLoadingFace, frame.settings.pen_width, frame.dpi_y);
    const TextSize size = frame.canvas.measure(options.loading_text, font);
    frame.canvas.text({area.right - kLoadingInset - size.width, area.bottom - kLoadingInset - size.height},
                      options.loading_text, font, {frame.colour(ChartColour::Foreground)});
    const Pen& stripe = frame.solid(frame.colour(ChartColour::Background));
    for (int y = area.top; y < area.bottom; y += kStripeSpacing)
        frame.canvas.line({area.left, y}, {area.right - 1, y}, stripe);
}

// Where each entry of a window draws: the scale of an indicator on another one's data is
// its source's.
struct EntryScale {
    const CInd* indicator = nullptr;
    std::optional<ValueRange> range;
};

// The bars in view: [first, end).
struct VisibleSpan {
    int first = 0;
    int end = 0;
};

VisibleSpan visible_span(const ChartSettings& settings, int bar_count) {
    const int first = std::clamp(settings.leftpos, 0, bar_count);
    return {first, std::min(bar_count, first + std::max(settings.visible_bars, 1))};
}

std::vector<EntryScale> sub_window_scales(int period, VisibleSpan span, const ChartWindow& window) {
    std::vector<EntryScale> scales;
    for (size_t i = 0; i < window.indicator_count(); ++i) {
        const CInd* indicator = window.indicator(i);
        EntryScale entry{indicator, std::nullopt};
        if (indicator->visible_on(period)) {
            if (indicator->apply() == ind::kPricePreviousIndicator && !scales.empty()) entry.range = scales.back().range;
            else if (indicator->apply() == ind::kPriceFirstIndicator && !scales.empty()) entry.range = scales.front().range;
            else entry.range = render::own_window_range(*indicator, span.first, span.end);
        }
        scales.push_back(entry);
    }
    return scales;
}

// The entry whose range a sub-window's axis shows: the first with a range; null when none.
const EntryScale* axis_scale(const std::vector<EntryScale>& scales) {
    for (const EntryScale& entry : scales)
        if (entry.range && entry.range->span() > 0) return &entry;
    return nullptr;
}

// Windows lower than this draw no scale, hence no series, indicators or objects.
constexpr int kMinimumScaleHeight = 10;

// "->" for an indicator on the previous one's data, "=>" for one on the first's.
std::string_view title_prefix(const CInd& indicator) {
    if (!indicator.accepts_data_input()) return "";
    if (indicator.apply() == ind::kPricePreviousIndicator) return "->";
    if (indicator.apply() == ind::kPriceFirstIndicator) return "=>";
    return "";
}

void draw_title_line(Frame& frame, const Rect& window, const std::string& text) {
    if (text.empty()) return;
    frame.canvas.set_clip(window);
    frame.text(window.left + 2 * frame.sx, window.top + 1, text, frame.colour(ChartColour::Foreground));
    frame.canvas.clear_clip();
}

void paint_main_window(Frame& frame, const ChartWindow& window, double ask) {
    const Rect& rect = window.rect();
    const std::optional<ValueRange> range =
        main_window_range(frame.bars, frame.first, frame.end, frame.settings.digits, frame.settings.ohlc != 0);
    frame.outline(rect, frame.solid(frame.colour(ChartColour::Foreground)));
    if (!range || rect.height() < kMinimumScaleHeight) return;
    if (frame.settings.grid) {
        for (const PriceMark& mark : price_axis_marks(rect, *range, frame.settings.digits, frame.dpi_y))
            frame.canvas.line({rect.left, mark.y}, {rect.right - 1, mark.y}, frame.dashed(frame.colour(ChartColour::Grid)));
    }
    frame.canvas.set_clip(rect);
    if (frame.settings.volumes) render::draw_volumes(frame, rect);
    render::draw_objects(frame, window, rect, *range, render::ObjectLayer::Background);
    const bool series_on_top = frame.settings.foreground != 0;
    if (!series_on_top) render::draw_price_series(frame, rect, *range);
    for (size_t i = 0; i < window.indicator_count(); ++i) {
        const CInd& indicator = *window.indicator(i);
        if (indicator.visible_on(frame.settings.period)) render::draw_indicator(frame, indicator, rect, *range);
    }
    render::draw_objects(frame, window, rect, *range, render::ObjectLayer::Foreground);
    if (series_on_top) render::draw_price_series(frame, rect, *range);
    if (frame.settings.trade_levels) render::draw_trade_levels(frame, rect, *range);
    frame.canvas.clear_clip();
    render::draw_main_price_axis(frame, rect, *range);
    render::draw_bid_ask_lines(frame, rect, *range, ask);

    const int bar = frame.cursor_bar();
    int rows = 0;
    if (frame.settings.ohlc) {
        std::string title = render::price_series_title(frame, bar);
        for (size_t i = 0; i < window.indicator_count(); ++i) {
            const CInd& indicator = *window.indicator(i);
            if (indicator.visible_on(frame.settings.period))
                title += render::indicator_title(indicator, title_prefix(indicator), bar);
        }
        draw_title_line(frame, rect, title);
        rows = 1;
    }
    if (frame.cursor_inside()) {
        std::vector<render::DataLine> lines = render::price_series_data_lines(frame, bar);
        for (size_t i = 0; i < window.indicator_count(); ++i) {
            const CInd& indicator = *window.indicator(i);
            if (!indicator.visible_on(frame.settings.period)) continue;
            std::vector<render::DataLine> more = render::indicator_data_lines(indicator, bar);
            lines.insert(lines.end(), more.begin(), more.end());
        }
        render::draw_data_window(frame, rect, rows, lines);
        if (rect.contains(frame.settings.cursor_x, frame.settings.cursor_y))
            render::draw_cursor_value(frame, rect, *range, frame.settings.digits);
    }
}

void paint_sub_window(Frame& frame, const ChartWindow& window) {
    const Rect& rect = window.rect();
    if (rect.height() <= 0) return;
    frame.outline(rect, frame.solid(frame.colour(ChartColour::Foreground)));
    const std::vector<EntryScale> scales = sub_window_scales(frame.settings.period, {frame.first, frame.end}, window);
    const EntryScale* axis = axis_scale(scales);
    if (axis && rect.height() >= kMinimumScaleHeight) {
        frame.canvas.set_clip(rect);
        render::draw_objects(frame, window, rect, *axis->range, render::ObjectLayer::Background);
        for (const EntryScale& entry : scales)
            if (entry.range && entry.range->span() > 0) render::draw_levels(frame, *entry.indicator, rect, *entry.range);
        for (const EntryScale& entry : scales)
            if (entry.range && entry.range->span() > 0)
                render::draw_indicator(frame, *entry.indicator, rect, *entry.range);
        render::draw_objects(frame, window, rect, *axis->range, render::ObjectLayer::Foreground);
        frame.canvas.clear_clip();
        render::draw_sub_price_axis(frame, rect, *axis->range, axis->indicator->digits(), frame.settings.grid != 0);
    }
    const int bar = frame.cursor_bar();
    std::string title;
    std::vector<render::DataLine> lines;
    for (const EntryScale& entry : scales) {
        if (!entry.indicator->visible_on(frame.settings.period)) continue;
        title += render::indicator_title(*entry.indicator, title_prefix(*entry.indicator), bar);
        std::vector<render::DataLine> more = render::indicator_data_lines(*entry.indicator, bar);
        lines.insert(lines.end(), more.begin(), more.end());
    }
    draw_title_line(frame, rect, title);
    if (frame.cursor_inside()) {
        render::draw_data_window(frame, rect, 1, lines);
        if (axis && rect.contains(frame.settings.cursor_x, frame.settings.cursor_y))
            render::draw_cursor_value(frame, rect, *axis->range, axis->indicator->digits());
    }
}

void draw_splitters(Frame& frame, const std::vector<std::unique_ptr<ChartWindow>>& windows) {
    const Pen& pen = frame.solid(frame.colour(ChartColour::Foreground));
    for (size_t i = 0; i + 1 < windows.size(); ++i) {
        const Rect& above = windows[i]->rect();
        const Rect& below = windows[i + 1]->rect();
        if (above.height() <= 0 || below.height() <= 0) continue;
        const int y = (above.bottom + below.top) / 2;
        frame.canvas.line({frame.drawing.left, y}, {frame.drawing.right - 1, y}, pen);
    }
}

}  // namespace

int ChartRenderer::price_axis_width(const Chart& chart, Canvas& canvas, const RenderOptions& options) {
    constexpr double kSamplePrice = 1.12345;
    constexpr int kPadding = 10;
    int width = 0;
    chart.paint([&](const ChartSettings& settings, std::span<const market::BarRecord> bars,
                    const std::vector<std::unique_ptr<ChartWindow>>&) {
        const Font& font = pens_.font(chart_font_size(options.dpi_x), kChartFace, settings.pen_width, options.dpi_y);
        const double price = bars.empty() ? kSamplePrice : bars.front().open;
        width = canvas.measure(core::price_text(price, settings.digits), font).width + kPadding;
    });
    return width;
}

void ChartRenderer::paint(const Chart& chart, Canvas& canvas, const RenderOptions& options) {
    chart.paint([&](const ChartSettings& settings, std::span<const market::BarRecord> bars,
                    const std::vector<std::unique_ptr<ChartWindow>>& windows) {
        paint_frame(settings, bars, windows, canvas, options);
    });
}

void ChartRenderer::paint_frame(const ChartSettings& settings, std::span<const market::BarRecord> bars,
                                const std::vector<std::unique_ptr<ChartWindow>>& windows, Canvas& canvas,
                                const RenderOptions& options) {
    Frame frame{canvas, pens_, settings, bars, options};
    frame.dpi_x = options.dpi_x > 0 ? options.dpi_x : 96;
    frame.dpi_y = options.dpi_y > 0 ? options.dpi_y : 96;
    frame.sx = dpi_factor(frame.dpi_x);
    frame.sy = dpi_factor(frame.dpi_y);
    if (bars.empty()) {
        paint_loading(frame, options);
        return;
    }
    frame.drawing = drawing_rect(settings);
    frame.step = bar_step(settings.scale, frame.dpi_x);
    const VisibleSpan span = visible_span(settings, frame.bar_count());
    frame.first = span.first;
    frame.end = span.end;
    frame.font = pens_.font(chart_font_size(frame.dpi_x), kChartFace, settings.pen_width, frame.dpi_y);
    frame.text_height = canvas.measure("0", frame.font).height;

    canvas.fill_rect(settings.area, frame.colour(ChartColour::Background));
    if (settings.grid) render::draw_grid(frame);
    render::draw_time_axis(frame);
    if (settings.days) render::draw_period_separators(frame);
    for (const std::unique_ptr<ChartWindow>& window : windows) {
        std::lock_guard guard(window->lock());
        if (window->is_main()) {
            const auto* series = dynamic_cast<const PriceSeries*>(window->price_series());
            paint_main_window(frame, *window, series ? series->ask() : 0);
        } else if (window->shown_on(settings.period)) {
            paint_sub_window(frame, *window);
        }
    }
    if (frame.cursor_inside()) render::draw_cursor_time(frame);
    draw_splitters(frame, windows);
    if (settings.crosshair) render::draw_crosshair_box(frame);
}

std::optional<PriceAxis> object_price_axis(const Chart& chart, int window_index) {
    std::optional<PriceAxis> axis;
    chart.paint([&](const ChartSettings& settings, std::span<const market::BarRecord> bars,
                    const std::vector<std::unique_ptr<ChartWindow>>& windows) {
        if (bars.empty() || window_index < 0 || static_cast<size_t>(window_index) >= windows.size()) return;
        const ChartWindow& window = *windows[static_cast<size_t>(window_index)];
        std::lock_guard guard(window.lock());
        const Rect& rect = window.rect();
        if (rect.height() < kMinimumScaleHeight) return;
        const VisibleSpan span = visible_span(settings, static_cast<int>(bars.size()));
        std::optional<ValueRange> range;
        if (window.is_main()) {
            range = main_window_range(bars, span.first, span.end, settings.digits, settings.ohlc != 0);
        } else if (window.shown_on(settings.period)) {
            const std::vector<EntryScale> scales = sub_window_scales(settings.period, span, window);
            if (const EntryScale* entry = axis_scale(scales)) range = entry->range;
        }
        if (range && range->span() > 0) axis = render::object_axis(rect, *range);
    });
    return axis;
}

namespace render {

bool Frame::cursor_inside() const {
    return settings.crosshair != 0 && drawing.contains(settings.cursor_x, settings.cursor_y);
}

int Frame::cursor_bar() const {
    if (bars.empty()) return -1;
    if (!cursor_inside()) return bar_count() - 1;
    const int offset = (settings.cursor_x - drawing.left - 1 + step / 2) / step;
    return std::clamp(first + offset, 0, bar_count() - 1);
}

}  // namespace render

}  // namespace kb::chart
