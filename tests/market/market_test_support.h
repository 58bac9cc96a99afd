#pragma once
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "core/journal.h"
#include "core/fixed_text.h"
#include "market/bar_record.h"
#include "market/hst_file.h"
#include "market/symbol_record.h"
#include "platform/clock.h"

namespace kb::market::testing {

inline SymbolRecord make_symbol(std::string_view name, int32_t index, int32_t digits = 5, int32_t sort_key = 0,
                                int32_t group = 0) {
    SymbolRecord symbol{};
    core::set_field_text(symbol.name, name);
    symbol.symbol_index = index;
    symbol.digits = digits;
    symbol.sort_key = sort_key;
    symbol.group_index = group;
    double point = 1;
    for (int i = 0; i < digits; ++i) point /= 10;
    symbol.point = point;
    symbol.selection_value = 100.0 + index;
    return symbol;
}

// A symbol quoted all day, every day; no window runs past midnight.
inline SymbolRecord all_day_symbol(std::string_view name = "EURUSD", int32_t index = 1) {
    SymbolRecord symbol = make_symbol(name, index, 5);
    for (DayQuoteHours& day : symbol.quote_hours) {
        day.windows[0].open_minute = 0;
        day.windows[0].close_minute = 1440;
        day.first_overnight_window = kQuoteWindowsPerDay;
    }
    return symbol;
}

inline TickRecord make_tick(uint16_t index, int32_t time, float bid, float ask) {
    TickRecord tick{};
    tick.symbol_index = index;
    tick.time = time;
    tick.bid = bid;
    tick.ask = ask;
    return tick;
}

// The bytes of a history file: header (digits 5, time sign 77), then the bars as given.
inline std::vector<uint8_t> hst_bytes(std::string_view symbol, int period, const std::vector<BarRecord>& bars,
                                      int32_t version = kHistoryFileVersion) {
    HistoryFileHeader header{};
    header.version = version;
    core::set_field_text(header.symbol, symbol);
    header.period = period;
    header.digits = 5;
    header.time_sign = 77;
    std::vector<uint8_t> bytes(sizeof header + bars.size() * sizeof(BarRecord));
    std::memcpy(bytes.data(), &header, sizeof header);
    if (!bars.empty()) std::memcpy(bytes.data() + sizeof header, bars.data(), bars.size() * sizeof(BarRecord));
    return bytes;
}

// A journal whose lines are kept in memory, without their time prefix.
class CapturedJournal {
public:
    explicit CapturedJournal(const std::string& folder) : journal_(folder, clock_) {
        journal_.set_echo([this](std::string_view line) { lines_.emplace_back(line.substr(kTimePrefix)); });
    }
    core::Journal* get() { return &journal_; }
    const std::vector<std::string>& lines() const { return lines_; }

private:
    static constexpr size_t kTimePrefix = 9;   // "HH:MM:SS "
    platform::ManualClock clock_;
    core::Journal journal_;
    std::vector<std::string> lines_;
};

}  // namespace kb::market::testing
