#include "config/chart_settings.h"

#include <cstring>
#include <limits>

#include "config/login_record.h"

namespace kb::config {

ChartSettings default_chart_settings(int32_t max_bars) {
    if (max_bars < 1) max_bars = kDefaultMaxBars;
    ChartSettings settings{};
    settings.version = kChartSettingsVersion;
    settings.option_4 = 1;
    settings.option_12 = 1;
    settings.option_16 = 1;
    settings.bars_per_chart = max_bars;
    // A damaged login record may carry any maximum: the sum must not overflow.
    settings.bars_per_history_file = max_bars > std::numeric_limits<int32_t>::max() - kHistoryFileExtraBars
                                         ? std::numeric_limits<int32_t>::max()
                                         : max_bars + kHistoryFileExtraBars;
    return settings;
}

ChartSettings parse_chart_settings(std::span<const uint8_t> bytes, int32_t max_bars) {
    ChartSettings settings{};
    if (bytes.size() >= sizeof settings) std::memcpy(&settings, bytes.data(), sizeof settings);
    if (settings.version != kChartSettingsVersion) settings = default_chart_settings(max_bars);
    if (settings.bars_per_chart < 0) settings.bars_per_chart = 0;
    if (settings.bars_per_history_file < 0) settings.bars_per_history_file = 0;
    return settings;
}

}  // namespace kb::config
