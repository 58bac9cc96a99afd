#pragma once
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/notifications.h"
#include "config/login_record.h"
#include "core/crash_log.h"
#include "net/packet_stream.h"
#include "platform/clock.h"
#include "platform/event.h"
#include "platform/notifier.h"
#include "platform/thread.h"
#include "session/session_services.h"

namespace kb::core {
class Journal;
}
namespace kb::config {
class TerminalConfig;
class ServerList;
class ServerProbe;
class AccountsBase;
}  // namespace kb::config
namespace kb::platform {
class ProcessStarter;
}

namespace kb::session {

// The two connections of a session, as the value of ConnectionState names them.
using Server = core::ConnectionServer;

// The login record's mode (and mode in effect) of an account that uses the history server.
inline constexpr int32_t kUsesHistoryServer = 1;

// Waits and limits of the session.
inline constexpr uint32_t kRetryPauseMs = 500;
inline constexpr int kRetryPauses = 10;              // 5 s between attempts
inline constexpr uint32_t kQuitPauseMs = 100;        // after the quit byte, before the close
inline constexpr uint32_t kHistoryStartWaitMs = 45000;
inline constexpr uint32_t kHistoryStartPollMs = 100;
inline constexpr uint32_t kKeepAliveMs = 20000;
inline constexpr uint32_t kIdleMs = 10000;
inline constexpr uint32_t kLoopPollMs = 50;
inline constexpr uint32_t kWatchdogSilenceMs = 60000;

// What the session works with. Everything referenced must outlive the session.
struct SessionEnvironment {
    std::string program_folder;
    platform::Clock& clock;          // the session's waits, deadlines and activity ticks
    platform::Clock& stream_clock;   // the streams' short pauses while a peer stalls
    core::Journal& journal;
    platform::Notifier& notifier;
    platform::ProcessStarter& starter;
    config::TerminalConfig& config;
    config::ServerList& servers;
    config::AccountsBase* accounts = nullptr;   // may be null
    std::string company;                        // the branding's company name
    SessionSinks sinks;
    config::ServerProbe* probe = nullptr;       // started after each login; may be null
};

// The terminal's connection to the trade server and, for accounts that use one, to the
// history server, each on its own thread: connect and log in, download the login data,
// then receive and dispatch pushed data, keep the connection alive and forward queued
// requests. Start, Stop, Reconnect, Watchdog and the queries belong to the user-interface
// thread; the two connection threads touch the rest. Every state change posts
// ConnectionState with the connection (a ConnectionServer) unless stopping.
//
// Each connection:
//
//   not connected (6) --connect, log in, login data--> connected (0) --loop ends--> 6
//        ^                        |                                                  |
//        |          failure: state = code, journal, wait 5 s                         |
//        +------------------------+<------------------ wait 5 s ---------------------+
//
// The trade server thread runs from start() to stop(); the history server thread lives
// for one trade server login at most.
class ServerSession {
public:
    explicit ServerSession(SessionEnvironment environment);
    // Stops both threads.
    ~ServerSession();
    ServerSession(const ServerSession&) = delete;
    ServerSession& operator=(const ServerSession&) = delete;

    // Starts the trade server thread unless it is running.
    void start();
    // Ends both threads: sets the stop flags, closes both connections and waits for the
    // threads. A second call does nothing (until the next start()).
    void stop();
    // Drops both connections so that they log in again with the current account; a
    // change of login also clears the trade channels and the trade base first.
    void reconnect();
    // The trade server is connected, and the history server too when the account data
    // was requested for an account using it.
    bool is_connected() const;
    // The connection's state: a return code, NoConnection while not connected, Ok while
    // connected.
    net::ReturnCode state(Server which) const;
    // Once a second: closes a connection silent for more than 60 s; a silent trade server
    // connection's address is reported failed to the server list.
    void watchdog();

    // The first value of the server information, kept for the trade screens.
    uint16_t server_trade_value() const { return trade_value_; }

    bool trade_thread_running() const { return trade_thread_.running(); }
    bool history_thread_running() const { return history_thread_.running(); }

private:
    // Lets the fuzz targets run one connection's readers on a stream of their own.
    friend struct ServerSessionAccess;

    enum class LoopEnd { Stopped, ServerQuit, Failed };
    enum class Dispatch { Continue, ServerQuit, Close, Failed };

    // ---- threads ----
    void run_trade_server();
    bool run_one_trade_session(bool& failure_journaled, bool& update_checked);
    void run_history_server();
    void start_history_thread();
    void stop_history_thread();
    void pause_before_retry();
    void set_state(Server which, net::ReturnCode code);
    // After a successful idle ping: confirms state Ok (posting ConnectionState), but never revives a
    // state that a reconnect has just set.
    void confirm_connected(Server which);
    // Stop, the history stop for the history server, or a reconnect's quit request.
    bool leave_requested(Server which) const;
    void notify(core::Notification code, intptr_t value);
    // Bytes came from the server: the watchdog counts its silence from now.
    void record_activity(Server which);
    net::PacketStream& stream(Server which) { return which == Server::Trade ? trade_stream_ : history_stream_; }
    void quit_and_close(net::PacketStream& stream);

    // ---- login ----
    net::ReturnCode connect_and_log_in(net::PacketStream& stream, const std::string& address, int32_t login,
                                       std::string_view password, net::LoginMode mode);
    net::ReturnCode secured_login_required(int32_t login);
    net::ReturnCode generated_key_required(int32_t login);
    net::ReturnCode download_login_data(const config::LoginRecord& account);
    net::ReturnCode read_server_information(const config::LoginRecord& account);
    void read_symbols();
    void read_symbol_groups();
    void read_mail_recipients();
    void read_account_history();
    net::ReturnCode request_account_data(net::PacketStream& stream, uint32_t mode, int32_t login,
                                         std::optional<trade::AccountDataReply>& reply);
    void apply_trade_account(const config::LoginRecord& account, const trade::AccountDataReply& reply);
    void report_trade_server_failed();
    void store_history_connected(bool connected);

    // ---- receive loops ----
    LoopEnd receive_loop(Server which);
    bool forward_requests(net::PacketStream& stream);
    Dispatch dispatch(Server which, uint8_t command);
    Dispatch on_quotes(Server which);
    Dispatch on_news_header(Server which);
    Dispatch on_mail_message();
    Dispatch on_symbol_updates();
    Dispatch on_trade_updates();
    Dispatch on_chart_history(Server which);
    Dispatch on_news_body(Server which);
    Dispatch on_group_settings();
    void refresh_saved_group(const market::GroupRecord& group);
    bool history_connected() const { return state(Server::History) == net::ReturnCode::Ok; }
    int32_t stream_login(Server which) { return stream(which).login(); }

    SessionEnvironment env_;
    core::CrashLog crash_log_;
    net::PacketStream trade_stream_;
    net::PacketStream history_stream_;
    platform::Thread trade_thread_;
    platform::Thread history_thread_;
    platform::Event history_started_{env_.clock, platform::EventReset::Manual};

    std::atomic<bool> stop_{false};
    std::atomic<bool> history_stop_{false};
    std::atomic<bool> stopped_{true};
    std::atomic<bool> quit_requested_[2] = {false, false};
    std::atomic<net::ReturnCode> states_[2] = {net::ReturnCode::NoConnection, net::ReturnCode::NoConnection};
    std::atomic<uint32_t> activity_[2] = {0, 0};
    // The login the trade server connection was last logged in with.
    std::atomic<int32_t> trade_login_{0};
    // From the server information reply.
    std::atomic<uint16_t> trade_value_{0};
    std::atomic<uint16_t> protocol_version_{0};
    // From the history server's account data.
    std::atomic<uint16_t> history_version_{0};
    // The account data was requested for an account with the history server connected.
    std::atomic<bool> history_required_{false};
};

}  // namespace kb::session
