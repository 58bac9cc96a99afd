#pragma once
#include <cstdint>
#include <string_view>

#include "chart/framework/indicator.h"
#include "chart/framework/key_lines.h"

namespace kb::core {
class SettingsStore;
}

namespace kb::chart {

// Helpers shared by the indicator classes of the catalogue.

// Levels of the indicators drawn over the prices: solid instead of dashed.
inline constexpr LineStyle kSolidLevelStyle{0xC0C0C0, 0, 1};

// "min=" and "max=" lines, which the indicators drawn over the prices accept and ignore.
bool is_scale_bound_key(std::string_view line);

// The "Indicators" value "<indicator>_<value>" of the settings store, fallback when missing.
int32_t read_indicator_setting(const core::SettingsStore& store, std::string_view indicator,
                               std::string_view value, int32_t fallback);

// The same for a number kept as text (read as a decimal number; fallback when missing,
// empty or unreadable).
double read_indicator_number(const core::SettingsStore& store, std::string_view indicator,
                             std::string_view value, double fallback);

}  // namespace kb::chart
