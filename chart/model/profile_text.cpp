#include "chart/model/profile_text.h"

#include <algorithm>
#include <cstdio>

#include "core/line_parsers.h"

namespace kb::chart {

namespace {

struct IntegerKey {
    std::string_view prefix;
    int32_t ChartSettings::*field;
};

// The keys a load reads, in the order they are written ("symbol=" and "digits=" aside).
constexpr IntegerKey kIntegerKeys[] = {
    {"period=", &ChartSettings::period},
    {"leftpos=", &ChartSettings::leftpos},
    {"color_scheme=", &ChartSettings::color_scheme},
    {"scale=", &ChartSettings::scale},
    {"graphmode=", &ChartSettings::graphmode},
    {"foreground=", &ChartSettings::foreground},
    {"volumes=", &ChartSettings::volumes},
    {"grid=", &ChartSettings::grid},
    {"days=", &ChartSettings::days},
    {"askline=", &ChartSettings::askline},
    {"ohlc=", &ChartSettings::ohlc},
    {"trade_levels=", &ChartSettings::trade_levels},
    {"descriptions=", &ChartSettings::descriptions},
    {"scroll=", &ChartSettings::scroll},
    {"shift=", &ChartSettings::shift},
};

void append_line(std::string& out, const char* key, int value) {
    char line[64];
    std::snprintf(line, sizeof line, "%s%d\n", key, value);
    out += line;
}

}  // namespace

bool read_setting_line(std::string_view line, ChartSettings& settings) {
    std::string symbol;
    if (core::parse_text_line(line, "symbol=", symbol, ChartSettings::kMaxSymbolLength + 1)) {
        settings.symbol = symbol;
        return true;
    }
    return std::any_of(std::begin(kIntegerKeys), std::end(kIntegerKeys), [&](const IntegerKey& key) {
        return core::parse_integer_line(line, key.prefix, settings.*key.field);
    });
}

bool read_window_height_line(std::string_view line, int& weight) {
    if (!core::parse_integer_line(line, "height=", weight)) return false;
    weight = std::max(weight, kMinWindowHeight);
    return true;
}

std::string settings_text(const ChartSettings& settings) {
    std::string out;
    out += kChartOpen;
    out += '\n';
    append_line(out, "period=", settings.period);
    out += "symbol=" + settings.symbol + "\n";
    append_line(out, "leftpos=", settings.leftpos);
    append_line(out, "color_scheme=", settings.color_scheme);
    append_line(out, "digits=", settings.digits);
    append_line(out, "scale=", settings.scale);
    append_line(out, "graphmode=", settings.graphmode);
    append_line(out, "foreground=", settings.foreground);
    append_line(out, "volumes=", settings.volumes);
    append_line(out, "grid=", settings.grid);
    append_line(out, "days=", settings.days);
    append_line(out, "askline=", settings.askline);
    append_line(out, "ohlc=", settings.ohlc);
    append_line(out, "trade_levels=", settings.trade_levels);
    append_line(out, "descriptions=", settings.descriptions);
    append_line(out, "scroll=", settings.scroll);
    append_line(out, "shift=", settings.shift);
    return out;
}

}  // namespace kb::chart
