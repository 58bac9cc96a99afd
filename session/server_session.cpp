#include "session/server_session.h"

#include <cstring>

#include "config/server_connect.h"
#include "config/server_list.h"
#include "config/server_probe.h"
#include "config/terminal_config.h"
#include "core/journal.h"
#include "net/login_packet.h"
#include "net/server_info.h"
#include "session/update_check.h"

namespace kb::session {

namespace {

using net::ReturnCode;

bool usable_address(const char* address) { return address[0] != '\0' && address[0] != ':'; }

}  // namespace

ServerSession::ServerSession(SessionEnvironment environment)
    : env_(std::move(environment)),
      crash_log_(env_.program_folder),
      trade_stream_(&env_.journal, env_.stream_clock),
      history_stream_(&env_.journal, env_.stream_clock) {}

ServerSession::~ServerSession() { stop(); }

void ServerSession::start() {
    if (trade_thread_.joinable() && !trade_thread_.running()) trade_thread_.join();
    if (trade_thread_.joinable()) return;
    stop_ = false;
    history_stop_ = false;
    stopped_ = false;
    trade_thread_.start([this] { run_trade_server(); });
}

void ServerSession::stop() {
    if (stopped_.exchange(true)) return;
    stop_ = true;
    history_stop_ = true;
    trade_stream_.close();
    history_stream_.close();
    states_[0] = ReturnCode::NoConnection;
    states_[1] = ReturnCode::NoConnection;
    trade_thread_.join();
    history_thread_.join();
}

void ServerSession::reconnect() {
    const config::LoginRecord account = env_.config.login_record();
    if (account.login != trade_login_) {
        if (env_.sinks.channels) env_.sinks.channels->reset();
        if (env_.sinks.trade) env_.sinks.trade->clear();
        notify(core::Notification::Trades, 0);
        notify(core::Notification::AccountHistory, core::notification_value(core::HistorySelector::Kept));
    }
    // Each connection's own thread sends the quit byte and closes, so that no two threads
    // write to one stream.
    quit_requested_[0] = true;
    quit_requested_[1] = true;
    set_state(Server::Trade, ReturnCode::NoConnection);
    set_state(Server::History, ReturnCode::NoConnection);
}

bool ServerSession::is_connected() const {
    if (state(Server::Trade) != ReturnCode::Ok) return false;
    return !history_required_ || state(Server::History) == ReturnCode::Ok;
}

ReturnCode ServerSession::state(Server which) const { return states_[static_cast<int>(which)]; }

void ServerSession::watchdog() {
    const uint32_t now = env_.clock.tick_ms();
    for (Server which : {Server::Trade, Server::History}) {
        net::PacketStream& connection = stream(which);
        if (!connection.is_open()) continue;
        if (now - activity_[static_cast<int>(which)] <= kWatchdogSilenceMs) continue;
        connection.close();
        if (which == Server::Trade) report_trade_server_failed();
    }
}

void ServerSession::report_trade_server_failed() {
    const config::LoginRecord account = env_.config.login_record();
    if (std::optional<config::HostAndPort> parts = config::split_address(account.server))
        env_.servers.mark_selected_failed(parts->host);
}

void ServerSession::set_state(Server which, ReturnCode code) {
    states_[static_cast<int>(which)] = code;
    notify(core::Notification::ConnectionState, core::notification_value(which));
}

void ServerSession::confirm_connected(Server which) {
    ReturnCode expected = ReturnCode::Ok;
    if (states_[static_cast<int>(which)].compare_exchange_strong(expected, ReturnCode::Ok))
        notify(core::Notification::ConnectionState, core::notification_value(which));
}

void ServerSession::record_activity(Server which) { activity_[static_cast<int>(which)] = env_.clock.tick_ms(); }

bool ServerSession::leave_requested(Server which) const {
    return stop_ || (which == Server::History && history_stop_) || quit_requested_[static_cast<int>(which)];
}

void ServerSession::notify(core::Notification code, intptr_t value) {
    if (!stop_) core::post(&env_.notifier, code, value);
}

void ServerSession::pause_before_retry() {
    for (int i = 0; i < kRetryPauses && !stop_; ++i) env_.clock.sleep_ms(kRetryPauseMs);
}

void ServerSession::quit_and_close(net::PacketStream& connection) {
    if (!connection.is_open()) return;
    connection.send_quit();
    env_.clock.sleep_ms(kQuitPauseMs);
    connection.close();
}

// ---- trade server thread ----

void ServerSession::run_trade_server() {
    set_state(Server::Trade, ReturnCode::NoConnection);
    bool failure_journaled = false;
    bool update_checked = false;
    while (!stop_) {
        if (run_one_trade_session(failure_journaled, update_checked)) continue;
        pause_before_retry();
    }
    stop_history_thread();
    history_stream_.close();
    quit_and_close(trade_stream_);
    set_state(Server::Trade, ReturnCode::NoConnection);
}

// One pass of the thread: false when the pause before the next attempt is due.
bool ServerSession::run_one_trade_session(bool& failure_journaled, bool& update_checked) {
    quit_requested_[0] = false;
    const config::LoginRecord account = env_.config.login_record();
    if (account.login <= 0 || account.password[0] == '\0' || !usable_address(account.server)) return false;

    ReturnCode code = connect_and_log_in(trade_stream_, account.server, account.login, account.password,
                                         net::LoginMode::TradeServer);
    if (code != ReturnCode::Ok) {
        set_state(Server::Trade, code);
        if (!failure_journaled) {
            env_.journal.write(core::Level::Error, "'%d': connect to '%s' failed [%d]", account.login, account.server,
                               net::code_value(code));
            failure_journaled = true;
        }
        return false;
    }
    trade_login_ = account.login;
    notify(core::Notification::ConnectionState, core::notification_value(Server::Trade));
    if (!update_checked) {
        update_checked = true;
        check_for_update(trade_stream_, {env_.program_folder, env_.company, account.login, account.server},
                         env_.servers, env_.journal, env_.starter);
    }

    code = download_login_data(account);
    if (code != ReturnCode::Ok) {
        trade_stream_.close();
        set_state(Server::Trade, code);
        return false;
    }
    if (protocol_version_ < net::kMinimumServerProtocolVersion) {
        set_state(Server::Trade, ReturnCode::ServerBusy);
        trade_stream_.close();
        config::LoginRecord cleared = env_.config.login_record();
        std::memset(cleared.password, 0, sizeof cleared.password);
        env_.config.set_login_record(cleared);
        env_.journal.write(core::Level::Error, "'%d': old server version", account.login);
        return false;
    }

    if (account.mode == kUsesHistoryServer) start_history_thread();
    // A reconnect during the wait for the history server: the new account logs in afresh.
    if (quit_requested_[0]) {
        stop_history_thread();
        quit_and_close(trade_stream_);
        set_state(Server::Trade, ReturnCode::NoConnection);
        return false;
    }
    env_.config.play_event(config::SoundEvent::Connect);

    const config::LoginRecord current = env_.config.login_record();
    history_required_ = current.mode_in_effect == kUsesHistoryServer;
    const uint32_t mode = history_required_          ? trade::kAccountDataWithHistoryServer
                          : current.enable_news == 0 ? trade::kAccountDataWithoutNews
                                                     : trade::kAccountDataFull;
    std::optional<trade::AccountDataReply> reply;
    code = request_account_data(trade_stream_, mode, account.login, reply);
    if (code != ReturnCode::Ok) {
        stop_history_thread();
        trade_stream_.close();
        set_state(Server::Trade, code);
        return false;
    }
    apply_trade_account(current, *reply);

    if (history_connected() && history_stream_.server_identity() != trade_stream_.server_identity()) {
        env_.config.play_event(config::SoundEvent::Disconnect);
        stop_history_thread();
        store_history_connected(false);
        trade_stream_.close();
        set_state(Server::Trade, ReturnCode::NoConnection);
        env_.journal.write(core::Level::Error, "'%d': DataCenter does not correspond with MainServer", account.login);
        return false;
    }

    set_state(Server::Trade, ReturnCode::Ok);
    if (env_.probe) env_.probe->start(current.server);
    receive_loop(Server::Trade);
    if (stop_) return true;
    env_.config.play_event(config::SoundEvent::Disconnect);
    stop_history_thread();
    set_state(Server::Trade, ReturnCode::NoConnection);
    return false;
}

// ---- history server thread ----
//
//   started by the trade server thread, which waits up to 45 s for "started"
//   6 --connect, log in, account data, same identity--> 0, started --loop ends--> 6, end
//   |
//   +--failure or another identity: state = code (or 6), started, end

void ServerSession::start_history_thread() {
    stop_history_thread();
    history_stop_ = false;
    history_started_.reset();
    history_thread_.start([this] { run_history_server(); });
    // The wait runs on the session's clock so that it can be driven.
    for (uint32_t waited = 0;
         waited < kHistoryStartWaitMs && !history_started_.is_set() && !leave_requested(Server::Trade);
         waited += kHistoryStartPollMs)
        env_.clock.sleep_ms(kHistoryStartPollMs);
    if (leave_requested(Server::Trade)) return;
    store_history_connected(history_started_.is_set() && state(Server::History) == ReturnCode::Ok);
}

void ServerSession::stop_history_thread() {
    history_stop_ = true;
    history_stream_.close();
    history_thread_.join();
}

void ServerSession::store_history_connected(bool connected) {
    config::LoginRecord account = env_.config.login_record();
    account.mode_in_effect = connected ? kUsesHistoryServer : 0;
    env_.config.set_login_record(account);
}

void ServerSession::run_history_server() {
    quit_requested_[1] = false;
    set_state(Server::History, ReturnCode::NoConnection);
    const config::LoginRecord account = env_.config.login_record();
    if (account.mode != kUsesHistoryServer || !usable_address(account.account_server)) {
        history_started_.set();
        return;
    }
    ReturnCode code = connect_and_log_in(history_stream_, account.account_server, account.login,
                                         net::kHistoryAccessString, net::LoginMode::HistoryServer);
    if (code != ReturnCode::Ok)
        env_.journal.write(core::Level::Error, "'%d': DataCenter connecting failed [%d]", account.login,
                           net::code_value(code));
    std::optional<trade::AccountDataReply> reply;
    if (code == ReturnCode::Ok) code = request_account_data(history_stream_,
                                    account.enable_news == 0 ? trade::kAccountDataWithoutNews : trade::kAccountDataFull,
                                    account.login, reply);
    if (code != ReturnCode::Ok) {
        history_stream_.close();
        set_state(Server::History, code);
        history_started_.set();
        return;
    }
    history_version_ = reply->account.history_server_version;
    if (env_.sinks.history) env_.sinks.history->prime();
    if (trade_stream_.is_open() && history_stream_.server_identity() != trade_stream_.server_identity()) {
        history_stream_.close();
        set_state(Server::History, ReturnCode::NoConnection);
        env_.config.play_event(config::SoundEvent::Disconnect);
        env_.journal.write(core::Level::Error, "'%d': DataCenter does not correspond with MainServer", account.login);
        store_history_connected(false);
        history_started_.set();
        return;
    }

    set_state(Server::History, ReturnCode::Ok);
    history_started_.set();
    const LoopEnd end = receive_loop(Server::History);
    if (end == LoopEnd::Failed && !history_stop_ && !stop_) {
        report_trade_server_failed();
        trade_stream_.close();
    }
    set_state(Server::History, ReturnCode::NoConnection);
    if (!stop_) env_.config.play_event(config::SoundEvent::Disconnect);
}

}  // namespace kb::session
