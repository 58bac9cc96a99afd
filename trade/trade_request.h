#pragma once
#include <cstddef>
#include <cstdint>

#include "net/trade_request_signing.h"

namespace kb::trade {

// One trade operation of the user as it travels to the trade server (command 190).
// Little-endian, packed, sent unchanged once the stream fills in the check value.

enum RequestKind : uint8_t {
    kPriceRequest = 0,
    kInstantOrder = 64,
    kOrderByRequest = 65,
    kMarketOrder = 66,
    kPendingOrder = 67,
    kInstantClose = 68,
    kCloseByRequest = 69,
    kMarketClose = 70,
    kModify = 71,
    kDelete = 72,
    kCloseBy = 73,
    kMultipleCloseBy = 74,
};

#pragma pack(push, 1)
struct TradeRequest {
    uint8_t kind;                    // RequestKind
    uint8_t reserved_1;              // 0
    int16_t order_type;              // OrderType 0..5
    int32_t ticket;                  // the order concerned (close, modify, delete, close by)
    int32_t opposite_ticket;         // close by
    char symbol[12];                 // NUL-terminated
    int32_t volume;                  // hundredths of a lot
    double price;
    double stop_loss;
    double take_profit;
    int32_t deviation;               // points, instant execution; never negative
    char comment[32];
    int32_t expiration;              // pending orders; 0 = none
    uint32_t check_value;            // filled in when the request is sent
};
static_assert(sizeof(TradeRequest) == net::kTradeRequestSize);
static_assert(offsetof(TradeRequest, order_type) == 2);
static_assert(offsetof(TradeRequest, ticket) == 4);
static_assert(offsetof(TradeRequest, opposite_ticket) == 8);
static_assert(offsetof(TradeRequest, symbol) == 12);
static_assert(offsetof(TradeRequest, volume) == 24);
static_assert(offsetof(TradeRequest, price) == 28);
static_assert(offsetof(TradeRequest, stop_loss) == 36);
static_assert(offsetof(TradeRequest, take_profit) == 44);
static_assert(offsetof(TradeRequest, deviation) == 52);
static_assert(offsetof(TradeRequest, comment) == 56);
static_assert(offsetof(TradeRequest, expiration) == 88);
static_assert(offsetof(TradeRequest, check_value) == net::kTradeRequestCheckOffset);
#pragma pack(pop)

// A pending order's expiration must lie at least this far after the newest quote time (on
// the server: after now).
inline constexpr int32_t kMinimumExpirationSeconds = 600;

// True when a pending order's expiration is none (0) or lies far enough after now.
constexpr bool expiration_far_enough(int64_t expiration, int64_t now) {
    return expiration == 0 || expiration >= now + kMinimumExpirationSeconds;
}

// True for the kinds that open a position or place an order (64..67).
constexpr bool is_open_kind(uint8_t kind) { return kind >= kInstantOrder && kind <= kPendingOrder; }

// True for the three close kinds (68..70).
constexpr bool is_close_kind(uint8_t kind) { return kind >= kInstantClose && kind <= kMarketClose; }

}  // namespace kb::trade
