#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/branding.h"
#include "core/display_metrics.h"
#include "core/journal.h"
#include "core/notifications.h"
#include "core/service_ptr.h"
#include "core/settings_store.h"
#include "platform/clock.h"
#include "platform/notifier.h"

namespace kb::config {
class TerminalConfig;
class ServerList;
class ServerProbe;
class AccountsBase;
}  // namespace kb::config
namespace kb::market {
class SymbolsBase;
class HistoryCenter;
}  // namespace kb::market
namespace kb::session {
class ServerSession;
class TradeDispatcher;
}  // namespace kb::session
namespace kb::trade {
class TradeBase;
}

namespace kb::core {

class Terminal;

// The start steps that need the libraries above core. The program entry supplies them;
// a test may pass none.
class ServiceFactory {
public:
    virtual ~ServiceFactory() = default;
    // Creates, each only when absent, the server list and the configuration, then loads
    // the server list and the configuration files.
    virtual void create_configuration(Terminal& terminal) = 0;
    // Creates, each only when absent, the long-lived services in their fixed order.
    virtual void create_services(Terminal& terminal) = 0;
};

// The global services, each null until created and null again after shutdown. Shutdown
// destroys them in the reverse dependency order written in Terminal::shutdown.
struct Services {
    ServicePtr<config::TerminalConfig> terminal_config = no_service<config::TerminalConfig>();
    ServicePtr<config::ServerList> server_list = no_service<config::ServerList>();
    // Measures the server list's access points; stopped before the list goes.
    ServicePtr<config::ServerProbe> server_probe = no_service<config::ServerProbe>();
    ServicePtr<config::AccountsBase> accounts_base = no_service<config::AccountsBase>();
    ServicePtr<market::HistoryCenter> history_center = no_service<market::HistoryCenter>();
    ServicePtr<market::SymbolsBase> symbols_base = no_service<market::SymbolsBase>();
    ServicePtr<trade::TradeBase> trade_base = no_service<trade::TradeBase>();
    ServicePtr<session::TradeDispatcher> trade_dispatcher = no_service<session::TradeDispatcher>();
    ServicePtr<session::ServerSession> server_session = no_service<session::ServerSession>();
};

// The running terminal's context: program folder, branding, clock, journal, settings,
// display metrics, the notifier to the user interface and the global services. Made once
// by the program entry (or by a test) and passed by reference. Everything but notify()
// and the stores' own thread-safe operations belongs to the user-interface thread.
//
//   constructed --start()--> started --shutdown()--> stopped (journal closed by ~Terminal)
class Terminal {
public:
    Terminal(std::string program_folder, platform::Clock& clock, std::string settings_path);
    // Shuts down when still started; the journal is closed last.
    ~Terminal();
    Terminal(const Terminal&) = delete;
    Terminal& operator=(const Terminal&) = delete;

    // Notes the system version, creates the configuration services (factory), makes the
    // data folders, swaps in a downloaded updater, creates the services (factory) and journals
    // "<short name> build 445 started". Only the first call does anything.
    void start(ServiceFactory* factory);
    // Destroys the services in their order and journals "<short name> build 445 stopped".
    // Only the first call after start does anything.
    void shutdown();
    bool started() const { return started_; }

    const std::string& program_folder() const { return program_folder_; }
    // "Linux <major>.<minor>" for reports; empty before start.
    const std::string& os_version() const { return os_version_; }
    // The value the updater must present to be answered by this folder's terminal.
    uint32_t folder_identity() const;
    Branding& branding() { return branding_; }
    platform::Clock& clock() { return clock_; }
    Journal& journal() { return journal_; }
    SettingsStore& settings() { return settings_; }
    DisplayMetrics& display_metrics() { return display_metrics_; }
    Services& services() { return services_; }

    // The user interface publishes its notifier once the main window exists and withdraws
    // it (null) before the window goes. Not owned.
    void set_notifier(platform::Notifier* notifier) { notifier_.store(notifier); }
    platform::Notifier* notifier() const { return notifier_.load(); }
    // Posts (code, value) to the user interface; dropped while no notifier is published.
    // Any thread.
    void notify(Notification code, intptr_t value);

    // The once-a-second checks, run in the order they were added; the name says which
    // step of the timer a check is.
    void add_watchdog(std::function<void()> tick, std::string name = {});
    void run_watchdogs();
    // The names of the checks in their order.
    const std::vector<std::string>& watchdog_names() const { return watchdog_names_; }

private:
    std::string program_folder_;
    std::string os_version_;
    platform::Clock& clock_;
    Journal journal_;   // declared before the services, so it outlives every one that writes to it
    SettingsStore settings_;
    Branding branding_;
    DisplayMetrics display_metrics_;
    std::atomic<platform::Notifier*> notifier_{nullptr};
    std::vector<std::function<void()>> watchdogs_;
    std::vector<std::string> watchdog_names_;
    Services services_;
    bool started_ = false;
};

}  // namespace kb::core
