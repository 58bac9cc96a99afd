#pragma once
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "config/chart_settings.h"
#include "config/login_record.h"
#include "config/sound_events.h"
#include "config/trade_settings.h"
#include "platform/clock.h"
#include "platform/random.h"

namespace kb::platform {
class ProcessStarter;
class SoundPlayer;
}  // namespace kb::platform

namespace kb::config {

class ServerList;

// Whether the branding data names a server; the login record's server name is then
// always checked against the server list.
enum class BrandingServer { Absent, Present };

// The terminal's configuration records, each mirrored in a file of config/: the login
// record (server.ini, scrambled, owner-only), chart settings (charts.ini), trade
// settings (trade.ini) and the sound table (events.ini). Missing, short or damaged files
// give defaults; write failures are silent and the record in memory stays current.
// Thread-safe: one lock guards all records; every get copies out under it and every set
// replaces the whole record and saves its file under it. Lock order: configuration
// before server list (core/lock_order.h).
class TerminalConfig {
public:
    // servers may be null (no server name validation then); it must outlive this object.
    // random fills the unused password bytes of server.ini; it is drawn from under the
    // configuration's lock by whichever thread saves, so it must be safe for those threads
    // (system_random() is). It must outlive this object.
    TerminalConfig(std::string program_folder, platform::Clock& clock, platform::Random& random,
                   ServerList* servers, platform::SoundPlayer& sound, platform::ProcessStarter& starter);

    // Start-up: records the branding flag, then loads server.ini, charts.ini, trade.ini
    // and events.ini in that order, then runs the key-files hook. The server list should
    // be loaded first.
    void load_all(BrandingServer branding);

    // The last step of load_all and of a set_login_record that changes login or server:
    // loads the per-login key files. Until a loader is installed this step does nothing.
    // Called without the configuration lock held.
    void set_key_files_loader(std::function<void()> loader);

    LoginRecord login_record();
    // Validates the server name (with branding), copies the record in, raises the
    // maximum bars to 512, terminates password and server name, sets the chart settings'
    // bar limits from the maximum bars (saving charts.ini when they change) and saves
    // server.ini. Reloads the key files afterwards when login or server name changed.
    void set_login_record(const LoginRecord& record);
    // Reads config/server.ini again (defaults when missing, short or of another version).
    void load_login_record();
    // Writes config/server.ini (owner-only).
    void save_login_record();
    bool keep_personal_data();

    ChartSettings chart_settings();
    void set_chart_settings(const ChartSettings& settings);
    TradeSettings trade_settings();
    void set_trade_settings(const TradeSettings& settings);
    SoundEvents sound_events();
    void set_sound_events(const SoundEvents& events);

    // Plays the event of a slot (0..15) if it and the master switch are on: a ".wav"
    // action is played from sounds/ (or from its own path when it starts with '/'), if
    // that file exists; any other action is handed to the desktop's opener. Returns at
    // once; called from any thread.
    void play_event(int slot);
    void play_event(SoundEvent event) { play_event(static_cast<int>(event)); }

    // File paths of the records.
    std::string login_file() const;
    std::string charts_file() const;
    std::string trade_file() const;
    std::string events_file() const;

private:
    void load_login_locked();
    void validate_server_name_locked(LoginRecord& record);
    void save_login_locked();
    void save_charts_locked();
    void save_trade_locked();
    void save_events_locked();
    void run_key_files_loader();

    const std::string program_folder_;
    platform::Clock& clock_;
    platform::Random& random_;
    ServerList* const servers_;
    platform::SoundPlayer& sound_;
    platform::ProcessStarter& starter_;

    std::mutex lock_;
    bool branding_server_ = false;
    LoginRecord login_{};
    ChartSettings charts_{};
    TradeSettings trade_{};
    SoundEventsRecord events_{};
    std::function<void()> key_files_loader_;
};

}  // namespace kb::config
