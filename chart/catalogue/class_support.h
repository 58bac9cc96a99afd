#pragma once
#include <cstdint>
#include <initializer_list>
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

inline constexpr LineStyle solid(int32_t color) { return {color, 0, 1}; }
inline constexpr LineStyle dashed(int32_t color) { return {color, 1, 1}; }

// A catalogue row's defaults: period, applied price and line styles, then what differs
// from the common defaults (no levels, dashed grey levels, no fixed bounds).
struct DefaultsRow {
    IndicatorDefaults value;
    DefaultsRow(int period, int apply, std::initializer_list<LineStyle> lines) {
        value.period = period;
        value.apply = apply;
        int i = 0;
        for (LineStyle line : lines) value.lines[i++] = line;
    }
    DefaultsRow& levels(std::initializer_list<double> values) {
        value.levels = values;
        return *this;
    }
    DefaultsRow& range(double minimum, double maximum) {
        value.fixed_minimum = minimum;
        value.fixed_maximum = maximum;
        return *this;
    }
    DefaultsRow& minimum(double minimum) {
        value.fixed_minimum = minimum;
        return *this;
    }
    DefaultsRow& level_style(LineStyle style) {
        value.level_style = style;
        return *this;
    }
    operator const IndicatorDefaults&() const { return value; }
};

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
