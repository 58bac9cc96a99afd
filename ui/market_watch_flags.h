#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kb::ui {

// The market watch's view flags, kept as "MarketWatchFlags" in the "Window" section.
enum MarketWatchFlag : uint32_t {
    kMarketWatchHigh = 1,
    kMarketWatchLow = 2,
    kMarketWatchTime = 4,
    kMarketWatchFit = 8,
    kMarketWatchGrid = 16,
    kMarketWatchNoHeader = 131072,
};
inline constexpr uint32_t kDefaultMarketWatchFlags = kMarketWatchFit | kMarketWatchGrid;
inline constexpr std::string_view kMarketWatchFlagsSetting = "MarketWatchFlags";

// "High/Low" shows both columns when either is hidden, else hides both.
uint32_t toggle_high_low(uint32_t flags);

enum class MarketWatchColumn { Symbol, Bid, Ask, High, Low, Time };

struct MarketWatchColumnSpec {
    MarketWatchColumn column;
    int text_id;   // language text of the header
    int weight;    // share of the width when the columns are fitted
};

// The columns the flags show, in their order: Symbol, Bid, Ask, then High, Low, Time.
std::vector<MarketWatchColumnSpec> market_watch_columns(uint32_t flags);

// The widths of the columns sharing width in proportion to their weights; the last
// column takes what the others leave.
std::vector<int> fitted_column_widths(std::span<const MarketWatchColumnSpec> columns, int width);

// The "%02d:%02d" hour and minute of a quote's server time; "n/a" for a time before 1970,
// which can't be broken down.
std::string quote_time_text(int32_t time);

}  // namespace kb::ui
