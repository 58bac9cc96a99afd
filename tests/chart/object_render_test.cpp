// Chart objects on the canvas: where each kind draws its lines, labels and handles on a
// window of known scale, and where the frame draws them among the series and indicators.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "chart/model/chart.h"
#include "chart/objects/fibo.h"
#include "chart/objects/object_block.h"
#include "chart/render/chart_renderer.h"
#include "chart/render/frame.h"
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
constexpr int kTextHeight = 11;

std::vector<market::BarRecord> hourly(int count) {
    std::vector<market::BarRecord> bars(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        market::BarRecord& bar = bars[static_cast<size_t>(i)];
        bar.time = kMonday + i * kHour;
        bar.open = 1.5;
        bar.close = 1.5 + 0.05 * ((i * 7) % 5 - 2);   // moving, so that an oscillator has a range
        bar.high = 1.9;
        bar.low = 1.1;
        bar.volume = 10;
    }
    return bars;
}

std::unique_ptr<CObj> make(ObjectType type, int32_t counter, std::array<std::pair<int, double>, 2> anchors) {
    std::unique_ptr<CObj> object = create_object(type);
    object->set_counter(counter);
    for (int i = 0; i < 2; ++i) object->set_anchor(i, kMonday + anchors[i].first * kHour, anchors[i].second);
    return object;
}

// One window 3..361 x 2..102 drawn between 1.0 and 1.99: price p is at row
// 101 - 100 x (p - 1), bar k (leftpos 10, step 8) at x = 4 + 8 x (k - 10).
class ObjectPainting : public ::testing::Test {
protected:
    ObjectPainting() {
        settings.period = 60;
        settings.digits = 5;
        settings.colours = scheme_colours(ColourScheme::BlackOnWhite);
        window.append(std::make_unique<PriceSeries>());
    }

    CObj& add(std::unique_ptr<CObj> object) {
        CObj& added = *object;
        window.object_owner()->attach_object(std::move(object));
        return added;
    }
    void draw(render::ObjectLayer layer = render::ObjectLayer::Foreground) {
        canvas.calls.clear();
        render::Frame frame{canvas, pens, settings, bars, options};
        frame.drawing = {3, 2, 361, 282};
        frame.step = 8;
        frame.first = 10;
        frame.end = 100;
        frame.text_height = kTextHeight;
        render::draw_objects(frame, window, kRect, kRange, layer);
    }
    std::vector<const Call*> lines() const { return canvas.of_kind(Kind::Line); }
    static std::pair<Point, Point> ends(const Call* call) { return {call->points[0], call->points[1]}; }

    static constexpr Rect kRect{3, 2, 361, 102};
    static constexpr ValueRange kRange{1.0, 1.99};

    std::vector<market::BarRecord> bars = hourly(100);
    ChartSettings settings;
    RenderOptions options;
    ChartWindow window{ChartWindow::Role::Main, 100};
    platform::ManualClock clock;
    ::kb::testing::FixedFontFamilies families;
    PenCollector pens{families, clock, nullptr, 96};
    ::kb::testing::RecordingCanvas canvas;
};

TEST_F(ObjectPainting, LinesSitOnTheirBarsAndPricesInTheirLook) {
    CObj& vertical = add(make(ObjectType::VerticalLine, 1, {{{15, 0.0}, {15, 0.0}}}));
    vertical.set_property(ObjectProperty::Color, 0x00FF00);
    CObj& horizontal = add(make(ObjectType::HorizontalLine, 2, {{{0, 1.5}, {0, 1.5}}}));
    horizontal.set_property(ObjectProperty::Style, 1);
    horizontal.set_property(ObjectProperty::Weight, 3);
    add(make(ObjectType::Trendline, 3, {{{12, 1.2}, {14, 1.3}}}))
        .set_property(ObjectProperty::Ray, 0);
    draw();

    const std::vector<const Call*> drawn = lines();
    ASSERT_EQ(drawn.size(), 3u);
    EXPECT_EQ(ends(drawn[0]), std::make_pair(Point{44, 2}, Point{44, 101}));
    EXPECT_EQ(drawn[0]->pen, (Pen{0, 1, 0x00FF00}));
    EXPECT_EQ(ends(drawn[1]), std::make_pair(Point{3, 51}, Point{360, 51}));
    EXPECT_EQ(drawn[1]->pen, (Pen{1, 3, 0x0000FF}));
    EXPECT_EQ(ends(drawn[2]), std::make_pair(Point{20, 81}, Point{36, 71}));
    // The vertical line's time at its foot, right of it.
    const Call* label = canvas.text_call("2026.12.07 15:00");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->points[0], (Point{46, 102 - kTextHeight - 1}));
    EXPECT_EQ(label->colour, 0x00FF00u);
    // Near the window's right edge the label goes left of the line (16 characters of 6 pixels).
    vertical.set_anchor(0, kMonday + 50 * kHour, 0);
    draw();
    label = canvas.text_call("2026.12.09 02:00");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->points[0].x, 4 + 40 * 8 - 2 - 16 * 6);
    // No handles while nothing is selected.
    EXPECT_TRUE(canvas.of_kind(Kind::Rectangle).empty());
}

TEST_F(ObjectPainting, TrendlineRayRunsOnToTheWindowsEdge) {
    // Rising to the top edge: from (20, 81) by (16, -10) per step reaches row 2 at x 146.4.
    add(make(ObjectType::Trendline, 3, {{{12, 1.2}, {14, 1.3}}}));
    // Flat, to the right edge.
    add(make(ObjectType::Trendline, 4, {{{12, 1.5}, {13, 1.5}}}));
    // Its first anchor far left of the window: only the part inside is drawn.
    add(make(ObjectType::Trendline, 5, {{{-1000, 1.7}, {20, 1.7}}})).set_property(ObjectProperty::Ray, 0);
    draw();
    const std::vector<const Call*> drawn = lines();
    ASSERT_EQ(drawn.size(), 3u);
    EXPECT_EQ(ends(drawn[0]), std::make_pair(Point{20, 81}, Point{146, 2}));
    EXPECT_EQ(ends(drawn[1]), std::make_pair(Point{20, 51}, Point{360, 51}));
    EXPECT_EQ(ends(drawn[2]), std::make_pair(Point{3, 31}, Point{84, 31}));
}

TEST_F(ObjectPainting, FiboDrawsItsLevelsBetweenTheAnchorsWithTheirLabels) {
    auto made = make(ObjectType::Fibo, 7, {{{20, 1.8}, {30, 1.4}}});
    auto& fibo = static_cast<Fibo&>(*made);
    const FiboLevel levels[] = {{0.0, ""}, {0.5, "half"}, {1.0, ""}, {4.236, ""}};
    fibo.set_levels(levels);
    fibo.set_property(ObjectProperty::Color2, 0x123456);
    fibo.set_property(ObjectProperty::Style2, 2);
    add(std::move(made));

    for (int levels_ray : {0, 1}) {
        SCOPED_TRACE(levels_ray);
        fibo.set_property(ObjectProperty::LevelsRay, levels_ray);
        draw();
        const int right = levels_ray ? 360 : 164;
        const std::vector<const Call*> drawn = lines();
        // The anchors' line in the object's own look (dashed red by default), then the
        // levels at 1.4 + 0.4 x level; level 4.236 (3.094) is above the window.
        ASSERT_EQ(drawn.size(), 4u);
        EXPECT_EQ(ends(drawn[0]), std::make_pair(Point{84, 21}, Point{164, 61}));
        EXPECT_EQ(drawn[0]->pen, (Pen{1, 1, 0x0000FF}));
        EXPECT_EQ(ends(drawn[1]), std::make_pair(Point{84, 61}, Point{right, 61}));
        EXPECT_EQ(ends(drawn[2]), std::make_pair(Point{84, 41}, Point{right, 41}));
        EXPECT_EQ(ends(drawn[3]), std::make_pair(Point{84, 21}, Point{right, 21}));
        EXPECT_EQ(drawn[3]->pen, (Pen{2, 1, 0x123456}));
        EXPECT_EQ(canvas.texts(), (std::vector<std::string>{"0.0", "half", "100.0"}));
        EXPECT_EQ(canvas.text_call("half")->points[0], (Point{86, 41 - kTextHeight}));
        EXPECT_EQ(canvas.text_call("half")->colour, 0x123456u);
    }
}

TEST_F(ObjectPainting, SelectedObjectShowsItsHandlesAndTrendlineItsDistance) {
    add(make(ObjectType::Trendline, 3, {{{12, 1.2}, {14, 1.3}}})).set_property(ObjectProperty::Ray, 0);
    add(make(ObjectType::HorizontalLine, 4, {{{0, 1.5}, {0, 1.5}}}));
    options.selected_object = 3;
    draw();
    // Squares of 7 pixels on the anchors and on the middle (bar 13, 1.25).
    std::vector<Rect> squares;
    for (const Call* call : canvas.of_kind(Kind::Rectangle)) squares.push_back(call->rect);
    ASSERT_EQ(squares.size(), 3u);
    const Rect expected[] = {{17, 78, 24, 85}, {33, 68, 40, 75}, {25, 73, 32, 80}};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(squares[i].left, expected[i].left) << i;
        EXPECT_EQ(squares[i].top, expected[i].top) << i;
        EXPECT_EQ(squares[i].right, expected[i].right) << i;
        EXPECT_EQ(squares[i].bottom, expected[i].bottom) << i;
    }
    // Two bars and 10000 points (digits 5) from the first anchor to the second.
    const Call* info = canvas.text_call("   2 / 10000");
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->points[0], (Point{38, 71 - kTextHeight}));

    // A one-anchor object has one handle, halfway across the window.
    options.selected_object = 4;
    draw();
    ASSERT_EQ(canvas.of_kind(Kind::Rectangle).size(), 1u);
    EXPECT_EQ(canvas.of_kind(Kind::Rectangle)[0]->rect.left, 182 - 3);
    EXPECT_EQ(canvas.of_kind(Kind::Rectangle)[0]->rect.top, 51 - 3);
}

TEST_F(ObjectPainting, LayersAndTimeframesDecideWhatIsDrawn) {
    add(make(ObjectType::HorizontalLine, 1, {{{0, 1.5}, {0, 1.5}}}));
    add(make(ObjectType::HorizontalLine, 2, {{{0, 1.6}, {0, 1.6}}})).set_property(ObjectProperty::Background, 1);
    add(make(ObjectType::HorizontalLine, 3, {{{0, 1.7}, {0, 1.7}}}))
        .set_property(ObjectProperty::PeriodFlags, 0x1FF & ~(1 << 4));   // not on H1
    draw(render::ObjectLayer::Foreground);
    ASSERT_EQ(lines().size(), 1u);
    EXPECT_EQ(lines()[0]->points[0].y, 51);
    draw(render::ObjectLayer::Background);
    ASSERT_EQ(lines().size(), 1u);
    EXPECT_EQ(lines()[0]->points[0].y, 41);
}

// ---- in the frame ----

std::string object_block(int type, int counter, const std::string& look, const std::string& tail) {
    return "<object>\ntype=" + std::to_string(type) + "\ncounter=" + std::to_string(counter) +
           "\nperiod_flags=511\ncreate_time=1796600000\nperiod=60\nsymbol=EURUSD\n" + look + tail + "</object>\n";
}

class ObjectFrame : public ::testing::Test {
protected:
    void paint(const std::string& text) {
        ASSERT_TRUE(platform::write_file_atomic(folder.file("chart.ini"),
                                                std::vector<uint8_t>(text.begin(), text.end())));
        market.add_symbol("EURUSD", 5);
        market.set_bars("EURUSD", 60, hourly(100));
        core::DisplayMetrics metrics;
        metrics.dpi_x = metrics.dpi_y = 96;
        chart = std::make_unique<Chart>(
            ChartEnvironment{folder.file("chart.ini"), market, metrics, nullptr, ProfileWrites::No});
        ASSERT_EQ(chart->load_profile(), ProfileLoad::Loaded);
        chart->set_area({0, 0, 400, 300});
        canvas.calls.clear();
        renderer.paint(*chart, canvas, options);
    }
    // Index of the first call drawing with colour, -1 when none.
    int first_call(Kind kind, Colour colour) const {
        for (size_t i = 0; i < canvas.calls.size(); ++i)
            if (canvas.calls[i].kind == kind && canvas.calls[i].pen.colour == colour) return static_cast<int>(i);
        return -1;
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

TEST_F(ObjectFrame, BackgroundObjectsGoUnderTheSeriesOthersOverItAndSubWindowsUseTheirScale) {
    const std::string front = object_block(3, 1, "color=65280\nstyle=0\nweight=1\nbackground=0\n", "value_0=1.400000\n");
    const std::string back = object_block(3, 2, "color=16711680\nstyle=0\nweight=1\nbackground=1\n", "value_0=1.600000\n");
    const std::string rsi_line = object_block(3, 3, "color=65535\nstyle=0\nweight=1\nbackground=0\n", "value_0=50.000000\n");
    for (int foreground : {0, 1}) {
        SCOPED_TRACE(foreground);
        market = test::FakeMarket();
        paint("<chart>\nsymbol=EURUSD\nperiod=60\ncolor_scheme=2\ngraphmode=2\nscale=8\nforeground=" + std::to_string(foreground) +
              "\n<window>\nheight=100\n<indicator>\nname=main\n" + front + back +
              "</indicator>\n</window>\n<window>\nheight=50\n<indicator>\nname=Relative Strength Index\nperiod=14\n"
              "apply=0\ncolor=255\nperiod_flags=511\n" + rsi_line + "</indicator>\n</window>\n</chart>\n");
        const Colour line_chart = chart->settings().colours[static_cast<int>(ChartColour::LineChart)];
        const int series = first_call(Kind::Polyline, line_chart);
        const int in_front = first_call(Kind::Line, 0x00FF00);
        const int behind = first_call(Kind::Line, 0xFF0000);
        ASSERT_GE(series, 0);
        ASSERT_GE(in_front, 0);
        ASSERT_GE(behind, 0);
        EXPECT_LT(behind, series);
        EXPECT_EQ(in_front > series, foreground == 0);

        // Each on its window's scale, the same axis the pointer is mapped with.
        const std::optional<PriceAxis> main = object_price_axis(*chart, 0);
        const std::optional<PriceAxis> sub = object_price_axis(*chart, 1);
        ASSERT_TRUE(main && sub);
        EXPECT_EQ(canvas.calls[static_cast<size_t>(in_front)].points[0].y, main->y_of(1.4));
        const int rsi_object = first_call(Kind::Line, 0x00FFFF);
        ASSERT_GE(rsi_object, 0);
        const Call& call = canvas.calls[static_cast<size_t>(rsi_object)];
        EXPECT_EQ(call.points[0].y, sub->y_of(50.0));
        EXPECT_EQ(call.points[0].x, chart->window_rect(1).left);
        EXPECT_GT(call.points[0].y, chart->window_rect(1).top);
    }
    EXPECT_FALSE(object_price_axis(*chart, 2));
}

}  // namespace
}  // namespace kb::chart
