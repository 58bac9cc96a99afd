#pragma once
#include <cstddef>
#include <cstdint>

namespace kb::trade {

// Orders, positions and balance operations as the trade server sends them (account data,
// account history, trade transactions of command 155 and of the trade channels).
// Little-endian, packed; bytes not named here are kept as received.

enum OrderType : int32_t {
    kBuy = 0,
    kSell = 1,
    kBuyLimit = 2,
    kSellLimit = 3,
    kBuyStop = 4,
    kSellStop = 5,
    kBalance = 6,
    kCredit = 7,
};

// True for buy and sell, the order types that are positions.
constexpr bool is_position(int32_t type) { return type == kBuy || type == kSell; }

// True for the four pending order types (buy limit .. sell stop).
constexpr bool is_pending(int32_t type) { return type >= kBuyLimit && type <= kSellStop; }

// True for a position or a pending order (0..5), not a balance or credit operation.
constexpr bool is_order_type(int32_t type) { return type >= kBuy && type <= kSellStop; }

// True for the order types on the buying side (buy, buy limit, buy stop).
constexpr bool is_buy_side(int32_t type) { return type == kBuy || type == kBuyLimit || type == kBuyStop; }

// True for the order types that close at the bid (buy, sell limit, sell stop): the others
// take the ask as their current price.
constexpr bool closes_at_bid(int32_t type) { return type == kBuy || type == kSellLimit || type == kSellStop; }

enum TransactionType : int32_t {
    kTransactionAdd = 0,
    kTransactionDelete = 1,
    kTransactionUpdate = 2,
};

#pragma pack(push, 1)
struct TradeRecord {
    int32_t ticket;
    int32_t login;                   // the account that owns it
    char symbol[12];                 // NUL-terminated
    int32_t digits;
    int32_t type;                    // OrderType
    int32_t volume;                  // hundredths of a lot
    uint8_t reserved_32[8];
    double open_price;
    double stop_loss;
    double take_profit;
    int32_t close_time;              // 0 while open
    uint8_t reserved_68[28];
    double commission;
    uint8_t reserved_104[8];
    double swap;
    double close_price;              // for open positions the current closing price
    double profit;
    double taxes;
    uint8_t reserved_144[4];
    char comment[32];
    uint8_t reserved_180[12];
    double margin_rate;              // margin currency to deposit currency
    uint8_t reserved_200[24];
};
static_assert(sizeof(TradeRecord) == 224);
static_assert(offsetof(TradeRecord, login) == 4);
static_assert(offsetof(TradeRecord, symbol) == 8);
static_assert(offsetof(TradeRecord, digits) == 20);
static_assert(offsetof(TradeRecord, type) == 24);
static_assert(offsetof(TradeRecord, volume) == 28);
static_assert(offsetof(TradeRecord, open_price) == 40);
static_assert(offsetof(TradeRecord, stop_loss) == 48);
static_assert(offsetof(TradeRecord, take_profit) == 56);
static_assert(offsetof(TradeRecord, close_time) == 64);
static_assert(offsetof(TradeRecord, commission) == 96);
static_assert(offsetof(TradeRecord, swap) == 112);
static_assert(offsetof(TradeRecord, close_price) == 120);
static_assert(offsetof(TradeRecord, profit) == 128);
static_assert(offsetof(TradeRecord, taxes) == 136);
static_assert(offsetof(TradeRecord, comment) == 148);
static_assert(offsetof(TradeRecord, margin_rate) == 192);

// A change to the account's trades. balance and credit are valid for deletes of closed
// positions and for balance and credit operations.
struct TradeTransaction {
    uint8_t reserved_0[4];
    int32_t type;                    // TransactionType
    uint8_t reserved_8[16];
    double balance;
    double credit;
    uint8_t reserved_40[8];
    TradeRecord trade;
};
static_assert(sizeof(TradeTransaction) == 272);
static_assert(offsetof(TradeTransaction, type) == 4);
static_assert(offsetof(TradeTransaction, balance) == 24);
static_assert(offsetof(TradeTransaction, credit) == 32);
static_assert(offsetof(TradeTransaction, trade) == 48);
#pragma pack(pop)

}  // namespace kb::trade
