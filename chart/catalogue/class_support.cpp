#include "chart/catalogue/class_support.h"

#include <string>

#include "core/settings_store.h"

namespace kb::chart {
namespace {

std::string value_name(std::string_view indicator, std::string_view value) {
    std::string name(indicator);
    name += '_';
    name += value;
    return name;
}

}  // namespace

bool is_scale_bound_key(std::string_view line) {
    return line.rfind("min=", 0) == 0 || line.rfind("max=", 0) == 0;
}

int32_t read_indicator_setting(const core::SettingsStore& store, std::string_view indicator,
                               std::string_view value, int32_t fallback) {
    return store.read_number(core::kSectionIndicators, value_name(indicator, value), fallback);
}

double read_indicator_number(const core::SettingsStore& store, std::string_view indicator,
                             std::string_view value, double fallback) {
    const std::string text = store.read_text(core::kSectionIndicators, value_name(indicator, value), "");
    double number = fallback;
    return read_number_text(text, number) == NumberKey::Read ? number : fallback;
}

}  // namespace kb::chart
