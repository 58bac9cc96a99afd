#include "trade/profit.h"

#include <gtest/gtest.h>

#include "tests/market/market_test_support.h"

namespace kb::trade {
namespace {

TradeRecord position(int32_t type, int32_t volume, double open, double close, int32_t digits = 4) {
    TradeRecord record{};
    record.type = type;
    record.volume = volume;
    record.open_price = open;
    record.close_price = close;
    record.digits = digits;
    return record;
}

market::SymbolRecord symbol_in_mode(int32_t mode) {
    market::SymbolRecord symbol = market::testing::make_symbol("EURUSD", 1, 4);
    symbol.profit_mode = static_cast<market::ProfitMode>(mode);
    symbol.contract_size = 100000;
    symbol.tick_value = 5;
    symbol.tick_size = 0.25;
    return symbol;
}

TEST(PositionProfit, ComputesEachProfitModeForBuysAndSells) {
    struct Case {
        int32_t mode;
        int32_t type;
        int32_t volume;
        double open, close, multiplier;
        int decimals;
        double profit;
    };
    const Case cases[] = {
        // Mode 0 works in lots: 1 lot of 100000 from 1.2500 to 1.2550.
        {0, kBuy, 100, 1.25, 1.255, 100000, 2, 500},
        {0, kSell, 100, 1.25, 1.255, 100000, 2, -500},
        // Each leg rounds to the deposit digits: 0.01 lot x 1.23456 x 1 = 0.0123456 -> 0.01.
        {0, kBuy, 1, 1.23456, 2.34567, 1, 2, 0.02 - 0.01},
        // Mode 1: price difference x multiplier x lots.
        {1, kBuy, 50, 1.25, 1.2510, 100000, 2, 50},
        {1, kSell, 50, 1.25, 1.2510, 100000, 2, -50},
        // Mode 2: divided by the tick size; 2 lots, 1.0 up = 4 ticks x 5 x 2.
        {2, kBuy, 200, 100.0, 101.0, 5, 2, 40},
        {2, kSell, 200, 100.0, 101.0, 5, 2, -40},
        // A converted multiplier and a deposit currency without decimals.
        {1, kBuy, 100, 1.25, 1.2533, 100000 * 151.234, 0, 49907},
        // Orders that are not positions have no profit.
        {1, kBuyLimit, 100, 1.25, 1.26, 100000, 2, 0},
        {1, kBalance, 100, 1.25, 1.26, 100000, 2, 0},
    };
    for (const Case& c : cases) {
        const TradeRecord record = position(c.type, c.volume, c.open, c.close);
        EXPECT_DOUBLE_EQ(position_profit(record, symbol_in_mode(c.mode), c.multiplier, c.decimals), c.profit)
            << "mode " << c.mode << " type " << c.type << " volume " << c.volume;
    }
}

TEST(PositionProfit, TickValueModeNeedsTickValueAndSize) {
    market::SymbolRecord symbol = symbol_in_mode(2);
    EXPECT_EQ(base_profit_multiplier(symbol), 5);
    symbol.tick_size = 0;
    EXPECT_EQ(base_profit_multiplier(symbol), 0);
    EXPECT_EQ(position_profit(position(kBuy, 100, 1, 2), symbol, 5, 2), 0) << "no division by a zero tick size";
    symbol.tick_size = 0.25;
    symbol.tick_value = 0;
    EXPECT_EQ(base_profit_multiplier(symbol), 0);
    EXPECT_EQ(base_profit_multiplier(symbol_in_mode(0)), 100000);
    EXPECT_EQ(base_profit_multiplier(symbol_in_mode(1)), 100000);
}

TEST(PositionProfit, DepositDigitsAreZeroOnlyForYen) {
    EXPECT_EQ(deposit_digits("JPY"), 0);
    EXPECT_EQ(deposit_digits("USD"), 2);
    EXPECT_EQ(deposit_digits(""), 2);
}

TEST(PositionProfit, PointsFollowTheDirection) {
    EXPECT_DOUBLE_EQ(profit_points(position(kBuy, 100, 1.2500, 1.2537)), 37);
    EXPECT_DOUBLE_EQ(profit_points(position(kSell, 100, 1.2500, 1.2537)), -37);
    EXPECT_DOUBLE_EQ(profit_points(position(kSell, 100, 150.25, 150.0, 2)), 25);
}

}  // namespace
}  // namespace kb::trade
