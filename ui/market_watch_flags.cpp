#include "ui/market_watch_flags.h"

#include <cstdio>

#include "core/strings.h"
#include "platform/clock.h"

namespace kb::ui {

uint32_t toggle_high_low(uint32_t flags) {
    constexpr uint32_t both = kMarketWatchHigh | kMarketWatchLow;
    return (flags & both) == both ? flags & ~both : flags | both;
}

std::vector<MarketWatchColumnSpec> market_watch_columns(uint32_t flags) {
    std::vector<MarketWatchColumnSpec> columns = {{MarketWatchColumn::Symbol, core::kTextColumnSymbol, 35},
                                                  {MarketWatchColumn::Bid, core::kTextColumnBid, 25},
                                                  {MarketWatchColumn::Ask, core::kTextColumnAsk, 25}};
    if (flags & kMarketWatchHigh) columns.push_back({MarketWatchColumn::High, core::kTextColumnHigh, 25});
    if (flags & kMarketWatchLow) columns.push_back({MarketWatchColumn::Low, core::kTextColumnLow, 25});
    if (flags & kMarketWatchTime) columns.push_back({MarketWatchColumn::Time, core::kTextColumnTime, 25});
    return columns;
}

std::vector<int> fitted_column_widths(std::span<const MarketWatchColumnSpec> columns, int width) {
    std::vector<int> widths;
    if (columns.empty()) return widths;
    int total_weight = 0;
    for (const MarketWatchColumnSpec& layout : columns) total_weight += layout.weight;
    int used = 0;
    for (size_t i = 0; i + 1 < columns.size(); ++i) {
        widths.push_back(width * columns[i].weight / total_weight);
        used += widths.back();
    }
    widths.push_back(width - used);
    return widths;
}

std::string quote_time_text(int32_t time) {
    if (time < 0) return "n/a";
    const platform::DateTime parts = platform::utc_calendar(time);
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d", parts.hour, parts.minute);
    return text;
}

}  // namespace kb::ui
