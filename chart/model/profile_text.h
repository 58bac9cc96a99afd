#pragma once
#include <string>
#include <string_view>

#include "chart/model/chart_settings.h"

namespace kb::chart {

// The pieces of the chart profile's text ("profiles/chart.ini") that are not indicator or
// object blocks. Pure functions, any thread.

inline constexpr std::string_view kChartOpen = "<chart>";
inline constexpr std::string_view kChartClose = "</chart>";
inline constexpr std::string_view kWindowOpen = "<window>";
inline constexpr std::string_view kWindowClose = "</window>";

// Reads one setting line into settings (leading spaces skipped, key prefix case-sensitive,
// decimal value with anything after the digits ignored, symbol cut to 11 characters).
// False for a line that names no setting ("digits=" among them: it is written, not read).
bool read_setting_line(std::string_view line, ChartSettings& settings);

// Reads the "height=" line of a window block into weight, raised to 10 when below.
bool read_window_height_line(std::string_view line, int& weight);
inline constexpr int kMinWindowHeight = 10;

// "<chart>" and the setting lines in their order, each ending in "\n".
std::string settings_text(const ChartSettings& settings);

}  // namespace kb::chart
