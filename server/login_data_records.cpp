#include "server/login_data_records.h"

#include "core/fixed_text.h"

namespace kb::server {

namespace {

constexpr int32_t kMinimumVolume = 1;       // 0.01 lot
constexpr int32_t kMaximumVolume = 10000;   // 100 lots
constexpr int32_t kVolumeStep = 1;
constexpr uint32_t kWhiteRow = 0x00FFFFFF;    // the terminal paints each market watch row in it

void fill_quote_hours(market::SymbolRecord& record, const market::QuoteWeek& hours) {
    for (int day = 0; day < market::kDaysPerWeek; ++day) {
        market::DayQuoteHours& out = record.quote_hours[day];
        out = hours[static_cast<size_t>(day)];
        for (int i = 0; i < market::kQuoteWindowsPerDay; ++i) out.other_windows[i] = out.windows[i];
    }
}

}  // namespace

market::SymbolRecord build_symbol_record(const InstrumentConfig& instrument, int index) {
    market::SymbolRecord record{};
    core::set_field_text(record.name, instrument.name);
    core::set_field_text(record.description, instrument.description);
    core::set_field_text(record.profit_currency, instrument.profit_currency);
    core::set_field_text(record.margin_currency, instrument.margin_currency);
    record.group_index = instrument.symbol_group;
    record.digits = instrument.digits;
    record.display_flag = 1;
    record.row_colour = kWhiteRow;
    record.symbol_index = index;
    record.sort_key = instrument.sort_key;
    fill_quote_hours(record, instrument.quote_hours);
    record.profit_mode = instrument.profit_mode;
    record.execution_mode = instrument.execution;
    record.contract_size = instrument.contract_size;
    record.tick_size = instrument.point;
    record.tick_value = instrument.contract_size * instrument.point;
    record.stops_level = instrument.stops_level;
    record.margin_mode = instrument.margin_mode;
    record.initial_margin = instrument.initial_margin;
    record.maintenance_margin = instrument.maintenance_margin;
    record.hedged_margin = instrument.hedged_margin;
    record.margin_divider = 1;
    record.point = instrument.point;
    record.buy_profit_multiplier = 1;
    record.sell_profit_multiplier = 1;
    return record;
}

const GroupConfig& account_group(const ServerConfig& config, const std::string& name) {
    if (const GroupConfig* group = config.find_group(name)) return *group;
    if (const GroupConfig* group = config.find_group(config.default_group)) return *group;
    return config.groups.front();
}

market::ExecutionMode dealing_mode(const GroupConfig& group, const InstrumentConfig&) { return group.execution; }

std::vector<market::SymbolRecord> build_symbol_records(const ServerConfig& config, const GroupConfig* group) {
    std::vector<market::SymbolRecord> records;
    records.reserve(config.instruments.size());
    for (size_t i = 0; i < config.instruments.size(); ++i) {
        records.push_back(build_symbol_record(config.instruments[i], static_cast<int>(i)));
        if (group) records.back().execution_mode = dealing_mode(*group, config.instruments[i]);
    }
    return records;
}

std::array<market::SymbolGroupRecord, market::kSymbolGroupCount> build_symbol_groups(const ServerConfig& config) {
    std::array<market::SymbolGroupRecord, market::kSymbolGroupCount> groups{};
    for (size_t i = 0; i < config.symbol_groups.size() && i < groups.size(); ++i)
        core::set_field_text(groups[i].name, config.symbol_groups[i]);
    return groups;
}

market::GroupRecord build_group_record(const GroupConfig& group) {
    market::GroupRecord record{};
    core::set_field_text(record.name, group.name);
    for (market::GroupSymbolSettings& settings : record.symbol_groups) {
        settings.minimum_volume = kMinimumVolume;
        settings.maximum_volume = kMaximumVolume;
        settings.volume_step = kVolumeStep;
    }
    core::set_field_text(record.deposit_currency, group.currency);
    record.free_margin_mode = market::FreeMarginMode::WithProfit;
    record.flags = market::kExpirationAllowed;
    record.larger_leg_margin = group.larger_leg_margin ? 1 : 0;
    return record;
}

trade::TradeRecord build_trade_record(const TradeRow& row, const ServerConfig& config) {
    trade::TradeRecord record{};
    record.ticket = static_cast<int32_t>(row.ticket);
    record.login = row.login;
    core::set_field_text(record.symbol, row.symbol);
    if (const InstrumentConfig* instrument = config.find_instrument(row.symbol)) record.digits = instrument->digits;
    record.type = static_cast<int32_t>(row.type);
    record.volume = row.volume;
    record.open_price = row.open_price;
    record.stop_loss = row.stop_loss;
    record.take_profit = row.take_profit;
    record.close_time = static_cast<int32_t>(row.close_time);
    record.commission = row.commission;
    record.swap = row.swap;
    record.close_price = row.close_price;
    record.profit = row.profit;
    core::set_field_text(record.comment, row.comment);
    record.margin_rate = row.margin_rate;
    return record;
}

}  // namespace kb::server
