#include "trade/request_journal.h"

#include <algorithm>

#include "core/fixed_text.h"
#include "core/journal.h"
#include "core/number_format.h"
#include "net/protocol.h"

namespace kb::trade {

namespace {

using core::Level;

constexpr const char* kOrderTypeNames[] = {"buy", "sell", "buy limit", "sell limit", "buy stop",
                                           "sell stop", "balance", "credit", "error"};

std::string text_of(const char (&field)[12]) { return std::string(core::field_text(field)); }

}  // namespace

const char* order_type_name(int type) {
    constexpr int kNamed = static_cast<int>(std::size(kOrderTypeNames));
    return type >= 0 && type < kNamed ? kOrderTypeNames[type] : "error";
}

RequestJournal::RequestJournal(core::Journal& journal, int32_t login, int digits, const TradeRequest& request,
                               const std::optional<TradeRecord>& order, const std::optional<TradeRecord>& opposite)
    : journal_(journal),
      login_(login),
      digits_(std::clamp(digits, 0, core::kMaxDigits)),
      request_(request),
      order_(order),
      opposite_(opposite) {}

std::string RequestJournal::price(double value) const { return core::price_text(value, digits_); }

bool RequestJournal::pending_modify() const { return order_ && order_->type > kSell; }

void RequestJournal::flush_for_orders() {
    if (is_open_kind(request_.kind) || is_close_kind(request_.kind)) journal_.flush();
}

int32_t RequestJournal::order_ticket() const {
    const int32_t requested = request_.ticket;
    return order_ ? int32_t{order_->ticket} : requested;
}

const char* RequestJournal::order_type() const { return order_type_name(order_ ? order_->type : request_.order_type); }

std::string RequestJournal::order_symbol() const { return order_ ? text_of(order_->symbol) : text_of(request_.symbol); }

void RequestJournal::sending() {
    const std::string symbol = text_of(request_.symbol);
    const char* type = order_type_name(request_.order_type);
    const double volume = lots(request_.volume);
    const std::string at = price(request_.price), sl = price(request_.stop_loss), tp = price(request_.take_profit);
    const TradeRecord old = order_.value_or(TradeRecord{});
    const std::string old_at = price(old.open_price), old_sl = price(old.stop_loss), old_tp = price(old.take_profit);
    switch (request_.kind) {
        case kPriceRequest: journal_.write(Level::Info, "'%d': request %.2lf %s", login_, volume, symbol.c_str()); break;
        case kInstantOrder:
            journal_.write(Level::Info, "'%d': instant order %s %.2lf %s at %s sl: %s tp: %s", login_, type, volume,
                           symbol.c_str(), at.c_str(), sl.c_str(), tp.c_str());
            break;
        case kOrderByRequest:
            journal_.write(Level::Info, "'%d': order by request %s %.2lf %s at %s sl: %s tp: %s", login_, type, volume,
                           symbol.c_str(), at.c_str(), sl.c_str(), tp.c_str());
            break;
        case kMarketOrder:
            journal_.write(Level::Info, "'%d': order %s market %.2lf %s sl: %s tp: %s", login_, type, volume,
                           symbol.c_str(), sl.c_str(), tp.c_str());
            break;
        case kPendingOrder:
            journal_.write(Level::Info, "'%d': pending order %s %.2lf %s at %s sl: %s tp: %s", login_, type, volume,
                           symbol.c_str(), at.c_str(), sl.c_str(), tp.c_str());
            break;
        case kInstantClose:
        case kCloseByRequest:
        case kMarketClose:
            journal_.write(Level::Info, "'%d': close order #%d %s %.2lf %s at %s sl: %s tp: %s at price %s", login_,
                           order_ticket(), order_type(), volume, order_symbol().c_str(), old_at.c_str(), old_sl.c_str(),
                           old_tp.c_str(), at.c_str());
            break;
        case kModify:
            if (pending_modify())
                journal_.write(Level::Info,
                               "'%d': modify pending order #%d %s %.2lf %s at %s sl: %s tp: %s -> price: %s sl: %s tp: %s",
                               login_, order_ticket(), order_type(), lots(old.volume), order_symbol().c_str(),
                               old_at.c_str(), old_sl.c_str(), old_tp.c_str(), at.c_str(), sl.c_str(), tp.c_str());
            else
                journal_.write(Level::Info, "'%d': modify order #%d %s %.2lf %s at %s sl: %s tp: %s -> sl: %s tp: %s",
                               login_, order_ticket(), order_type(), lots(old.volume), order_symbol().c_str(),
                               old_at.c_str(), old_sl.c_str(), old_tp.c_str(), sl.c_str(), tp.c_str());
            break;
        case kDelete:
            journal_.write(Level::Info, "'%d': delete pending order #%d %s %.2lf %s at %s sl: %s tp: %s", login_,
                           order_ticket(), order_type(), lots(old.volume), order_symbol().c_str(), old_at.c_str(),
                           old_sl.c_str(), old_tp.c_str());
            break;
        case kCloseBy: {
            const TradeRecord by = opposite_.value_or(TradeRecord{});
            journal_.write(Level::Info,
                           "'%d': close order #%d %s %.2lf %s at %s sl: %s tp: %s by order #%d %s %.2lf %s at %s sl: "
                           "%s tp: %s",
                           login_, order_ticket(), order_type(), lots(old.volume), order_symbol().c_str(),
                           old_at.c_str(), old_sl.c_str(), old_tp.c_str(),
                           opposite_ ? int32_t{by.ticket} : int32_t{request_.opposite_ticket}, order_type_name(by.type),
                           lots(by.volume), text_of(by.symbol).c_str(), price(by.open_price).c_str(),
                           price(by.stop_loss).c_str(), price(by.take_profit).c_str());
            break;
        }
        case kMultipleCloseBy: journal_.write(Level::Info, "'%d': multiple close by '%s'", login_, symbol.c_str()); break;
        default: journal_.write(Level::Info, "'%d': unknown trade type", login_); break;
    }
    flush_for_orders();
}

void RequestJournal::accepted() { journal_.write(Level::Info, "'%d': request was accepted by server", login_); }

void RequestJournal::in_process() { journal_.write(Level::Info, "'%d': request in process", login_); }

void RequestJournal::done(const TradeRecord& result, double bid, double ask) {
    const std::string symbol = text_of(request_.symbol);
    const TradeRecord old = order_.value_or(TradeRecord{});
    if (is_open_kind(request_.kind)) {
        journal_.write(Level::Info, "'%d': order was opened : #%d %s %.2lf %s at %s sl: %s tp: %s", login_,
                       result.ticket, order_type_name(result.type), lots(result.volume), text_of(result.symbol).c_str(),
                       price(result.open_price).c_str(), price(result.stop_loss).c_str(),
                       price(result.take_profit).c_str());
    } else if (is_close_kind(request_.kind)) {
        journal_.write(Level::Info, "'%d': order #%d %s %.2lf %s at %s sl: %s tp: %s closed at price %s", login_,
                       result.ticket, order_type_name(result.type), lots(result.volume), text_of(result.symbol).c_str(),
                       price(result.open_price).c_str(), price(result.stop_loss).c_str(),
                       price(result.take_profit).c_str(), price(result.close_price).c_str());
    } else {
        switch (request_.kind) {
            case kPriceRequest:
                journal_.write(Level::Info, "'%d': answer %.2lf %s %s / %s ", login_, lots(request_.volume),
                               symbol.c_str(), price(bid).c_str(), price(ask).c_str());
                break;
            case kModify:
                if (pending_modify())
                    journal_.write(Level::Info, "'%d': pending order #%d %s %.2lf %s was modified -> price: %s sl: %s tp: %s",
                                   login_, order_ticket(), order_type(), lots(old.volume), order_symbol().c_str(),
                                   price(request_.price).c_str(), price(request_.stop_loss).c_str(),
                                   price(request_.take_profit).c_str());
                else
                    journal_.write(Level::Info, "'%d': order #%d %s %.2lf %s at %s was modified -> sl: %s tp: %s",
                                   login_, order_ticket(), order_type(), lots(old.volume), order_symbol().c_str(),
                                   price(old.open_price).c_str(), price(request_.stop_loss).c_str(),
                                   price(request_.take_profit).c_str());
                break;
            case kDelete: journal_.write(Level::Info, "'%d': pending order #%d was deleted", login_, order_ticket()); break;
            case kCloseBy:
                journal_.write(Level::Info, "'%d': order #%d was closed by #%d", login_, request_.ticket,
                               request_.opposite_ticket);
                break;
            case kMultipleCloseBy:
                journal_.write(Level::Info, "'%d': multiple close by '%s' ok", login_, symbol.c_str());
                break;
            default: journal_.write(Level::Info, "'%d': unknown trade type", login_); break;
        }
    }
    flush_for_orders();
}

void RequestJournal::requote(double bid, double ask) {
    const std::string symbol = text_of(request_.symbol);
    if (is_open_kind(request_.kind)) {
        journal_.write(Level::Info, "'%d': requote %s / %s for open %s %.2lf %s at %s sl: %s tp: %s", login_,
                       price(bid).c_str(), price(ask).c_str(), order_type_name(request_.order_type),
                       lots(request_.volume), symbol.c_str(), price(request_.price).c_str(),
                       price(request_.stop_loss).c_str(), price(request_.take_profit).c_str());
    } else if (is_close_kind(request_.kind)) {
        journal_.write(Level::Info, "'%d': requote %s / %s for order #%d %s %.2lf %s closing at %s", login_,
                       price(bid).c_str(), price(ask).c_str(), order_ticket(), order_type(), lots(request_.volume),
                       order_symbol().c_str(), price(request_.price).c_str());
    } else {
        failed(net::ReturnCode::Requote);
        return;
    }
    flush_for_orders();
}

void RequestJournal::failed(net::ReturnCode code) {
    const char* text = net::return_code_text(code);
    const std::string symbol = text_of(request_.symbol);
    const TradeRecord old = order_.value_or(TradeRecord{});
    const std::string at = price(request_.price), sl = price(request_.stop_loss), tp = price(request_.take_profit);
    const std::string old_at = price(old.open_price), old_sl = price(old.stop_loss), old_tp = price(old.take_profit);
    if (is_open_kind(request_.kind)) {
        journal_.write(Level::Error, "'%d': order %s %.2lf %s opening at %s sl: %s tp: %s failed [%s]", login_,
                       order_type_name(request_.order_type), lots(request_.volume), symbol.c_str(), at.c_str(),
                       sl.c_str(), tp.c_str(), text);
    } else if (is_close_kind(request_.kind)) {
        journal_.write(Level::Error, "'%d': order #%d %s %.2lf %s closing at %s failed [%s]", login_, order_ticket(),
                       order_type(), lots(request_.volume), order_symbol().c_str(), at.c_str(), text);
    } else {
        switch (request_.kind) {
            case kPriceRequest: journal_.write(Level::Error, "'%d': request failed [%s]", login_, text); break;
            case kModify:
                if (pending_modify())
                    journal_.write(Level::Error,
                                   "'%d': modification of pending order #%d %s %.2lf %s at %s sl: %s tp: %s -> price: "
                                   "%s sl: %s tp: %s failed [%s]",
                                   login_, order_ticket(), order_type(), lots(old.volume), order_symbol().c_str(),
                                   old_at.c_str(), old_sl.c_str(), old_tp.c_str(), at.c_str(), sl.c_str(), tp.c_str(),
                                   text);
                else
                    journal_.write(Level::Error,
                                   "'%d': modification of order #%d %s %.2lf %s at %s sl: %s tp: %s -> sl: %s tp: %s "
                                   "failed [%s]",
                                   login_, order_ticket(), order_type(), lots(old.volume), order_symbol().c_str(),
                                   old_at.c_str(), old_sl.c_str(), old_tp.c_str(), sl.c_str(), tp.c_str(), text);
                break;
            case kDelete:
                journal_.write(Level::Error, "'%d': deleting of pending order #%d %s %.2lf %s at %s sl: %s tp: %s failed [%s]",
                               login_, order_ticket(), order_type(), lots(old.volume), order_symbol().c_str(),
                               old_at.c_str(), old_sl.c_str(), old_tp.c_str(), text);
                break;
            case kCloseBy:
                journal_.write(Level::Error, "'%d': order #%d closing by order #%d failed [%s]", login_,
                               request_.ticket, request_.opposite_ticket, text);
                break;
            case kMultipleCloseBy:
                journal_.write(Level::Error, "'%d': multiple close by '%s' failed [%s]", login_, symbol.c_str(), text);
                break;
            default: journal_.write(Level::Info, "'%d': unknown trade type", login_); break;
        }
    }
    flush_for_orders();
}

}  // namespace kb::trade
