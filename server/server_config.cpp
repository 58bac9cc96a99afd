#include "server/server_config.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <nlohmann/json.hpp>
#include <set>

#include "platform/files.h"
#include "platform/program_folder.h"
#include "server/listen_address.h"

namespace kb::server {

namespace {

using nlohmann::json;

constexpr const char* kDayNames[7] = {"sunday", "monday", "tuesday", "wednesday", "thursday", "friday", "saturday"};

// Walks the JSON tree and keeps the first fault with the place it was found; every read
// after a fault is a no-op, so the parse code reads straight through.
class Reader {
public:
    bool failed() const { return !error_.empty(); }
    const std::string& error() const { return error_; }

    void fail(const std::string& where, const std::string& what) {
        if (!failed()) error_ = where + ": " + what;
    }

    // Rejects keys the configuration does not know, so that a typo is not silently ignored.
    void only_keys(const json& object, const std::string& where, std::initializer_list<const char*> keys) {
        if (failed()) return;
        if (!object.is_object()) return fail(where, "must be an object");
        std::set<std::string> known(keys.begin(), keys.end());
        for (const auto& item : object.items()) {
            if (!known.count(item.key())) return fail(where, "unknown key \"" + item.key() + "\"");
        }
    }

    void text(const json& object, const char* key, const std::string& where, std::string& out,
              size_t max_length, bool required) {
        if (failed()) return;
        auto it = object.find(key);
        if (it == object.end()) {
            if (required) fail(where, std::string("\"") + key + "\" is missing");
            return;
        }
        if (!it->is_string()) return fail(where, std::string("\"") + key + "\" must be a text");
        std::string value = it->get<std::string>();
        if (value.size() > max_length) {
            return fail(where, std::string("\"") + key + "\" is longer than " + std::to_string(max_length) +
                                   " characters");
        }
        out = value;
    }

    void currency(const json& object, const char* key, const std::string& where, std::string& out) {
        text(object, key, where, out, 3, true);
        if (failed()) return;
        bool letters = out.size() == 3;
        for (char c : out) letters = letters && c >= 'A' && c <= 'Z';
        if (!letters) fail(where, std::string("\"") + key + "\" must be three capital letters");
    }

    template <typename Int>
    void integer(const json& object, const char* key, const std::string& where, Int& out, int64_t low,
                 int64_t high, bool required = false) {
        if (failed()) return;
        auto it = object.find(key);
        if (it == object.end()) {
            if (required) fail(where, std::string("\"") + key + "\" is missing");
            return;
        }
        if (!it->is_number_integer()) return fail(where, std::string("\"") + key + "\" must be a whole number");
        // Unsigned JSON numbers above the int64 range can't be in any of our ranges.
        if (it->is_number_unsigned() && it->get<uint64_t>() > static_cast<uint64_t>(INT64_MAX)) {
            return range_fault(where, key, low, high);
        }
        int64_t value = it->get<int64_t>();
        if (value < low || value > high) return range_fault(where, key, low, high);
        out = static_cast<Int>(value);
    }

    void number(const json& object, const char* key, const std::string& where, double& out, double low,
                double high, bool required = false) {
        if (failed()) return;
        auto it = object.find(key);
        if (it == object.end()) {
            if (required) fail(where, std::string("\"") + key + "\" is missing");
            return;
        }
        if (!it->is_number()) return fail(where, std::string("\"") + key + "\" must be a number");
        double value = it->get<double>();
        if (!std::isfinite(value) || value < low || value > high) {
            return fail(where, std::string("\"") + key + "\" must be between " + short_number(low) + " and " +
                                   short_number(high));
        }
        out = value;
    }

    void boolean(const json& object, const char* key, const std::string& where, bool& out) {
        if (failed()) return;
        auto it = object.find(key);
        if (it == object.end()) return;
        if (!it->is_boolean()) return fail(where, std::string("\"") + key + "\" must be true or false");
        out = it->get<bool>();
    }

    void execution(const json& object, const std::string& where, market::ExecutionMode& out) {
        std::string name;
        text(object, "execution", where, name, 16, false);
        if (failed() || name.empty()) return;
        if (name == "request") out = market::ExecutionMode::Request;
        else if (name == "instant") out = market::ExecutionMode::Instant;
        else if (name == "market") out = market::ExecutionMode::Market;
        else fail(where, "\"execution\" must be \"request\", \"instant\" or \"market\"");
    }

private:
    void range_fault(const std::string& where, const char* key, int64_t low, int64_t high) {
        fail(where, std::string("\"") + key + "\" must be " + std::to_string(low) + ".." + std::to_string(high));
    }

    static std::string short_number(double value) {
        char text[32];
        std::snprintf(text, sizeof text, "%g", value);
        return text;
    }

    std::string error_;
};

// "HH:MM" with 00:00..24:00; -1 when malformed.
int parse_clock_minutes(const std::string& text) {
    if (text.size() != 5 || text[2] != ':') return -1;
    for (size_t i : {0u, 1u, 3u, 4u}) {
        if (text[i] < '0' || text[i] > '9') return -1;
    }
    int hours = (text[0] - '0') * 10 + (text[1] - '0');
    int minutes = (text[3] - '0') * 10 + (text[4] - '0');
    if (minutes > 59 || hours > 24 || (hours == 24 && minutes != 0)) return -1;
    return hours * 60 + minutes;
}

void read_week(Reader& reader, const json& week, const std::string& where, market::QuoteWeek& out) {
    reader.only_keys(week, where, {"sunday", "monday", "tuesday", "wednesday", "thursday", "friday", "saturday"});
    for (int day = 0; day < 7 && !reader.failed(); ++day) {
        auto it = week.find(kDayNames[day]);
        if (it == week.end()) continue;
        std::string day_where = where + "." + kDayNames[day];
        if (!it->is_array()) return reader.fail(day_where, "must be a list of \"HH:MM-HH:MM\" windows");
        if (it->size() > market::kQuoteWindowsPerDay) return reader.fail(day_where, "has more than 3 windows");
        for (size_t i = 0; i < it->size(); ++i) {
            const json& item = (*it)[i];
            std::string text = item.is_string() ? item.get<std::string>() : std::string();
            int open = text.size() == 11 && text[5] == '-' ? parse_clock_minutes(text.substr(0, 5)) : -1;
            int close = open >= 0 ? parse_clock_minutes(text.substr(6)) : -1;
            if (open < 0 || close < 0 || open == 1440) {
                return reader.fail(day_where, "window \"" + text + "\" is not \"HH:MM-HH:MM\"");
            }
            if (open == close) return reader.fail(day_where, "window \"" + text + "\" is empty");
            // An end before the start runs through midnight into the next day.
            market::set_quote_window(out[static_cast<size_t>(day)], static_cast<int>(i), open, close);
        }
    }
}

void read_server(Reader& reader, const json& object, ServerIdentityConfig& out) {
    const std::string where = "server";
    reader.only_keys(object, where, {"name", "company", "identity", "build", "challenge", "protocol_version",
                                      "history_version"});
    reader.text(object, "name", where, out.name, 63, false);
    reader.text(object, "company", where, out.company, 127, false);
    reader.integer(object, "identity", where, out.identity, 0, UINT32_MAX);
    reader.integer(object, "build", where, out.build, 1, 65535);
    reader.boolean(object, "challenge", where, out.challenge);
    reader.integer(object, "protocol_version", where, out.protocol_version, 404, 65535);
    reader.integer(object, "history_version", where, out.history_version, 0, 65535);
    if (!reader.failed() && out.name.empty()) reader.fail(where, "\"name\" must not be empty");
}

void read_group(Reader& reader, const json& object, const std::string& where, GroupConfig& out) {
    reader.only_keys(object, where, {"name", "currency", "leverage", "execution", "requote_rate",
                                     "dealer_delay_ms", "news", "margin_call", "stop_out", "larger_leg_margin"});
    reader.text(object, "name", where, out.name, 15, true);
    if (!reader.failed() && out.name.empty()) reader.fail(where, "\"name\" must not be empty");
    reader.currency(object, "currency", where, out.currency);
    reader.integer(object, "leverage", where, out.leverage, 1, 10000);
    reader.execution(object, where, out.execution);
    reader.number(object, "requote_rate", where, out.requote_rate, 0, 1);
    reader.integer(object, "dealer_delay_ms", where, out.dealer_delay_ms, 0, 60000);
    reader.integer(object, "news", where, out.news, 0, 2);
    reader.number(object, "margin_call", where, out.margin_call, 0, 1000);
    reader.number(object, "stop_out", where, out.stop_out, 0, 1000);
    reader.boolean(object, "larger_leg_margin", where, out.larger_leg_margin);
}

void read_instrument(Reader& reader, const json& object, const std::string& where,
                     const std::map<std::string, market::QuoteWeek>& schedules, int symbol_group_count,
                     InstrumentConfig& out) {
    reader.only_keys(object, where, {"name", "description", "digits", "point", "contract_size", "spread",
                                     "tick_rate", "volatility", "start_price", "symbol_group",
                                     "margin_currency", "profit_currency", "profit_mode", "margin_mode",
                                     "stops_level", "execution", "sort_key", "quote_hours", "initial_margin",
                                     "maintenance_margin", "hedged_margin"});
    reader.text(object, "name", where, out.name, 11, true);
    if (reader.failed()) return;
    if (out.name.empty()) return reader.fail(where, "\"name\" must not be empty");
    const std::string named = where + " (" + out.name + ")";
    reader.text(object, "description", named, out.description, 63, false);
    reader.integer(object, "digits", named, out.digits, 0, 8, true);
    reader.number(object, "point", named, out.point, 1e-8, 1e6, true);
    reader.number(object, "contract_size", named, out.contract_size, 1e-6, 1e12);
    reader.integer(object, "spread", named, out.spread, 1, 100000, true);
    reader.number(object, "tick_rate", named, out.tick_rate, 0.01, 6000);
    reader.number(object, "volatility", named, out.volatility, 0, 1e6);
    reader.number(object, "start_price", named, out.start_price, 1e-8, 1e9, true);
    reader.integer(object, "symbol_group", named, out.symbol_group, 0, 31);
    reader.currency(object, "margin_currency", named, out.margin_currency);
    reader.currency(object, "profit_currency", named, out.profit_currency);
    reader.integer(object, "profit_mode", named, out.profit_mode, 0, 2);
    reader.integer(object, "margin_mode", named, out.margin_mode, 0, 4);
    reader.integer(object, "stops_level", named, out.stops_level, 0, 100000);
    reader.number(object, "initial_margin", named, out.initial_margin, 0, 1e12);
    reader.number(object, "maintenance_margin", named, out.maintenance_margin, 0, 1e12);
    reader.number(object, "hedged_margin", named, out.hedged_margin, 0, 1e12);
    reader.execution(object, named, out.execution);
    reader.integer(object, "sort_key", named, out.sort_key, 0, 1000000);
    if (reader.failed()) return;

    // The point must be one unit of the last digit, or prices could not be written with
    // the instrument's digits.
    if (std::fabs(out.point * std::pow(10.0, out.digits) - 1.0) > 1e-9) {
        return reader.fail(named, "\"point\" must be 10^-digits");
    }
    if (out.symbol_group >= symbol_group_count) {
        return reader.fail(named, "\"symbol_group\" " + std::to_string(out.symbol_group) +
                                      " has no entry in \"symbol_groups\"");
    }
    if (out.start_price <= out.spread * out.point) {
        return reader.fail(named, "\"start_price\" must be above the spread");
    }
    auto hours = object.find("quote_hours");
    if (hours == object.end()) return reader.fail(named, "\"quote_hours\" is missing");
    if (hours->is_string()) {
        auto schedule = schedules.find(hours->get<std::string>());
        if (schedule == schedules.end()) {
            return reader.fail(named, "\"quote_hours\" names the unknown schedule \"" + hours->get<std::string>() +
                                          "\"");
        }
        out.quote_hours = schedule->second;
    } else {
        read_week(reader, *hours, named + ".quote_hours", out.quote_hours);
    }
}

void read_listen(Reader& reader, const json& object, ServerConfig& out) {
    reader.only_keys(object, "listen", {"trade", "history"});
    reader.text(object, "trade", "listen", out.trade_listen, 127, false);
    reader.text(object, "history", "listen", out.history_listen, 127, false);
    if (reader.failed()) return;
    if (!parse_listen_address(out.trade_listen)) {
        return reader.fail("listen", "\"trade\" must be HOST:PORT with a port 1..65535");
    }
    if (!parse_listen_address(out.history_listen)) {
        reader.fail("listen", "\"history\" must be HOST:PORT with a port 1..65535");
    }
}

void read_configuration(Reader& reader, const json& root, ServerConfig& out) {
    reader.only_keys(root, "configuration", {"server", "update", "listen", "price_seed", "history_days",
                                             "default_group", "symbol_groups", "quote_hours", "groups",
                                             "instruments"});
    if (reader.failed()) return;
    if (root.contains("server")) read_server(reader, root["server"], out.server);
    if (root.contains("update")) {
        reader.only_keys(root["update"], "update", {"version", "build"});
        reader.integer(root["update"], "version", "update", out.update.version, 1, 65535);
        reader.integer(root["update"], "build", "update", out.update.build, 1, 65535);
    }
    if (root.contains("listen")) read_listen(reader, root["listen"], out);
    reader.integer(root, "price_seed", "configuration", out.price_seed, 0, INT64_MAX);
    reader.integer(root, "history_days", "configuration", out.history_days, 1, 366);
    reader.text(root, "default_group", "configuration", out.default_group, 15, false);
    if (reader.failed()) return;

    const json& symbol_groups = root.contains("symbol_groups") ? root["symbol_groups"] : json::array();
    if (!symbol_groups.is_array() || symbol_groups.empty() || symbol_groups.size() > 32) {
        return reader.fail("symbol_groups", "must be a list of 1 to 32 names");
    }
    for (const json& name : symbol_groups) {
        if (!name.is_string() || name.get<std::string>().empty() || name.get<std::string>().size() > 15) {
            return reader.fail("symbol_groups", "names must be texts of 1 to 15 characters");
        }
        out.symbol_groups.push_back(name.get<std::string>());
    }

    std::map<std::string, market::QuoteWeek> schedules;
    if (root.contains("quote_hours")) {
        const json& all = root["quote_hours"];
        if (!all.is_object()) return reader.fail("quote_hours", "must be an object of named schedules");
        for (const auto& item : all.items()) {
            read_week(reader, item.value(), "quote_hours." + item.key(), schedules[item.key()]);
        }
    }

    const json& groups = root.contains("groups") ? root["groups"] : json();
    if (!groups.is_array() || groups.empty()) return reader.fail("groups", "must be a list of at least one group");
    for (size_t i = 0; i < groups.size() && !reader.failed(); ++i) {
        GroupConfig group;
        read_group(reader, groups[i], "groups[" + std::to_string(i) + "]", group);
        if (!reader.failed() && out.find_group(group.name)) {
            reader.fail("groups[" + std::to_string(i) + "]", "the name \"" + group.name + "\" is used twice");
        }
        out.groups.push_back(group);
    }

    const json& instruments = root.contains("instruments") ? root["instruments"] : json();
    if (!reader.failed() && (!instruments.is_array() || instruments.empty())) {
        return reader.fail("instruments", "must be a list of at least one instrument");
    }
    for (size_t i = 0; i < instruments.size() && !reader.failed(); ++i) {
        InstrumentConfig instrument;
        const std::string where = "instruments[" + std::to_string(i) + "]";
        read_instrument(reader, instruments[i], where, schedules, static_cast<int>(out.symbol_groups.size()),
                        instrument);
        if (!reader.failed() && out.find_instrument(instrument.name)) {
            reader.fail(where, "the name \"" + instrument.name + "\" is used twice");
        }
        out.instruments.push_back(instrument);
    }
    if (!reader.failed() && !out.default_group.empty() && !out.find_group(out.default_group)) {
        reader.fail("default_group", "\"" + out.default_group + "\" is not one of the groups");
    }
}

}  // namespace

int ServerConfig::reported_build() const {
    return server.challenge ? server.build : std::min(server.build, kLastBuildWithoutChallenge);
}

int ServerConfig::account_data_version() const {
    return server.history_version != 0 ? server.history_version : reported_build();
}

const GroupConfig* ServerConfig::find_group(const std::string& name) const {
    for (const GroupConfig& group : groups) {
        if (group.name == name) return &group;
    }
    return nullptr;
}

const InstrumentConfig* ServerConfig::find_instrument(const std::string& name) const {
    for (const InstrumentConfig& instrument : instruments) {
        if (instrument.name == name) return &instrument;
    }
    return nullptr;
}

std::optional<ServerConfig> parse_server_config(const std::string& text, std::string& error) {
    json root = json::parse(text, nullptr, /*allow_exceptions=*/false, /*ignore_comments=*/true);
    if (root.is_discarded()) {
        error = "not valid JSON";
        return std::nullopt;
    }
    Reader reader;
    ServerConfig config;
    if (!root.is_object()) reader.fail("configuration", "must be a JSON object");
    else read_configuration(reader, root, config);
    if (reader.failed()) {
        error = reader.error();
        return std::nullopt;
    }
    if (config.default_group.empty()) config.default_group = config.groups.front().name;
    return config;
}

std::optional<ServerConfig> load_server_config(const std::string& path, std::string& error) {
    std::optional<std::vector<uint8_t>> bytes = platform::read_file(path);
    if (!bytes) {
        error = path + ": can't be read";
        return std::nullopt;
    }
    std::optional<ServerConfig> config = parse_server_config(std::string(bytes->begin(), bytes->end()), error);
    if (!config) error = path + ": " + error;
    return config;
}

std::string default_config_path() { return platform::join_path(platform::executable_folder(), "default-config.json"); }

}  // namespace kb::server
