#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "chart/indicators/applied_price.h"
#include "chart/indicators/histogram_colours.h"
#include "chart/indicators/volume_indicators.h"
#include "tests/chart/bars_fixture.h"

namespace kb::chart::ind {
namespace {

using test::bar;
using test::view;

TEST(OnBalanceVolume, AddsOnRisesSubtractsOnFallsKeepsOnEqual) {
    const std::vector<market::BarRecord> bars{bar(1, 1, 1, 1, 10), bar(2, 2, 2, 2, 20),
                                              bar(2, 2, 2, 2, 30), bar(1, 1, 1, 1, 40)};
    std::vector<double> out(4);
    on_balance_volume(view(bars), kPriceClose, 0, out);
    EXPECT_EQ(out, (std::vector<double>{10, 30, 30, -10}));
}

TEST(MoneyFlowIndex, NeverFallingTypicalPriceGivesOneHundred) {
    std::vector<market::BarRecord> bars;
    for (int i = 0; i < 30; ++i) bars.push_back(bar(1, 1 + i / 3 * 0.1, 1, 1, 5));
    std::vector<double> out(30, 99.0);
    EXPECT_EQ(money_flow_index(view(bars), 14, 0, out).draw_begin, 13);
    for (int i = 0; i < 13; ++i) EXPECT_EQ(out[i], 0.0) << i;
    for (int i = 13; i < 30; ++i) EXPECT_EQ(out[i], 100.0) << i;
}

TEST(MoneyFlowIndex, PositiveAgainstNegativeFlow) {
    // Typical prices 1, 2, 1.5 with volume 1; bar 0 counts as a rise from 0.
    const std::vector<market::BarRecord> bars{bar(1, 1, 1, 1), bar(2, 2, 2, 2), bar(1.5, 1.5, 1.5, 1.5)};
    std::vector<double> out(3);
    money_flow_index(view(bars), 2, 0, out);
    EXPECT_EQ(out[1], 100.0);
    EXPECT_DOUBLE_EQ(out[2], 100 - 100 / (1 + 2 / 1.5));
}

TEST(AccumulationDistribution, BarsWithoutRangeAddNothing) {
    const std::vector<market::BarRecord> bars{bar(1, 2, 1, 2, 10), bar(1.5, 1.5, 1.5, 1.5, 50),
                                              bar(2, 3, 1, 1, 4), bar(2, 3, 1, 2, 9)};
    std::vector<double> out(4);
    accumulation_distribution(view(bars), 0, out);
    EXPECT_EQ(out, (std::vector<double>{10, 10, 6, 6}));
}

TEST(MarketFacilitation, ZeroVolumeRepeatsThePreviousValue) {
    const std::vector<market::BarRecord> bars{bar(1, 1.0010, 1.0000, 1, 5), bar(1, 1.0030, 1.0000, 1, 0),
                                              bar(1, 1.0020, 1.0000, 1, 4)};
    std::vector<double> value(3), change(3);
    market_facilitation(view(bars), 4, 0, {value, change});
    EXPECT_NEAR(value[0], 2.0, 1e-9);
    EXPECT_EQ(value[1], value[0]);
    EXPECT_NEAR(value[2], 5.0, 1e-9);
    EXPECT_EQ(change, (std::vector<double>{5, -5, 4}));
    const std::vector<market::BarRecord> idle{bar(1, 1.1, 1, 1, 0)};
    market_facilitation(view(idle), 4, 0, {value, change});
    EXPECT_EQ(value[0], 0.0);
}

TEST(HistogramColours, TwoColoursFollowRisesAndFallsAndKeepOnEqual) {
    const std::vector<double> values{1, 2, 2, 1, 1, 3, 0};
    std::vector<std::uint8_t> colours(7, 9);
    two_colour_histogram(values, 0, 7, colours);
    EXPECT_EQ(colours, (std::vector<std::uint8_t>{kColourUp, kColourUp, kColourUp, kColourDown,
                                                  kColourDown, kColourUp, kColourDown}));
    // Drawing from bar 3: it is below bar 2, so the first drawn bar is already down.
    std::vector<std::uint8_t> from_three(4, 9);
    two_colour_histogram(values, 3, 7, from_three);
    EXPECT_EQ(from_three[0], kColourDown);
    two_colour_histogram(values, 2, 3, from_three);
    EXPECT_EQ(from_three[0], kColourUp);
}

TEST(HistogramColours, FacilitationCombinesValueAndVolumeDirections) {
    // value:  1  2  1  1  3   volume change: 5 -1 -2 4 0
    const std::vector<double> value{1, 2, 1, 1, 3}, change{5, -1, -2, 4, 0};
    std::vector<std::uint8_t> colours(5, 9);
    facilitation_colours(value, change, 0, 5, colours);
    // up/up → 0, up/down → 2, down/down → 1, down(kept)/up → 3, up/up(kept) → 0
    EXPECT_EQ(colours, (std::vector<std::uint8_t>{0, 2, 1, 3, 0}));
}

}  // namespace
}  // namespace kb::chart::ind
