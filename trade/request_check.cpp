#include "trade/request_check.h"

#include "core/fixed_text.h"
#include "core/journal.h"
#include "core/number_format.h"
#include "net/protocol.h"
#include "trade/price_distance.h"
#include "trade/request_journal.h"

namespace kb::trade {

namespace {

using net::ReturnCode;

constexpr ReturnCode kPasses = ReturnCode::Ok;
constexpr ReturnCode kNothingChanged = ReturnCode::OkNoResult;
constexpr ReturnCode kInvalid = ReturnCode::InvalidParameters;

bool uses_ticket(uint8_t kind) { return kind >= kInstantClose && kind <= kCloseBy; }

// The test of one request; each step returns the code of its first failing rule.
class RequestCheck {
public:
    RequestCheck(TradeRequest& request, const RequestCheckInputs& in, core::Journal* journal)
        : request_(request), in_(in), journal_(journal) {}

    ReturnCode run() {
        if (in_.investor_mode) {
            if (journal_)
                journal_->write(core::Level::Error, "'%d': trading attempt in the investor mode", in_.login);
            return ReturnCode::TradeDisabled;
        }
        if (uses_ticket(request_.kind) && in_.order && in_.order->login != in_.login) {
            if (journal_)
                journal_->write(core::Level::Error,
                                "'%d': client account differs from the account in trade position'%d'", in_.login,
                                in_.order->login);
            if (in_.clear_foreign_trades) in_.clear_foreign_trades();
            return kInvalid;
        }
        if (!in_.symbol || !in_.group) return kInvalid;
        const int32_t group_index = in_.symbol->group_index;
        if (group_index < 0 || group_index >= market::kSymbolGroupCount) return kInvalid;
        settings_ = &in_.group->symbol_groups[group_index];
        return by_kind();
    }

private:
    const market::SymbolRecord& symbol() const { return *in_.symbol; }
    double normal(double price) const { return core::normalize(price, symbol().digits); }
    bool long_only_refuses(int type) const { return symbol().long_only == 1 && !is_buy_side(type); }

    ReturnCode by_kind() {
        switch (request_.kind) {
            case kPriceRequest: return price_request_rules();
            case kInstantOrder: return instant_order();
            case kOrderByRequest: return order_by_request();
            case kMarketOrder: return market_order();
            case kPendingOrder: return pending_order();
            case kInstantClose: return instant_close();
            case kCloseByRequest: return close_by_request();
            case kMarketClose: return market_close();
            case kModify: return modify();
            case kDelete: return in_.order && is_pending(in_.order->type) ? kPasses : kInvalid;
            case kCloseBy: return close_by();
            case kMultipleCloseBy: return multiple_close_by();
            default: return ReturnCode::CommonError;
        }
    }

    // ---- shared rules ----

    ReturnCode volume(int32_t requested) const {
        if (requested <= 0 || requested > settings_->maximum_volume) return ReturnCode::InvalidVolume;
        if (settings_->volume_step > 0 && requested % settings_->volume_step != 0) return ReturnCode::InvalidVolume;
        if (requested < settings_->minimum_volume) return ReturnCode::InvalidVolume;
        return kPasses;
    }

    // A close may take the whole position whatever the group's volume rules say.
    ReturnCode close_volume() const {
        if (request_.volume > in_.order->volume) return ReturnCode::InvalidVolume;
        if (request_.volume == in_.order->volume) return kPasses;
        return volume(request_.volume);
    }

    // Outside request execution, a price may be asked only for more than the instant limit.
    ReturnCode price_request_mode() const {
        if (symbol().execution_mode == market::ExecutionMode::Request) return kPasses;
        const int32_t limit = symbol().instant_volume_limit;
        return limit >= 1 && limit < request_.volume ? kPasses : kInvalid;
    }

    ReturnCode order_limit() const {
        const int32_t limit = in_.group->order_limit;
        return limit > 0 && in_.open_orders >= limit ? ReturnCode::TooManyOrders : kPasses;
    }

    ReturnCode margin() const {
        if (!in_.margin_ok || in_.margin_ok(request_)) return kPasses;
        const ReturnCode refused = ReturnCode::NotEnoughMoney;
        if (journal_ && is_open_kind(request_.kind)) {
            const std::optional<TradeRecord> none;
            RequestJournal(*journal_, in_.login, symbol().digits, request_, none, none).failed(refused);
        }
        return refused;
    }

    ReturnCode expiration() const {
        if (request_.expiration != 0 && !(in_.group->flags & market::kExpirationAllowed))
            return ReturnCode::ExpirationDisabled;
        request_.expiration -= request_.expiration % 60;
        return kPasses;
    }

    // Stop loss and take profit against the reference price, then a pending order's price.
    ReturnCode stops(int type, double reference) const {
        return stops_keep_distance(symbol(), static_cast<OrderType>(type), reference, request_.stop_loss, request_.take_profit)
                   ? kPasses
                   : ReturnCode::InvalidStops;
    }

    ReturnCode pending_price(int type) const {
        const double price = normal(request_.price);
        if (!(price > 0) || price > kMaximumPendingPrice) return kInvalid;
        if (!expiration_far_enough(request_.expiration, in_.quote_time)) return kInvalid;
        if (!is_pending(type)) return kInvalid;
        return pending_price_placed(symbol(), static_cast<OrderType>(type), price, in_.bid, in_.ask) ? kPasses : ReturnCode::InvalidStops;
    }

    // The price must be the ask (buy) or bid (sell) of one of the two newest ticks that
    // are at most 5 s older than the newest quote.
    ReturnCode recent_price(bool buy) const {
        const double wanted = normal(request_.price);
        for (const market::TickHistoryEntry& tick : in_.recent_ticks) {
            if (tick.time < in_.quote_time - kRecentTickSeconds) continue;
            // Packed fields are copied out: a reference to one may be misaligned.
            const double ask = tick.ask, bid = tick.bid;
            if (normal(buy ? ask : bid) == wanted) return kPasses;
        }
        return ReturnCode::InvalidPrices;
    }

    // The tests of an order at the market after its execution-mode rule.
    ReturnCode market_order_tests() const {
        if (!is_position(request_.order_type)) return kInvalid;
        if (long_only_refuses(request_.order_type)) return ReturnCode::TradeDisabled;
        if (ReturnCode c = volume(request_.volume); c != kPasses) return c;
        if (request_.deviation < 0) return kInvalid;
        if (ReturnCode c = order_limit(); c != kPasses) return c;
        const bool buy = request_.order_type == kBuy;
        if (ReturnCode c = stops(request_.order_type, buy ? in_.bid : in_.ask); c != kPasses) return c;
        return margin();
    }

    // ---- kinds ----

    ReturnCode price_request_rules() const {
        if (ReturnCode c = price_request_mode(); c != kPasses) return c;
        return volume(request_.volume);
    }

    ReturnCode instant_order() const {
        if (symbol().execution_mode != market::ExecutionMode::Instant) return kInvalid;
        if (ReturnCode c = market_order_tests(); c != kPasses) return c;
        return recent_price(request_.order_type == kBuy);
    }

    ReturnCode order_by_request() const {
        if (ReturnCode c = price_request_mode(); c != kPasses) return c;
        return market_order_tests();
    }

    ReturnCode market_order() const {
        if (symbol().execution_mode != market::ExecutionMode::Market || request_.price != 0) return kInvalid;
        return market_order_tests();
    }

    ReturnCode pending_order() const {
        if (!is_pending(request_.order_type)) return kInvalid;
        if (long_only_refuses(request_.order_type)) return ReturnCode::TradeDisabled;
        if (ReturnCode c = expiration(); c != kPasses) return c;
        if (ReturnCode c = volume(request_.volume); c != kPasses) return c;
        if (ReturnCode c = order_limit(); c != kPasses) return c;
        if (ReturnCode c = stops(request_.order_type, request_.price); c != kPasses) return c;
        return pending_price(request_.order_type);
    }

    bool open_position() const { return in_.order && is_position(in_.order->type); }

    ReturnCode instant_close() const {
        if (symbol().execution_mode != market::ExecutionMode::Instant || !open_position()) return kInvalid;
        if (ReturnCode c = close_volume(); c != kPasses) return c;
        if (request_.deviation < 0 || request_.deviation > kMaximumCloseDeviation) return kInvalid;
        request_.order_type = static_cast<int16_t>(in_.order->type);
        if (ReturnCode c = margin(); c != kPasses) return c;
        // A position closes at the other side: a buy at the bid, a sell at the ask.
        return recent_price(in_.order->type == kSell);
    }

    ReturnCode close_by_request() const {
        if (!open_position()) return kInvalid;
        if (ReturnCode c = price_request_mode(); c != kPasses) return c;
        if (long_only_refuses(in_.order->type)) return ReturnCode::TradeDisabled;
        return close_volume();
    }

    ReturnCode market_close() const {
        if (symbol().execution_mode != market::ExecutionMode::Market || !open_position()) return kInvalid;
        if (long_only_refuses(in_.order->type)) return ReturnCode::TradeDisabled;
        return close_volume();
    }

    ReturnCode modify() const {
        if (!in_.order) return kInvalid;
        const TradeRecord& order = *in_.order;
        if (ReturnCode c = expiration(); c != kPasses) return c;
        const bool pending = is_pending(order.type);
        const double order_price = request_.price, close_price = order.close_price;
        if (ReturnCode c = stops(order.type, pending ? order_price : close_price); c != kPasses) return c;
        const bool same_stops = normal(request_.stop_loss) == normal(order.stop_loss) &&
                                normal(request_.take_profit) == normal(order.take_profit);
        if (!pending) return same_stops ? kNothingChanged : kPasses;
        // The record keeps no expiration this test could compare, so a pending order
        // counts as unchanged only when its price and stops stay and no expiration is set.
        if (same_stops && normal(request_.price) == normal(order.open_price) && request_.expiration == 0)
            return kNothingChanged;
        return pending_price(order.type);
    }

    ReturnCode close_by() const {
        if (symbol().long_only == 1 || (settings_->flags & market::kCloseByRefused)) return kInvalid;
        if (!in_.order || !in_.opposite) return kInvalid;
        const TradeRecord& order = *in_.order;
        const TradeRecord& opposite = *in_.opposite;
        if (opposite.login != in_.login) return kInvalid;
        if (core::field_text(opposite.symbol) != core::field_text(order.symbol)) return kInvalid;
        if (is_pending(order.type) && order.type == opposite.type) return kInvalid;
        return kPasses;
    }

    ReturnCode multiple_close_by() const {
        if (symbol().long_only == 1 || (settings_->flags & market::kMultipleCloseByRefused)) return kInvalid;
        return kPasses;
    }

    TradeRequest& request_;
    const RequestCheckInputs& in_;
    core::Journal* journal_;
    const market::GroupSymbolSettings* settings_ = nullptr;
};

}  // namespace

ReturnCode check_request(TradeRequest& request, const RequestCheckInputs& inputs, core::Journal* journal) {
    return RequestCheck(request, inputs, journal).run();
}

}  // namespace kb::trade
