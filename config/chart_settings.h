#pragma once
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/byte_order.h"

namespace kb::config {

#pragma pack(push, 1)
// Chart options and the bar limits of charts and history files: config/charts.ini, plain.
// The options at 4..16 and from 28 on belong to the chart view and are kept as they are.
struct ChartSettings {
    int32_t version;                   // 400
    int32_t option_4;                  // default 1
    int32_t option_8;                  // default 0
    int32_t option_12;                 // default 1
    int32_t option_16;                 // default 1
    int32_t bars_per_chart;            // the login record's maximum bars; never negative
    int32_t bars_per_history_file;     // bars_per_chart + 64; a history file holding more is trimmed
    uint8_t chart_options[256];        // default zero
};
#pragma pack(pop)

static_assert(sizeof(ChartSettings) == 284);
static_assert(offsetof(ChartSettings, option_4) == 4);
static_assert(offsetof(ChartSettings, option_16) == 16);
static_assert(offsetof(ChartSettings, bars_per_chart) == 20);
static_assert(offsetof(ChartSettings, bars_per_history_file) == 24);
static_assert(offsetof(ChartSettings, chart_options) == 28);

inline constexpr int32_t kChartSettingsVersion = 400;
// A history file keeps this many bars more than a chart shows.
inline constexpr int32_t kHistoryFileExtraBars = 64;

// The defaults for the given maximum bars of the login record (16000 when below 1).
ChartSettings default_chart_settings(int32_t max_bars);

// Reads the bytes of a charts.ini file: a short file or another version gives the
// defaults for max_bars; negative bar limits become 0. Any input is accepted.
ChartSettings parse_chart_settings(std::span<const uint8_t> bytes, int32_t max_bars);

}  // namespace kb::config
