#include "server/deal_pricing.h"

#include <cmath>

namespace kb::server {

namespace {

constexpr const char* kUsd = "USD";

// The rate from one currency straight to another through their pair, 0 without a quote.
double direct_rate(const std::string& from, const std::string& to, const QuoteLookup& quotes) {
    double bid = 0, ask = 0;
    if (quotes(from + to, bid, ask) && bid > 0) return (bid + ask) / 2;
    if (quotes(to + from, bid, ask) && ask > 0) return 2 / (bid + ask);
    return 0;
}

}  // namespace

double conversion_rate(const std::string& currency, const std::string& deposit, const ServerConfig&,
                       const QuoteLookup& quotes) {
    if (currency.empty() || currency == deposit) return 1;
    if (double rate = direct_rate(currency, deposit, quotes); rate > 0) return rate;
    const double to_usd = currency == kUsd ? 1 : direct_rate(currency, kUsd, quotes);
    const double usd_to_deposit = deposit == kUsd ? 1 : direct_rate(kUsd, deposit, quotes);
    if (to_usd > 0 && usd_to_deposit > 0) return to_usd * usd_to_deposit;
    return 1;
}

double round_money(double value, const std::string& deposit) {
    const double scale = deposit == "JPY" ? 1 : 100;
    return std::round(value * scale) / scale;
}

double position_profit(const TradeRow& trade, double close_price, const InstrumentConfig& instrument,
                       const std::string& deposit, const ServerConfig& config, const QuoteLookup& quotes) {
    const double direction = trade.type == TradeType::Buy ? 1 : -1;
    const double in_profit_currency =
        (close_price - trade.open_price) * direction * instrument.contract_size * trade.volume / 100.0;
    return round_money(in_profit_currency * conversion_rate(instrument.profit_currency, deposit, config, quotes), deposit);
}

double position_margin(int volume, double price, const InstrumentConfig& instrument, int leverage,
                       const std::string& deposit, const ServerConfig& config, const QuoteLookup& quotes) {
    const double lots = volume / 100.0;
    if (leverage < 1) leverage = 1;
    const double rate = margin_conversion(instrument, deposit, config, quotes);
    if (instrument.margin_mode == 0) return lots * instrument.contract_size / leverage * rate;
    return lots * instrument.contract_size * price / leverage * rate;
}

double margin_conversion(const InstrumentConfig& instrument, const std::string& deposit, const ServerConfig& config,
                         const QuoteLookup& quotes) {
    const std::string& currency = instrument.margin_mode == 0 ? instrument.margin_currency : instrument.profit_currency;
    return conversion_rate(currency, deposit, config, quotes);
}

QuoteLookup feed_quotes(QuoteFeed& feed, const ServerConfig& config) {
    return [&feed, &config](const std::string& symbol, double& bid, double& ask) {
        const InstrumentConfig* instrument = config.find_instrument(symbol);
        if (!instrument) return false;
        const InstrumentQuote quote = feed.quote(static_cast<int>(instrument - config.instruments.data()));
        bid = quote.bid;
        ask = quote.ask;
        return quote.time != 0;
    };
}

}  // namespace kb::server
