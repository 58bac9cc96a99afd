#include <gtest/gtest.h>

#include <map>

#include "server/deal_pricing.h"

namespace kb::server {
namespace {

// Mid prices chosen so the conversions are easy to follow: bid and ask 0.0002 apart.
QuoteLookup quotes_of(std::map<std::string, double> mids) {
    return [mids](const std::string& symbol, double& bid, double& ask) {
        auto found = mids.find(symbol);
        if (found == mids.end()) return false;
        bid = found->second - 0.0001;
        ask = found->second + 0.0001;
        return true;
    };
}

TEST(DealPricing, ConvertsThroughEitherPairOrThroughUsd) {
    const ServerConfig config;
    const QuoteLookup quotes = quotes_of({{"EURUSD", 1.25}, {"USDJPY", 125}, {"GBPUSD", 1.6}});
    const struct {
        const char* from;
        const char* to;
        double rate;
    } cases[] = {
        {"USD", "USD", 1},     {"EUR", "USD", 1.25},    {"USD", "EUR", 0.8},        {"JPY", "USD", 0.008},
        {"EUR", "JPY", 156.25}, {"GBP", "EUR", 1.28},   {"XAU", "USD", 1},          {"", "USD", 1},
    };
    for (const auto& c : cases) EXPECT_NEAR(conversion_rate(c.from, c.to, config, quotes), c.rate, 1e-9) << c.from << c.to;
}

TEST(DealPricing, ProfitAndMarginInTheDepositCurrency) {
    const ServerConfig config;
    const QuoteLookup quotes = quotes_of({{"USDJPY", 125}});
    InstrumentConfig usdjpy;
    usdjpy.name = "USDJPY";
    usdjpy.contract_size = 100000;
    usdjpy.margin_currency = "USD";
    usdjpy.profit_currency = "JPY";
    TradeRow sell;
    sell.type = TradeType::Sell;
    sell.volume = 50;
    sell.open_price = 125.50;
    // 0.5 lot x 100000 x 0.5 JPY = 25000 JPY = 200 USD; in JPY whole units.
    EXPECT_DOUBLE_EQ(position_profit(sell, 125.00, usdjpy, "USD", config, quotes), 200);
    EXPECT_DOUBLE_EQ(position_profit(sell, 125.00, usdjpy, "JPY", config, quotes), 25000);
    TradeRow buy = sell;
    buy.type = TradeType::Buy;
    EXPECT_DOUBLE_EQ(position_profit(buy, 125.00, usdjpy, "USD", config, quotes), -200);
    EXPECT_DOUBLE_EQ(position_margin(50, 125.5, usdjpy, 100, "USD", config, quotes), 500);

    InstrumentConfig index;
    index.contract_size = 10;
    index.margin_mode = 1;
    index.profit_currency = "USD";
    EXPECT_DOUBLE_EQ(position_margin(100, 4000, index, 20, "USD", config, quotes), 2000)
        << "a CFD holds its value over the leverage";
}

}  // namespace
}  // namespace kb::server
