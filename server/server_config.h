#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "market/quote_hours.h"

namespace kb::server {

struct InstrumentConfig {
    std::string name;              // at most 11 characters
    std::string description;       // at most 63 characters
    int digits = 5;                // 0..8
    double point = 0.00001;
    double contract_size = 100000;
    int spread = 10;               // typical spread in points, at least 1
    double tick_rate = 30;         // average ticks per minute in an ordinary hour
    double volatility = 1.5;       // standard deviation of one tick's move, in points
    double start_price = 1.0;      // the price the random walk starts from and returns to
    int symbol_group = 0;          // 0..31
    std::string margin_currency;   // three letters
    std::string profit_currency;   // three letters
    market::ProfitMode profit_mode = market::ProfitMode::Forex;
    market::MarginMode margin_mode = market::MarginMode::Forex;
    double initial_margin = 0;     // per lot; 0: by the mode's formula
    double maintenance_margin = 0; // per lot, futures margin mode
    double hedged_margin = 0;      // per lot of hedged volume; 0: hedged volume holds none
    int stops_level = 0;           // points
    market::ExecutionMode execution = market::ExecutionMode::Instant;
    int sort_key = 0;              // list order; below 8000 joins the default selection
    market::QuoteWeek quote_hours; // up to three windows a day, in the form the symbol record carries
};

struct GroupConfig {
    std::string name;              // at most 15 characters
    std::string currency;          // deposit currency, three letters
    int leverage = 100;
    market::ExecutionMode execution = market::ExecutionMode::Instant;
    double requote_rate = 0;       // share of instant orders answered with a requote, 0..1
    int dealer_delay_ms = 0;       // time a request-mode order waits for the dealer
    int news = 1;                  // 0 no news, 1 headers with bodies, 2 bodies on request
    double margin_call = 50;       // margin level, percent
    double stop_out = 20;          // margin level, percent
    bool larger_leg_margin = false; // hedged symbols hold the margin of their larger side only
};

struct ServerIdentityConfig {
    std::string name = "Kestrelbay-Demo";   // at most 63 characters
    std::string company = "Kestrelbay Demo Broker";
    uint32_t identity = 0x4B420001;
    int build = 445;
    // false makes the server report an older build (412) that logs in without the challenge.
    bool challenge = true;
    int protocol_version = 404;
    // The version the account data reports (its 16-bit field at offset 13796); 0 reports
    // the login build. The history server's clients choose their chart bar form by it.
    int history_version = 0;
};

struct UpdateConfig {
    int version = 400;   // newest terminal version offered by the update query
    int build = 445;     // and its build
};

struct ServerConfig {
    ServerIdentityConfig server;
    UpdateConfig update;
    std::string trade_listen = "127.0.0.1:4443";
    std::string history_listen = "127.0.0.1:4444";
    uint64_t price_seed = 1;
    int history_days = 90;                  // chart history generated back from the first start
    std::string default_group;              // the group new accounts join; the first one when empty
    std::vector<std::string> symbol_groups;  // names of the symbol groups, index order, at most 32
    std::vector<GroupConfig> groups;
    std::vector<InstrumentConfig> instruments;

    // The build the login reply reports: the configured build, or 412 when the challenge
    // is switched off.
    int reported_build() const;
    // The version the account data reports: the configured one, else the reported build.
    int account_data_version() const;
    const GroupConfig* find_group(const std::string& name) const;
    const InstrumentConfig* find_instrument(const std::string& name) const;
};

inline constexpr int kLastBuildWithoutChallenge = 412;

// Parses and validates a configuration text. On failure returns nullopt and sets error to
// one line naming the place and the fault ("instruments[2] (GBPJPY): digits must be 0..8").
std::optional<ServerConfig> parse_server_config(const std::string& text, std::string& error);

// Reads and parses a configuration file; an unreadable file is an error naming the path.
std::optional<ServerConfig> load_server_config(const std::string& path, std::string& error);

// "default-config.json" beside the running executable.
std::string default_config_path();

}  // namespace kb::server
