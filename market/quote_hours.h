#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "market/symbol_record.h"

namespace kb::market {

// When a symbol quotes, by the quote hours of its record (SymbolRecord::quote_hours): the
// one rule the terminal's bar building and the demo server's price feed and dealer share.
// Times are server time, read as a calendar without time-zone shift. Pure functions: any
// thread may call them.

// A week of quote hours, Sunday first; SymbolRecord::quote_hours and a QuoteWeek both bind.
using QuoteHours = std::span<const DayQuoteHours, kDaysPerWeek>;
using QuoteWeek = std::array<DayQuoteHours, kDaysPerWeek>;

// The quote window covering a moment, with the opens of the bars longer than a day.
struct QuoteSession {
    int64_t start = 0;               // the covering window's open
    int64_t end = 0;                 // its close (the day's end for a window past midnight)
    int64_t day_open = 0;            // the trading day the tick belongs to
    std::array<int16_t, 7> alignment{};   // minutes, for the period indexes 1..7
};

// A window whose open is not below its close runs past midnight; open = close = 0 is empty.
bool runs_past_midnight(const QuoteWindow& window);

// The index a day record carries as its first window running past midnight: the first
// non-empty such window, kQuoteWindowsPerDay when there is none (so that none of the day's
// windows reaches into the next day).
int32_t first_overnight_window(const DayQuoteHours& day);

// Sets the day's window at index (0..2) to open..close, minutes after midnight, and keeps
// the day's past-midnight index in step with its windows.
void set_quote_window(DayQuoteHours& day, int index, int32_t open_minute, int32_t close_minute);

// The window covering time t: the previous weekday's windows from its past-midnight
// index on, then today's three in order. Nothing when no window covers t.
std::optional<QuoteSession> find_quote_session(QuoteHours hours, int64_t t);

// True when a window covers time t.
bool in_quote_hours(QuoteHours hours, int64_t t);

// The first whole minute after t that a window covers, looking at most eight days ahead;
// -1 when none does (a week without windows).
int64_t next_quote_minute(QuoteHours hours, int64_t t);

// Sunday 00:00 of t's week; 0 before the first Sunday of 1970.
int64_t week_open(int64_t t);
// 00:00 of the first day of t's month.
int64_t month_open(int64_t t);

}  // namespace kb::market
