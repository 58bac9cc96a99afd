#include <algorithm>

#include "server/dealer.h"

namespace kb::server {

// The price checks run on their own thread so the feed's thread only queues.

namespace {

constexpr uint32_t kIdleWaitMs = 500;

}  // namespace

bool Dealer::start() {
    stopping_ = false;
    std::set<int> every_instrument;
    for (int i = 0; i < static_cast<int>(context_.config.instruments.size()); ++i) every_instrument.insert(i);
    context_.feed.subscribe(*this, every_instrument);
    return thread_.start([this] {
        while (!stopping_) {
            wake_.wait(kIdleWaitMs);
            check_prices();
        }
    });
}

void Dealer::stop() {
    stopping_ = true;
    wake_.set();
    thread_.join();
    context_.feed.unsubscribe(*this);
}

void Dealer::on_ticks(std::span<const Tick> ticks) {
    {
        std::lock_guard guard(queue_lock_);
        for (const Tick& tick : ticks) fresh_[tick.instrument] = tick;
    }
    wake_.set();
}

void Dealer::check_prices() {
    std::map<int, Tick> fresh;
    {
        std::lock_guard guard(queue_lock_);
        fresh.swap(fresh_);
    }
    if (fresh.empty()) return;
    std::lock_guard guard(deal_lock_);
    const std::shared_ptr<const ServerConfig> config = context_.settings_now();
    const int64_t now = context_.clock.unix_time();
    for (const auto& [index, tick] : fresh) {
        if (index < 0 || static_cast<size_t>(index) >= config->instruments.size()) continue;
        for (const TradeRow& trade : context_.storage.open_trades_of_symbol(config->instruments[static_cast<size_t>(index)].name)) {
            Market market;
            std::optional<AccountRow> account = context_.storage.account(trade.login);
            if (!account || market_for(trade.symbol, *account, market)) continue;
            trigger(trade, market, now);
        }
    }
}

// Expires or activates a pending order, or closes a position whose stop loss or take
// profit the current price reached.
void Dealer::trigger(const TradeRow& trade, const Market& market, int64_t now) {
    std::optional<AccountRow> row = context_.storage.account(trade.login);
    if (!row) return;
    Account account{*row, context_.storage.open_trades(trade.login)};
    const ServerConfig& config = *market.config;
    if (trade::is_pending(trade.type)) {
        TradeRow changed = trade;
        trade::TransactionType kind = trade::kTransactionUpdate;
        if (trade.expiration != 0 && now >= trade.expiration) {
            changed.close_time = now;
            changed.comment = "expired";
            kind = trade::kTransactionDelete;
        } else {
            const bool reached = trade.type == trade::kBuyLimit    ? market.ask <= trade.open_price
                                 : trade.type == trade::kSellLimit ? market.bid >= trade.open_price
                                 : trade.type == trade::kBuyStop   ? market.ask >= trade.open_price
                                                                      : market.bid <= trade.open_price;
            if (!reached) return;
            const bool buy = trade::is_buy_side(trade.type);
            changed.type = buy ? trade::kBuy : trade::kSell;
            changed.open_price = buy ? market.ask : market.bid;
            changed.close_price = buy ? market.bid : market.ask;
            changed.open_time = now;
            changed.expiration = 0;
            changed.margin_rate = order_margin_rate(*market.instrument, changed.open_price, market.group->currency,
                                                    config, quote_lookup(config));
        }
        DealWrite deal;
        deal.updated.push_back(changed);
        if (commit(account, deal, {kind}, config))
            context_.log.write("'%d': order #%lld %s", trade.login, static_cast<long long>(trade.ticket),
                               kind == trade::kTransactionDelete ? "expired" : "activated");
        return;
    }
    const bool buy = trade.type == trade::kBuy;
    const double price = buy ? market.bid : market.ask;
    const bool stop_hit = trade.stop_loss != 0 && (buy ? price <= trade.stop_loss : price >= trade.stop_loss);
    const bool profit_hit = trade.take_profit != 0 && (buy ? price >= trade.take_profit : price <= trade.take_profit);
    if (!stop_hit && !profit_hit) return;
    TradeRow position = trade;
    position.comment = stop_hit ? "[sl]" : "[tp]";
    DealResult result;
    if (close_position(account, market, position, position.volume, price, result))
        context_.log.write("'%d': order #%lld closed at %s", trade.login, static_cast<long long>(trade.ticket),
                           stop_hit ? "stop loss" : "take profit");
}

}  // namespace kb::server
