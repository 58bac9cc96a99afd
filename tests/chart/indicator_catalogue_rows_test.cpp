// The thirty classes of the catalogue as a user and the chart profile see them: identity,
// labels, default blocks written byte for byte, limits of their keys, equality and the
// settings-store defaults.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "chart/catalogue/indicator_factory.h"
#include "core/settings_store.h"
#include "tests/chart/bars_fixture.h"
#include "tests/chart/indicator_fixture.h"
#include "tests/support/temp_folder.h"

namespace kb::chart {
namespace {

using test::read_block;
using test::saved_block;
using test::with_lines;

struct Row {
    const char* name;
    IndicatorType type;
    WindowKind window;
    DrawKind draw;
    bool source;
    bool input;
    const char* label;
    int digits_at_5;   // value-text digits with a 5-digit symbol
};

const Row kRows[] = {
    {"Accelerator Oscillator", IndicatorType::AcceleratorOscillator, WindowKind::Own, DrawKind::Histogram, true, false, "AC", 7},
    {"Accumulation/Distribution", IndicatorType::AccumulationDistribution, WindowKind::Own, DrawKind::Lines, true, false, "A/D", 0},
    {"Alligator", IndicatorType::Alligator, WindowKind::Main, DrawKind::Lines, false, false, "Alligator", 5},
    {"Average Directional Movement Index", IndicatorType::AverageDirectionalMovementIndex, WindowKind::Own, DrawKind::Lines, true, false, "ADX(14)", 4},
    {"Average True Range", IndicatorType::AverageTrueRange, WindowKind::Own, DrawKind::Lines, true, false, "ATR(14)", 4},
    {"Awesome Oscillator", IndicatorType::AwesomeOscillator, WindowKind::Own, DrawKind::Histogram, true, false, "AO", 6},
    {"Bears Power", IndicatorType::BearsPower, WindowKind::Own, DrawKind::Histogram, true, false, "Bears(13)", 5},
    {"Bollinger Bands", IndicatorType::BollingerBands, WindowKind::Main, DrawKind::Lines, true, true, "Bands(20)", 5},
    {"Bulls Power", IndicatorType::BullsPower, WindowKind::Own, DrawKind::Histogram, true, false, "Bulls(13)", 5},
    {"Commodity Channel Index", IndicatorType::CommodityChannelIndex, WindowKind::Own, DrawKind::Lines, true, false, "CCI(14)", 4},
    {"DeMarker", IndicatorType::DeMarker, WindowKind::Own, DrawKind::Lines, true, false, "DeM(14)", 4},
    {"Envelopes", IndicatorType::Envelopes, WindowKind::Main, DrawKind::Lines, true, true, "Env(14)", 5},
    {"Force Index", IndicatorType::ForceIndex, WindowKind::Own, DrawKind::Lines, true, false, "Force(13)", 4},
    {"Fractals", IndicatorType::Fractals, WindowKind::Main, DrawKind::Arrows, false, false, "Fractals", 5},
    {"Gator Oscillator", IndicatorType::GatorOscillator, WindowKind::Own, DrawKind::Histogram, false, false, "Gator", 6},
    {"Ichimoku Kinko Hyo", IndicatorType::IchimokuKinkoHyo, WindowKind::Main, DrawKind::Lines, false, false, "Ichimoku(9,26,52)", 5},
    {"MACD", IndicatorType::Macd, WindowKind::Own, DrawKind::Histogram, true, true, "MACD(12,26,9)", 6},
    {"Market Facilitation Index", IndicatorType::MarketFacilitationIndex, WindowKind::Own, DrawKind::Histogram, true, false, "BW MFI", 4},
    {"Momentum", IndicatorType::Momentum, WindowKind::Own, DrawKind::Lines, true, false, "Momentum(14)", 4},
    {"Money Flow Index", IndicatorType::MoneyFlowIndex, WindowKind::Own, DrawKind::Lines, true, false, "MFI(14)", 4},
    {"Moving Average", IndicatorType::MovingAverage, WindowKind::Main, DrawKind::Lines, true, true, "MA(14)", 5},
    {"Moving Average of Oscillator", IndicatorType::MovingAverageOfOscillator, WindowKind::Own, DrawKind::Histogram, true, true, "OsMA(12,26,9)", 7},
    {"On Balance Volume", IndicatorType::OnBalanceVolume, WindowKind::Own, DrawKind::Lines, true, false, "OBV", 0},
    {"Parabolic SAR", IndicatorType::ParabolicSar, WindowKind::Main, DrawKind::Arrows, false, false, "SAR(0.02,0.20)", 5},
    {"Relative Strength Index", IndicatorType::RelativeStrengthIndex, WindowKind::Own, DrawKind::Lines, true, false, "RSI(14)", 4},
    {"Relative Vigor Index", IndicatorType::RelativeVigorIndex, WindowKind::Own, DrawKind::Lines, true, false, "RVI(10)", 4},
    {"Standard Deviation", IndicatorType::StandardDeviation, WindowKind::Own, DrawKind::Lines, true, true, "StdDev(20)", 4},
    {"Stochastic Oscillator", IndicatorType::StochasticOscillator, WindowKind::Own, DrawKind::Lines, true, false, "Stoch(5,3,3)", 4},
    {"Volumes", IndicatorType::Volumes, WindowKind::Own, DrawKind::Histogram, true, false, "Volumes", 0},
    {"Williams' Percent Range", IndicatorType::WilliamsPercentRange, WindowKind::Own, DrawKind::Lines, true, false, "%R(14)", 4},
};

TEST(IndicatorCatalogue, EveryDisplayNameCreatesItsClass) {
    ASSERT_EQ(std::size(kRows), catalogue_names().size());
    for (std::size_t i = 0; i < std::size(kRows); ++i) {
        const Row& row = kRows[i];
        SCOPED_TRACE(row.name);
        EXPECT_EQ(catalogue_names()[i], row.name);   // the built-in, alphabetical order
        auto indicator = create_indicator(row.name);
        ASSERT_NE(indicator, nullptr);
        EXPECT_EQ(indicator->registry_name(), row.name);
        EXPECT_EQ(indicator->type(), row.type);
        EXPECT_EQ(indicator->window_kind(), row.window);
        EXPECT_EQ(indicator->draw_kind(), row.draw);
        EXPECT_EQ(indicator->can_serve_as_source(), row.source);
        EXPECT_EQ(indicator->accepts_data_input(), row.input);
        EXPECT_EQ(indicator->label(), row.label);
        EXPECT_LE(indicator->buffer_count(), kMaxIndicatorBuffers);
    }
}

TEST(IndicatorCatalogue, OtherNamesCreateNothing) {
    for (const char* name : {"main", "None", "", "moving average", "Moving Average ", "RSI", "MACD\r"})
        EXPECT_EQ(create_indicator(name), nullptr) << name;
}

TEST(IndicatorCatalogue, ValueDigitsFollowTheSymbolWhereTheyShowPrices) {
    const auto bars = test::random_bars(60);
    for (const Row& row : kRows) {
        for (int symbol_digits : {5, 2, -1}) {
            auto indicator = create_indicator(row.name);
            BarsUpdate update{.symbol = "EURUSD", .period = 60, .bars = bars, .bar_capacity = 60,
                              .history_version = 1, .symbol_digits = symbol_digits};
            indicator->calculate_on_bars(update);
            // Price-based digits move with the symbol's (4 when it is unknown); fixed ones don't.
            const int shown = symbol_digits < 0 ? 4 : symbol_digits;
            const int expected = row.digits_at_5 == 0 || row.digits_at_5 == 4 ? row.digits_at_5
                                                                              : shown + (row.digits_at_5 - 5);
            EXPECT_EQ(indicator->digits(), expected) << row.name << " at " << symbol_digits;
        }
    }
}

// The block of a new indicator of each class, as the chart profile holds it.
const std::pair<const char*, const char*> kDefaultBlocks[] = {
    {"Accelerator Oscillator",
     "color=32768\nstyle=0\nweight=1\ncolor2=255\nstyle2=0\nweight2=1\nperiod_flags=511\n"},
    {"Accumulation/Distribution", "period=14\napply=-1\ncolor=11186720\nstyle=0\nweight=1\nperiod_flags=511\n"},
    {"Alligator",
     "period=13\nshift=8\nperiod2=8\nshift2=5\nperiod3=5\nshift3=3\nmethod=2\napply=4\n"
     "color=16711680\nstyle=0\nweight=1\ncolor2=255\nstyle2=0\nweight2=1\ncolor3=65280\nstyle3=0\nweight3=1\n"
     "period_flags=511\n"},
    {"Average Directional Movement Index",
     "period=14\napply=0\ncolor=11186720\nstyle=0\nweight=1\ncolor2=3329434\nstyle2=1\nweight2=1\n"
     "color3=11788018\nstyle3=1\nweight3=1\nperiod_flags=511\n"},
    {"Average True Range", "period=14\napply=-1\ncolor=11186720\nstyle=0\nweight=1\nperiod_flags=511\n"},
    {"Awesome Oscillator",
     "color=32768\nstyle=0\nweight=1\ncolor2=255\nstyle2=0\nweight2=1\nperiod_flags=511\n"},
    {"Bears Power", "period=13\napply=0\ncolor=12632256\nstyle=0\nweight=1\nperiod_flags=511\n"},
    {"Bollinger Bands",
     "period=20\nshift=0\ndeviations=2\napply=0\ncolor=7451452\nstyle=0\nweight=1\nperiod_flags=511\n"},
    {"Bulls Power", "period=13\napply=0\ncolor=12632256\nstyle=0\nweight=1\nperiod_flags=511\n"},
    {"Commodity Channel Index",
     "period=14\napply=5\ncolor=11186720\nstyle=0\nweight=1\nlevels_color=12632256\nlevels_style=1\n"
     "levels_weight=1\nlevel_0=-100.0000\nlevel_1=100.0000\nperiod_flags=511\n"},
    {"DeMarker",
     "period=14\napply=-1\ncolor=11186720\nstyle=0\nweight=1\nmin=0.000000\nmax=1.000000\n"
     "levels_color=12632256\nlevels_style=1\nlevels_weight=1\nlevel_0=0.3000\nlevel_1=0.7000\nperiod_flags=511\n"},
    {"Envelopes",
     "period=14\nshift=0\nmethod=0\napply=0\ndeviation=0.10\ncolor=16711680\nstyle=0\nweight=1\n"
     "color2=255\nstyle2=0\nweight2=1\nperiod_flags=511\n"},
    {"Force Index", "period=13\nmethod=0\napply=0\ncolor=11186720\nstyle=0\nweight=1\nperiod_flags=511\n"},
    {"Fractals", "color=16711680\nweight=1\ncolor2=255\nweight2=1\nperiod_flags=511\n"},
    {"Gator Oscillator",
     "period=13\nshift=8\nperiod2=8\nshift2=5\nperiod3=5\nshift3=3\nmethod=2\napply=4\n"
     "color=32768\nstyle=0\nweight=1\ncolor2=255\nstyle2=0\nweight2=1\nperiod_flags=511\n"},
    {"Ichimoku Kinko Hyo",
     "tenkan=9\nkijun=26\nsenkou=52\ncolor=255\nstyle=0\nweight=1\ncolor2=16711680\nstyle2=0\nweight2=1\n"
     "color3=65280\nstyle3=0\nweight3=1\ncolor4=6333684\nstyle4=0\nweight4=1\ncolor5=14204888\nstyle5=0\n"
     "weight5=1\nperiod_flags=511\n"},
    {"MACD",
     "fast_ema=12\nslow_ema=26\nmacd_sma=9\napply=0\ncolor=12632256\nstyle=0\nweight=1\nsignal_color=255\n"
     "signal_style=1\nsignal_weight=1\nperiod_flags=511\n"},
    {"Market Facilitation Index",
     "color=65280\nstyle=0\nweight=1\ncolor2=1262987\nstyle2=0\nweight2=1\ncolor3=16711680\nstyle3=0\n"
     "weight3=1\ncolor4=13353215\nstyle4=0\nweight4=1\nmin=0.000000\nperiod_flags=511\n"},
    {"Momentum", "period=14\napply=0\ncolor=16748574\nstyle=0\nweight=1\nperiod_flags=511\n"},
    {"Money Flow Index",
     "period=14\napply=-1\ncolor=16748574\nstyle=0\nweight=1\nmin=0.000000\nmax=100.000000\n"
     "levels_color=12632256\nlevels_style=1\nlevels_weight=1\nlevel_0=20.0000\nlevel_1=80.0000\nperiod_flags=511\n"},
    {"Moving Average", "period=14\nshift=0\nmethod=0\napply=0\ncolor=255\nstyle=0\nweight=1\nperiod_flags=511\n"},
    {"Moving Average of Oscillator",
     "fast_ema=12\nslow_ema=26\nmacd_sma=9\napply=0\ncolor=12632256\nstyle=0\nweight=1\nperiod_flags=511\n"},
    {"On Balance Volume", "apply=0\ncolor=11186720\nstyle=0\nweight=1\nperiod_flags=511\n"},
    {"Parabolic SAR", "step=0.0200\nend=0.2000\ncolor=65280\nstyle=0\nweight=1\nperiod_flags=511\n"},
    {"Relative Strength Index",
     "period=14\napply=0\ncolor=16748574\nstyle=0\nweight=1\nmin=0.000000\nmax=100.000000\n"
     "levels_color=12632256\nlevels_style=1\nlevels_weight=1\nlevel_0=30.0000\nlevel_1=70.0000\nperiod_flags=511\n"},
    {"Relative Vigor Index",
     "period=10\ncolor=32768\nstyle=0\nweight=1\ncolor2=255\nstyle2=0\nweight2=1\nperiod_flags=511\n"},
    {"Standard Deviation",
     "period=20\nshift=0\nmethod=0\napply=0\ncolor=7451452\nstyle=0\nweight=1\nmin=0.000000\nperiod_flags=511\n"},
    {"Stochastic Oscillator",
     "kperiod=5\ndperiod=3\nslowing=3\nmethod=0\napply=0\ncolor=11186720\nstyle=0\nweight=1\ncolor2=255\n"
     "style2=1\nweight2=1\nmin=0.000000\nmax=100.000000\nlevels_color=12632256\nlevels_style=1\n"
     "levels_weight=1\nlevel_0=20.0000\nlevel_1=80.0000\nperiod_flags=511\n"},
    {"Volumes",
     "color=32768\nstyle=0\nweight=1\ncolor2=255\nstyle2=0\nweight2=1\nmin=0.000000\nperiod_flags=511\n"},
    {"Williams' Percent Range",
     "period=14\ncolor=16776960\nstyle=0\nweight=1\nmin=-100.000000\nmax=0.000000\nlevels_color=12632256\n"
     "levels_style=1\nlevels_weight=1\nlevel_0=-80.0000\nlevel_1=-20.0000\nperiod_flags=511\n"},
};

TEST(IndicatorCatalogue, NewIndicatorsSaveTheirDefaultBlock) {
    ASSERT_EQ(std::size(kDefaultBlocks), std::size_t{kCatalogueSize});
    for (auto [name, body] : kDefaultBlocks) {
        auto indicator = create_indicator(name);
        ASSERT_NE(indicator, nullptr) << name;
        EXPECT_EQ(saved_block(*indicator),
                  std::string("<indicator>\nname=") + name + "\n" + body + "</indicator>\n");
    }
}

TEST(IndicatorCatalogue, BlocksRoundTripByteForByte) {
    // Every class with its defaults, and a few with every kind of common field set.
    std::vector<std::string> blocks;
    for (auto [name, body] : kDefaultBlocks) blocks.push_back(std::string("name=") + name + "\n" + body);
    blocks.push_back(
        "name=Relative Strength Index\nperiod=9\napply=6\ncolor=123\nstyle=1\nweight=3\nmin=-0.500000\n"
        "max=120.250000\nlevels_color=5\nlevels_style=0\nlevels_weight=2\nlevel_0=10.0000\n"
        "description_0=low water\nlevel_1=0.0000\nlevel_2=95.1235\ndescription_2=high\nperiod_flags=48\n");
    blocks.push_back(
        "name=Moving Average\nperiod=50\nshift=-3\nmethod=3\napply=7\ncolor=0\nstyle=1\nweight=2\n"
        "levels_color=12632256\nlevels_style=0\nlevels_weight=1\nlevel_0=1.2345\nperiod_flags=-1\n");
    blocks.push_back("name=Parabolic SAR\nstep=0.0350\nend=0.5000\ncolor=1\nstyle=1\nweight=4\nperiod_flags=0\n");
    blocks.push_back(
        "name=Envelopes\nperiod=7\nshift=2\nmethod=1\napply=8\ndeviation=12.35\ncolor=1\nstyle=0\nweight=1\n"
        "color2=2\nstyle2=1\nweight2=5\nperiod_flags=16\n");
    for (const std::string& block : blocks) {
        std::string text = block + "</indicator>\n";
        TextLineSource lines(text);
        IndicatorBlock read = read_indicator_block(lines, nullptr);
        ASSERT_EQ(read.kind, IndicatorBlockKind::Created) << block;
        EXPECT_EQ(saved_block(*read.indicator), "<indicator>\n" + text) << block;
    }
}

// One key line read into a new indicator, and the line its block then holds.
struct Limit {
    const char* name;
    const char* line;
    const char* saved;
};

TEST(IndicatorCatalogue, KeysOutsideTheirLimitsTakeTheLimit) {
    const Limit cases[] = {
        {"Relative Strength Index", "period=0", "period=14"},
        {"Relative Strength Index", "period=-3", "period=14"},
        {"Relative Strength Index", "period=4001", "period=14"},
        {"Relative Strength Index", "period=4000", "period=4000"},
        {"Relative Strength Index", "period=1", "period=1"},
        {"Relative Strength Index", "period=abc", "period=14"},
        {"Relative Strength Index", "period=21 bars", "period=21"},
        {"Bulls Power", "period=0", "period=14"},   // the common limit, not the class default
        {"Alligator", "period=0", "period=14"},
        {"Stochastic Oscillator", "apply=2", "apply=0"},
        {"Stochastic Oscillator", "apply=1", "apply=1"},
        {"Stochastic Oscillator", "apply=-1", "apply=0"},
        {"Stochastic Oscillator", "kperiod=0", "kperiod=1"},
        {"Stochastic Oscillator", "kperiod=4001", "kperiod=1"},
        {"Stochastic Oscillator", "dperiod=4000", "dperiod=4000"},
        {"Stochastic Oscillator", "slowing=-2", "slowing=1"},
        {"Bollinger Bands", "deviations=16", "deviations=2"},
        {"Bollinger Bands", "deviations=0", "deviations=2"},
        {"Bollinger Bands", "deviations=15", "deviations=15"},
        {"Bollinger Bands", "deviations=1", "deviations=1"},
        {"Parabolic SAR", "step=0", "step=0.0200"},
        {"Parabolic SAR", "step=-0.1", "step=0.0200"},
        {"Parabolic SAR", "end=0.01", "end=0.2000"},    // below the step 0.02
        {"Parabolic SAR", "end=0.02", "end=0.0200"},
        {"Envelopes", "deviation=0", "deviation=0.10"},
        {"Envelopes", "deviation=-4", "deviation=0.10"},
        {"Envelopes", "deviation=250", "deviation=100.00"},
        {"Envelopes", "deviation=100", "deviation=100.00"},
        {"Envelopes", "deviation=0.05", "deviation=0.05"},
        {"Envelopes", "deviation=x", "deviation=0.10"},   // unreadable: the key is absent
    };
    for (const Limit& c : cases) {
        auto indicator = read_block(c.name, std::string(c.line) + "\n");
        ASSERT_NE(indicator, nullptr) << c.name;
        const std::string block = saved_block(*indicator);
        EXPECT_NE(block.find(std::string("\n") + c.saved + "\n"), std::string::npos)
            << c.name << ": " << c.line << " gave\n" << block;
    }
}

TEST(IndicatorCatalogue, MaximumOfParabolicIsCheckedAgainstTheStepOfTheBlock) {
    // The maximum line may come first; the step it is compared with is the block's.
    auto kept = read_block("Parabolic SAR", "end=0.01\nstep=0.005\n");
    EXPECT_NE(saved_block(*kept).find("\nstep=0.0050\nend=0.0100\n"), std::string::npos) << saved_block(*kept);
    auto replaced = read_block("Parabolic SAR", "step=0.05\nend=0.04\n");
    EXPECT_NE(saved_block(*replaced).find("\nstep=0.0500\nend=0.2000\n"), std::string::npos);
    EXPECT_EQ(replaced->label(), "SAR(0.05,0.20)");
}

TEST(IndicatorCatalogue, IndicatorsOverThePricesIgnoreScaleBounds) {
    for (const char* name : {"Moving Average", "Envelopes", "Bollinger Bands"}) {
        auto indicator = read_block(name, "min=1.5\nmax=2.5\n");
        EXPECT_FALSE(indicator->fixed_minimum()) << name;
        EXPECT_FALSE(indicator->fixed_maximum()) << name;
    }
    auto alligator = read_block("Alligator", "min=1.5\n");
    EXPECT_EQ(alligator->fixed_minimum(), 1.5);
}

TEST(IndicatorCatalogue, LabelsFollowTheParametersRead) {
    const Limit cases[] = {   // name, block body, label
        {"Relative Strength Index", "period=9\n", "RSI(9)"},
        {"Williams' Percent Range", "period=30\n", "%R(30)"},
        {"MACD", "fast_ema=5\nslow_ema=35\nmacd_sma=5\n", "MACD(5,35,5)"},
        {"Moving Average of Oscillator", "fast_ema=8\n", "OsMA(8,26,9)"},
        {"Stochastic Oscillator", "kperiod=14\nslowing=1\n", "Stoch(14,3,1)"},
        {"Ichimoku Kinko Hyo", "tenkan=7\nsenkou=44\n", "Ichimoku(7,26,44)"},
        {"Parabolic SAR", "step=0.03\nend=0.3\n", "SAR(0.03,0.30)"},
        {"Volumes", "period=20\n", "Volumes"},
    };
    for (const Limit& c : cases) EXPECT_EQ(read_block(c.name, c.line)->label(), c.saved) << c.name;
}

// Two indicators made from key lines, and whether a window refuses the second as a
// duplicate of the first.
struct Pair {
    const char* name_a;
    std::initializer_list<std::string_view> lines_a;
    const char* name_b;
    std::initializer_list<std::string_view> lines_b;
    bool equal;
};

TEST(IndicatorCatalogue, EqualityRefusesDuplicates) {
    const Pair cases[] = {
        {"Volumes", {}, "Volumes", {}, true},
        {"Relative Strength Index", {}, "Commodity Channel Index", {"apply=0"}, false},
        {"Relative Strength Index", {"period=9"}, "Relative Strength Index", {"period=9", "color=1"}, true},
        {"Relative Strength Index", {"period=9"}, "Relative Strength Index", {"period=10"}, false},
        {"Relative Strength Index", {"apply=1"}, "Relative Strength Index", {"apply=2"}, false},
        {"Moving Average", {}, "Moving Average", {"shift=1"}, false},
        {"Moving Average", {}, "Moving Average", {"method=1"}, false},
        {"Moving Average", {"apply=7"}, "Moving Average", {"apply=7"}, false},   // each on its own predecessor
        {"Moving Average", {"apply=8"}, "Moving Average", {"apply=8"}, true},
        {"Envelopes", {}, "Envelopes", {"deviation=0.2"}, false},
        {"Envelopes", {}, "Envelopes", {"color2=7"}, true},
        {"Bollinger Bands", {}, "Bollinger Bands", {"deviations=3"}, false},
        {"Bollinger Bands", {}, "Bollinger Bands", {"shift=2"}, false},
        {"Standard Deviation", {}, "Standard Deviation", {"shift=2"}, true},
        {"Standard Deviation", {}, "Standard Deviation", {"method=2"}, false},
        {"Parabolic SAR", {}, "Parabolic SAR", {"period=30"}, true},
        {"Parabolic SAR", {}, "Parabolic SAR", {"step=0.03"}, false},
        {"Parabolic SAR", {}, "Parabolic SAR", {"end=0.3"}, false},
        {"MACD", {}, "MACD", {"macd_sma=10"}, false},
        {"MACD", {"apply=7"}, "MACD", {"apply=7"}, true},
        {"MACD", {}, "Moving Average of Oscillator", {}, false},
        {"Stochastic Oscillator", {}, "Stochastic Oscillator", {"apply=1"}, false},
        {"Stochastic Oscillator", {}, "Stochastic Oscillator", {"method=3"}, false},
        {"Stochastic Oscillator", {}, "Stochastic Oscillator", {"period=30"}, true},
        {"Alligator", {}, "Alligator", {"shift3=4"}, false},
        {"Alligator", {}, "Alligator", {"period2=9"}, false},
        {"Alligator", {}, "Gator Oscillator", {}, false},
        {"Gator Oscillator", {}, "Gator Oscillator", {"color2=9"}, true},
        {"Force Index", {}, "Force Index", {"method=1"}, false},
        {"Ichimoku Kinko Hyo", {}, "Ichimoku Kinko Hyo", {"kijun=30"}, false},
        {"Ichimoku Kinko Hyo", {}, "Ichimoku Kinko Hyo", {"apply=3"}, true},
    };
    for (const Pair& c : cases) {
        auto a = with_lines(c.name_a, c.lines_a);
        auto b = with_lines(c.name_b, c.lines_b);
        EXPECT_EQ(a->equals(*b), c.equal) << c.name_a << " / " << c.name_b << "\n" << saved_block(*b);
        EXPECT_EQ(b->equals(*a), c.equal) << c.name_b << " / " << c.name_a;
    }
}

class IndicatorSettingsDefaults : public ::testing::Test {
protected:
    testing::TempFolder folder_;
    core::SettingsStore store_{folder_.file("settings")};
    void number(const std::string& name, int32_t value) { store_.write_number(core::kSectionIndicators, name, value); }
    void text(const std::string& name, const std::string& value) {
        store_.write_text(core::kSectionIndicators, name, value);
    }
};

TEST_F(IndicatorSettingsDefaults, MissingValuesKeepTheClassDefaults) {
    for (auto [name, body] : kDefaultBlocks) {
        auto indicator = create_indicator(name);
        indicator->load_defaults(store_);
        EXPECT_EQ(saved_block(*indicator), std::string("<indicator>\nname=") + name + "\n" + body + "</indicator>\n");
    }
}

TEST_F(IndicatorSettingsDefaults, StoredValuesReplaceTheDefaults) {
    const std::string rsi = "Relative Strength Index";
    number(rsi + "_period", 21);
    number(rsi + "_apply", 9);   // above 6: close
    number(rsi + "_color", 77);
    number(rsi + "_style", 1);
    number(rsi + "_weight", 2);
    number(rsi + "_levelcolor", 5);
    number(rsi + "_levelstyle", 0);
    number(rsi + "_levelweight", 3);
    number(rsi + "_levels", 3);
    text(rsi + "_level0", "25");
    text(rsi + "_level1", "");   // keeps the class's 70
    text(rsi + "_level2", "90.5");
    text(rsi + "_description2", "a description longer than thirty-one bytes");
    auto indicator = create_indicator(rsi);
    indicator->load_defaults(store_);
    EXPECT_EQ(saved_block(*indicator),
              "<indicator>\nname=Relative Strength Index\nperiod=21\napply=0\ncolor=77\nstyle=1\nweight=2\n"
              "min=0.000000\nmax=100.000000\nlevels_color=5\nlevels_style=0\nlevels_weight=3\nlevel_0=25.0000\n"
              "level_1=70.0000\nlevel_2=90.5000\ndescription_2=a description longer than thirt\n"
              "period_flags=511\n</indicator>\n");
    EXPECT_EQ(indicator->label(), "RSI(21)");
}

TEST_F(IndicatorSettingsDefaults, ClassesReadTheirOwnValues) {
    number("Moving Average_shift", 4);
    number("Moving Average_method", 3);
    text("Envelopes_deviation", "0.25");
    number("Bollinger Bands_deviations", 3);
    text("Parabolic SAR_step", "0.03");
    text("Parabolic SAR_end", "0.01");   // below the step: 0.2
    number("MACD_fastema", 5);
    number("MACD_slowema", 40);
    number("MACD_macdsma", 4);
    number("MACD_color2", 99);
    number("Stochastic Oscillator_kperiod", 0);   // outside 1..4000: 1
    number("Stochastic Oscillator_dperiod", 6);
    number("Stochastic Oscillator_slowing", 2);
    number("Stochastic Oscillator_apply", 3);      // not a price field: 0
    number("Ichimoku Kinko Hyo_tenkan", 10);
    number("Ichimoku Kinko Hyo_weight5", 3);
    number("Alligator_period2", 9);
    number("Alligator_shift3", 2);
    number("Gator Oscillator_method", 1);
    number("Force Index_method", 2);

    const std::pair<const char*, const char*> expected[] = {
        {"Moving Average", "\nperiod=14\nshift=4\nmethod=3\napply=0\n"},
        {"Envelopes", "\ndeviation=0.25\n"},
        {"Bollinger Bands", "\ndeviations=3\n"},
        {"Parabolic SAR", "\nstep=0.0300\nend=0.2000\n"},
        {"MACD", "\nfast_ema=5\nslow_ema=40\nmacd_sma=4\n"},
        {"MACD", "\nsignal_color=99\n"},
        {"Stochastic Oscillator", "\nkperiod=1\ndperiod=6\nslowing=2\nmethod=0\napply=0\n"},
        {"Ichimoku Kinko Hyo", "\ntenkan=10\nkijun=26\n"},
        {"Ichimoku Kinko Hyo", "\nweight5=3\n"},
        {"Alligator", "\nperiod=13\nshift=8\nperiod2=9\nshift2=5\nperiod3=5\nshift3=2\n"},
        {"Gator Oscillator", "\nmethod=1\n"},
        {"Force Index", "\nmethod=2\n"},
    };
    for (auto [name, lines] : expected) {
        auto indicator = create_indicator(name);
        indicator->load_defaults(store_);
        const std::string block = saved_block(*indicator);
        EXPECT_NE(block.find(lines), std::string::npos) << name << " wants" << lines << "in\n" << block;
    }
}

}  // namespace
}  // namespace kb::chart
