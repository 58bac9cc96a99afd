#pragma once
#include <cstdint>

#include "core/fixed_text.h"
#include "trade/trade_request.h"

namespace kb::testing {

// A EURUSD request of the given kind, filled as the order window fills one.
inline trade::TradeRequest eurusd_request(uint8_t kind, int16_t type, int volume, double price, int32_t ticket,
                                          int32_t deviation) {
    trade::TradeRequest out{};
    out.kind = kind;
    out.order_type = type;
    out.ticket = ticket;
    core::set_field_text(out.symbol, "EURUSD");
    out.volume = volume;
    out.price = price;
    out.deviation = deviation;
    return out;
}

}  // namespace kb::testing
