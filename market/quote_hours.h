#pragma once
#include <array>
#include <cstdint>
#include <optional>

#include "market/symbol_record.h"

namespace kb::market {

// The quote window of a symbol's quote hours that covers a moment, with the opens of the
// bars longer than a day. Times are server time, read as a calendar without time-zone
// shift. Pure functions: any thread may call them.

struct QuoteSession {
    int64_t start = 0;               // the covering window's open
    int64_t end = 0;                 // its close (the day's end for a window past midnight)
    int64_t day_open = 0;            // the trading day the tick belongs to
    std::array<int16_t, 7> alignment{};   // minutes, for the period indexes 1..7
};

// The window covering time t: the previous weekday's windows from its past-midnight
// index on, then today's three in order. Nothing when no window covers t.
std::optional<QuoteSession> find_quote_session(const SymbolRecord& symbol, int64_t t);

// Sunday 00:00 of t's week; 0 before the first Sunday of 1970.
int64_t week_open(int64_t t);
// 00:00 of the first day of t's month.
int64_t month_open(int64_t t);

}  // namespace kb::market
