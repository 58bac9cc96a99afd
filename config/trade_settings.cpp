#include "config/trade_settings.h"

#include <cstring>

#include "core/fixed_text.h"

namespace kb::config {

namespace {

constexpr int32_t kDefaultValue = 100;

void apply_forced_values(TradeSettings& settings) {
    settings.forced_one_16 = 1;
    settings.forced_zero_4 = 0;
    settings.forced_zero_44 = 0;
}

}  // namespace

TradeSettings default_trade_settings() {
    TradeSettings settings{};
    settings.version = kTradeSettingsVersion;
    settings.value_8 = kDefaultValue;
    settings.value_12 = kDefaultValue;
    apply_forced_values(settings);
    return settings;
}

TradeSettings parse_trade_settings(std::span<const uint8_t> bytes) {
    TradeSettings settings{};
    if (bytes.size() >= sizeof settings) std::memcpy(&settings, bytes.data(), sizeof settings);
    if (settings.value_8 < 0) settings.value_8 = 0;
    if (settings.value_12 < 0) settings.value_12 = 0;
    core::terminate_field(settings.text_20);
    core::terminate_field(settings.text_32);
    if (settings.version != kTradeSettingsVersion) settings = default_trade_settings();
    apply_forced_values(settings);
    return settings;
}

TradeSettings prepared_for_save(const TradeSettings& settings) {
    TradeSettings copy = settings;
    copy.version = kTradeSettingsVersion;
    core::terminate_field(copy.text_20);
    core::terminate_field(copy.text_32);
    apply_forced_values(copy);
    return copy;
}

}  // namespace kb::config
