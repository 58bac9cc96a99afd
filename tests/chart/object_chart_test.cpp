// Chart objects in the chart: kept in the profile inside their indicators' blocks, placed,
// found, dragged, edited and deleted through the chart, and their positions found again
// when the bars are replaced.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "chart/model/chart.h"
#include "chart/objects/fibo.h"
#include "chart/objects/line_objects.h"
#include "core/number_format.h"
#include "core/settings_store.h"
#include "platform/files.h"
#include "tests/chart/chart_test_support.h"
#include "tests/chart/indicator_fixture.h"
#include "tests/support/temp_folder.h"

namespace kb::chart {
namespace {

constexpr int32_t kMonday = 1796601600;   // 2026-12-07 00:00:00
constexpr int kHour = 3600;
// A 400 x 300 view at 96 DPI: drawing rectangle 3..361 x 2..282, bar step 8 at scale 8.
constexpr Rect kArea{0, 0, 400, 300};

std::vector<market::BarRecord> hourly(int count) {
    std::vector<market::BarRecord> bars(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        market::BarRecord& bar = bars[static_cast<size_t>(i)];
        bar.time = kMonday + i * kHour;
        bar.open = bar.high = bar.low = bar.close = 1.1;
        bar.volume = 1;
    }
    return bars;
}

std::string object_block(int type, int counter, const std::string& tail) {
    return "<object>\ntype=" + std::to_string(type) + "\ncounter=" + std::to_string(counter) +
           "\nperiod_flags=511\ncreate_time=1796600000\nperiod=60\nsymbol=EURUSD\ncolor=255\nstyle=0\n"
           "weight=1\nbackground=0\n" + tail + "</object>\n";
}

const std::string kVertical = object_block(2, 101, "time_0=1796619600\n");
const std::string kTrendline = object_block(
    4, 102, "time_0=1796608800\nvalue_0=1.100000\ntime_1=1796623200\nvalue_1=1.120000\nray=1\n");
const std::string kHorizontal = object_block(3, 103, "value_0=55.000000\n");
const std::string kFibo = object_block(
    12, 104, "color2=65535\nstyle2=0\nweight2=1\ntime_0=1796601600\nvalue_0=1.200000\ntime_1=1796612400\n"
             "value_1=1.100000\nlevels_ray=0\nlevel_0=0.0000\nlevel_1=0.5000\ndescription_1=half\n");

std::string profile(const std::string& main_objects, const std::string& sub_objects) {
    return "<chart>\nperiod=60\nsymbol=EURUSD\nleftpos=10\ncolor_scheme=2\ndigits=5\nscale=8\ngraphmode=1\n"
           "foreground=0\nvolumes=0\ngrid=1\ndays=0\naskline=0\nohlc=1\ntrade_levels=0\ndescriptions=0\n"
           "scroll=0\nshift=0\n\n<window>\nheight=100\n<indicator>\nname=main\nperiod=14\ncolor=255\nstyle=0\n"
           "weight=1\n" + main_objects + "</indicator>\n</window>\n\n<window>\nheight=50\n<indicator>\n"
           "name=Relative Strength Index\nperiod=14\napply=0\ncolor=16748574\nstyle=0\nweight=1\nperiod_flags=511\n" +
           sub_objects + "</indicator>\n</window>\n</chart>\n\n";
}

class ChartObjects : public ::testing::Test {
protected:
    ChartObjects() {
        metrics.dpi_x = metrics.dpi_y = 96;
        market.add_symbol("EURUSD", 5);
        market.set_bars("EURUSD", 60, hourly(100));
    }

    std::unique_ptr<Chart> loaded(const std::string& text, core::Journal* journal = nullptr) {
        EXPECT_TRUE(platform::write_file_atomic(path, {reinterpret_cast<const uint8_t*>(text.data()), text.size()}));
        auto chart = std::make_unique<Chart>(ChartEnvironment{.profile_path = path,
                                                              .market = market,
                                                              .metrics = metrics,
                                                              .journal = journal});
        chart->set_area(kArea);
        chart->load_profile();
        return chart;
    }
    std::string saved() const {
        std::optional<std::vector<uint8_t>> bytes = platform::read_file(path);
        return bytes ? std::string(bytes->begin(), bytes->end()) : std::string();
    }
    // The main window's price axis: 2.0 at its top (2), 1.0 at its bottom.
    PriceAxis main_prices(const Chart& chart) const {
        const Rect rect = chart.window_rect(0);
        return {rect.top, rect.bottom, 1.0, 2.0};
    }

    ::kb::testing::TempFolder folder;
    std::string path = folder.file("chart.ini");
    test::FakeMarket market;
    core::DisplayMetrics metrics;
    core::SettingsStore store{folder.file("settings")};
};

TEST_F(ChartObjects, ProfileKeepsObjectsInTheirIndicatorsByteForByte) {
    const std::string text = profile(kVertical + kTrendline + kFibo, kHorizontal);
    std::unique_ptr<Chart> chart = loaded(text);
    EXPECT_EQ(chart->profile_text(), text);
    EXPECT_EQ(chart->object_counters(0), (std::vector<int32_t>{101, 102, 104}));
    EXPECT_EQ(chart->object_counters(1), (std::vector<int32_t>{103}));
    EXPECT_EQ(chart->object_window(103), 1);
    EXPECT_EQ(chart->object_window(999), -1);
    EXPECT_TRUE(chart->save_profile());
    EXPECT_EQ(saved(), text);
}

TEST_F(ChartObjects, BrokenAndCollapsedObjectsLeaveTheProfileOnLoadAndSave) {
    test::JournalCapture journal;
    const std::string collapsed = object_block(
        4, 105, "time_0=1796608800\nvalue_0=1.100000\ntime_1=1796608800\nvalue_1=1.100000\nray=1\n");
    const std::string headless = "<object>\ncounter=106\ntype=2\ntime_0=1796619600\n</object>\n";
    const std::string unknown = "<object>\ntype=9\ncounter=107\n</object>\n";
    std::unique_ptr<Chart> chart =
        loaded(profile(kVertical + headless + collapsed + unknown + kTrendline, ""), journal.journal());
    EXPECT_EQ(journal.lines(), std::vector<std::string>{"CObj: object header was not found"});
    // The collapsed trendline is still there until the next save leaves it out.
    EXPECT_EQ(chart->object_counters(0), (std::vector<int32_t>{101, 105, 102}));
    EXPECT_EQ(chart->profile_text(), profile(kVertical + kTrendline, ""));
}

TEST_F(ChartObjects, PlacedObjectSitsOnTheBarAndPriceUnderThePointer) {
    store.write_number(core::kSectionObjects, "Trendline_color", 0x00FF00);
    std::unique_ptr<Chart> chart = loaded(profile("", ""));
    const PriceAxis prices = main_prices(*chart);
    const Rect main = chart->window_rect(0);
    ASSERT_EQ(main.top, 2);
    // x = 3 + 8 x 5 is bar 15 (leftpos 10); y a quarter down is 1.75.
    const int quarter = main.top + (main.bottom - main.top) / 4;
    const double price = prices.price_at(quarter);
    std::optional<int32_t> counter =
        chart->place_object(ObjectType::Trendline, 0, 3 + 40, quarter, prices, store, 1796700000);
    ASSERT_TRUE(counter);
    std::unique_ptr<CObj> placed = chart->object_copy(*counter);
    ASSERT_NE(placed, nullptr);
    EXPECT_EQ(placed->time(0), kMonday + 15 * kHour);
    EXPECT_EQ(placed->time(1), kMonday + 15 * kHour);
    EXPECT_DOUBLE_EQ(placed->value(0), core::normalize(price, 5));
    EXPECT_EQ(placed->symbol(), "EURUSD");
    EXPECT_EQ(placed->period(), 60);
    EXPECT_EQ(placed->create_time(), 1796700000);
    EXPECT_EQ(placed->property(ObjectProperty::Color), 0x00FF00);
    // Not stretched yet: the saved profile has no object.
    EXPECT_EQ(saved(), profile("", ""));

    // Stretch the second anchor to bar 120 (past the 100 bars) and 1.5.
    const int x120 = 3 + (120 - 10) * 8;
    const int y_half = prices.y_of(1.5);
    ASSERT_TRUE(chart->drag_object(*counter, Handle::Second, x120, y_half, prices, Linked::No));
    EXPECT_TRUE(chart->save_profile());
    const std::string text = saved();
    const std::string tail = "time_0=" + std::to_string(kMonday + 15 * kHour) + "\nvalue_0=" +
                             core::fixed_text(core::normalize(price, 5), 6) + "\ntime_1=" +
                             std::to_string(kMonday + 120 * kHour) + "\nvalue_1=1.500000\nray=1\n</object>\n";
    EXPECT_NE(text.find("counter=" + std::to_string(*counter) + "\n"), std::string::npos);
    EXPECT_NE(text.find(tail + "</indicator>\n</window>\n\n<window>"), std::string::npos) << text;

    // Refused: no such window or type.
    EXPECT_FALSE(chart->place_object(ObjectType::Trendline, 5, 50, 50, prices, store, 0));
    EXPECT_FALSE(chart->place_object(static_cast<ObjectType>(7), 0, 50, 50, prices, store, 0));
}

TEST_F(ChartObjects, NothingIsPlacedWithoutBars) {
    market.set_bars("EURUSD", 60, {});
    std::unique_ptr<Chart> chart = loaded(profile("", ""));
    EXPECT_FALSE(chart->place_object(ObjectType::VerticalLine, 0, 50, 50, main_prices(*chart), store, 0));
    EXPECT_TRUE(chart->object_counters(0).empty());
}

TEST_F(ChartObjects, PointerFindsTheTopmostShownObjectAndItsHandles) {
    std::unique_ptr<Chart> chart = loaded(profile(kVertical + kTrendline, ""));
    const PriceAxis prices = main_prices(*chart);
    // The vertical line is at bar 5 of the bars (hour 5): x = 3 + (5 - 10) x 8, left of the
    // view; the trendline runs from bar 2 at 1.10 to bar 6 at 1.12.
    ASSERT_EQ(chart->settings().leftpos, 10);
    chart->scroll_to(0);
    const int x2 = 3 + 2 * 8, x6 = 3 + 6 * 8, x5 = 3 + 5 * 8;
    const int y0 = prices.y_of(1.10), y1 = prices.y_of(1.12);
    EXPECT_EQ(chart->object_at(0, x2, y0, prices, std::nullopt), (ObjectHit{102, Handle::Middle}));
    EXPECT_EQ(chart->object_at(0, x2, y0, prices, 102), (ObjectHit{102, Handle::First}));
    EXPECT_EQ(chart->object_at(0, x6, y1, prices, 102), (ObjectHit{102, Handle::Second}));
    // Where both lie, the trendline (drawn last) is found first.
    const int y5 = prices.y_of(1.115);
    EXPECT_EQ(chart->object_at(0, x5, y5, prices, std::nullopt), (ObjectHit{102, Handle::Middle}));
    EXPECT_EQ(chart->object_at(0, x5, 20, prices, std::nullopt), (ObjectHit{101, Handle::Middle}));
    EXPECT_EQ(chart->object_at(0, 300, 20, prices, std::nullopt), std::nullopt);
    EXPECT_EQ(chart->object_at(1, x5, 20, prices, std::nullopt), std::nullopt);

    // Hidden on H1, the trendline is passed over.
    std::unique_ptr<CObj> hidden = chart->object_copy(102);
    hidden->set_property(ObjectProperty::PeriodFlags, 1);
    ASSERT_TRUE(chart->replace_object(*hidden));
    EXPECT_EQ(chart->object_at(0, x5, y5, prices, std::nullopt), (ObjectHit{101, Handle::Middle}));
    EXPECT_NE(saved().find("counter=102\nperiod_flags=1\n"), std::string::npos);
}

TEST_F(ChartObjects, EditingAndDeletingGoByCounter) {
    std::unique_ptr<Chart> chart = loaded(profile(kTrendline, kHorizontal));
    std::unique_ptr<CObj> copy = chart->object_copy(103);
    ASSERT_NE(copy, nullptr);
    copy->set_anchor(0, 0, 60.5);
    EXPECT_TRUE(chart->replace_object(*copy));
    EXPECT_NE(saved().find("value_0=60.500000\n"), std::string::npos);

    // Another type with the same counter is not copied over.
    Trendline stranger;
    stranger.set_counter(103);
    EXPECT_FALSE(chart->replace_object(stranger));
    stranger.set_counter(999);
    EXPECT_FALSE(chart->replace_object(stranger));
    EXPECT_EQ(chart->object_copy(999), nullptr);

    EXPECT_TRUE(chart->delete_object(102));
    EXPECT_FALSE(chart->delete_object(102));
    EXPECT_EQ(saved(), profile("", object_block(3, 103, "value_0=60.500000\n")));

    auto vertical = std::make_unique<VerticalLine>();
    vertical->set_counter(200);
    vertical->set_anchor(0, kMonday, 0);
    EXPECT_TRUE(chart->add_object(1, std::move(vertical)));
    EXPECT_EQ(chart->object_counters(1), (std::vector<int32_t>{103, 200}));
    EXPECT_FALSE(chart->add_object(3, std::make_unique<VerticalLine>()));

    // Deleting the indicator takes its objects with it.
    EXPECT_TRUE(chart->delete_indicator(1, 0));
    EXPECT_EQ(chart->object_window(103), -1);
}

TEST_F(ChartObjects, ReplacedBarsMakeObjectsFindTheirPositionsAgain) {
    std::unique_ptr<Chart> chart = loaded(profile(kTrendline, kHorizontal));
    const PriceAxis prices = main_prices(*chart);
    // Looking under the pointer finds and caches the positions.
    chart->object_at(0, 100, 100, prices, std::nullopt);
    const Rect sub = chart->window_rect(1);
    chart->object_at(1, 100, sub.top + 5, {sub.top, sub.bottom, 0, 100}, std::nullopt);
    auto cached = [&] {
        std::vector<bool> flags;
        chart->for_each_window([&](const ChartWindow& window) {
            for (const CObj* object : window.objects()) flags.push_back(object->positions_cached());
        });
        return flags;
    };
    EXPECT_EQ(cached(), (std::vector<bool>{true, true}));

    // A tick recalculates incrementally: the positions stay.
    market.add_bar("EURUSD", 60, hourly(101).back());
    ASSERT_TRUE(chart->update_bars());
    EXPECT_EQ(cached(), (std::vector<bool>{true, true}));

    // A history load replaces the bars: every window's objects find their positions again.
    market.set_bars("EURUSD", 60, hourly(101));
    ASSERT_TRUE(chart->update_bars());
    EXPECT_EQ(cached(), (std::vector<bool>{false, false}));
}

}  // namespace
}  // namespace kb::chart
