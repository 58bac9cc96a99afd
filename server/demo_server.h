#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "platform/clock.h"
#include "platform/socket.h"
#include "platform/thread.h"
#include "server/bar_history.h"
#include "server/dealer.h"
#include "server/listen_address.h"
#include "server/peer_limits.h"
#include "server/quote_feed.h"
#include "server/server_context.h"
#include "server/session_pool.h"

namespace kb::server {

// The trade server and the history server of one configuration and database: two
// listeners, an accept thread for each, a session thread per connection and the quote
// feed. Owned and driven by one thread (start, stop, destruction); the port and count
// queries may be called from any thread.
class DemoServer {
public:
    static constexpr size_t kDefaultMaxSessions = 512;

    DemoServer(const ServerConfig& config, Storage& storage, platform::Clock& clock, ServerLog& log,
               SessionLimits limits = {}, size_t max_sessions = kDefaultMaxSessions, PeerLimitSettings peer_limits = {});
    ~DemoServer();   // stop
    DemoServer(const DemoServer&) = delete;
    DemoServer& operator=(const DemoServer&) = delete;

    // Binds both addresses (port 0 picks a free one) and starts serving; the chart history
    // is loaded and generated up to now meanwhile on a thread of its own (chart requests wait
    // for it), which then saves the new bars every minute and once more at stop. False with error
    // set, nothing left running, when an address can't be bound or a thread can't start.
    bool start(const ListenAddress& trade, const ListenAddress& history, std::string& error);
    // Stops accepting, closes every session and waits for all threads. Idempotent.
    void stop();

    // Ends every connection the way a server going down does: quit byte 13, the client's
    // answer awaited, close. The server keeps accepting. Any thread.
    void quit_sessions() { pool_.quit_all(); }
    // While the gate holds a door's logins, logins arriving there are left unanswered (a
    // slow server): the session logs "login held" and waits until released, the connection
    // closes or the server stops. Set before start(); the gate must outlive the server.
    void set_login_gate(LoginGate* gate) { context_.login_gate = gate; }

    uint16_t trade_port() const { return trade_listener_.local_port(); }
    uint16_t history_port() const { return history_listener_.local_port(); }
    size_t active_sessions() { return pool_.active(); }
    QuoteFeed& feed() { return feed_; }
    BarHistory& history() { return history_; }
    LiveSettings& settings() { return settings_; }
    Dealer& dealer() { return dealer_; }

private:
    void accept_loop(platform::Socket& listener, ServerRole role);

    QuoteFeed feed_;
    PeerLimits peers_;
    BarHistory history_;
    LiveSettings settings_;
    ServerContext context_;
    Dealer dealer_;
    SessionPool pool_;
    platform::Socket trade_listener_;
    platform::Socket history_listener_;
    platform::Thread trade_acceptor_;
    platform::Thread history_acceptor_;
    platform::Thread history_generator_;
};

}  // namespace kb::server
