// charts.ini loader: any bytes give chart settings with non-negative bar limits.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <span>
#include <vector>

#include "config/chart_settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kb::config;
    int32_t max_bars = 0;
    if (size >= sizeof max_bars) std::memcpy(&max_bars, data, sizeof max_bars);
    ChartSettings settings = parse_chart_settings(std::span(data, size), max_bars);
    if (settings.version != kChartSettingsVersion || settings.bars_per_chart < 0 || settings.bars_per_history_file < 0) {
        std::abort();
    }
    return 0;
}
