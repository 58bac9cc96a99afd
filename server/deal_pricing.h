#pragma once
#include <functional>
#include <string>

#include "server/quote_feed.h"
#include "server/server_config.h"
#include "server/storage.h"

namespace kb::server {

// The dealer's money arithmetic, in the account's deposit currency. Pure functions of their
// arguments; callable from any thread.

// The current bid and ask of an instrument by name; nothing (both 0) when it has no quote.
using QuoteLookup = std::function<bool(const std::string& symbol, double& bid, double& ask)>;

// How many units of the deposit currency one unit of currency is worth: 1 for the same
// currency, else through the pair of the two (either order), else through USD; 1 when no
// pair is quoted, so an unknown currency counts at par rather than failing a deal.
double conversion_rate(const std::string& currency, const std::string& deposit, const ServerConfig& config,
                       const QuoteLookup& quotes);

// The profit of a position (buy or sell) closed at close_price, rounded to the deposit
// currency's cents (whole units for JPY).
double position_profit(const TradeRow& trade, double close_price, const InstrumentConfig& instrument,
                       const std::string& deposit, const ServerConfig& config, const QuoteLookup& quotes);

// The margin a position of volume (hundredths of a lot) at price holds: forex instruments
// (margin mode 0) the contract of the margin currency over the leverage, others the
// contract's value at the price over the leverage.
double position_margin(int volume, double price, const InstrumentConfig& instrument, int leverage,
                       const std::string& deposit, const ServerConfig& config, const QuoteLookup& quotes);

// The rate position_margin converts with: of the margin currency for forex instruments
// (margin mode 0), of the profit currency for the others. Open trades carry it to the
// terminal as their margin rate.
double margin_conversion(const InstrumentConfig& instrument, const std::string& deposit, const ServerConfig& config,
                         const QuoteLookup& quotes);

// The feed's current quotes of the configuration's instruments. The feed and the
// configuration must outlive the lookup.
QuoteLookup feed_quotes(QuoteFeed& feed, const ServerConfig& config);

// Money rounded to the deposit currency's digits.
double round_money(double value, const std::string& deposit);

}  // namespace kb::server
