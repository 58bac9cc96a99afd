// How each indicator class draws: its lines (with their shifts), histograms with their
// colour rules, arrows and dots, its title-line text and its data-window lines. The
// drawing dispatches on the indicator's drawing kind and type.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "chart/catalogue/oscillator_classes.h"
#include "chart/catalogue/trend_classes.h"
#include "chart/indicators/histogram_colours.h"
#include "chart/render/frame.h"
#include "core/number_format.h"

namespace kb::chart::render {

namespace {

// One drawn line: the buffer it shows, the line style it takes, the bars it is moved
// right by and its data-window caption.
struct DrawnLine {
    int buffer = 0;
    int style = 0;
    int shift = 0;
    std::string_view caption = "Value:";
};

int averaging_shift(const CInd& indicator) {
    const auto* averaging = dynamic_cast<const AveragingIndicator*>(&indicator);
    return averaging ? averaging->shift() : 0;
}

std::vector<DrawnLine> drawn_lines(const CInd& indicator) {
    switch (indicator.type()) {
    case IndicatorType::MovingAverage:
    case IndicatorType::StandardDeviation: return {{0, 0, averaging_shift(indicator), "Value:"}};
    case IndicatorType::Envelopes: {
        const int shift = averaging_shift(indicator);
        return {{0, 0, shift, "Upper:"}, {1, 1, shift, "Lower:"}};
    }
    case IndicatorType::BollingerBands: {
        const int shift = averaging_shift(indicator);
        return {{0, 0, shift, "Middle:"}, {2, 0, shift, "Upper:"}, {3, 0, shift, "Lower:"}};
    }
    case IndicatorType::IchimokuKinkoHyo:
        return {{0, 0, 0, "TS:"}, {1, 1, 0, "KS:"}, {2, 2, 0, "SSA:"}, {3, 3, 0, "SSB:"}, {4, 4, 0, "CS:"}};
    case IndicatorType::Alligator: {
        const auto* alligator = dynamic_cast<const AlligatorIndicator*>(&indicator);
        if (!alligator) return {};
        return {{0, 0, alligator->shift(), "Jaw:"},
                {1, 1, alligator->shift2(), "Teeth:"},
                {2, 2, alligator->shift3(), "Lips:"}};
    }
    case IndicatorType::StochasticOscillator:
    case IndicatorType::RelativeVigorIndex: return {{0, 0, 0, "Value:"}, {1, 1, 0, "Signal:"}};
    case IndicatorType::AverageDirectionalMovementIndex:
        return {{0, 0, 0, "ADX:"}, {1, 1, 0, "+DI:"}, {2, 2, 0, "-DI:"}};
    case IndicatorType::Macd: return {{0, 0, 0, "Value:"}, {3, 1, 0, "Signal:"}};
    case IndicatorType::Fractals: return {{0, 0, 0, "Up:"}, {1, 1, 0, "Down:"}};
    default: return {{0, 0, 0, "Value:"}};
    }
}

// The value a line shows at bar b: buffer[b - shift]; nothing outside the buffer.
std::optional<double> value_at(const CInd& indicator, const DrawnLine& line, int bar) {
    const std::span<const double> values = indicator.buffer(line.buffer);
    const long index = static_cast<long>(bar) - line.shift;
    if (index < 0 || index >= static_cast<long>(values.size())) return std::nullopt;
    return values[index];
}

int first_drawn(const CInd& indicator, const DrawnLine& line) {
    return line.buffer == 0 ? indicator.draw_begin(0) : indicator.draw_begin(1);
}

// Gator's two histograms over the bars [first, end).
struct GatorBars {
    std::vector<double> upper, lower;
    std::vector<std::uint8_t> upper_colours, lower_colours;
};

GatorBars gator_bars(const CInd& indicator, int first, int end) {
    GatorBars bars;
    const auto* gator = dynamic_cast<const AlligatorIndicator*>(&indicator);
    if (!gator || end <= first) return bars;
    const size_t count = static_cast<size_t>(end - first);
    bars.upper.assign(count, 0);
    bars.lower.assign(count, 0);
    bars.upper_colours.assign(count, 0);
    bars.lower_colours.assign(count, 0);
    ind::gator_histograms({indicator.buffer(0), indicator.buffer(1), indicator.buffer(2), gator->shift(),
                           gator->shift2(), gator->shift3()},
                          first, end, {bars.upper, bars.lower, bars.upper_colours, bars.lower_colours});
    return bars;
}

Colour line_colour(const CInd& indicator, int line) { return static_cast<Colour>(indicator.line_style(line).color); }

const Pen& line_pen(Frame& frame, const CInd& indicator, int line) {
    const LineStyle style = indicator.line_style(line);
    return frame.pen(style.style, line_pen_width(style.style, style.weight, frame.dpi_x), static_cast<Colour>(style.color));
}

// Main-window lines skip empty (0) values; lines in an own window start at the draw begin.
void draw_line(Frame& frame, const CInd& indicator, const DrawnLine& line, const Rect& window, const ValueRange& range) {
    const bool skip_zero = indicator.window_kind() == WindowKind::Main;
    const int begin = std::max(frame.first, first_drawn(indicator, line) + line.shift);
    const Pen& pen = line_pen(frame, indicator, line.style);
    std::vector<Point> run;
    const auto flush = [&] {
        if (run.size() >= 2) frame.canvas.polyline(run, pen);
        run.clear();
    };
    for (int bar = begin; bar < frame.end + std::max(line.shift, 0); ++bar) {
        const int x = frame.bar_x(bar);
        if (x >= window.right) break;
        const std::optional<double> value = value_at(indicator, line, bar);
        if (!value || !std::isfinite(*value) || (skip_zero && *value == 0)) {
            flush();
            continue;
        }
        run.push_back({x, value_to_y(window, range, *value)});
    }
    flush();
}

// Histogram bars gathered by colour and width and drawn in batches (bars never overlap).
class HistogramBatches {
public:
    HistogramBatches(Frame& frame, const Rect& window, const ValueRange& range)
        : frame_(frame), window_(window), range_(range) {
        base_ = range.min >= 0   ? window.bottom - 1
                : range.max <= 0 ? window.top
                                 : value_to_y(window, range, 0);
    }

    // The bar of one value: a filled rectangle from the base to the value, or a vertical
    // line when narrower than 2 pixels.
    void add(int bar, double value, Colour colour, int weight) {
        const int x = frame_.bar_x(bar);
        const int y = value_to_y(window_, range_, value);
        weight = std::max(weight, 1);
        int width = std::min(frame_.step, 2 * weight - 1);
        if (frame_.settings.scale > 8) width = std::max(width, 2);
        Batch& batch = batch_for(colour, weight);
        if (width < 2) {
            batch.lines.push_back({{x, base_}, {x, y}});
            return;
        }
        const int left = x - width / 2;
        batch.rects.push_back({left, std::min(base_, y), left + width, std::max(base_, y) + 1});
    }

    void draw() {
        for (const Batch& batch : batches_) {
            frame_.canvas.lines(batch.lines, frame_.pen(0, batch.weight, batch.colour));
            frame_.canvas.fill_rects(batch.rects, batch.colour);
        }
    }

private:
    struct Batch {
        Colour colour;
        int weight;
        std::vector<Segment> lines;
        std::vector<Rect> rects;
    };
    Batch& batch_for(Colour colour, int weight) {
        for (Batch& batch : batches_)
            if (batch.colour == colour && batch.weight == weight) return batch;
        batches_.push_back({colour, weight, {}, {}});
        return batches_.back();
    }

    Frame& frame_;
    const Rect& window_;
    const ValueRange& range_;
    int base_ = 0;
    std::vector<Batch> batches_;
};

void draw_histogram(Frame& frame, const CInd& indicator, const Rect& window, const ValueRange& range) {
    const int begin = std::max(frame.first, indicator.draw_begin(0));
    const int end = std::min(frame.end, static_cast<int>(indicator.buffer(0).size()));
    HistogramBatches batches(frame, window, range);
    const auto colour_of = [&](int line) { return line_colour(indicator, line); };
    const auto weight_of = [&](int line) { return indicator.line_style(line).weight; };
    switch (indicator.type()) {
    case IndicatorType::GatorOscillator: {
        const GatorBars bars = gator_bars(indicator, frame.first, frame.end);
        for (int b = frame.first; b < frame.end; ++b) {
            const size_t i = static_cast<size_t>(b - frame.first);
            const int upper = bars.upper_colours[i] == ind::kColourUp ? 0 : 1;
            const int lower = bars.lower_colours[i] == ind::kColourUp ? 0 : 1;
            if (bars.upper[i] != 0) batches.add(b, bars.upper[i], colour_of(upper), weight_of(upper));
            if (bars.lower[i] != 0) batches.add(b, bars.lower[i], colour_of(lower), weight_of(lower));
        }
        break;
    }
    case IndicatorType::Volumes:
    case IndicatorType::AwesomeOscillator:
    case IndicatorType::AcceleratorOscillator: {
        if (begin >= end) break;
        std::vector<std::uint8_t> colours(static_cast<size_t>(end - begin));
        ind::two_colour_histogram(indicator.buffer(0), begin, end, colours);
        for (int b = begin; b < end; ++b) {
            const double value = indicator.buffer(0)[b];
            if (value == 0) continue;
            const int line = colours[b - begin] == ind::kColourUp ? 0 : 1;
            batches.add(b, value, colour_of(line), weight_of(line));
        }
        break;
    }
    case IndicatorType::MarketFacilitationIndex: {
        if (begin >= end) break;
        std::vector<std::uint8_t> colours(static_cast<size_t>(end - begin));
        ind::facilitation_colours(indicator.buffer(0), indicator.buffer(1), begin, end, colours);
        for (int b = begin; b < end; ++b) {
            const int line = colours[b - begin];
            batches.add(b, indicator.buffer(0)[b], colour_of(line), weight_of(line));
        }
        break;
    }
    default:
        for (int b = begin; b < end; ++b) batches.add(b, indicator.buffer(0)[b], colour_of(0), weight_of(0));
        break;
    }
    batches.draw();
    if (indicator.type() == IndicatorType::Macd) draw_line(frame, indicator, {3, 1, 0, "Signal:"}, window, range);
}

// Parabolic SAR's dots and the fractals' arrows (up above the value, down below it).
void draw_marks(Frame& frame, const CInd& indicator, const Rect& window, const ValueRange& range) {
    const int size = std::max(1, 2 * frame.sx);
    for (const DrawnLine& line : drawn_lines(indicator)) {
        const Colour colour = line_colour(indicator, line.style);
        const Pen& pen = frame.pen(0, std::max(1, indicator.line_style(line.style).weight), colour);
        const std::span<const double> values = indicator.buffer(line.buffer);
        const int end = std::min(frame.end, static_cast<int>(values.size()));
        std::vector<Rect> dots;
        for (int b = frame.first; b < end; ++b) {
            const double value = values[b];
            if (value == 0 || !std::isfinite(value)) continue;
            const int x = frame.bar_x(b);
            const int y = value_to_y(window, range, value);
            if (indicator.type() != IndicatorType::Fractals) {
                dots.push_back({x - size / 2, y - size / 2, x - size / 2 + size, y - size / 2 + size});
                continue;
            }
            const int gap = 2 * frame.sy;
            const int length = 5 * frame.sy;
            const int head = 2 * frame.sx;
            if (line.buffer == 0) {
                const int tip = y - gap - length;
                frame.canvas.line({x, y - gap}, {x, tip}, pen);
                const Point arrow[] = {{x - head, tip + head}, {x, tip}, {x + head, tip + head}};
                frame.canvas.polyline(arrow, pen);
            } else {
                const int tip = y + gap + length;
                frame.canvas.line({x, y + gap}, {x, tip}, pen);
                const Point arrow[] = {{x - head, tip - head}, {x, tip}, {x + head, tip - head}};
                frame.canvas.polyline(arrow, pen);
            }
        }
        frame.canvas.fill_rects(dots, colour);
    }
}

std::string value_text(std::optional<double> value, int digits) {
    return core::fixed_text(value.value_or(0), digits);
}

}  // namespace

std::span<const double> signal_buffer(const CInd& indicator) {
    switch (indicator.type()) {
    case IndicatorType::StochasticOscillator:
    case IndicatorType::RelativeVigorIndex: return indicator.buffer(1);
    case IndicatorType::Macd: return indicator.buffer(3);
    default: return {};
    }
}

std::optional<ValueRange> own_window_range(const CInd& indicator, int first, int end) {
    IndicatorValues values{indicator.buffer(0), signal_buffer(indicator), indicator.draw_begin(0),
                           indicator.fixed_minimum(), indicator.fixed_maximum(), indicator.digits()};
    if (indicator.type() == IndicatorType::GatorOscillator) {
        // Gator draws the distances between its averages, not the averages themselves,
        // so its scale comes from the two histograms.
        const GatorBars bars = gator_bars(indicator, first, end);
        values.main = bars.upper;
        values.signal = bars.lower;
        values.draw_begin = 0;
        return indicator_range(values, 0, end - first);
    }
    return indicator_range(values, first, end);
}

void draw_indicator(Frame& frame, const CInd& indicator, const Rect& window, const ValueRange& range) {
    if (indicator.computed_count() == 0 || !(range.span() > 0) || window.height() < 10) return;
    switch (indicator.draw_kind()) {
    case DrawKind::Histogram: draw_histogram(frame, indicator, window, range); return;
    case DrawKind::Arrows: draw_marks(frame, indicator, window, range); return;
    case DrawKind::Lines:
        for (const DrawnLine& line : drawn_lines(indicator)) draw_line(frame, indicator, line, window, range);
        return;
    }
}

std::string indicator_title(const CInd& indicator, std::string_view prefix, int bar) {
    const int digits = indicator.digits();
    const std::vector<DrawnLine> lines = drawn_lines(indicator);
    const auto text = [&](int n) { return value_text(value_at(indicator, lines[n], bar), digits); };
    char out[256];
    const std::string label = std::string(prefix) + indicator.label();
    switch (indicator.type()) {
    case IndicatorType::AverageDirectionalMovementIndex:
        std::snprintf(out, sizeof out, "%s %s +DI:%s -DI:%s  ", label.c_str(), text(0).c_str(), text(1).c_str(),
                      text(2).c_str());
        return out;
    case IndicatorType::StochasticOscillator:
    case IndicatorType::RelativeVigorIndex:
        std::snprintf(out, sizeof out, "%s %.4lf %.4lf  ", label.c_str(), value_at(indicator, lines[0], bar).value_or(0),
                      value_at(indicator, lines[1], bar).value_or(0));
        return out;
    case IndicatorType::Macd:
        std::snprintf(out, sizeof out, "%s %s %s  ", label.c_str(), text(0).c_str(), text(1).c_str());
        return out;
    default:
        std::snprintf(out, sizeof out, "%s %s  ", label.c_str(), text(0).c_str());
        return out;
    }
}

std::vector<DataLine> indicator_data_lines(const CInd& indicator, int bar) {
    std::vector<DataLine> lines;
    if (bar < 0) return lines;
    if (indicator.type() == IndicatorType::GatorOscillator) {
        const GatorBars bars = gator_bars(indicator, bar, bar + 1);
        if (!bars.upper.empty()) {
            lines.push_back({"Value1:", core::fixed_text(bars.upper[0], indicator.digits())});
            lines.push_back({"Value2:", core::fixed_text(bars.lower[0], indicator.digits())});
        }
        return lines;
    }
    for (const DrawnLine& line : drawn_lines(indicator))
        lines.push_back({std::string(line.caption), value_text(value_at(indicator, line, bar), indicator.digits())});
    return lines;
}

}  // namespace kb::chart::render
