#include <gtest/gtest.h>

#include <cmath>
#include <map>

#include "server/deal_pricing.h"

namespace kb::server {
namespace {

struct Quote {
    double bid;
    double ask;
};

QuoteLookup quotes_of(std::map<std::string, Quote> book) {
    return [book](const std::string& symbol, double& bid, double& ask) {
        auto found = book.find(symbol);
        if (found == book.end()) return false;
        bid = found->second.bid;
        ask = found->second.ask;
        return true;
    };
}

InstrumentConfig instrument(const std::string& name, int digits, double contract_size, const std::string& margin,
                            const std::string& profit, int profit_mode, int margin_mode) {
    InstrumentConfig out;
    out.name = name;
    out.digits = digits;
    out.point = std::pow(10.0, -digits);
    out.contract_size = contract_size;
    out.margin_currency = margin;
    out.profit_currency = profit;
    out.profit_mode = static_cast<market::ProfitMode>(profit_mode);
    out.margin_mode = static_cast<market::MarginMode>(margin_mode);
    return out;
}

ServerConfig config_with_instruments() {
    ServerConfig config;
    config.instruments = {instrument("EURUSD", 5, 100000, "EUR", "USD", 0, 0),
                          instrument("USDJPY", 3, 100000, "USD", "JPY", 0, 0),
                          instrument("IDX", 3, 1, "USD", "USD", 1, 4),
                          instrument("EURUSDm", 5, 100000, "EUR", "USD", 0, 2),
                          instrument("EURUSDh", 5, 100000, "EUR", "USD", 0, 0),
                          instrument("XAUUSD", 2, 100, "XAU", "USD", 1, 4)};
    config.instruments[3].maintenance_margin = 500;
    config.instruments[4].hedged_margin = 50000;
    return config;
}

TradeRow position(const std::string& symbol, trade::OrderType type, int volume, double open, double margin_rate = 1) {
    TradeRow row;
    row.login = 1;
    row.symbol = symbol;
    row.type = type;
    row.volume = volume;
    row.open_price = open;
    row.margin_rate = margin_rate;
    return row;
}

// Figures worked out by hand from the rules: the profit normalised half away from zero to
// the deposit currency's digits, each side converted at the price it closes at.
TEST(DealPricing, ProfitInTheDepositCurrency) {
    const ServerConfig config = config_with_instruments();
    const QuoteLookup quotes = quotes_of({{"USDJPY", {150.000, 150.020}}});
    struct Case {
        const char* what;
        TradeRow trade;
        double close;
        const char* deposit;
        double profit;
    };
    const Case cases[] = {
        // 1 lot × 1 × 1.005 = 1.00499999… before rounding: the tie goes up, to 1.01.
        {"a tie rounds away from zero", position("IDX", trade::kBuy, 100, 100.000), 101.005, "USD", 1.01},
        {"the same loss", position("IDX", trade::kSell, 100, 100.000), 101.005, "USD", -1.01},
        // A buy converts at 1 / ask: 1 lot is 100000 / 150.02 = 666.5778 USD per yen unit;
        // 150 × 666.5778 - 149 × 666.5778 = 99986.67 - 99320.09 = 666.58 (the mid would
        // give 666.62).
        {"a buy converts at the ask of the inverted pair", position("USDJPY", trade::kBuy, 100, 149.000), 150.000,
         "USD", 666.58},
        // A sell converts at 1 / bid = 666.6667: 151 × … = 100666.67, 150.02 × … = 100013.33.
        {"a sell converts at the bid", position("USDJPY", trade::kSell, 100, 151.000), 150.020, "USD", 653.34},
        // In yen itself: (150 - 149) × 100000 = 100000, whole yen.
        {"a JPY account keeps yen", position("USDJPY", trade::kBuy, 100, 149.000), 150.000, "JPY", 100000},
    };
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ(position_profit(c.trade, c.close, c.deposit, config, quotes), c.profit) << c.what;
}

TEST(DealPricing, MarginByModeWithEachPositionsOwnRate) {
    const ServerConfig config = config_with_instruments();
    // EURUSD has moved from 1.1 to 1.2 since the positions opened at a rate of 1.1.
    const QuoteLookup quotes = quotes_of({{"EURUSD", {1.19990, 1.20010}},
                                          {"EURUSDm", {1.19990, 1.20010}},
                                          {"EURUSDh", {1.19990, 1.20010}},
                                          {"XAUUSD", {2029.50, 2030.50}}});
    AccountRow account;
    account.balance = 10000;
    account.leverage = 100;
    GroupConfig group;
    group.currency = "USD";
    struct Case {
        const char* what;
        std::vector<TradeRow> open;
        double margin;
        double free_margin;
    };
    const Case cases[] = {
        // 100000 / 100 × 1.1 = 1100, not at today's 1.2; profit 119990 - 110000 = 9990.
        {"forex at the rate it opened with", {position("EURUSD", trade::kBuy, 100, 1.10000, 1.1)}, 1100,
         10000 - 1100 + 9990},
        // Maintenance margin 500 per lot × 1.1, no leverage: 550.
        {"mode 2 holds the maintenance margin", {position("EURUSDm", trade::kBuy, 100, 1.19990, 1.1)}, 550,
         10000 - 550},
        // Fully hedged: only the hedged part, 2 lots × 50000 / 100 × 1.1 = 1100; each side
        // loses the spread, 20.
        {"a hedged pair holds the hedged margin",
         {position("EURUSDh", trade::kBuy, 100, 1.20010, 1.1), position("EURUSDh", trade::kSell, 100, 1.19990, 1.1)},
         1100, 10000 - 1100 - 40},
        // CFD mode 4: 0.01 lot × 2030.5 × 100 / 100 = 20.305 at rate 1; the buy's profit at the
        // bid is (2029.50 - 2030.50) × 100 × 0.01 = -1.
        {"a CFD's value over the leverage", {position("XAUUSD", trade::kBuy, 1, 2030.50)}, 20.305, 10000 - 20.305 - 1},
    };
    for (const Case& c : cases) {
        const AccountMoney money = account_money(account, c.open, group, config, quotes);
        EXPECT_NEAR(money.margin, c.margin, 1e-9) << c.what;
        EXPECT_NEAR(money.free_margin, c.free_margin, 1e-9) << c.what;
    }
}

TEST(DealPricing, AnOrderIsTestedWithTheMarginItWouldHold) {
    const ServerConfig config = config_with_instruments();
    const QuoteLookup quotes = quotes_of({{"XAUUSD", {2029.50, 2030.50}}, {"EURUSD", {1.09990, 1.10010}}});
    AccountRow account;
    account.balance = 100;
    account.leverage = 100;
    GroupConfig group;
    group.currency = "USD";
    const InstrumentConfig& gold = config.instruments[5];
    // The margin currency XAU converts through XAUUSD's mid 2030 on top of the price:
    // 0.01 lot needs 20.305 × 2030 = 41219 USD, far more than the 100 held.
    const double rate = order_margin_rate(gold, 2030.50, "USD", config, quotes);
    EXPECT_DOUBLE_EQ(rate, 2030);
    const AccountMoney dear = account_money(account, {}, group, config, quotes,
                                            position("XAUUSD", trade::kBuy, 1, 2030.50, rate));
    EXPECT_NEAR(dear.margin_after, 41219.15, 1e-6);
    EXPECT_FALSE(margin_allows(dear, group, gold, config));
    // EURUSD in mode 0 takes the order's own price as its rate: 0.05 lot × 100000 / 100 ×
    // 1.1001 = 55.005, which 100 covers.
    const InstrumentConfig& eurusd = config.instruments[0];
    EXPECT_DOUBLE_EQ(order_margin_rate(eurusd, 1.10010, "USD", config, quotes), 1.10010);
    const AccountMoney cheap = account_money(account, {}, group, config, quotes,
                                             position("EURUSD", trade::kBuy, 5, 1.10010, 1.10010));
    EXPECT_NEAR(cheap.margin_after, 55.005, 1e-9);
    EXPECT_NEAR(cheap.free_margin_after, 44.995, 1e-9);
    EXPECT_TRUE(margin_allows(cheap, group, eurusd, config));
}

}  // namespace
}  // namespace kb::server
