// The price series in its three modes, tick volumes, the bid and ask lines and the trade
// levels of the main window.
#include <algorithm>
#include <cstdio>

#include "chart/render/frame.h"
#include "core/number_format.h"
#include "core/period_names.h"

namespace kb::chart::render {

namespace {

void draw_line_chart(Frame& frame, const Rect& window, const ValueRange& range) {
    std::vector<Point> points;
    points.reserve(frame.end - frame.first);
    for (int k = frame.first; k < frame.end; ++k)
        points.push_back({frame.bar_x(k), value_to_y(window, range, frame.bars[k].close)});
    frame.canvas.polyline(points, frame.solid(frame.colour(ChartColour::LineChart)));
}

// Lines and rectangles gathered by colour, drawn in a few batches: bars never overlap, so
// the order between bars doesn't matter.
struct Batch {
    std::vector<Segment> lines;
    std::vector<Rect> rects;
};

void draw_candles(Frame& frame, const Rect& window, const ValueRange& range, int h) {
    Batch up, down, flat;
    for (int k = frame.first; k < frame.end; ++k) {
        const market::BarRecord& bar = frame.bars[k];
        const int x = frame.bar_x(k);
        const int high = value_to_y(window, range, bar.high);
        const int low = value_to_y(window, range, bar.low);
        const int open = value_to_y(window, range, bar.open);
        if (bar.close == bar.open) {
            flat.lines.push_back({{x, high}, {x, low}});
            flat.lines.push_back({{x - h, open}, {x + h, open}});
            continue;
        }
        Batch& batch = bar.close > bar.open ? up : down;
        batch.lines.push_back({{x, high}, {x, low}});
        if (h <= 0) continue;
        const int close = value_to_y(window, range, bar.close);
        batch.rects.push_back({x - h, std::min(open, close), x + h + 1, std::max(open, close) + 1});
    }
    const Pen& up_pen = frame.solid(frame.colour(ChartColour::BarUp));
    const Pen& down_pen = frame.solid(frame.colour(ChartColour::BarDown));
    frame.canvas.lines(up.lines, up_pen);
    frame.canvas.lines(down.lines, down_pen);
    frame.canvas.fill_rects(up.rects, frame.colour(ChartColour::BullCandle));
    frame.canvas.fill_rects(down.rects, frame.colour(ChartColour::BearCandle));
    frame.canvas.outline_rects(up.rects, up_pen);
    frame.canvas.outline_rects(down.rects, down_pen);
    frame.canvas.lines(flat.lines, frame.solid(frame.colour(ChartColour::LineChart)));
}

void draw_bars(Frame& frame, const Rect& window, const ValueRange& range, int h) {
    Batch up, down, flat;
    for (int k = frame.first; k < frame.end; ++k) {
        const market::BarRecord& bar = frame.bars[k];
        Batch& batch = bar.close > bar.open ? up : bar.close < bar.open ? down : flat;
        const int x = frame.bar_x(k);
        batch.lines.push_back({{x, value_to_y(window, range, bar.high)}, {x, value_to_y(window, range, bar.low)}});
        if (h <= 0) continue;
        const int open = value_to_y(window, range, bar.open);
        const int close = value_to_y(window, range, bar.close);
        batch.lines.push_back({{x - h, open}, {x - 1, open}});
        batch.lines.push_back({{x + 1, close}, {x + h, close}});
    }
    frame.canvas.lines(up.lines, frame.solid(frame.colour(ChartColour::BarUp)));
    frame.canvas.lines(down.lines, frame.solid(frame.colour(ChartColour::BarDown)));
    frame.canvas.lines(flat.lines, frame.solid(frame.colour(ChartColour::LineChart)));
}

// The price label on the axis: " price", 3 x s right of the window, 6 x s above the line.
void draw_axis_label(Frame& frame, const Rect& window, int y, double price, Colour text, Colour background) {
    const std::string label = " " + core::price_text(price, frame.settings.digits);
    frame.opaque_text(window.right + 3 * frame.sx, y - 6 * frame.sy, label, text, background);
}

}  // namespace

void draw_price_series(Frame& frame, const Rect& window, const ValueRange& range) {
    const int h = candle_half_width(frame.settings.scale, frame.dpi_x);
    switch (static_cast<GraphMode>(frame.settings.graphmode)) {
    case GraphMode::Line: draw_line_chart(frame, window, range); break;
    case GraphMode::Candles: draw_candles(frame, window, range, h); break;
    case GraphMode::Bars: draw_bars(frame, window, range, h); break;
    }
}

void draw_volumes(Frame& frame, const Rect& window) {
    const double largest = largest_volume(frame.bars, frame.first, frame.end);
    const double reach = window.height() / 8.0;
    const int base = window.bottom - 1;
    std::vector<Segment> lines;
    lines.reserve(static_cast<size_t>(frame.end - frame.first));
    for (int k = frame.first; k < frame.end; ++k) {
        const int length = static_cast<int>(std::max(0.0, double{frame.bars[k].volume}) * reach / largest);
        if (length <= 0) continue;
        const int x = frame.bar_x(k);
        lines.push_back({{x, base}, {x, base - length}});
    }
    frame.canvas.lines(lines, frame.solid(frame.colour(ChartColour::Volumes)));
}

void draw_bid_ask_lines(Frame& frame, const Rect& window, const ValueRange& range, double ask) {
    const double bid = frame.bars.back().close;
    if (bid < range.min || bid > range.max) return;
    const int bid_y = value_to_y(window, range, bid);
    frame.canvas.line({window.left, bid_y}, {window.right - 1, bid_y}, frame.solid(frame.colour(ChartColour::Grid)));
    if (frame.settings.askline && ask > 0 && ask >= range.min && ask <= range.max) {
        const int ask_y = value_to_y(window, range, ask);
        frame.canvas.line({window.left, ask_y}, {window.right - 1, ask_y},
                          frame.solid(frame.colour(ChartColour::AskLine)));
        if (bid_y - ask_y > 3)
            draw_axis_label(frame, window, ask_y, ask, frame.colour(ChartColour::Background),
                            frame.colour(ChartColour::AskLine));
    }
    draw_axis_label(frame, window, bid_y, bid, frame.colour(ChartColour::Background),
                    frame.colour(ChartColour::Foreground));
}

void draw_trade_levels(Frame& frame, const Rect& window, const ValueRange& range) {
    for (const TradeLevel& level : frame.options.trade_levels) {
        char label[96];
        std::snprintf(label, sizeof label, "#%d %s", level.ticket, level.type.c_str());
        const auto draw = [&](double price, ChartColour colour) {
            if (price <= 0 || price < range.min || price > range.max) return;
            const int y = value_to_y(window, range, price);
            frame.canvas.line({window.left, y}, {window.right - 1, y}, frame.dashed(frame.colour(colour)));
            frame.text(window.left + 2 * frame.sx, y - frame.text_height, label, frame.colour(colour));
        };
        draw(level.open_price, ChartColour::Volumes);
        draw(level.stop_loss, ChartColour::StopLevels);
        draw(level.take_profit, ChartColour::StopLevels);
    }
}

std::string price_series_title(const Frame& frame, int bar) {
    const std::string title = core::chart_title(frame.settings.symbol, frame.settings.period);
    if (bar < 0) return title + "  ";
    const market::BarRecord& b = frame.bars[bar];
    const int digits = frame.settings.digits;
    return title + " " + core::price_text(b.open, digits) + " " + core::price_text(b.high, digits) + " " +
           core::price_text(b.low, digits) + " " + core::price_text(b.close, digits) + "  ";
}

std::vector<DataLine> price_series_data_lines(const Frame& frame, int bar) {
    if (bar < 0) return {};
    const market::BarRecord& b = frame.bars[bar];
    const int digits = frame.settings.digits;
    return {{"O:", core::price_text(b.open, digits)},
            {"H:", core::price_text(b.high, digits)},
            {"L:", core::price_text(b.low, digits)},
            {"C:", core::price_text(b.close, digits)},
            {"V:", core::fixed_text(b.volume, 0)}};
}

}  // namespace kb::chart::render
