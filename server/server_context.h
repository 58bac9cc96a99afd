#pragma once
#include <atomic>
#include <cstdint>
#include <string>

#include "platform/clock.h"
#include "server/live_settings.h"
#include "server/quote_feed.h"
#include "server/server_config.h"
#include "server/server_log.h"
#include "server/storage.h"

namespace kb::server {

class BarHistory;
class Dealer;
class PeerLimits;
enum class ServerRole;

// Asked before a session reads a login. Production servers have none; a test gives one to
// play a slow server. Called from session threads.
class LoginGate {
public:
    virtual ~LoginGate() = default;
    // True while logins arriving at the door of that role are to be left unanswered.
    virtual bool holds(ServerRole role) const = 0;
};

// Limits of a connection, in milliseconds of the server's clock.
struct SessionLimits {
    uint32_t first_packet_ms = 10000;   // from accept to the first byte of a probe or login
    uint32_t idle_ms = 60000;           // without anything from the client after login
    uint32_t poll_ms = 20;              // real pause of an idle session loop
};

// What every session shares: all members are thread-safe or read-only while serving.
// Owned by the server, outlives every session.
struct ServerContext {
    const ServerConfig& config;
    Storage& storage;
    QuoteFeed& feed;
    platform::Clock& clock;
    ServerLog& log;
    SessionLimits limits;
    std::atomic<bool> stopping{false};
    BarHistory* history = nullptr;   // chart bars; null when the server keeps none
    std::string access_point{};      // "host:port" of the trade server, set before serving starts
    // How often a session looks for news, mail, settings and trade changes stored since its
    // last look (also those other processes stored).
    uint32_t message_poll_ms = 1000;
    LiveSettings* settings = nullptr;
    PeerLimits* peers = nullptr;        // connections and wrong passwords per address; null: no limits
    Dealer* dealer = nullptr;           // deals the trade channels' requests; null: none are taken   // the admin's changes; null: the file's configuration
    // Raised whenever this process stores a trade transaction, so sessions look at once.
    std::atomic<uint64_t> trade_changes{0};
    LoginGate* login_gate = nullptr;    // null: logins are never held

    // The configuration with the admin's changes as stored now (also by other processes),
    // held as long as the caller keeps it.
    std::shared_ptr<const ServerConfig> settings_now() const {
        if (!settings) return std::shared_ptr<const ServerConfig>(std::shared_ptr<void>(), &config);
        settings->refresh();
        return settings->current();
    }
};

}  // namespace kb::server
