#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "chart/model/chart.h"
#include "chart/render/chart_renderer.h"
#include "chart/render/render_scale.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "tests/chart/chart_test_support.h"
#include "tests/support/recording_canvas.h"
#include "tests/support/temp_folder.h"

namespace kb::chart {
namespace {

using Kind = ::kb::testing::RecordingCanvas::Kind;
using Call = ::kb::testing::RecordingCanvas::Call;

constexpr int32_t kMonday = 1796601600;   // 2026-12-07 00:00:00 UTC
constexpr int kHour = 3600;
constexpr Rect kArea{0, 0, 400, 300};

std::string profile(const std::string& settings, const std::string& windows = "") {
    return "<chart>\nsymbol=EURUSD\n" + settings +
           "\n<window>\nheight=100\n<indicator>\nname=main\n</indicator>\n</window>\n" + windows + "</chart>\n";
}

std::vector<market::BarRecord> rising_bars(int count, int32_t start, int step_seconds) {
    std::vector<market::BarRecord> bars(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        market::BarRecord& bar = bars[static_cast<size_t>(i)];
        bar.time = start + i * step_seconds;
        bar.open = 1.1 + i * 0.001;
        bar.close = bar.open + (i % 2 ? 0.0005 : -0.0005);
        bar.high = std::max(double{bar.open}, double{bar.close}) + 0.0003;
        bar.low = std::min(double{bar.open}, double{bar.close}) - 0.0003;
        bar.volume = 10 + i;
    }
    return bars;
}

class ChartRenderTest : public ::testing::Test {
protected:
    // Loads the profile over the bars and paints one frame.
    void paint(const std::string& text, int period, std::vector<market::BarRecord> bars) {
        ASSERT_TRUE(platform::write_file_atomic(folder.file("chart.ini"),
                                                std::vector<uint8_t>(text.begin(), text.end())));
        market.add_symbol("EURUSD", 5);
        market.set_bars("EURUSD", period, std::move(bars));
        core::DisplayMetrics metrics;
        metrics.dpi_x = metrics.dpi_y = 96;
        chart = std::make_unique<Chart>(
            ChartEnvironment{folder.file("chart.ini"), market, metrics, nullptr, ProfileWrites::No});
        ASSERT_EQ(chart->load_profile(), ProfileLoad::Loaded);
        chart->set_area(kArea);
        repaint();
    }
    void repaint() {
        canvas.calls.clear();
        renderer.paint(*chart, canvas, options);
    }
    Rect window(int n) const { return chart->window_rect(n); }
    // Vertical lines across the drawing area (grid, separators) at x.
    std::vector<const Call*> vertical_lines(Colour colour, int style) const {
        std::vector<const Call*> found;
        for (const Call* call : canvas.of_kind(Kind::Line)) {
            const Call& c = *call;
            if (c.points[0].x == c.points[1].x && c.pen.colour == colour && c.pen.style == style &&
                c.points[0].y == drawing_rect(chart->settings()).top)
                found.push_back(call);
        }
        return found;
    }

    ::kb::testing::TempFolder folder;
    test::FakeMarket market;
    platform::ManualClock clock;
    ::kb::testing::FixedFontFamilies families;
    PenCollector pens{families, clock, nullptr, 96};
    ChartRenderer renderer{pens};
    ::kb::testing::RecordingCanvas canvas;
    RenderOptions options;
    std::unique_ptr<Chart> chart;
};

TEST_F(ChartRenderTest, WithoutBarsDrawsLoadingOverAStripedWatermarkAndNothingElse) {
    paint(profile("period=60\ncolor_scheme=2"), 60, {});
    const ChartColours& colours = scheme_colours(ColourScheme::BlackOnWhite);
    ASSERT_FALSE(canvas.calls.empty());
    EXPECT_EQ(canvas.calls[0].kind, Kind::Fill);
    EXPECT_EQ(canvas.calls[0].colour, colours[0]);
    const Call* loading = canvas.text_call("Loading...");
    ASSERT_NE(loading, nullptr);
    EXPECT_EQ(loading->font.face, "Impact");
    EXPECT_EQ(loading->font.size, 300);
    EXPECT_EQ(loading->colour, colours[1]);
    // Right- and bottom-aligned inside the area inset by 5 pixels.
    const int height = loading->font.pixel_height + 2;
    EXPECT_EQ(loading->points[0].x, kArea.right - 5 - 10 * ::kb::testing::RecordingCanvas::kCharWidth);
    EXPECT_EQ(loading->points[0].y, kArea.bottom - 5 - height);
    // Stripes every 2 pixels over the whole area, in the background colour, after the text.
    const std::vector<const Call*> lines = canvas.of_kind(Kind::Line);
    ASSERT_EQ(lines.size(), static_cast<size_t>(kArea.height() / 2));
    for (size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i]->points[0].y, static_cast<int>(2 * i));
        EXPECT_EQ(lines[i]->pen.colour, colours[0]);
    }
    EXPECT_EQ(canvas.texts().size(), 1u);
    EXPECT_EQ(canvas.of_kind(Kind::Rectangle).size(), 0u);
}

TEST_F(ChartRenderTest, EqualPricesGiveNoPriceAxisMarks) {
    std::vector<market::BarRecord> bars = rising_bars(30, kMonday, kHour);
    for (market::BarRecord& bar : bars) bar.open = bar.high = bar.low = bar.close = 1.2345;
    paint(profile("period=60\ngrid=1"), 60, bars);
    const Rect main = window(0);
    for (const Call* text : canvas.of_kind(Kind::Text))
        EXPECT_FALSE(text->text.find("1.23") == 0 && text->points[0].x > main.right) << text->text;

    // The same chart with a range shows marks, and each has a dashed grid line.
    bars.back().high = 1.2445;
    market.set_bars("EURUSD", 60, bars);
    chart->update_bars();
    repaint();
    int marks = 0;
    for (const Call* text : canvas.of_kind(Kind::Text))
        if (text->points[0].x == main.right + 3 + 1) ++marks;
    EXPECT_GT(marks, 1);
}

TEST_F(ChartRenderTest, HistogramsAtScaleOneAreOnePixelLines) {
    paint(profile("period=60\nscale=1\ngrid=0",
                  "<window>\nheight=50\n<indicator>\nname=Volumes\nmin=0.000000\n</indicator>\n</window>\n"),
          60, rising_bars(400, kMonday, kHour));
    const Rect sub = window(1);
    int bars_drawn = 0;
    for (const Call& call : canvas.calls) {
        if (!call.clip || call.clip->top != sub.top) continue;
        ASSERT_NE(call.kind, Kind::Fill) << "a histogram bar was filled at scale 1";
        if (call.kind != Kind::Line) continue;
        EXPECT_EQ(call.points[0].x, call.points[1].x);
        EXPECT_LE(call.pen.width, 1);
        EXPECT_EQ(call.points[0].y, sub.bottom - 1);   // up from the bottom: the minimum is fixed at 0
        ++bars_drawn;
    }
    EXPECT_EQ(bars_drawn, chart->settings().visible_bars);

    // At scale 16 the same bars are filled rectangles at least 2 pixels wide.
    for (int i = 0; i < 4; ++i) chart->zoom(Zoom::In);
    repaint();
    int filled = 0;
    for (const Call& call : canvas.calls)
        if (call.clip && call.clip->top == sub.top && call.kind == Kind::Fill) {
            EXPECT_GE(call.rect.width(), 2);
            ++filled;
        }
    EXPECT_GT(filled, 0);
}

TEST_F(ChartRenderTest, H4SeparatorsMarkTheFirstBarAtOrAfterSunday) {
    // Thursday 00:00 .. Friday 20:00, then Sunday 20:00 on: no bar at Sunday 00:00.
    const int32_t thursday = kMonday + 3 * 24 * kHour;
    std::vector<market::BarRecord> bars = rising_bars(12, thursday, 4 * kHour);
    const int32_t sunday_evening = kMonday + 6 * 24 * kHour + 20 * kHour;
    std::vector<market::BarRecord> after = rising_bars(12, sunday_evening, 4 * kHour);
    bars.insert(bars.end(), after.begin(), after.end());
    paint(profile("period=240\ndays=1\ngrid=0\nscale=8"), 240, bars);
    const Colour foreground = chart->settings().colours[static_cast<int>(ChartColour::Foreground)];
    const std::vector<const Call*> separators = vertical_lines(foreground, 1);
    ASSERT_EQ(separators.size(), 1u);
    const ChartSettings settings = chart->settings();
    const Rect drawing = drawing_rect(settings);
    const int sunday_bar = 12;
    EXPECT_EQ(separators[0]->points[0].x, drawing.left + 1 + (sunday_bar - settings.leftpos) * 8);
    // Nothing painted later covers it (window frames are outlines).
    const int x = separators[0]->points[0].x;
    bool drawn = false;
    for (const Call& call : canvas.calls) {
        drawn |= &call == separators[0];
        if (drawn && (call.kind == Kind::Fill || call.kind == Kind::Rectangle)) {
            EXPECT_FALSE(call.rect.left <= x && x < call.rect.right && call.rect.height() > drawing.height() / 2);
        }
    }

    // On H1 the same data marks days instead: Friday, then Sunday's first bar (no Saturday bars).
    EXPECT_EQ(separator_unit(60), SeparatorUnit::Day);
    EXPECT_EQ(separator_bucket(sunday_evening, SeparatorUnit::Week),
              separator_bucket(kMonday + 7 * 24 * kHour, SeparatorUnit::Week));
    EXPECT_NE(separator_bucket(sunday_evening - 21 * kHour, SeparatorUnit::Week),
              separator_bucket(sunday_evening, SeparatorUnit::Week));
}

TEST_F(ChartRenderTest, PriceSeriesIsDrawnUnderOrOverTheIndicatorsByTheForegroundFlag) {
    const std::string ma = "<indicator>\nname=Moving Average\nperiod=5\ncolor=255\n</indicator>\n";
    for (int foreground : {0, 1}) {
        SCOPED_TRACE(foreground);
        std::string text = profile("period=60\ngraphmode=2\nforeground=" + std::to_string(foreground));
        text.replace(text.find("</window>"), 0, ma);
        market = test::FakeMarket();
        paint(text, 60, rising_bars(60, kMonday, kHour));
        const Colour line_chart = chart->settings().colours[static_cast<int>(ChartColour::LineChart)];
        int series = -1;
        int average = -1;
        for (size_t i = 0; i < canvas.calls.size(); ++i) {
            const Call& call = canvas.calls[i];
            if (call.kind != Kind::Polyline) continue;
            if (call.pen.colour == line_chart && series < 0) series = static_cast<int>(i);
            if (call.pen.colour == 0x0000FF && average < 0) average = static_cast<int>(i);
        }
        ASSERT_GE(series, 0);
        ASSERT_GE(average, 0);
        EXPECT_EQ(series < average, foreground == 0);
    }
}

TEST_F(ChartRenderTest, CrosshairShowsTimeBoxDataWindowWithPaddedCaptionsAndItsBox) {
    paint(profile("period=60\nohlc=1\nscale=8",
                  "<window>\nheight=50\n<indicator>\nname=Relative Strength Index\n</indicator>\n</window>\n"),
          60, rising_bars(100, kMonday, kHour));
    const ChartSettings settings = chart->settings();
    const Rect drawing = drawing_rect(settings);
    const int bar = settings.leftpos + 10;
    const int x = drawing.left + 1 + 10 * 8;
    chart->set_crosshair(true);
    chart->set_cursor(x, window(0).top + 40);
    repaint();

    const std::vector<market::BarRecord> bars = chart->bars();
    const platform::DateTime t = platform::utc_calendar(bars[static_cast<size_t>(bar)].time);
    char expected[48];
    std::snprintf(expected, sizeof expected, " %04d.%02d.%02d %d:%02d ", t.year, t.month, t.day, t.hour, t.minute);
    const Call* time_box = canvas.text_call(expected);
    ASSERT_NE(time_box, nullptr) << expected << ::testing::PrintToString(canvas.texts());
    EXPECT_EQ(time_box->style.background, TextBackground::Opaque);
    EXPECT_EQ(time_box->points[0].y, drawing.bottom + 1);

    // Each window's captions padded with blanks to its widest caption with one blank plus
    // the width of "0.0" (6 pixels a character here), opaque, the value right after.
    const std::vector<std::string> texts = canvas.texts();
    for (const char* caption : {"O:    ", "H:    ", "L:    ", "C:    ", "V:    ", "Value:    "}) {
        const Call* drawn = canvas.text_call(caption);
        ASSERT_NE(drawn, nullptr) << caption << ::testing::PrintToString(texts);
        EXPECT_EQ(drawn->style.background, TextBackground::Opaque);
    }
    const Call* open = canvas.text_call("O:    ");
    const Call* rsi = canvas.text_call("Value:    ");
    EXPECT_EQ(open->points[0].x, window(0).left + 6);
    EXPECT_EQ(rsi->points[0].x, window(1).left + 6);
    // Below the title line: one text line down.
    EXPECT_EQ(rsi->points[0].y, window(1).top + 1 + rsi->font.pixel_height + 2);

    // The title lines: symbol and prices of the bar under the cursor, then each indicator's.
    bool rsi_title = false;
    for (const std::string& text : canvas.texts()) rsi_title |= text.rfind("RSI(14) ", 0) == 0;
    EXPECT_TRUE(rsi_title);
    char ohlc[96];
    std::snprintf(ohlc, sizeof ohlc, "EURUSD,H1 %.5f", bars[static_cast<size_t>(bar)].open);
    bool main_title = false;
    for (const std::string& text : canvas.texts()) main_title |= text.rfind(ohlc, 0) == 0;
    EXPECT_TRUE(main_title) << ohlc;

    // The crosshair box: 20 pixels square at the drawing area's top right.
    bool box = false;
    for (const Call* rect : canvas.of_kind(Kind::Rectangle))
        box |= rect->rect.right == drawing.right && rect->rect.top == drawing.top && rect->rect.width() == 20 &&
               rect->rect.height() == 20;
    EXPECT_TRUE(box);
}

TEST_F(ChartRenderTest, BidLineAndAskLineWithTheirLabels) {
    paint(profile("period=60\naskline=1\ncolor_scheme=2"), 60, rising_bars(50, kMonday, kHour));
    const std::vector<market::BarRecord> bars = chart->bars();
    char bid[32];
    std::snprintf(bid, sizeof bid, " %.5f", bars.back().close);
    const Call* label = canvas.text_call(bid);
    ASSERT_NE(label, nullptr);
    const ChartColours& colours = scheme_colours(ColourScheme::BlackOnWhite);
    EXPECT_EQ(label->style.background, TextBackground::Opaque);
    EXPECT_EQ(label->style.background_colour, colours[static_cast<int>(ChartColour::Foreground)]);
    EXPECT_EQ(label->colour, colours[static_cast<int>(ChartColour::Background)]);
    EXPECT_EQ(label->points[0].x, window(0).right + 3);
}

TEST_F(ChartRenderTest, AskLineIsLabelledOnlyWhenClearOfTheBidLine) {
    const std::vector<market::BarRecord> bars = rising_bars(50, kMonday, kHour);
    const double bid = bars.back().close;
    const ChartColours& colours = scheme_colours(ColourScheme::BlackOnWhite);
    const Colour ask_colour = colours[static_cast<int>(ChartColour::AskLine)];
    struct Case {
        double spread;
        bool labelled;
    };
    for (const Case c : {Case{0.0015, true}, Case{0.00001, false}}) {
        SCOPED_TRACE(c.spread);
        market = test::FakeMarket();
        market.current_ask = bid + c.spread;
        paint(profile("period=60\naskline=1\ncolor_scheme=2\ngrid=0"), 60, bars);
        const Rect main = window(0);
        bool line = false;
        for (const Call* drawn : canvas.of_kind(Kind::Line))
            line |= drawn->pen.colour == ask_colour && drawn->points[0].x == main.left &&
                    drawn->points[0].y == drawn->points[1].y;
        EXPECT_TRUE(line);
        char text[32];
        std::snprintf(text, sizeof text, " %.5f", bid + c.spread);
        const Call* label = canvas.text_call(text);
        EXPECT_EQ(label != nullptr, c.labelled);
        if (label) {
            EXPECT_EQ(label->style.background_colour, ask_colour);
        }
    }
}

}  // namespace
}  // namespace kb::chart

namespace kb::chart {
namespace {

TEST_F(ChartRenderTest, TwoColourHistogramFollowsTheRiseAndFallOfItsBars) {
    // Volumes 10, 20, 15, 15, 0, 30: up, up, down, down (equal keeps), not drawn, up.
    std::vector<market::BarRecord> bars = rising_bars(6, kMonday, kHour);
    const double volumes[] = {10, 20, 15, 15, 0, 30};
    for (size_t i = 0; i < bars.size(); ++i) bars[i].volume = volumes[i];
    paint(profile("period=60\nscale=16\ngrid=0",
                  "<window>\nheight=50\n<indicator>\nname=Volumes\ncolor=65280\ncolor2=255\nmin=0.000000\n"
                  "</indicator>\n</window>\n"),
          60, bars);
    const Rect sub = window(1);
    const ChartSettings settings = chart->settings();
    const Rect drawing = drawing_rect(settings);
    std::vector<std::pair<int, Colour>> drawn;   // bar, colour
    for (const Call& call : canvas.calls)
        if (call.kind == Kind::Fill && call.clip && call.clip->top == sub.top) {
            const int centre = call.rect.left + call.rect.width() / 2;
            drawn.push_back({settings.leftpos + (centre - drawing.left - 1) / 16, call.colour});
        }
    std::sort(drawn.begin(), drawn.end());
    const std::vector<std::pair<int, Colour>> expected = {
        {0, 0x00FF00}, {1, 0x00FF00}, {2, 0x0000FF}, {3, 0x0000FF}, {5, 0x00FF00}};
    EXPECT_EQ(drawn, expected);
    // The tallest bar reaches the top of the range: 30 + 5% of 30 above the fixed 0.
    for (const Call& call : canvas.calls)
        if (call.kind == Kind::Fill && call.clip && call.clip->top == sub.top) {
            EXPECT_EQ(call.rect.bottom, sub.bottom);
        }
}

TEST_F(ChartRenderTest, SubWindowAxisShowsItsBoundsTheZeroLineAndLevels) {
    // Closes swinging around a level in blocks of ten bars: MACD crosses 0 both ways.
    std::vector<market::BarRecord> bars = rising_bars(120, kMonday, kHour);
    for (size_t i = 0; i < bars.size(); ++i) {
        bars[i].open = 1.1;
        bars[i].close = 1.1 + ((i / 10) % 2 ? 0.004 : -0.004);
        bars[i].high = std::max(double{bars[i].open}, double{bars[i].close}) + 0.0003;
        bars[i].low = std::min(double{bars[i].open}, double{bars[i].close}) - 0.0003;
    }
    paint(profile("period=60\nscale=4\ngrid=1",
                  "<window>\nheight=60\n<indicator>\nname=MACD\n</indicator>\n</window>\n"
                  "<window>\nheight=60\n<indicator>\nname=Relative Strength Index\nmin=0.000000\nmax=100.000000\n"
                  "levels_color=255\nlevels_style=0\nlevels_weight=1\nlevel_0=30.0000\nlevel_1=70.0000\n"
                  "description_1=overbought\n</indicator>\n</window>\n"),
          60, bars);
    const Rect macd = window(1);
    const Rect rsi = window(2);
    const auto text_at = [&](const std::string& text, int x) {
        const Call* call = canvas.text_call(text);
        return call && call->points[0].x == x ? call : nullptr;
    };
    // RSI's fixed bounds with its digits at the top and bottom of its window.
    const Call* top = text_at("100.0000", rsi.right + 4);
    const Call* bottom = text_at("0.0000", rsi.right + 4);
    ASSERT_NE(top, nullptr);
    ASSERT_NE(bottom, nullptr);
    EXPECT_EQ(top->points[0].y, rsi.top);
    EXPECT_EQ(bottom->points[0].y, rsi.bottom - 1 - (bottom->font.pixel_height + 2));
    // Solid levels: the value opaque in the background colour on the level colour.
    const Call* level = canvas.text_call("70.0000");
    ASSERT_NE(level, nullptr);
    EXPECT_EQ(level->style.background, TextBackground::Opaque);
    EXPECT_EQ(level->style.background_colour, 0x0000FFu);
    EXPECT_EQ(level->points[0].x, rsi.right + 3);
    ASSERT_NE(canvas.text_call("overbought"), nullptr);
    EXPECT_EQ(canvas.text_call("overbought")->points[0].x, rsi.left + 2);
    bool level_line = false;
    const int y70 = value_to_y(rsi, {0, 100}, 70);
    for (const Call* line : canvas.of_kind(Kind::Line))
        level_line |= line->points[0].y == y70 && line->points[1].y == y70 && line->pen.colour == 0x0000FF;
    EXPECT_TRUE(level_line);

    // MACD crosses 0: "0.00" on its axis and a dashed zero line in the grid colour.
    const Call* zero = text_at("0.00", macd.right + 4);
    ASSERT_NE(zero, nullptr);
    const Colour grid = chart->settings().colours[static_cast<int>(ChartColour::Grid)];
    bool zero_line = false;
    for (const Call* line : canvas.of_kind(Kind::Line))
        zero_line |= line->pen.style == 1 && line->pen.colour == grid && line->points[0].y == line->points[1].y &&
                     line->points[0].x == macd.left && line->points[0].y > macd.top && line->points[0].y < macd.bottom;
    EXPECT_TRUE(zero_line);
}

}  // namespace
}  // namespace kb::chart

namespace kb::chart {
namespace {

TEST_F(ChartRenderTest, TradeLevelsAreDashedLinesLabelledWithTicketAndType) {
    options.trade_levels = {{501, "buy limit", 1.115, 1.105, 0}, {502, "sell", 5.0, 0, 0}};
    paint(profile("period=60\ntrade_levels=1\ngrid=0\ncolor_scheme=2"), 60, rising_bars(40, kMonday, kHour));
    const Rect main = window(0);
    const ChartColours& colours = scheme_colours(ColourScheme::BlackOnWhite);
    const auto dashed_across = [&](Colour colour) {
        std::vector<int> rows;
        for (const Call* line : canvas.of_kind(Kind::Line))
            if (line->pen.style == 1 && line->pen.colour == colour && line->points[0].x == main.left &&
                line->points[1].x == main.right - 1 && line->points[0].y == line->points[1].y)
                rows.push_back(line->points[0].y);
        return rows;
    };
    // The open price in the volumes colour, the stop in the stop-levels colour; the sell at
    // 5.0 lies outside the range and draws nothing.
    const std::vector<int> open_rows = dashed_across(colours[static_cast<int>(ChartColour::Volumes)]);
    const std::vector<int> stop_rows = dashed_across(colours[static_cast<int>(ChartColour::StopLevels)]);
    ASSERT_EQ(open_rows.size(), 1u);
    ASSERT_EQ(stop_rows.size(), 1u);
    EXPECT_LT(open_rows[0], stop_rows[0]);
    int labels = 0;
    for (const std::string& text : canvas.texts()) labels += text == "#501 buy limit";
    EXPECT_EQ(labels, 2);
    EXPECT_EQ(canvas.text_call("#502 sell"), nullptr);

    // Off, nothing of them is drawn.
    chart->toggle(ChartFlag::TradeLevels);
    repaint();
    EXPECT_EQ(canvas.text_call("#501 buy limit"), nullptr);
}

}  // namespace
}  // namespace kb::chart
