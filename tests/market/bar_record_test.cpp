#include "market/bar_record.h"

#include <gtest/gtest.h>

#include <array>
#include <limits>

#include "market/bar_form.h"
#include "market/price_points.h"

namespace kb::market {
namespace {

// Open, low, high, close and volume copied out of the packed record.
std::array<double, 5> values(const BarRecord& bar) { return {bar.open, bar.low, bar.high, bar.close, bar.volume}; }

using Values = std::array<double, 5>;

TEST(WireBars, BothFormsBecomeStoredBars) {
    WireBar28 wide{1700000000, 123400, 50, -30, 10, 17.0};
    BarRecord bar = bar_from_wire(wide, 5);
    EXPECT_EQ(int32_t{bar.time}, 1700000000);
    EXPECT_EQ(values(bar), (Values{1.234, 1.2337, 1.2345, 1.2341, 17.0}));

    WireBar22 narrow{1700000060, 15000, 120, -32768, 0, 3.0};
    bar = bar_from_wire(narrow, 2);
    EXPECT_EQ(values(bar), (Values{150.0, price_from_points(15000 - 32768, 2), 151.2, 150.0, 3.0}));
}

TEST(WireBars, ExtremeDifferencesDoNotOverflow) {
    WireBar28 wide{0, std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::max(),
                   std::numeric_limits<int32_t>::min(), 0, 0};
    BarRecord bar = bar_from_wire(wide, 0);
    EXPECT_EQ(values(bar)[2], 2.0 * std::numeric_limits<int32_t>::max());
    EXPECT_EQ(values(bar)[1], -1.0);
}

TEST(WireBars, StoredBarsRoundTripThroughBothForms) {
    const BarRecord bar{1700000000, 1.23456, 1.23001, 1.23999, 1.23500, 42.0};
    std::optional<WireBar28> wide = wire_bar28_from(bar, 5);
    ASSERT_TRUE(wide.has_value());
    EXPECT_EQ(int32_t{wide->open_points}, 123456);
    EXPECT_EQ(int32_t{wide->low_delta}, 123001 - 123456);
    EXPECT_EQ(values(bar_from_wire(*wide, 5)), values(bar));

    std::optional<WireBar22> narrow = wire_bar22_from(bar, 5);
    ASSERT_TRUE(narrow.has_value());
    EXPECT_EQ(values(bar_from_wire(*narrow, 5)), values(bar));
}

TEST(WireBars, NarrowFormRefusesDifferencesBeyondSixteenBits) {
    const BarRecord bar{0, 1.0, 0.6, 1.4, 1.0, 1.0};   // 40000 points each way at 5 digits
    EXPECT_FALSE(wire_bar22_from(bar, 5).has_value());
    EXPECT_TRUE(wire_bar28_from(bar, 5).has_value());
}

TEST(BarForms, ServersSendTheWideFormFromTheirThresholds) {
    struct Case {
        BarSource source;
        int build;
        int account_data_version;
        BarForm sync;
        BarForm push;
    };
    constexpr BarSource kTrade = BarSource::TradeServer;
    constexpr BarSource kHistory = BarSource::HistoryServer;
    constexpr BarForm kNarrow = BarForm::Narrow22;
    constexpr BarForm kWide = BarForm::Wide28;
    const Case cases[] = {
        // A trade server decides both by its build; the account data's version plays no part.
        {kTrade, 324, 400, kNarrow, kNarrow},
        {kTrade, 325, 0, kWide, kWide},
        // A history server's answers follow its build (one later than the trade server's),
        // its pushes the version its account data reports.
        {kHistory, 325, 326, kNarrow, kWide},
        {kHistory, 326, 325, kWide, kNarrow},
        {kHistory, 400, 400, kWide, kWide},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(bar_form(c.source, c.build), c.sync) << c.build;
        EXPECT_EQ(chart_push_form(c.source, c.build, c.account_data_version), c.push)
            << c.build << " " << c.account_data_version;
    }
    EXPECT_EQ(wire_bar_size(kNarrow), 22u);
    EXPECT_EQ(wire_bar_size(kWide), 28u);
}

}  // namespace
}  // namespace kb::market
