#pragma once
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "chart/model/chart_settings.h"
#include "chart/objects/object_geometry.h"
#include "chart/render/canvas.h"
#include "chart/render/pen_collector.h"
#include "market/bar_record.h"

namespace kb::chart {

class Chart;
class ChartWindow;

// An open order of the chart's symbol, for the trade levels.
struct TradeLevel {
    int ticket = 0;
    std::string type;        // "buy", "sell limit", ...
    double open_price = 0;
    double stop_loss = 0;    // 0: none
    double take_profit = 0;  // 0: none
};

// What a frame needs besides the chart.
struct RenderOptions {
    int dpi_x = 96;
    int dpi_y = 96;
    // The language pack's text 5206.
    std::string loading_text = "Loading...";
    std::vector<TradeLevel> trade_levels;
    // The chart object being edited (by its counter): drawn with its handles.
    std::optional<int32_t> selected_object;
};

// Paints whole chart frames on a canvas: the "Loading..." watermark without bars,
// otherwise background, grid, time axis, period separators, each window (frame,
// indicators with the price series, price axis, chart objects), cursor readouts,
// splitters and the crosshair box. Pens and fonts come from the collector. Painting thread only.
class ChartRenderer {
public:
    explicit ChartRenderer(PenCollector& pens) : pens_(pens) {}

    // Paints the chart under its lock (each window under its own).
    void paint(const Chart& chart, Canvas& canvas, const RenderOptions& options);

    // The same from the parts, for callers that already hold the locks.
    void paint_frame(const ChartSettings& settings, std::span<const market::BarRecord> bars,
                     const std::vector<std::unique_ptr<ChartWindow>>& windows, Canvas& canvas,
                     const RenderOptions& options);

    // The price axis width the chart needs: the oldest bar's open price (1.12345 without
    // bars) in the symbol's digits, measured in the chart font, plus 10 pixels.
    int price_axis_width(const Chart& chart, Canvas& canvas, const RenderOptions& options);

private:
    PenCollector& pens_;
};

// The price axis the objects of window window_index are drawn on in the chart's current
// frame: the main window's price range, or in a sub-window the range of its first
// indicator that has one, over the window's rectangle. Nothing when the window draws no
// scale (no bars, a range of 0, less than 10 pixels high) or doesn't exist. Takes the
// chart's lock; any thread.
std::optional<PriceAxis> object_price_axis(const Chart& chart, int window_index);

}  // namespace kb::chart
