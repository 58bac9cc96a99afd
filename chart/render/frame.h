#pragma once
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "chart/framework/indicator.h"
#include "chart/model/chart_window.h"
#include "chart/objects/object_geometry.h"
#include "chart/render/chart_renderer.h"
#include "chart/render/render_scale.h"

namespace kb::chart::render {

// Everything one frame's painting shares: the canvas, the pens, the settings and bars,
// the device factors and the visible bars. Lives for one paint.
struct Frame {
    Frame(Canvas& c, PenCollector& p, const ChartSettings& s, std::span<const market::BarRecord> b,
          const RenderOptions& o)
        : canvas(c), pens(p), settings(s), bars(b), options(o) {}

    Canvas& canvas;
    PenCollector& pens;
    const ChartSettings& settings;
    std::span<const market::BarRecord> bars;
    const RenderOptions& options;
    int dpi_x = 96;
    int dpi_y = 96;
    int sx = 1;        // horizontal DPI factor
    int sy = 1;        // vertical DPI factor
    Rect drawing;      // the chart area less the margins
    int step = 1;      // bar step in pixels
    int first = 0;     // first visible bar (leftpos)
    int end = 0;       // one past the last visible bar that exists
    Font font;         // the chart font
    int text_height = 0;

    int bar_x(int k) const { return drawing.left + 1 + (k - first) * step; }
    int bar_count() const { return static_cast<int>(bars.size()); }
    bool cursor_inside() const;
    // The bar under the cursor while it is inside, else the newest; -1 without bars.
    int cursor_bar() const;
    Colour colour(ChartColour which) const { return settings.colours[static_cast<int>(which)]; }
    const Pen& pen(int32_t style, int32_t width, Colour colour) {
        return pens.pen(style, width, colour, settings.pen_width > 0 ? settings.pen_width : 1);
    }
    const Pen& solid(Colour c) { return pen(0, 1, c); }
    const Pen& dashed(Colour c) { return pen(1, 1, c); }
    // A rectangle's outline only, so what was drawn inside stays.
    void outline(const Rect& rect, const Pen& pen) { canvas.outline_rects({&rect, 1}, pen); }
    TextSize measure(std::string_view text) { return canvas.measure(text, font); }
    void text(int x, int y, std::string_view text, Colour colour) {
        canvas.text({x, y}, text, font, {colour, TextBackground::Transparent, 0});
    }
    void opaque_text(int x, int y, std::string_view text, Colour colour, Colour background) {
        canvas.text({x, y}, text, font, {colour, TextBackground::Opaque, background});
    }
};

// One line of a data window: caption and value text.
struct DataLine {
    std::string caption;
    std::string value;
};

// ---- indicators (indicator_painter.cpp) ----

// The buffer an indicator's scale is computed from besides its main one (signal lines).
std::span<const double> signal_buffer(const CInd& indicator);
// The range an indicator in its own window is drawn in over bars [first, end); nothing
// when it draws nothing.
std::optional<ValueRange> own_window_range(const CInd& indicator, int first, int end);
// Draws an indicator's lines, histograms or arrows in the window's range.
void draw_indicator(Frame& frame, const CInd& indicator, const Rect& window, const ValueRange& range);
// The title-line text of an indicator at a bar ("%s%s %s  " and the classes' own forms).
std::string indicator_title(const CInd& indicator, std::string_view prefix, int bar);
// The data-window lines of an indicator at a bar.
std::vector<DataLine> indicator_data_lines(const CInd& indicator, int bar);

// ---- the price series (price_painter.cpp) ----

void draw_price_series(Frame& frame, const Rect& window, const ValueRange& range);
void draw_volumes(Frame& frame, const Rect& window);
void draw_bid_ask_lines(Frame& frame, const Rect& window, const ValueRange& range, double ask);
void draw_trade_levels(Frame& frame, const Rect& window, const ValueRange& range);
std::string price_series_title(const Frame& frame, int bar);
std::vector<DataLine> price_series_data_lines(const Frame& frame, int bar);

// ---- chart objects (object_painter.cpp) ----

// The price axis of objects on a window drawn in range: the rows value_to_y() gives.
PriceAxis object_axis(const Rect& window, const ValueRange& range);

// Objects flagged "background" are drawn before the window's series, the others after.
enum class ObjectLayer { Background, Foreground };

// Draws the window's objects of one layer that show on the chart's period, in their
// order, on the window's scale; the selected object of the options gets its handles.
void draw_objects(Frame& frame, const ChartWindow& window, const Rect& rect, const ValueRange& range,
                  ObjectLayer layer);

// ---- axes and readouts (axis_painter.cpp) ----

void draw_grid(Frame& frame);
void draw_time_axis(Frame& frame);
void draw_period_separators(Frame& frame);
void draw_main_price_axis(Frame& frame, const Rect& window, const ValueRange& range);
void draw_sub_price_axis(Frame& frame, const Rect& window, const ValueRange& range, int digits, bool zero_grid_line);
void draw_levels(Frame& frame, const CInd& indicator, const Rect& window, const ValueRange& range);
void draw_cursor_time(Frame& frame);
void draw_cursor_value(Frame& frame, const Rect& window, const ValueRange& range, int digits);
void draw_crosshair_box(Frame& frame);
// Lines stacked at the window's top left, captions padded to a common width, opaque.
void draw_data_window(Frame& frame, const Rect& window, int first_row, const std::vector<DataLine>& lines);

}  // namespace kb::chart::render
