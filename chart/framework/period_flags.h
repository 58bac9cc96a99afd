#pragma once
#include <array>
#include <cstdint>
#include <string_view>

namespace kb::chart {

// The timeframes on which an indicator (or a chart object) is shown: bit 0 M1, bit 1 M5,
// bit 2 M15, bit 3 M30, bit 4 H1, bit 5 H4, bit 6 D1, bit 7 W1, bit 8 MN.
inline constexpr int32_t kAllPeriods = 511;
inline constexpr int32_t kNoPeriods = -1;

// The nine timeframes in bit order, with their short names and the texts the period
// commands offer them by.
struct Timeframe {
    int minutes;
    std::string_view name;
    std::string_view command;
};
inline constexpr std::array<Timeframe, 9> kTimeframes = {{
    {1, "M1", "1 Minute (M1)"},
    {5, "M5", "5 Minutes (M5)"},
    {15, "M15", "15 Minutes (M15)"},
    {30, "M30", "30 Minutes (M30)"},
    {60, "H1", "1 Hour (H1)"},
    {240, "H4", "4 Hours (H4)"},
    {1440, "D1", "Daily (D1)"},
    {10080, "W1", "Weekly (W1)"},
    {43200, "MN", "Monthly (MN)"},
}};

// The bit of a chart period in minutes; 0 for a period that is none of the nine.
int32_t period_bit(int period_minutes);

// -1 shows on no timeframe; 0 or all nine bits show on every one; otherwise the bit of the
// chart's period decides (a period that is none of the nine has no bit and shows only with
// 0 or all bits). Pure, any thread.
bool visible_on_period(int32_t period_flags, int period_minutes);

}  // namespace kb::chart
