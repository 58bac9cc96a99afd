#pragma once
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "server/quote_feed.h"
#include "server/server_config.h"
#include "server/storage.h"

namespace kb::server {

// The dealer's money, in the account's deposit currency, by the terminal's own rules
// (trade/: profit, margin, rates, normalisation) applied to the records the server sends,
// so that both sides always show the same figures. Pure functions of their arguments;
// callable from any thread.

// The current bid and ask of an instrument by name; false when it has no quote.
using QuoteLookup = std::function<bool(const std::string& symbol, double& bid, double& ask)>;

// The rate that converts the instrument's margin currency into the deposit currency for an
// order at price; positions keep the rate they opened with. 0 when a pair it needs has no
// quote or no pair connects the two.
double order_margin_rate(const InstrumentConfig& instrument, double price, const std::string& deposit,
                         const ServerConfig& config, const QuoteLookup& quotes);

// The profit of a position (buy or sell) at close_price, converted at the side it closes
// at and normalised to the deposit currency's digits.
double position_profit(const TradeRow& trade, double close_price, const std::string& deposit,
                       const ServerConfig& config, const QuoteLookup& quotes);

// The account as the server holds it at the current quotes; with an order (a position not
// yet stored, with its margin rate) also the margin and free margin it would leave.
struct AccountMoney {
    double balance = 0;
    double credit = 0;
    double profit = 0;               // floating: profit + commission + swap of positions
    double equity = 0;
    double margin = 0;
    double free_margin = 0;
    double margin_after = 0;
    double free_margin_after = 0;
};
AccountMoney account_money(const AccountRow& account, const std::vector<TradeRow>& open, const GroupConfig& group,
                           const ServerConfig& config, const QuoteLookup& quotes,
                           const std::optional<TradeRow>& order = std::nullopt);

// The opening order's margin test, the terminal's: false (not enough money) when the free
// margin after it is short, unless it lowers the margin.
bool margin_allows(const AccountMoney& money, const GroupConfig& group, const InstrumentConfig& instrument,
                   const ServerConfig& config);

// The feed's current quotes of the configuration's instruments. The feed and the
// configuration must outlive the lookup.
QuoteLookup feed_quotes(QuoteFeed& feed, const ServerConfig& config);

}  // namespace kb::server
