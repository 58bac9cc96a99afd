#include "config/terminal_config.h"

#include <cstring>

#include "config/config_paths.h"
#include "core/fixed_text.h"
#include "config/server_list.h"
#include "config/store_file.h"
#include "config/utf16_text.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/sound.h"

namespace kb::config {

namespace {

template <typename Record>
std::span<const uint8_t> bytes_of(const Record& record) {
    return std::span(reinterpret_cast<const uint8_t*>(&record), sizeof record);
}

bool is_wav_action(std::string_view action) { return action.find(".wav") != std::string_view::npos; }

}  // namespace

TerminalConfig::TerminalConfig(std::string program_folder, platform::Clock& clock, platform::Random& random,
                               ServerList* servers, platform::SoundPlayer& sound, platform::ProcessStarter& starter)
    : program_folder_(std::move(program_folder)),
      clock_(clock),
      random_(random),
      servers_(servers),
      sound_(sound),
      starter_(starter),
      login_(default_login_record(clock.unix_time())),
      charts_(default_chart_settings(kDefaultMaxBars)),
      trade_(default_trade_settings()),
      events_(default_sound_events()) {}

std::string TerminalConfig::login_file() const { return config_file(program_folder_, "server.ini"); }
std::string TerminalConfig::charts_file() const { return config_file(program_folder_, "charts.ini"); }
std::string TerminalConfig::trade_file() const { return config_file(program_folder_, "trade.ini"); }
std::string TerminalConfig::events_file() const { return config_file(program_folder_, "events.ini"); }

void TerminalConfig::load_all(BrandingServer branding) {
    {
        std::lock_guard guard(lock_);
        branding_server_ = branding == BrandingServer::Present;
        load_login_locked();
        // The chart defaults follow the login record's maximum bars.
        charts_ = parse_chart_settings(read_store_file(charts_file(), sizeof(ChartSettings)), login_.max_bars);
        trade_ = parse_trade_settings(read_store_file(trade_file(), sizeof(TradeSettings)));
        events_ = parse_sound_events(read_store_file(events_file(), sizeof(SoundEventsRecord)));
    }
    run_key_files_loader();
}

void TerminalConfig::set_key_files_loader(std::function<void()> loader) {
    std::lock_guard guard(lock_);
    key_files_loader_ = std::move(loader);
}

void TerminalConfig::run_key_files_loader() {
    std::function<void()> loader;
    {
        std::lock_guard guard(lock_);
        loader = key_files_loader_;
    }
    if (loader) loader();
}

// ---- login record ----

void TerminalConfig::load_login_record() {
    std::lock_guard guard(lock_);
    load_login_locked();
}

void TerminalConfig::load_login_locked() {
    login_ = parse_login_record(read_store_file(login_file(), sizeof(LoginRecord)), clock_.unix_time());
    validate_server_name_locked(login_);
}

void TerminalConfig::validate_server_name_locked(LoginRecord& record) {
    if (!branding_server_ || servers_ == nullptr) return;
    core::set_field_text(record.server, servers_->resolve_server_name(core::field_text(record.server)));
    record.server_chosen = 1;
}

LoginRecord TerminalConfig::login_record() {
    std::lock_guard guard(lock_);
    return login_;
}

bool TerminalConfig::keep_personal_data() {
    std::lock_guard guard(lock_);
    return login_.keep_personal_data != 0;
}

void TerminalConfig::set_login_record(const LoginRecord& record) {
    bool identity_changed = false;
    {
        std::lock_guard guard(lock_);
        LoginRecord incoming = record;
        validate_server_name_locked(incoming);
        core::terminate_field(incoming.password);
        core::terminate_field(incoming.server);
        identity_changed = incoming.login != login_.login || core::field_text(incoming.server) != core::field_text(login_.server);
        if (incoming.max_bars < kMinimumMaxBars) incoming.max_bars = kMinimumMaxBars;
        login_ = incoming;

        const int32_t history_limit = login_.max_bars + kHistoryFileExtraBars;
        if (charts_.bars_per_chart != login_.max_bars || charts_.bars_per_history_file != history_limit) {
            charts_.bars_per_chart = login_.max_bars;
            charts_.bars_per_history_file = history_limit;
            // Kept on disk too, or the next start would bring back the old limits.
            save_charts_locked();
        }
        save_login_locked();
    }
    if (identity_changed) run_key_files_loader();
}

void TerminalConfig::save_login_record() {
    std::lock_guard guard(lock_);
    save_login_locked();
}

void TerminalConfig::save_login_locked() {
    validate_server_name_locked(login_);
    login_.version = kLoginRecordVersion;
    uint8_t image[sizeof(LoginRecord)];
    serialize_login_record(login_, image, random_);
    write_store_file(login_file(), image, platform::FileAccess::OwnerOnly);
}

// ---- chart, trade and sound settings ----

ChartSettings TerminalConfig::chart_settings() {
    std::lock_guard guard(lock_);
    return charts_;
}

void TerminalConfig::set_chart_settings(const ChartSettings& settings) {
    std::lock_guard guard(lock_);
    charts_ = settings;
    save_charts_locked();
}

void TerminalConfig::save_charts_locked() {
    charts_.version = kChartSettingsVersion;
    write_store_file(charts_file(), bytes_of(charts_));
}

TradeSettings TerminalConfig::trade_settings() {
    std::lock_guard guard(lock_);
    return trade_;
}

void TerminalConfig::set_trade_settings(const TradeSettings& settings) {
    std::lock_guard guard(lock_);
    trade_ = prepared_for_save(settings);
    save_trade_locked();
}

void TerminalConfig::save_trade_locked() { write_store_file(trade_file(), bytes_of(trade_)); }

SoundEvents TerminalConfig::sound_events() {
    std::lock_guard guard(lock_);
    return to_sound_events(events_);
}

void TerminalConfig::set_sound_events(const SoundEvents& events) {
    std::lock_guard guard(lock_);
    events_ = to_sound_events_record(events);
    save_events_locked();
}

void TerminalConfig::save_events_locked() {
    events_.version = kSoundEventsVersion;
    write_store_file(events_file(), bytes_of(events_));
}

void TerminalConfig::play_event(int slot) {
    if (slot < 0 || slot >= static_cast<int>(kSoundEventCount)) return;
    std::string action;
    {
        std::lock_guard guard(lock_);
        const SoundEventSlot& event = events_.entries[slot];
        if (event.enabled == 0 || events_.sounds_enabled != 1) return;
        action = utf16le_field_to_utf8(event.action);
    }
    if (action.empty()) return;
    if (is_wav_action(action)) {
        const std::string path =
            action.front() == '/' ? action : platform::join_path(platform::join_path(program_folder_, "sounds"), action);
        if (platform::file_exists(path)) sound_.play_async(path);
        return;
    }
    platform::open_with_desktop(starter_, action);
}

}  // namespace kb::config
