#include "server/live_settings.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace kb::server {

namespace {

constexpr size_t kDescriptionLimit = 63;

std::optional<double> number(const std::string& text, double low, double high) {
    if (text.empty()) return std::nullopt;
    errno = 0;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (errno != 0 || *end != '\0' || !std::isfinite(value) || value < low || value > high) return std::nullopt;
    return value;
}

std::optional<int> whole(const std::string& text, int low, int high) {
    std::optional<double> value = number(text, low, high);
    if (!value || *value != std::floor(*value)) return std::nullopt;
    return static_cast<int>(*value);
}

std::optional<market::ExecutionMode> execution(const std::string& text) {
    if (text == "request") return market::ExecutionMode::Request;
    if (text == "instant") return market::ExecutionMode::Instant;
    if (text == "market") return market::ExecutionMode::Market;
    return std::nullopt;
}

bool apply_to_instrument(InstrumentConfig& instrument, const std::string& key, const std::string& value) {
    if (key == "description") {
        if (value.size() > kDescriptionLimit) return false;
        instrument.description = value;
        return true;
    }
    if (key == "stops_level") {
        std::optional<int> level = whole(value, 0, 100000);
        if (level) instrument.stops_level = *level;
        return level.has_value();
    }
    if (key == "execution") {
        std::optional<market::ExecutionMode> mode = execution(value);
        if (mode) instrument.execution = *mode;
        return mode.has_value();
    }
    return false;
}

bool apply_to_group(GroupConfig& group, const std::string& key, const std::string& value) {
    if (key == "execution") {
        std::optional<market::ExecutionMode> mode = execution(value);
        if (mode) group.execution = *mode;
        return mode.has_value();
    }
    struct IntegerKey { const char* name; int GroupConfig::*field; int low; int high; };
    static const IntegerKey integers[] = {{"leverage", &GroupConfig::leverage, 1, 10000},
                                          {"dealer_delay_ms", &GroupConfig::dealer_delay_ms, 0, 60000},
                                          {"news", &GroupConfig::news, 0, 2}};
    for (const IntegerKey& entry : integers) {
        if (key != entry.name) continue;
        std::optional<int> parsed = whole(value, entry.low, entry.high);
        if (parsed) group.*entry.field = *parsed;
        return parsed.has_value();
    }
    struct RealKey { const char* name; double GroupConfig::*field; double low; double high; };
    static const RealKey reals[] = {{"requote_rate", &GroupConfig::requote_rate, 0, 1},
                                    {"margin_call", &GroupConfig::margin_call, 0, 10000},
                                    {"stop_out", &GroupConfig::stop_out, 0, 10000}};
    for (const RealKey& entry : reals) {
        if (key != entry.name) continue;
        std::optional<double> parsed = number(value, entry.low, entry.high);
        if (parsed) group.*entry.field = *parsed;
        return parsed.has_value();
    }
    return false;
}

}  // namespace

bool apply_override(ServerConfig& config, const SettingOverride& setting, std::string& error) {
    const std::string where = setting.kind + " " + setting.name + ": ";
    if (setting.kind == "instrument") {
        for (InstrumentConfig& instrument : config.instruments) {
            if (instrument.name != setting.name) continue;
            InstrumentConfig changed = instrument;
            if (!apply_to_instrument(changed, setting.key, setting.value)) {
                error = where + "\"" + setting.value + "\" is not a value of " + setting.key;
                return false;
            }
            instrument = changed;
            return true;
        }
    } else if (setting.kind == "group") {
        for (GroupConfig& group : config.groups) {
            if (group.name != setting.name) continue;
            GroupConfig changed = group;
            if (!apply_to_group(changed, setting.key, setting.value)) {
                error = where + "\"" + setting.value + "\" is not a value of " + setting.key;
                return false;
            }
            group = changed;
            return true;
        }
    }
    error = where + "not in the configuration";
    return false;
}

LiveSettings::LiveSettings(const ServerConfig& base, Storage& storage) : base_(base), storage_(storage) {
    stored_version_ = storage_.settings_version();
    current_ = build();
}

std::shared_ptr<const ServerConfig> LiveSettings::build() {
    auto config = std::make_shared<ServerConfig>(base_);
    std::string ignored;
    for (const SettingOverride& setting : storage_.overrides()) apply_override(*config, setting, ignored);
    return config;
}

std::shared_ptr<const ServerConfig> LiveSettings::current() {
    std::lock_guard guard(lock_);
    return current_;
}

uint64_t LiveSettings::version() {
    std::lock_guard guard(lock_);
    return version_;
}

bool LiveSettings::refresh() {
    const int64_t stored = storage_.settings_version();
    {
        std::lock_guard guard(lock_);
        if (stored == stored_version_) return false;
    }
    std::shared_ptr<const ServerConfig> rebuilt = build();
    std::lock_guard guard(lock_);
    if (stored == stored_version_) return false;
    stored_version_ = stored;
    current_ = std::move(rebuilt);
    ++version_;
    return true;
}

}  // namespace kb::server
