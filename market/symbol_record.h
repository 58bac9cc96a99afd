#pragma once
#include <bit>
#include <cstddef>
#include <cstdint>

namespace kb::market {

// The trade server's instruments and live prices, byte for byte as they travel and as the
// symbols base stores them (symbols.raw, symgroups.raw, symbols.sel). Little-endian,
// packed; texts are 8-bit and NUL-terminated inside their field. Bytes the terminal does
// not read are kept as received in the reserved_<offset> arrays.

static_assert(std::endian::native == std::endian::little);

inline constexpr int kSymbolGroupCount = 32;
inline constexpr int kGroupOverrideCount = 128;
inline constexpr int kDaysPerWeek = 7;
inline constexpr int kQuoteWindowsPerDay = 3;
// A group override value equal to this leaves the symbol's value as it is.
inline constexpr double kNotOverridden = 1.7976931348623157e308;

// How the server executes the symbol's orders: at a price the dealer quotes on request,
// at the price the terminal shows (with a deviation), or at the market.
enum class ExecutionMode : int32_t { Request = 0, Instant = 1, Market = 2 };

// How a position's profit is computed (trade/profit.h): in lots of the contract size
// (forex), by price difference times the contract size (CFD), or by price difference in
// ticks times the tick value (futures).
enum class ProfitMode : int32_t { Forex = 0, Cfd = 1, Futures = 2 };

// How a symbol's margin is computed (trade/margin.h): contract size over leverage (forex),
// value at the open price (CFD), the maintenance margin (futures), value in ticks (CFD
// index), value over leverage (CFD with leverage). Other values hold no margin.
enum class MarginMode : int32_t { Forex = 0, Cfd = 1, Futures = 2, CfdIndex = 3, CfdLeverage = 4 };

// Whether the floating profit counts in the free margin: never, always, only a gain, only
// a loss. Other values count it never.
enum class FreeMarginMode : int32_t { WithoutProfit = 0, WithProfit = 1, WithGainOnly = 2, WithLossOnly = 3 };

#pragma pack(push, 1)

// One quote window of a day: minutes after midnight, open not below close runs past
// midnight, open = close = 0 is empty.
struct QuoteWindow {
    uint8_t reserved_0[8];
    int32_t open_minute;
    int32_t close_minute;
    int16_t alignment[7];     // per period index 1..7, minutes
    uint8_t reserved_30[2];
};
static_assert(sizeof(QuoteWindow) == 32);
static_assert(offsetof(QuoteWindow, open_minute) == 8);
static_assert(offsetof(QuoteWindow, close_minute) == 12);
static_assert(offsetof(QuoteWindow, alignment) == 16);

// The quote hours of one day of the week, Sunday first in SymbolRecord::quote_hours.
struct DayQuoteHours {
    QuoteWindow windows[kQuoteWindowsPerDay];
    QuoteWindow other_windows[kQuoteWindowsPerDay];   // same form, not used by bar building
    int32_t first_overnight_window;                   // 0..2: first window running past midnight
    uint8_t reserved_196[12];
};
static_assert(sizeof(DayQuoteHours) == 208);
static_assert(offsetof(DayQuoteHours, other_windows) == 96);
static_assert(offsetof(DayQuoteHours, first_overnight_window) == 192);

struct SymbolRecord {
    char name[12];
    char description[64];
    char text[12];
    char profit_currency[12];        // three-letter code in the first 3 bytes
    int32_t group_index;             // 0..31
    int32_t digits;
    int32_t display_flag;            // below 1: shown greyed in the market watch
    uint32_t row_colour;             // 0x00BBGGRR
    int32_t symbol_index;            // the server's id, 16 bits in quotes and subscriptions
    int32_t sort_key;                // below 8000: candidate for the default selection
    uint8_t reserved_124[40];
    DayQuoteHours quote_hours[kDaysPerWeek];
    ProfitMode profit_mode;
    uint8_t reserved_1624[36];
    double selection_value;          // copied into SelectedSymbol::symbol_value
    ExecutionMode execution_mode;
    uint8_t reserved_1672[8];
    double override_value_1680;      // replaced by GroupOverride::value_1680
    double override_value_1688;      // replaced by GroupOverride::value_1688
    uint8_t reserved_1696[8];
    double contract_size;
    double tick_value;
    double tick_size;
    int32_t stops_level;             // points
    uint8_t reserved_1732[4];
    MarginMode margin_mode;
    uint8_t reserved_1740[4];
    double initial_margin;
    double maintenance_margin;
    double hedged_margin;
    double margin_divider;           // replaced by GroupOverride::margin_divider
    double point;
    uint8_t reserved_1784[8];
    double buy_profit_multiplier;    // computed by the trade base in its copy
    double sell_profit_multiplier;
    int32_t long_only;               // 1: buy orders only
    int32_t instant_volume_limit;    // hundredths of a lot
    char margin_currency[12];        // three-letter code in the first 3 bytes
    uint8_t reserved_1828[4];
    int32_t margin_flag;             // non-zero: margin-lowering orders still need free margin
    uint8_t reserved_1836[100];
};
static_assert(sizeof(SymbolRecord) == 1936);
static_assert(offsetof(SymbolRecord, description) == 12);
static_assert(offsetof(SymbolRecord, text) == 76);
static_assert(offsetof(SymbolRecord, profit_currency) == 88);
static_assert(offsetof(SymbolRecord, group_index) == 100);
static_assert(offsetof(SymbolRecord, digits) == 104);
static_assert(offsetof(SymbolRecord, display_flag) == 108);
static_assert(offsetof(SymbolRecord, row_colour) == 112);
static_assert(offsetof(SymbolRecord, symbol_index) == 116);
static_assert(offsetof(SymbolRecord, sort_key) == 120);
static_assert(offsetof(SymbolRecord, quote_hours) == 164);
static_assert(offsetof(SymbolRecord, profit_mode) == 1620);
static_assert(offsetof(SymbolRecord, selection_value) == 1660);
static_assert(offsetof(SymbolRecord, execution_mode) == 1668);
static_assert(offsetof(SymbolRecord, override_value_1680) == 1680);
static_assert(offsetof(SymbolRecord, override_value_1688) == 1688);
static_assert(offsetof(SymbolRecord, contract_size) == 1704);
static_assert(offsetof(SymbolRecord, tick_value) == 1712);
static_assert(offsetof(SymbolRecord, tick_size) == 1720);
static_assert(offsetof(SymbolRecord, stops_level) == 1728);
static_assert(offsetof(SymbolRecord, margin_mode) == 1736);
static_assert(offsetof(SymbolRecord, initial_margin) == 1744);
static_assert(offsetof(SymbolRecord, maintenance_margin) == 1752);
static_assert(offsetof(SymbolRecord, hedged_margin) == 1760);
static_assert(offsetof(SymbolRecord, margin_divider) == 1768);
static_assert(offsetof(SymbolRecord, point) == 1776);
static_assert(offsetof(SymbolRecord, buy_profit_multiplier) == 1792);
static_assert(offsetof(SymbolRecord, sell_profit_multiplier) == 1800);
static_assert(offsetof(SymbolRecord, long_only) == 1808);
static_assert(offsetof(SymbolRecord, instant_volume_limit) == 1812);
static_assert(offsetof(SymbolRecord, margin_currency) == 1816);
static_assert(offsetof(SymbolRecord, margin_flag) == 1832);

// One of the 32 symbol groups; the group table is 32 of them, indexed by group_index.
struct SymbolGroupRecord {
    char name[16];                   // at most 15 characters
    uint8_t reserved_16[64];
};
static_assert(sizeof(SymbolGroupRecord) == 80);
inline constexpr size_t kSymbolGroupTableSize = kSymbolGroupCount * sizeof(SymbolGroupRecord);
static_assert(kSymbolGroupTableSize == 2560);

// The account group's settings for one symbol group.
struct GroupSymbolSettings {
    uint8_t reserved_0[44];
    int32_t spread_difference;       // points; 0 = none
    int32_t minimum_volume;          // hundredths of a lot
    int32_t maximum_volume;
    int32_t volume_step;
    uint8_t reserved_60[8];
    int32_t flags;                   // 1: close by refused, 2: multiple close by refused
    uint8_t reserved_72[40];
};
static_assert(sizeof(GroupSymbolSettings) == 112);
static_assert(offsetof(GroupSymbolSettings, spread_difference) == 44);
static_assert(offsetof(GroupSymbolSettings, minimum_volume) == 48);
static_assert(offsetof(GroupSymbolSettings, maximum_volume) == 52);
static_assert(offsetof(GroupSymbolSettings, volume_step) == 56);
static_assert(offsetof(GroupSymbolSettings, flags) == 68);

inline constexpr int32_t kCloseByRefused = 1;
inline constexpr int32_t kMultipleCloseByRefused = 2;

// A per-symbol override of the account group; kNotOverridden leaves a value alone.
struct GroupOverride {
    char symbol[16];
    double value_1680;               // replaces SymbolRecord::override_value_1680
    double value_1688;               // replaces SymbolRecord::override_value_1688
    double margin_divider;           // replaces SymbolRecord::margin_divider
    uint8_t reserved_40[32];
};
static_assert(sizeof(GroupOverride) == 72);
static_assert(offsetof(GroupOverride, value_1680) == 16);
static_assert(offsetof(GroupOverride, value_1688) == 24);
static_assert(offsetof(GroupOverride, margin_divider) == 32);

// The settings of the account's group (account data reply, command 171). The per-group
// entries start at 664, so that symbol group g's spread difference is at 708 + 112 g.
// The name is 20 bytes so that its terminator falls on the byte the saved accounts force
// to NUL (see trade/account_record.h).
struct GroupRecord {
    char name[20];
    uint8_t reserved_20[644];
    GroupSymbolSettings symbol_groups[kSymbolGroupCount];
    GroupOverride overrides[kGroupOverrideCount];
    int32_t override_count;          // 0..128
    char deposit_currency[12];       // three-letter code in the first 3 bytes
    double margin_allowance;         // added to the free margin in the margin test of an order
    uint8_t reserved_13488[4];
    FreeMarginMode free_margin_mode;
    uint8_t reserved_13496[24];
    int32_t flags;                   // kExpirationAllowed
    uint8_t reserved_13524[4];
    int32_t order_limit;
    uint8_t reserved_13532[12];
    int32_t larger_leg_margin;       // set: hedged positions take the margin of the larger side
    uint8_t reserved_13548[148];
};
static_assert(sizeof(GroupRecord) == 13696);
static_assert(offsetof(GroupRecord, symbol_groups) == 664);
static_assert(offsetof(GroupRecord, symbol_groups[0].spread_difference) == 708);
static_assert(offsetof(GroupRecord, symbol_groups[1].spread_difference) == 708 + 112);
static_assert(offsetof(GroupRecord, symbol_groups[0].minimum_volume) == 712);
static_assert(offsetof(GroupRecord, symbol_groups[0].maximum_volume) == 716);
static_assert(offsetof(GroupRecord, symbol_groups[0].volume_step) == 720);
static_assert(offsetof(GroupRecord, symbol_groups[0].flags) == 732);
static_assert(offsetof(GroupRecord, overrides) == 4248);
static_assert(offsetof(GroupRecord, override_count) == 13464);
static_assert(offsetof(GroupRecord, deposit_currency) == 13468);
static_assert(offsetof(GroupRecord, margin_allowance) == 13480);
static_assert(offsetof(GroupRecord, free_margin_mode) == 13492);
static_assert(offsetof(GroupRecord, flags) == 13520);
static_assert(offsetof(GroupRecord, order_limit) == 13528);
static_assert(offsetof(GroupRecord, larger_leg_margin) == 13544);

inline constexpr int32_t kExpirationAllowed = 8;

// One quote (time != 0: float bid and ask) or high/low update (time == 0: int32 high and
// low in points, read with high_points() and low_points()).
struct TickRecord {
    uint16_t symbol_index;
    int32_t time;
    float bid;
    float ask;

    // The fields are copied out first: a reference to a packed member may be misaligned.
    int32_t high_points() const {
        float value = bid;
        return std::bit_cast<int32_t>(value);
    }
    int32_t low_points() const {
        float value = ask;
        return std::bit_cast<int32_t>(value);
    }
    void set_high_low_points(int32_t high, int32_t low) {
        bid = std::bit_cast<float>(high);
        ask = std::bit_cast<float>(low);
    }
};
static_assert(sizeof(TickRecord) == 14);
static_assert(offsetof(TickRecord, time) == 2);
static_assert(offsetof(TickRecord, bid) == 6);
static_assert(offsetof(TickRecord, ask) == 10);

inline constexpr int kMaxTicksPerPacket = 256;

// One Market Watch entry, the same in memory and in symbols.sel.
struct SelectedSymbol {
    char name[12];
    int32_t digits;
    int32_t symbol_index;
    int32_t shown;                   // 1 shown, 0 kept only because something uses it
    int32_t group_index;
    int32_t reserved_28;             // 0
    double point;
    double symbol_value;             // SymbolRecord::selection_value
    int32_t direction;               // last bid change: 0 up, 1 down, 2 none yet
    int32_t updated;
    int32_t time;                    // last quote, server time
    uint8_t reserved_60[4];
    double bid;                      // after the spread difference
    double ask;
    double high;
    double low;
    uint8_t reserved_96[16];
    double raw_bid;                  // as received, normalised
    double raw_ask;
};
static_assert(sizeof(SelectedSymbol) == 128);
static_assert(offsetof(SelectedSymbol, digits) == 12);
static_assert(offsetof(SelectedSymbol, symbol_index) == 16);
static_assert(offsetof(SelectedSymbol, shown) == 20);
static_assert(offsetof(SelectedSymbol, group_index) == 24);
static_assert(offsetof(SelectedSymbol, reserved_28) == 28);
static_assert(offsetof(SelectedSymbol, point) == 32);
static_assert(offsetof(SelectedSymbol, symbol_value) == 40);
static_assert(offsetof(SelectedSymbol, direction) == 48);
static_assert(offsetof(SelectedSymbol, updated) == 52);
static_assert(offsetof(SelectedSymbol, time) == 56);
static_assert(offsetof(SelectedSymbol, bid) == 64);
static_assert(offsetof(SelectedSymbol, ask) == 72);
static_assert(offsetof(SelectedSymbol, high) == 80);
static_assert(offsetof(SelectedSymbol, low) == 88);
static_assert(offsetof(SelectedSymbol, raw_bid) == 112);
static_assert(offsetof(SelectedSymbol, raw_ask) == 120);

// The entry of the older symbols.sel form: the first 112 bytes of SelectedSymbol.
inline constexpr size_t kOldSelectedSymbolSize = offsetof(SelectedSymbol, raw_bid);

// The 16 bytes in front of each record of a symbol update (154) or group settings update
// (171).
struct UpdateHeader {
    uint8_t reserved_0[4];
    int32_t transaction_type;        // only kUpdateTransaction has an effect
    uint8_t reserved_8[8];
};
static_assert(sizeof(UpdateHeader) == 16);
static_assert(offsetof(UpdateHeader, transaction_type) == 4);

inline constexpr int32_t kUpdateTransaction = 2;

struct SymbolUpdateRecord {
    UpdateHeader header;
    SymbolRecord symbol;
};
static_assert(sizeof(SymbolUpdateRecord) == 1952);

struct GroupUpdateRecord {
    UpdateHeader header;
    GroupRecord group;
};
static_assert(sizeof(GroupUpdateRecord) == 13712);

#pragma pack(pop)

}  // namespace kb::market
