#pragma once
#include <array>
#include <vector>

#include "market/symbol_record.h"
#include "server/server_config.h"
#include "server/storage.h"
#include "trade/trade_record.h"

namespace kb::server {

// The records the login data and the account data carry, built from the configuration and
// the stored rows. Pure functions, callable from any thread.

// The account's group: the configured group of that name, else the default group, else the
// first (a configuration always has one).
const GroupConfig& account_group(const ServerConfig& config, const std::string& name);

// The SymbolRecord of the instrument at index of the configuration, as the terminal gets it
// (the group's execution mode aside).
market::SymbolRecord build_symbol_record(const InstrumentConfig& instrument, int index);

// One SymbolRecord per configured instrument, in configuration order; the symbol index is
// the instrument's position, the one quotes and subscriptions use. With a group, the
// records carry the group's execution mode, the one its accounts are dealt in.
std::vector<market::SymbolRecord> build_symbol_records(const ServerConfig& config, const GroupConfig* group = nullptr);

// The execution mode an account of the group is dealt in for an instrument: the group's.
market::ExecutionMode dealing_mode(const GroupConfig& group, const InstrumentConfig& instrument);

// The 32 symbol groups: the configured names by index, the rest empty.
std::array<market::SymbolGroupRecord, market::kSymbolGroupCount> build_symbol_groups(const ServerConfig& config);

// The settings of an account group: name, deposit currency, volume limits per symbol group
// (0.01 to 100 lots in steps of 0.01), pending order expiration allowed, the floating profit
// always counted in the free margin.
market::GroupRecord build_group_record(const GroupConfig& group);

// A stored trade or balance operation as it travels, with the margin rate it opened with;
// the digits come from the instrument (0 for balance and credit operations, and for
// instruments no longer configured).
trade::TradeRecord build_trade_record(const TradeRow& row, const ServerConfig& config);

}  // namespace kb::server
