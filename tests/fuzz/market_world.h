#pragma once
// A symbols base feeding a history centre with open histories, rebuilt from scratch for
// each fuzz input (the files of the previous input are removed first), and the checks
// that must hold whatever the base was fed.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "core/fixed_text.h"
#include "market/history_center.h"
#include "market/symbols_base.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/random_access_file.h"
#include "session/history_synchroniser.h"
#include "tests/fuzz/fuzz_support.h"

namespace kb::fuzzing {

// scratch_folder() with history/Demo inside.
inline const std::string& market_folder(const char* prefix) {
    static const std::string& path = [prefix]() -> const std::string& {
        const std::string& folder = scratch_folder(prefix);
        platform::make_directory(folder + "/history");
        platform::make_directory(folder + "/history/Demo");
        return folder;
    }();
    return path;
}

inline void remove_server_files(const std::string& folder) {
    const std::string server = folder + "/history/Demo";
    for (const platform::FolderEntry& entry : platform::list_folder(server))
        if (!entry.is_directory) platform::remove_file(server + "/" + entry.name);
}

// Four symbols: two quoted all day, one with a window past midnight and a 30-minute H1
// alignment, one of another group; the first three are selected, the fourth is not.
inline std::vector<market::SymbolRecord> world_symbols() {
    struct Seed {
        const char* name;
        int32_t index;
        int32_t digits;
        int32_t group;
    };
    const Seed seeds[] = {{"EURUSD", 1, 5, 0}, {"USDJPY", 2, 3, 0}, {"GOLD", 3, 2, 1}, {"OIL", 4, 2, 2}};
    std::vector<market::SymbolRecord> symbols;
    for (const Seed& seed : seeds) {
        market::SymbolRecord symbol{};
        core::set_field_text(symbol.name, seed.name);
        symbol.symbol_index = seed.index;
        symbol.digits = seed.digits;
        symbol.group_index = seed.group;
        symbol.sort_key = seed.index;
        symbol.point = std::pow(10.0, -seed.digits);
        for (market::DayQuoteHours& day : symbol.quote_hours) {
            day.windows[0].close_minute = 1440;
            day.first_overnight_window = market::kQuoteWindowsPerDay;
        }
        symbols.push_back(symbol);
    }
    for (market::DayQuoteHours& day : symbols[2].quote_hours) {
        day.windows[0].open_minute = 22 * 60;
        day.windows[0].close_minute = 20 * 60;
        day.windows[0].alignment[3] = 30;
        day.first_overnight_window = 0;
    }
    return symbols;
}

struct MarketWorld {
    // With a login the centre synchronises, its stream pausing on the world's clock unless
    // another is given.
    explicit MarketWorld(const std::string& folder, session::HistoryServerLogin* login = nullptr,
                         platform::Clock* stream_clock = nullptr)
        : clock(1796601600), center({{folder, "Demo", 4096, 4096}, clock, nullptr, nullptr}), base(folder, "Demo", nullptr, &center) {
        center.set_symbols(&base);
        if (login != nullptr)
            center.set_synchronisation(std::make_unique<session::HistorySynchroniser>(
                center, session::HistorySynchroniserEnvironment{clock, stream_clock ? *stream_clock : clock, nullptr, *login}));
        base.replace_symbols(world_symbols());
        const std::string names[] = {"EURUSD", "USDJPY", "GOLD"};
        base.set_selection(names);
        market::GroupRecord group{};
        group.symbol_groups[0].spread_difference = 3;
        group.symbol_groups[1].spread_difference = -2;
        base.set_group_settings(group);
        for (const char* name : {"EURUSD", "GOLD"})
            for (int period : {1, 60, 1440, 10080, 43200}) center.open(name, period);
    }

    platform::ManualClock clock;
    market::HistoryCenter center;
    market::SymbolsBase base;
};

// Bars built from whatever quotes came are in strict time order with the close within
// low..high; the Market Watch entries and the tick buffer stay within their bounds.
inline void check_world(MarketWorld& world) {
    std::vector<market::SelectedSymbol> updated(market::SymbolsBase::kMaxCollected);
    check(world.base.collect_updated(updated) <= market::SymbolsBase::kMaxCollected);
    for (size_t i = 0; i < world.base.selected_count(); ++i) {
        std::optional<market::SelectedSymbol> entry = world.base.selected_at(i);
        check(entry.has_value());
        check(entry->name[sizeof entry->name - 1] == '\0');
        check(world.base.recent_ticks(core::field_text(entry->name)).size() <= 2);
    }
    for (const char* name : {"EURUSD", "GOLD"}) {
        for (int period : {1, 60, 1440, 10080, 43200}) {
            market::ChartBuffer chart;
            world.center.copy_to_chart(name, period, chart);
            for (size_t i = 0; i < chart.bars.size(); ++i) {
                const market::BarRecord bar = chart.bars[i];
                const double low = bar.low, high = bar.high, close = bar.close, open = bar.open;
                check(!(low > high));
                check(!(close < low) && !(close > high) && !(open < low) && !(open > high));
                if (i > 0) check(chart.bars[i - 1].time < bar.time);
            }
        }
    }
    const std::optional<std::vector<uint16_t>> subscription = world.base.subscription_list();
    if (subscription) check(!subscription->empty());
}

}  // namespace kb::fuzzing
