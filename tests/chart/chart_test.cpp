#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "chart/catalogue/indicator_factory.h"
#include "chart/framework/indicator.h"
#include "chart/model/chart.h"
#include "platform/files.h"
#include "tests/chart/chart_test_support.h"
#include "tests/support/temp_folder.h"

namespace kb::chart {
namespace {

using test::FakeMarket;

constexpr int32_t kMonday = 1796601600;   // 2026-12-07 00:00:00 UTC
constexpr int kHour = 3600;
// A 400 x 300 view at 96 DPI shows 44 bars at scale 8 (drawing width 358).
constexpr Rect kArea{0, 0, 400, 300};
constexpr int kVisibleAtScale8 = 44;

std::vector<market::BarRecord> bars_of(int count, int period_minutes) {
    std::vector<market::BarRecord> bars(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        market::BarRecord& bar = bars[static_cast<size_t>(i)];
        bar.time = kMonday + i * period_minutes * 60;
        bar.open = bar.high = bar.low = bar.close = 1.1 + i * 0.001;
        bar.volume = 1;
    }
    return bars;
}

// Indicators of shapes the catalogue may not offer, so that the window rules are tested
// on every combination of window kind and data input.
const IndicatorDefaults kTestDefaults{};
const IndicatorTraits kOwnWindow{.name = "Own Window", .label = "Own(%d)", .type = IndicatorType::Momentum,
                                 .window = WindowKind::Own, .buffers = 1};
const IndicatorTraits kMainOnly{.name = "Main Only", .label = "Main", .type = IndicatorType::Fractals,
                                .window = WindowKind::Main, .data_source = false, .buffers = 2};

class ShapedIndicator final : public CInd {
public:
    explicit ShapedIndicator(const IndicatorTraits& traits, int period = kDefaultPeriod)
        : CInd(traits, kTestDefaults) {
        set_period(period);
    }

protected:
    void save_parameters(LineSink& sink) const override { sink.write_line("period=" + std::to_string(period_)); }
};

std::unique_ptr<CInd> moving_average(int period) {
    std::unique_ptr<CInd> indicator = create_indicator("Moving Average");
    indicator->set_period(period);
    return indicator;
}

// A profile holding lines after "scale=8" and "period=60" (without them it loads at
// scale 1 and period 1).
std::string profile_with(const std::string& lines) {
    return "<chart>\nscale=8\nperiod=60\n" + lines + "\n<window>\nheight=100\n</window>\n</chart>\n";
}

std::string moving_average_block(int period, int apply) {
    return "<indicator>\nname=Moving Average\nperiod=" + std::to_string(period) +
           "\nshift=0\nmethod=0\napply=" + std::to_string(apply) +
           "\ncolor=255\nstyle=0\nweight=1\nperiod_flags=511\n</indicator>\n";
}

class ChartTest : public ::testing::Test {
protected:
    ChartTest() {
        metrics.dpi_x = metrics.dpi_y = 96;
        market.add_symbol("EURUSD", 5);
        market.add_symbol("GBPUSD", 4);
    }

    std::string profile_path() const { return folder.file("chart.ini"); }
    void write_profile(const std::string& text) {
        ASSERT_TRUE(platform::write_file_atomic(profile_path(), {reinterpret_cast<const uint8_t*>(text.data()),
                                                                 text.size()}));
    }
    std::string read_profile() const {
        std::optional<std::vector<uint8_t>> bytes = platform::read_file(profile_path());
        return bytes ? std::string(bytes->begin(), bytes->end()) : std::string();
    }
    std::unique_ptr<Chart> make_chart(ProfileWrites writes = ProfileWrites::Yes) {
        auto chart = std::make_unique<Chart>(ChartEnvironment{.profile_path = profile_path(),
                                                              .market = market,
                                                              .metrics = metrics,
                                                              .writes = writes});
        chart->set_area(kArea);
        return chart;
    }
    std::unique_ptr<Chart> loaded(const std::string& text) {
        write_profile(text);
        std::unique_ptr<Chart> chart = make_chart();
        chart->load_profile();
        return chart;
    }

    ::kb::testing::TempFolder folder;
    FakeMarket market;
    core::DisplayMetrics metrics;
};

TEST_F(ChartTest, LoadingBringsEverySettingIntoItsLimits) {
    const struct {
        const char* line;
        int32_t ChartSettings::*field;
        int32_t expected;
    } cases[] = {
        {"period=0", &ChartSettings::period, 1},
        {"period=100000", &ChartSettings::period, 43200},
        {"period=-5", &ChartSettings::period, 1},
        {"period=15abc", &ChartSettings::period, 15},          // text after the number ignored
        {"period=abc", &ChartSettings::period, 1},             // no digits read as 0
        {"   period=240", &ChartSettings::period, 240},        // leading spaces skipped
        {"Period=240", &ChartSettings::period, 60},            // keys are case-sensitive: ignored
        {"scale=64", &ChartSettings::scale, 32},
        {"scale=0", &ChartSettings::scale, 1},
        {"scale=3", &ChartSettings::scale, 3},                 // any value 1..32 stays
        {"color_scheme=5", &ChartSettings::color_scheme, 2},
        {"color_scheme=-1", &ChartSettings::color_scheme, 2},
        {"color_scheme=0", &ChartSettings::color_scheme, 0},
        {"graphmode=3", &ChartSettings::graphmode, 1},
        {"graphmode=2", &ChartSettings::graphmode, 2},
        {"grid=7", &ChartSettings::grid, 1},
        {"volumes=-3", &ChartSettings::volumes, 1},
        {"descriptions=9", &ChartSettings::descriptions, 1},
        {"shift=2", &ChartSettings::shift, 1},
        {"leftpos=-20", &ChartSettings::leftpos, 0},
        {"digits=2", &ChartSettings::digits, 5},               // written, never read: the symbol's
    };
    for (const auto& [line, field, expected] : cases) {
        std::unique_ptr<Chart> chart = loaded(profile_with(std::string("symbol=EURUSD\nscroll=0\n") + line));
        EXPECT_EQ(chart->settings().*field, expected) << line;
    }
}

TEST_F(ChartTest, WindowHeightsBelowTenAreRaisedAndEmptySubWindowsDropped) {
    const struct {
        const char* height;
        int weight;
    } cases[] = {{"height=3", 10}, {"height=-1", 10}, {"height=10", 10}, {"  height=75", 75}};
    for (auto [height, weight] : cases) {
        std::unique_ptr<Chart> chart =
            loaded("<chart>\n<window>\n" + std::string(height) + "\n</window>\n<window>\n" + height + "\n" +
                   moving_average_block(5, 0) + "</window>\n</chart>\n");
        ASSERT_EQ(chart->window_count(), 2u) << height;
        EXPECT_EQ(chart->window_weight(0), weight) << height;
        EXPECT_EQ(chart->window_weight(1), weight) << height;
    }
    // Sub-windows that end up without an indicator: none at all, an unknown name, a
    // block without its name, a second price series.
    std::unique_ptr<Chart> chart = loaded(
        "<chart>\n<window>\nheight=100\n</window>\n"
        "<window>\nheight=50\n</window>\n"
        "<window>\nheight=50\n<indicator>\nname=No Such Indicator\nperiod=3\n</indicator>\n</window>\n"
        "<window>\nheight=50\n<indicator>\nperiod=3\n</indicator>\n</window>\n"
        "<window>\nheight=50\n<indicator>\nname=main\nperiod=3\n</indicator>\n</window>\n"
        "<window>\nheight=60\n" + moving_average_block(7, 0) + "</window>\n</chart>\n");
    ASSERT_EQ(chart->window_count(), 2u);
    EXPECT_EQ(chart->window_weight(1), 60);
    EXPECT_EQ(chart->indicator_count(1), 1u);
}

TEST_F(ChartTest, AProfileNotStartingWithTheExactChartTagLoadsAtTheLowerLimits) {
    for (const char* first : {"<chart> ", " <chart>", "<CHART>", "chart", "<chart>x"}) {
        write_profile(std::string(first) + "\nperiod=240\nscale=8\ncolor_scheme=1\ngrid=1\n<window>\nheight=100\n" +
                      moving_average_block(5, 0) + "</window>\n</chart>\n");
        std::unique_ptr<Chart> chart = make_chart();
        EXPECT_EQ(chart->load_profile(), ProfileLoad::NotAProfile) << first;
        const ChartSettings settings = chart->settings();
        EXPECT_EQ(settings.period, 1) << first;
        EXPECT_EQ(settings.scale, 1) << first;
        EXPECT_EQ(settings.color_scheme, 0) << first;
        EXPECT_EQ(settings.graphmode, 0) << first;
        EXPECT_EQ(settings.grid, 0) << first;
        EXPECT_EQ(settings.scroll, 0) << first;
        EXPECT_EQ(chart->indicator_count(0), 0u) << first;
    }
    // "\r\n" line ends and blank lines before the tag are not a fault.
    write_profile("\r\n<chart>\r\nperiod=240\r\n");
    std::unique_ptr<Chart> chart = make_chart();
    EXPECT_EQ(chart->load_profile(), ProfileLoad::Loaded);
    EXPECT_EQ(chart->settings().period, 240);
}

TEST_F(ChartTest, WithoutAProfileTheDefaultsHold) {
    std::unique_ptr<Chart> chart = make_chart();
    EXPECT_EQ(chart->load_profile(), ProfileLoad::Missing);
    const ChartSettings settings = chart->settings();
    EXPECT_EQ(settings.color_scheme, 2);
    EXPECT_EQ(settings.colours, scheme_colours(ColourScheme::BlackOnWhite));
    EXPECT_EQ(settings.scale, 8);
    EXPECT_EQ(settings.period, 60);
    EXPECT_EQ(settings.graphmode, 1);
    EXPECT_EQ(settings.grid, 1);
    EXPECT_EQ(settings.scroll, 1);
    EXPECT_EQ(settings.ohlc, 1);
    EXPECT_EQ(settings.volumes + settings.days + settings.askline + settings.trade_levels + settings.shift +
                  settings.foreground + settings.descriptions,
              0);
    EXPECT_EQ(settings.shift_percent, 20);
    EXPECT_EQ(settings.symbol, "EURUSD");
    EXPECT_EQ(chart->window_count(), 1u);
    EXPECT_EQ(chart->window_weight(0), 100);
    EXPECT_FALSE(platform::file_exists(profile_path()));   // written on the first change only
}

TEST_F(ChartTest, SymbolResolvesToAKnownOneOrEurusd) {
    const struct {
        std::vector<std::string> known;
        const char* line;
        const char* symbol;
    } cases[] = {
        {{"EURUSD", "GBPUSD"}, "symbol=GBPUSD", "GBPUSD"},
        {{"USDJPY", "GBPUSD"}, "symbol=XAUUSD", "USDJPY"},     // the first symbol offered
        {{}, "symbol=GBPUSD", "EURUSD"},
        {{"ABCDEFGHIJK"}, "symbol=ABCDEFGHIJKLMN", "ABCDEFGHIJK"},   // 11 characters are read
        {{"USDJPY", "GBPUSD"}, "Symbol=GBPUSD", "USDJPY"},
    };
    for (const auto& [known, line, symbol] : cases) {
        market.symbols.clear();
        for (const std::string& name : known) market.add_symbol(name);
        EXPECT_EQ(loaded(profile_with(line))->settings().symbol, symbol) << line;
    }
}

TEST_F(ChartTest, SavesAHandWrittenProfileByteForByte) {
    market.set_bars("GBPUSD", 240, bars_of(100, 240));
    const std::string profile =
        "<chart>\n"
        "period=240\n"
        "symbol=GBPUSD\n"
        "leftpos=30\n"
        "color_scheme=1\n"
        "digits=4\n"
        "scale=16\n"
        "graphmode=0\n"
        "foreground=1\n"
        "volumes=1\n"
        "grid=0\n"
        "days=1\n"
        "askline=1\n"
        "ohlc=0\n"
        "trade_levels=1\n"
        "descriptions=1\n"
        "scroll=0\n"
        "shift=1\n"
        "\n"
        "<window>\n"
        "height=120\n"
        "<indicator>\n"
        "name=main\n"
        "period=14\n"
        "color=255\n"
        "style=0\n"
        "weight=1\n"
        "</indicator>\n"
        "<indicator>\n"
        "name=Moving Average\n"
        "period=21\n"
        "shift=2\n"
        "method=1\n"
        "apply=4\n"
        "color=16711680\n"
        "style=1\n"
        "weight=2\n"
        "period_flags=48\n"
        "</indicator>\n"
        "</window>\n"
        "\n"
        "<window>\n"
        "height=45\n" +
        moving_average_block(9, 0) + moving_average_block(5, 7) +
        "</window>\n"
        "</chart>\n"
        "\n";
    std::unique_ptr<Chart> chart = loaded(profile);
    EXPECT_EQ(chart->profile_text(), profile);
    EXPECT_TRUE(chart->save_profile());
    EXPECT_EQ(read_profile(), profile);

    // A change writes the file at once.
    chart->toggle(ChartFlag::Grid);
    std::string changed = profile;
    changed.replace(changed.find("grid=0"), 6, "grid=1");
    EXPECT_EQ(read_profile(), changed);
}

TEST_F(ChartTest, LoadingIgnoresWhatItDoesNotKnowAndDoesNotReadDigits) {
    std::unique_ptr<Chart> chart = loaded(
        "<chart>\nperiod=30\nsomething=1\n<object>\nname=x\n</object>\ndigits=2\nsymbol=GBPUSD\n"
        "<window>\nheight=100\nwhatever\n" + moving_average_block(5, 0) + "</window>\n</chart>\nperiod=60\n");
    const ChartSettings settings = chart->settings();
    EXPECT_EQ(settings.period, 30);          // nothing after "</chart>" is read
    EXPECT_EQ(settings.digits, 4);           // GBPUSD's
    EXPECT_EQ(chart->indicator_count(0), 1u);
}

TEST_F(ChartTest, NothingIsWrittenBeforeTheLoadOrByAReadOnlyChart) {
    std::unique_ptr<Chart> chart = make_chart();
    chart->toggle(ChartFlag::Grid);
    EXPECT_TRUE(chart->save_profile());
    EXPECT_FALSE(platform::file_exists(profile_path()));

    write_profile(profile_with("period=60"));
    const std::string before = read_profile();
    std::unique_ptr<Chart> reader = make_chart(ProfileWrites::No);
    reader->load_profile();
    reader->toggle(ChartFlag::Grid);
    EXPECT_EQ(read_profile(), before);
}

TEST_F(ChartTest, ZoomRunsThroughOneToThirtyTwoAndRefusesBeyond) {
    std::unique_ptr<Chart> chart = loaded(profile_with("symbol=EURUSD\nscale=8"));
    const struct {
        Zoom direction;
        bool changed;
        int scale;
    } steps[] = {
        {Zoom::In, true, 16},  {Zoom::In, true, 32},  {Zoom::In, false, 32}, {Zoom::Out, true, 16},
        {Zoom::Out, true, 8},  {Zoom::Out, true, 4},  {Zoom::Out, true, 2},  {Zoom::Out, true, 1},
        {Zoom::Out, false, 1}, {Zoom::In, true, 2},
    };
    for (auto [direction, changed, scale] : steps) {
        EXPECT_EQ(chart->zoom(direction), changed) << scale;
        EXPECT_EQ(chart->settings().scale, scale);
    }
    EXPECT_NE(read_profile().find("scale=2\n"), std::string::npos);
    // From a profile's odd scale.
    chart = loaded(profile_with("symbol=EURUSD\nscale=17"));
    EXPECT_FALSE(chart->zoom(Zoom::In));
    EXPECT_TRUE(chart->zoom(Zoom::Out));
    EXPECT_EQ(chart->settings().scale, 8);
}

TEST_F(ChartTest, ZoomOutPullsLeftposBackToTheNewestBar) {
    market.set_bars("EURUSD", 60, bars_of(200, 60));
    std::unique_ptr<Chart> chart = loaded(profile_with("symbol=EURUSD\nscroll=1"));
    EXPECT_EQ(chart->settings().leftpos, 200 - kVisibleAtScale8);
    chart->zoom(Zoom::Out);   // 89 bars of 4 pixels
    EXPECT_EQ(chart->settings().visible_bars, 89);
    EXPECT_EQ(chart->settings().leftpos, 200 - 89);
    chart->zoom(Zoom::In);    // leftpos inside the limit stays
    EXPECT_EQ(chart->settings().leftpos, 200 - 89);
}

TEST_F(ChartTest, ScrollingIsLimitedAndAsksForMoreHistoryPastTheOldestBar) {
    market.set_bars("EURUSD", 60, bars_of(200, 60));
    std::unique_ptr<Chart> chart = loaded(profile_with("symbol=EURUSD\nscroll=0\nleftpos=50"));
    chart->scroll_to(1000);
    EXPECT_EQ(chart->settings().leftpos, 156);
    chart->scroll_to(-10);
    EXPECT_EQ(chart->settings().leftpos, 0);
    EXPECT_TRUE(market.more_history_requests.empty());
    chart->scroll_to(-1);
    ASSERT_EQ(market.more_history_requests.size(), 1u);
    EXPECT_EQ(market.more_history_requests[0].first, "EURUSD60");
    EXPECT_EQ(market.more_history_requests[0].second, static_cast<size_t>(kVisibleAtScale8 / 2));
    EXPECT_NE(read_profile().find("leftpos=0\n"), std::string::npos);
}

TEST_F(ChartTest, NewBarsFollowTheAutoScrollSetting) {
    market.set_bars("EURUSD", 60, bars_of(100, 60));
    std::unique_ptr<Chart> chart = loaded(profile_with("symbol=EURUSD\nscroll=1"));
    EXPECT_EQ(chart->settings().leftpos, 100 - kVisibleAtScale8);
    market.add_bar("EURUSD", 60, bars_of(101, 60).back());
    EXPECT_TRUE(chart->update_bars());
    EXPECT_EQ(chart->settings().leftpos, 101 - kVisibleAtScale8);
    EXPECT_FALSE(chart->update_bars());   // same version: nothing to take

    chart->toggle(ChartFlag::Scroll);     // off
    chart->scroll_to(20);
    market.add_bar("EURUSD", 60, bars_of(102, 60).back());
    chart->update_bars();
    EXPECT_EQ(chart->settings().leftpos, 20);
    EXPECT_EQ(chart->bars().size(), 102u);

    chart->toggle(ChartFlag::Scroll);     // on again: straight to the newest bar
    EXPECT_EQ(chart->settings().leftpos, 102 - kVisibleAtScale8);
    chart->toggle(ChartFlag::Shift);      // room for 20 % of the visible bars
    EXPECT_EQ(chart->settings().leftpos, 102 - kVisibleAtScale8 + 8);
    EXPECT_FALSE(chart->toggle(ChartFlag::Descriptions));
}

TEST_F(ChartTest, ChangingPeriodWithAutoScrollOffKeepsTheBarsRightOfTheView) {
    market.set_bars("EURUSD", 60, bars_of(200, 60));
    market.set_bars("EURUSD", 240, bars_of(100, 240));
    market.set_bars("GBPUSD", 60, bars_of(30, 60));
    const struct {
        int scroll, leftpos;
        const char* symbol;
        int period, new_leftpos;
    } cases[] = {
        {0, 150, "EURUSD", 240, 50},    // 200 - 150 = 50 bars from leftpos to the end, kept
        {0, 100, "EURUSD", 240, 0},     // never below 0
        {0, 150, "GBPUSD", 60, 0},
        {1, 150, "EURUSD", 240, 100 - kVisibleAtScale8},
    };
    for (auto [scroll, leftpos, symbol, period, new_leftpos] : cases) {
        std::unique_ptr<Chart> chart =
            loaded(profile_with("symbol=EURUSD\nperiod=60\nscroll=" + std::to_string(scroll) +
                                "\nleftpos=" + std::to_string(leftpos)));
        ASSERT_EQ(chart->settings().leftpos, scroll ? 200 - kVisibleAtScale8 : leftpos);
        ASSERT_TRUE(chart->set_period(symbol, period));
        const ChartSettings settings = chart->settings();
        EXPECT_EQ(settings.leftpos, new_leftpos) << symbol << period << " from " << leftpos;
        EXPECT_EQ(settings.symbol, symbol);
        EXPECT_EQ(settings.period, period);
        EXPECT_TRUE(chart->ready());
        EXPECT_NE(read_profile().find("period=" + std::to_string(period) + "\n"), std::string::npos);
    }
}

TEST_F(ChartTest, SymbolChangeMovesTheHistoryReferenceAndRefusesUnknownSymbols) {
    market.set_bars("EURUSD", 60, bars_of(50, 60));
    {
        std::unique_ptr<Chart> chart = loaded(profile_with("symbol=EURUSD"));
        EXPECT_EQ((market.references[{"EURUSD", 60}]), 1);
        EXPECT_FALSE(chart->set_period("XAUUSD", 60));
        EXPECT_EQ(chart->settings().symbol, "EURUSD");
        EXPECT_TRUE(chart->set_period("GBPUSD", 1440));
        EXPECT_EQ((market.references[{"EURUSD", 60}]), 0);
        EXPECT_EQ((market.references[{"GBPUSD", 1440}]), 1);
        EXPECT_EQ(chart->settings().digits, 4);
        EXPECT_TRUE(chart->bars().empty());
        chart->refresh();
        EXPECT_EQ(market.synchronised, std::vector<std::string>{"GBPUSD1440"});
    }
    EXPECT_EQ((market.references[{"GBPUSD", 1440}]), 0);   // released with the chart
}

TEST_F(ChartTest, AddingAnIndicatorFollowsTheWindowRules) {
    std::unique_ptr<Chart> chart = loaded(profile_with("symbol=EURUSD"));
    ASSERT_TRUE(chart->add_indicator(std::make_unique<ShapedIndicator>(kOwnWindow), -1));
    ASSERT_EQ(chart->window_count(), 2u);
    EXPECT_EQ(chart->window_weight(1), 50);
    const struct {
        const char* what;
        std::unique_ptr<CInd> (*make)();
        int window;
        bool added;
    } cases[] = {
        {"own-window kind into the main window", [] { return std::unique_ptr<CInd>(new ShapedIndicator(kOwnWindow, 3)); }, 0, false},
        {"own-window kind into a sub-window", [] { return std::unique_ptr<CInd>(new ShapedIndicator(kOwnWindow, 4)); }, 1, true},
        {"duplicate in the same window", [] { return std::unique_ptr<CInd>(new ShapedIndicator(kOwnWindow, 4)); }, 1, false},
        {"main kind taking data into a sub-window", [] { return moving_average(10); }, 1, true},
        {"main kind taking data, new window", [] { return moving_average(10); }, -1, true},
        {"main kind into the main window", [] { return moving_average(10); }, 0, true},
        {"duplicate moving average", [] { return moving_average(10); }, 0, false},
        {"main kind without data input into a sub-window", [] { return std::unique_ptr<CInd>(new ShapedIndicator(kMainOnly)); }, 1, false},
        {"main kind without data input, new window", [] { return std::unique_ptr<CInd>(new ShapedIndicator(kMainOnly)); }, -1, false},
        {"main kind without data input into the main window", [] { return std::unique_ptr<CInd>(new ShapedIndicator(kMainOnly)); }, 0, true},
        {"a window that doesn't exist", [] { return std::unique_ptr<CInd>(new ShapedIndicator(kOwnWindow, 9)); }, 7, false},
        {"a negative window other than -1", [] { return std::unique_ptr<CInd>(new ShapedIndicator(kOwnWindow, 9)); }, -2, false},
    };
    for (const auto& [what, make, window, added] : cases) {
        const size_t windows = chart->window_count();
        EXPECT_EQ(chart->add_indicator(make(), window), added) << what;
        EXPECT_EQ(chart->window_count(), windows + (added && window == -1 ? 1 : 0)) << what;
    }
    EXPECT_EQ(chart->indicator_count(0), 2u);
    EXPECT_EQ(chart->indicator_count(1), 3u);
    EXPECT_EQ(chart->indicator_count(2), 1u);
    const std::string saved = read_profile();
    EXPECT_NE(saved.find("\n<window>\nheight=50\n<indicator>\nname=Own Window\nperiod=14\n"), std::string::npos);
}

TEST_F(ChartTest, DeletingTheLastIndicatorOfASubWindowRemovesItButNeverTheMainWindow) {
    std::unique_ptr<Chart> chart = loaded(
        "<chart>\nsymbol=EURUSD\nscale=8\n<window>\nheight=100\n" + moving_average_block(5, 0) +
        "</window>\n<window>\nheight=50\n" + moving_average_block(6, 0) + moving_average_block(7, 0) +
        "</window>\n<window>\nheight=40\n" + moving_average_block(8, 0) + "</window>\n</chart>\n");
    ASSERT_EQ(chart->window_count(), 3u);
    EXPECT_FALSE(chart->delete_indicator(1, 2));       // no third indicator
    EXPECT_FALSE(chart->delete_indicator(9, 0));
    EXPECT_TRUE(chart->delete_indicator(1, 0));
    EXPECT_EQ(chart->window_count(), 3u);              // one left
    EXPECT_TRUE(chart->delete_indicator(1, 0));
    ASSERT_EQ(chart->window_count(), 2u);              // now empty: gone
    EXPECT_EQ(chart->window_weight(1), 40);
    EXPECT_TRUE(chart->delete_indicator(0, 0));
    EXPECT_EQ(chart->window_count(), 2u);              // the main window stays with its price series
    EXPECT_EQ(chart->indicator_count(0), 0u);
    EXPECT_FALSE(chart->delete_indicator(0, 0));       // the price series is never removed
    EXPECT_FALSE(chart->delete_window(0));
    EXPECT_TRUE(chart->delete_window(1));
    EXPECT_FALSE(chart->delete_window(1));
    EXPECT_EQ(chart->window_count(), 1u);
    EXPECT_EQ(read_profile().find("height=40"), std::string::npos);
}

TEST_F(ChartTest, EditingAnIndicatorRecalculatesItAndSavesTheProfile) {
    market.set_bars("EURUSD", 60, bars_of(40, 60));
    std::unique_ptr<Chart> chart = loaded("<chart>\nsymbol=EURUSD\nperiod=60\nscale=8\n<window>\nheight=100\n" +
                                          moving_average_block(5, 0) + "</window>\n</chart>\n");
    const auto first_value = [&] {
        int begin = -1;
        chart->for_each_window([&](const ChartWindow& window) {
            if (window.is_main()) begin = window.indicator(0)->draw_begin();
        });
        return begin;
    };
    EXPECT_EQ(first_value(), 5);
    EXPECT_TRUE(chart->edit_indicator(0, 0, [](CInd& indicator) { indicator.set_period(9); }));
    EXPECT_EQ(first_value(), 9);
    EXPECT_NE(read_profile().find("name=Moving Average\nperiod=9\n"), std::string::npos);
    EXPECT_FALSE(chart->edit_indicator(0, 1, [](CInd&) {}));
    EXPECT_FALSE(chart->edit_indicator(3, 0, [](CInd&) {}));
}

TEST_F(ChartTest, DeletingAnIndicatorTakesTheIndicatorsOnItsDataWithIt) {
    // Periods name the indicators; the second number is the applied price.
    const std::vector<std::pair<int, int>> window = {{11, 0}, {12, 7}, {13, 7}, {14, 0}, {15, 7}, {16, 8}, {17, 0}};
    const struct {
        int deleted;
        std::vector<int> left;
    } cases[] = {
        {0, {14, 15, 17}},           // the first: its run of 7s and every 8
        {3, {11, 12, 13, 16, 17}},   // 14 with the 15 after it
        {1, {11, 14, 15, 16, 17}},   // 12 with 13
        {6, {11, 12, 13, 14, 15, 16}},
    };
    for (const auto& [deleted, left] : cases) {
        std::string blocks;
        for (auto [period, apply] : window) blocks += moving_average_block(period, apply);
        std::unique_ptr<Chart> chart =
            loaded("<chart>\nsymbol=EURUSD\n<window>\nheight=100\n" + blocks + "</window>\n</chart>\n");
        ASSERT_TRUE(chart->delete_indicator(0, deleted));
        std::vector<int> periods;
        chart->for_each_window([&](const ChartWindow& w) {
            for (size_t i = 0; i < w.indicator_count(); ++i) periods.push_back(w.indicator(i)->period());
        });
        EXPECT_EQ(periods, left) << "deleting " << deleted;
    }
}

TEST_F(ChartTest, LayoutAndSplitterDragFollowTheWeights) {
    std::unique_ptr<Chart> chart = loaded(profile_with("symbol=EURUSD"));
    ASSERT_TRUE(chart->add_indicator(std::make_unique<ShapedIndicator>(kOwnWindow), -1));
    // Drawing rectangle {3, 2, 361, 282}: weights 100 and 50 share 280 pixels.
    EXPECT_EQ(chart->window_rect(0).bottom, 2 + 280 * 100 / 150 - 2);
    EXPECT_EQ(chart->window_rect(1).top, chart->window_rect(0).bottom + 2);
    EXPECT_EQ(chart->window_rect(1).bottom, 282);

    const Rect main = chart->window_rect(0);
    const Hit hit = chart->hit_test(100, main.bottom);
    ASSERT_EQ(hit.code, HitCode::Splitter);
    ASSERT_TRUE(chart->begin_drag(hit.window));
    EXPECT_EQ(chart->dragged_window(), 0);
    // 150 x (142 - 2 + 2) / 282 = 75: the two windows now weigh the same.
    EXPECT_TRUE(chart->drag_to(142));
    EXPECT_EQ(chart->window_weight(0), 75);
    EXPECT_EQ(chart->window_weight(1), 75);
    EXPECT_FALSE(chart->drag_to(3));                  // would leave the upper window 4 or less
    EXPECT_EQ(chart->window_weight(0), 75);
    chart->end_drag();
    EXPECT_EQ(chart->dragged_window(), -1);
    EXPECT_NE(read_profile().find("<window>\nheight=75\n<indicator>\nname=Own Window"), std::string::npos);
    EXPECT_FALSE(chart->drag_to(100));
    EXPECT_FALSE(chart->begin_drag(1));               // nothing below the last window

    // A sub-window with nothing shown on the period gets no space.
    chart = loaded(profile_with("symbol=EURUSD\nperiod=60") );
    std::unique_ptr<CInd> hidden = std::make_unique<ShapedIndicator>(kOwnWindow);
    hidden->set_period_flags(1);   // M1 only
    ASSERT_TRUE(chart->add_indicator(std::move(hidden), -1));
    EXPECT_EQ(chart->window_rect(0).bottom, 282);
    EXPECT_EQ(chart->window_rect(1).height(), 0);
}

TEST_F(ChartTest, TimeAtXAndHitTestUseTheChartsBarsAndCrosshair) {
    market.set_bars("EURUSD", 60, bars_of(100, 60));
    std::unique_ptr<Chart> chart = loaded(profile_with("symbol=EURUSD\nscroll=0\nleftpos=10"));
    EXPECT_EQ(chart->time_at_x(3 + 16), kMonday + 12 * kHour);
    EXPECT_EQ(chart->hit_test(350, 5).code, HitCode::Window);
    chart->set_crosshair(true);
    EXPECT_EQ(chart->hit_test(350, 5).code, HitCode::CrosshairClose);
    EXPECT_EQ(chart->hit_test(370, 50).code, HitCode::CrosshairRight);
    EXPECT_EQ(chart->hit_test(500, 500).code, HitCode::Outside);
}

TEST_F(ChartTest, ScreenDpiScalesTheNewSubWindowMarginsAndBarStep) {
    metrics.dpi_x = metrics.dpi_y = 192;
    std::unique_ptr<Chart> chart = loaded(profile_with("symbol=EURUSD"));
    ASSERT_TRUE(chart->add_indicator(std::make_unique<ShapedIndicator>(kOwnWindow), -1));
    EXPECT_EQ(chart->window_weight(1), 100);   // (192 x 50 + 48) / 96
    const ChartSettings settings = chart->settings();
    EXPECT_EQ(settings.margins.left, 4);
    EXPECT_EQ(settings.margins.right, 70);
    EXPECT_EQ(settings.margins.bottom, 30);
    EXPECT_EQ(settings.dpi_y, 192);
    EXPECT_EQ(chart->font_size(), 65);
    EXPECT_EQ(settings.visible_bars, (400 - 4 - 70) / 16);   // bar step 8 x 2
}

TEST_F(ChartTest, SchemeAndGraphModeChangesAreSaved) {
    std::unique_ptr<Chart> chart = loaded(profile_with("symbol=EURUSD"));
    chart->set_colour_scheme(ColourScheme::GreenOnBlack);
    chart->set_graph_mode(GraphMode::Line);
    EXPECT_EQ(chart->settings().colours, scheme_colours(ColourScheme::GreenOnBlack));
    const std::string saved = read_profile();
    EXPECT_NE(saved.find("color_scheme=1\n"), std::string::npos);
    EXPECT_NE(saved.find("graphmode=2\n"), std::string::npos);
}

}  // namespace
}  // namespace kb::chart
