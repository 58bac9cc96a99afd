// Objects on the screen and under the pointer: the bar and price axes, the handles, hit
// tests of each class with and without selection, and dragging handles in bar and price
// space. Pixel figures are worked out by hand from the axes below.

#include <gtest/gtest.h>

#include <vector>

#include "chart/objects/fibo.h"
#include "chart/objects/line_objects.h"
#include "chart/objects/object_editing.h"
#include "chart/objects/object_geometry.h"
#include "market/bar_record.h"

namespace kb::chart {
namespace {

constexpr int32_t kMonday = 1796601600;   // 2026-12-07 00:00:00
constexpr int32_t kHour = 3600;

std::vector<market::BarRecord> hourly(int count) {
    std::vector<market::BarRecord> bars;
    for (int i = 0; i < count; ++i) bars.push_back({kMonday + i * kHour, 1, 1, 1, 1, 1});
    return bars;
}

// Position p at x = 3 + (p - 10) x 8; price 2.0 at y = 2, 1.0 at y = 202 (200 pixels per unit).
constexpr BarAxis kBars{3, 8, 10};
constexpr PriceAxis kPrices{2, 202, 1.0, 2.0};
constexpr Rect kWindow{3, 2, 361, 202};

TEST(ObjectAxes, MapBarsAndPricesBothWays) {
    const std::pair<int, int> positions[] = {{10, 3}, {12, 19}, {20, 83}, {0, -77}, {-5, -117}};
    for (auto [position, x] : positions) {
        EXPECT_EQ(kBars.x_of(position), x) << position;
        EXPECT_EQ(kBars.position_at(x), position) << x;
    }
    // Rounded half away from zero: 4 pixels is half a bar.
    EXPECT_EQ(kBars.position_at(3 + 3), 10);
    EXPECT_EQ(kBars.position_at(3 + 4), 11);
    EXPECT_EQ(kBars.position_at(3 - 4), 9);
    EXPECT_EQ(kBars.position_at(3 - 3), 10);

    const std::pair<double, int> prices[] = {{2.0, 2}, {1.0, 202}, {1.5, 102}, {1.2, 162}, {1.236, 155}, {3.0, -198}};
    for (auto [price, y] : prices) EXPECT_EQ(kPrices.y_of(price), y) << price;
    EXPECT_DOUBLE_EQ(kPrices.price_at(52), 1.75);
    EXPECT_DOUBLE_EQ(kPrices.price_at(202), 1.0);

    // No range: the middle, and the minimum read back.
    const PriceAxis flat{2, 202, 1.5, 1.5};
    EXPECT_EQ(flat.y_of(7.0), 102);
    EXPECT_EQ(flat.price_at(10), 1.5);
    EXPECT_EQ(kPrices.y_of(1e300), -100000000);   // far off screen, no overflow
    // A range near the limits of a double: infinity times zero is far off too, not undefined.
    EXPECT_EQ((PriceAxis{2, 202, -1e308, 1e308}.y_of(1e308)), 100000000);
}

TEST(ObjectAxes, TolerancesScaleWithTheScreen) {
    const struct {
        int dpi;
        int line;
        int handle;
    } cases[] = {{96, 3, 5}, {120, 4, 6}, {192, 6, 10}};
    for (const auto& c : cases) {
        EXPECT_EQ(line_tolerance(c.dpi), c.line) << c.dpi;
        EXPECT_EQ(handle_tolerance(c.dpi), c.handle) << c.dpi;
    }
}

class ObjectOnScreen : public ::testing::Test {
protected:
    std::vector<market::BarRecord> bars = hourly(40);
    BarTimeline timeline{bars, 60};
    ObjectView view{timeline, kBars, kPrices, kWindow, 96};

    int32_t at(int position) const { return timeline.time_of(position); }
};

TEST_F(ObjectOnScreen, TrendlineHandlesAndLine) {
    Trendline line;   // (19, 162) to (83, 82); the middle bar 16 at 1.4 is (51, 122)
    line.set_anchor(0, at(12), 1.2);
    line.set_anchor(1, at(20), 1.6);
    line.set_property(ObjectProperty::Ray, 0);
    EXPECT_EQ(handle_points(line, view),
              (std::array<ScreenPoint, 3>{ScreenPoint{19, 162}, ScreenPoint{83, 82}, ScreenPoint{51, 122}}));

    const struct {
        int x;
        int y;
        std::optional<Handle> selected;
        std::optional<Handle> unselected;
    } cases[] = {
        {19, 162, Handle::First, Handle::Middle},
        {83, 82, Handle::Second, Handle::Middle},
        {51, 122, Handle::Middle, Handle::Middle},
        {88, 86, Handle::Second, std::nullopt},      // within the handle's 5, beyond the line's 3
        {53, 124, Handle::Middle, Handle::Middle},   // 2.81 pixels off the line
        {54, 126, Handle::Middle, std::nullopt},     // 4.84 pixels off; inside the middle handle
        {34, 152, std::nullopt, std::nullopt},       // 5.47 pixels off, away from every handle
        {99, 62, std::nullopt, std::nullopt},        // on the line's course past the second anchor
        {3, 182, std::nullopt, std::nullopt},        // on its course before the first
        {1, 100, std::nullopt, std::nullopt},        // outside the window
    };
    for (const auto& c : cases) {
        EXPECT_EQ(hit_object(line, view, c.x, c.y, Selected::Yes), c.selected) << c.x << "," << c.y;
        EXPECT_EQ(hit_object(line, view, c.x, c.y, Selected::No), c.unselected) << c.x << "," << c.y;
    }
    // With its ray the line goes on past the second anchor only.
    line.set_property(ObjectProperty::Ray, 1);
    EXPECT_EQ(hit_object(line, view, 99, 62, Selected::No), Handle::Middle);
    EXPECT_EQ(hit_object(line, view, 3, 182, Selected::No), std::nullopt);
}

TEST_F(ObjectOnScreen, VerticalAndHorizontalLinesSpanTheWindow) {
    VerticalLine vertical;   // bar 15 at x = 43
    vertical.set_anchor(0, at(15), 0);
    HorizontalLine horizontal;   // 1.25 at y = 152
    horizontal.set_anchor(0, 0, 1.25);
    EXPECT_EQ(handle_points(vertical, view)[2], (ScreenPoint{43, 102}));
    EXPECT_EQ(handle_points(horizontal, view)[2], (ScreenPoint{182, 152}));
    const struct {
        const CObj& object;
        int x;
        int y;
        bool hit;
    } cases[] = {
        {vertical, 45, 10, true}, {vertical, 40, 200, true}, {vertical, 47, 50, false}, {vertical, 43, 202, false},
        {horizontal, 300, 150, true}, {horizontal, 4, 155, true}, {horizontal, 200, 148, false},
        {horizontal, 362, 152, false},
    };
    for (const auto& c : cases) {
        // One-anchor objects have no separate handles: they move whole.
        const std::optional<Handle> expected = c.hit ? std::optional(Handle::Middle) : std::nullopt;
        EXPECT_EQ(hit_object(c.object, view, c.x, c.y, Selected::Yes), expected) << c.x << "," << c.y;
    }
}

TEST_F(ObjectOnScreen, FiboIsTouchedOnItsDiagonalAndLevelLines) {
    Fibo fibo;   // (19, 2) to (83, 202): level 0.5 at 1.5 (y 102), 0.236 at 1.236 (y 155)
    fibo.set_anchor(0, at(12), 2.0);
    fibo.set_anchor(1, at(20), 1.0);
    const struct {
        int x;
        int y;
        bool hit;
    } cases[] = {
        {70, 103, true},   // level 0.5
        {30, 155, true},   // level 0.236
        {19, 100, true},   // level 0.5 at the left anchor
        {16, 102, true},   // within the tolerance left of it
        {15, 102, false},
        {100, 102, false},   // right of the second anchor without the levels ray
        {35, 52, true},      // on the diagonal (x 35 is a quarter along: y 52)
        {60, 90, false},     // between levels 0.5 (y 102) and 0.618 (y 78)
    };
    for (const auto& c : cases)
        EXPECT_EQ(hit_object(fibo, view, c.x, c.y, Selected::No).has_value(), c.hit) << c.x << "," << c.y;
    fibo.set_property(ObjectProperty::LevelsRay, 1);
    EXPECT_EQ(hit_object(fibo, view, 300, 102, Selected::No), Handle::Middle);
    fibo.set_levels({});
    EXPECT_EQ(hit_object(fibo, view, 300, 102, Selected::No), std::nullopt);
}

TEST_F(ObjectOnScreen, PositionsAreCachedUntilTheBarsChange) {
    Trendline line;
    line.set_anchor(0, at(12), 1.2);
    line.set_anchor(1, at(70), 1.6);   // hour 70, past the 40 bars
    EXPECT_EQ(line.positions(timeline)[1], 70);
    EXPECT_TRUE(line.positions_cached());

    // Ten more bars from hour 64 on, after a gap: hour 70 is now bar 46.
    std::vector<market::BarRecord> more = bars;
    for (int i = 0; i < 10; ++i) more.push_back({kMonday + (64 + i) * kHour, 1, 1, 1, 1, 1});
    const BarTimeline longer(more, 60);
    EXPECT_EQ(line.positions(longer)[1], 46);
    line.invalidate_positions();
    EXPECT_FALSE(line.positions_cached());
}

class Dragging : public ObjectOnScreen {
protected:
    Trendline line;
    void SetUp() override {
        line.set_anchor(0, at(2), 1.1);
        line.set_anchor(1, at(6), 1.3);
    }
    std::pair<int, double> anchor(int i) { return {line.positions(timeline)[i], line.value(i)}; }
};

TEST_F(Dragging, AnchorsFollowTheirHandles) {
    const struct {
        Handle handle;
        BarPoint target;
        Linked linked;
        std::pair<int, double> first;
        std::pair<int, double> second;
    } cases[] = {
        {Handle::First, {4, 1.2}, Linked::No, {4, 1.2}, {6, 1.3}},
        {Handle::Second, {9, 1.0}, Linked::No, {2, 1.1}, {9, 1.0}},
        {Handle::First, {4, 1.2}, Linked::Yes, {4, 1.2}, {8, 1.4}},
        {Handle::Second, {3, 1.25}, Linked::Yes, {-1, 1.05}, {3, 1.25}},
        // From the midpoint (bar 4, 1.2): six bars and 0.05 on.
        {Handle::Middle, {10, 1.25}, Linked::No, {8, 1.15}, {12, 1.35}},
        {Handle::Middle, {-3, 1.2}, Linked::Yes, {-5, 1.1}, {-1, 1.3}},
        // Past the newest bar and before the oldest.
        {Handle::Second, {45, 1.3}, Linked::No, {2, 1.1}, {45, 1.3}},
        // Prices round to the symbol's five digits.
        {Handle::First, {2, 1.2345678}, Linked::No, {2, 1.23457}, {6, 1.3}},
    };
    for (const auto& c : cases) {
        SetUp();
        ASSERT_TRUE(drag_handle(line, timeline, c.handle, c.target, c.linked, 5));
        EXPECT_EQ(anchor(0).first, c.first.first) << static_cast<int>(c.handle) << " to " << c.target.position;
        EXPECT_DOUBLE_EQ(anchor(0).second, c.first.second) << static_cast<int>(c.handle);
        EXPECT_EQ(anchor(1).first, c.second.first) << static_cast<int>(c.handle) << " to " << c.target.position;
        EXPECT_DOUBLE_EQ(anchor(1).second, c.second.second) << static_cast<int>(c.handle);
    }
    // Anchor times are open times, extrapolated past the bars.
    SetUp();
    drag_handle(line, timeline, Handle::Second, {45, 1.3}, Linked::No, 5);
    EXPECT_EQ(line.time(1), kMonday + 45 * kHour);
    drag_handle(line, timeline, Handle::First, {-3, 1.3}, Linked::No, 5);
    EXPECT_EQ(line.time(0), kMonday - 3 * kHour);
}

TEST_F(Dragging, TheMiddleIsTheMidpointBarRoundedAwayFromZero) {
    const struct {
        int first;
        int second;
        int target;
        int moved;
    } cases[] = {
        {2, 5, 4, 0},     // 3.5 rounds to 4: no move
        {2, 5, 5, 1},
        {-3, 0, -2, 0},   // -1.5 rounds to -2
        {-3, 0, -1, 1},
        {7, 7, 9, 2},
    };
    for (const auto& c : cases) {
        line.set_anchor(0, at(c.first), 1.1);
        line.set_anchor(1, at(c.second), 1.3);
        drag_handle(line, timeline, Handle::Middle, {c.target, 1.2}, Linked::No, 5);
        EXPECT_EQ(anchor(0).first, c.first + c.moved) << c.first << ".." << c.second;
        EXPECT_EQ(anchor(1).first, c.second + c.moved) << c.first << ".." << c.second;
    }
}

TEST_F(Dragging, OneAnchorLinesMoveOnlyWhatTheyUse) {
    VerticalLine vertical;
    vertical.set_anchor(0, at(5), 7.0);
    HorizontalLine horizontal;
    horizontal.set_anchor(0, 123, 1.5);
    for (Handle handle : {Handle::First, Handle::Middle}) {
        ASSERT_TRUE(drag_handle(vertical, timeline, handle, {9, 1.9}, Linked::Yes, 5));
        EXPECT_EQ(vertical.time(0), at(9));
        EXPECT_EQ(vertical.value(0), 7.0);
        ASSERT_TRUE(drag_handle(horizontal, timeline, handle, {9, 1.9}, Linked::Yes, 5));
        EXPECT_EQ(horizontal.time(0), 123);
        EXPECT_EQ(horizontal.value(0), 1.9);
    }
    const BarTimeline none({}, 60);
    EXPECT_FALSE(drag_handle(vertical, none, Handle::Middle, {1, 1.0}, Linked::No, 5));
    EXPECT_EQ(vertical.time(0), at(9));
}

TEST_F(Dragging, TrendlineInformationShowsBarsAndPoints) {
    EXPECT_EQ(line.info_text(timeline, 5), "   4 / 20000");
    line.set_anchor(1, at(0), 1.0);
    EXPECT_EQ(line.info_text(timeline, 4), "   -2 / -1000");
}

}  // namespace
}  // namespace kb::chart
