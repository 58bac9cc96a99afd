// Seeds of the file readers: files the terminal's own writers saved during the recording.
#include <cstdio>
#include <cstring>

#include "config/accounts_base.h"
#include "config/config_paths.h"
#include "config/login_record.h"
#include "config/server_list.h"
#include "config/terminal_config.h"
#include "core/fixed_text.h"
#include "core/settings_store.h"
#include "market/symbol_record.h"
#include "platform/clock.h"
#include "platform/random.h"
#include "tests/fuzz/seeds/seed_sets.h"

namespace kb::fuzzing::seeds {

namespace {

// The part of an accounts.ini record the target lays out as plain bytes.
constexpr size_t kAccountPiece = 512;

std::string seed_name(std::string file) {
    for (char& c : file)
        if (c == '-' || c == '.') c = '_';
    return file;
}

}  // namespace

void record_config_files(const std::string& program_folder, config::TerminalConfig& config,
                         const trade::AccountRecord& account) {
    config::LoginRecord login = config.login_record();
    login.keep_personal_data = 1;
    config.set_login_record(login);
    config.set_chart_settings(config.chart_settings());
    config.set_trade_settings(config.trade_settings());
    config.set_sound_events(config.sound_events());

    const Bytes server_ini = written_file(config.login_file());
    write_seed("config_server_ini", "saved", server_ini);
    // The target also scrambles its input as a plain record.
    write_seed("config_server_ini", "plain", bytes_of(config::parse_login_record(server_ini, 0)));
    write_seed("config_charts_ini", "saved", written_file(config.charts_file()));
    write_seed("config_trade_ini", "saved", written_file(config.trade_file()));
    write_seed("config_events_ini", "saved", written_file(config.events_file()));

    const std::string config_folder = config::config_file(program_folder, "");
    for (const platform::FolderEntry& entry : platform::list_folder(config_folder, "*.srv"))
        write_seed("config_srv_file", seed_name(entry.name), written_file(config::config_file(program_folder, entry.name)));

    // Remembered as the login dialog does it: the trade base's record with the login's texts.
    config::AccountSnapshot snapshot;
    static_assert(sizeof snapshot == sizeof account);
    std::memcpy(&snapshot, &account, sizeof snapshot);
    snapshot.login = login.login;
    std::memcpy(snapshot.password, login.password, sizeof snapshot.password);
    std::memcpy(snapshot.server, login.server, sizeof snapshot.server);
    config::AccountsBase accounts(program_folder, config, platform::system_random());
    if (!accounts.add_or_replace(snapshot)) {
        std::fprintf(stderr, "the account was not remembered\n");
        std::exit(1);
    }
    const Bytes accounts_ini = written_file(accounts.file_path());
    write_seed("config_accounts_ini", "saved", accounts_ini);
    const std::vector<config::AccountSnapshot> saved = config::parse_accounts(accounts_ini);
    if (saved.size() != 1) {
        std::fprintf(stderr, "accounts.ini reads back %zu accounts\n", saved.size());
        std::exit(1);
    }
    // The target lays 512-byte pieces over plain records.
    write_seed("config_accounts_ini", "plain_head", slice(bytes_of(saved[0]), 0, kAccountPiece));
}

void record_symbol_files(const std::string& program_folder, const std::string& server) {
    const std::string folder = program_folder + "/history/" + server + "/";
    write_seed("market_selection_file", seed_name(server), written_file(folder + "symbols.sel"));

    // Bytes 0..1: how much of the payload is symgroups.raw; 2..3: the length of symbols.raw;
    // 4..5: where the payload is laid over it, chosen so that the symbols land at offset 0.
    const Bytes groups = written_file(folder + "symgroups.raw");
    const Bytes symbols = written_file(folder + "symbols.raw");
    if (symbols.size() > 3 * sizeof(market::SymbolRecord) || groups.size() > 2600) {
        std::fprintf(stderr, "symbols.raw (%zu bytes) or symgroups.raw (%zu) too long for the target\n", symbols.size(),
                     groups.size());
        std::exit(1);
    }
    const auto word = [](size_t value) { return Bytes{static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8)}; };
    const size_t offset = (symbols.size() - groups.size() % symbols.size()) % symbols.size();
    write_seed("market_symbol_files", seed_name(server),
               joined({word(groups.size()), word(symbols.size()), word(offset), groups, symbols}));
}

void record_history_file(const std::string& program_folder, const std::string& server, const std::string& file) {
    write_seed("market_history_file", seed_name(file), written_file(program_folder + "/history/" + server + "/" + file));
}

void record_settings_file(const std::string& scratch_folder) {
    const std::string folder = scratch_folder + "/settings_seed";
    platform::make_directory(folder);
    platform::make_directory(folder + "/config");
    core::SettingsStore settings(folder + "/settings");
    {
        // Without two of the maker's servers the list clears the white-label marks.
        config::ServerList servers(folder, platform::system_clock(), platform::system_random(), &settings);
        servers.load_all("Fuzz Company");
    }
    // The main window's tab and the order dialog's last order type.
    settings.write_number(core::kSectionWindow, "ActiveTab", 2);
    settings.write_number(core::kSectionWindow, "NewOrderType", 1);
    write_seed("settings_file", "terminal", written_file(settings.file_path()));
}

}  // namespace kb::fuzzing::seeds
