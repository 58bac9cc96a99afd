#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <span>
#include <utility>
#include <vector>

#include "market/bar_form.h"
#include "net/packet_stream.h"
#include "platform/event.h"
#include "server/dealer.h"
#include "server/quote_feed.h"
#include "server/server_context.h"
#include "server/storage.h"

namespace kb::server {

// Which door a connection came through: the trade server serves trade server and trade
// channel logins, the history server history server logins.
enum class ServerRole { Trade, History };

// The kind of server a session of that role is to its client (which form its bars take).
inline market::BarSource bar_source(ServerRole role) {
    return role == ServerRole::History ? market::BarSource::HistoryServer : market::BarSource::TradeServer;
}

//  accepted --first byte 'Z'--> probe: answer one line, wait for "QUIT\n" --> closed
//      |
//      +--first byte of a login packet--> login check --refused--> code sent --> closed
//      |                                       |
//      |                                  accepted (code 0, build, identity, challenge)
//      |                                       v
//      |                                 command loop: dispatch by command byte, push
//      |                                 queued quotes, drop after the idle limit;
//      |                                 13, an unknown byte or a transfer error --> closed
//      +--anything else or nothing before the first-packet limit--> closed
//
// One connection from accept to close, run on its own thread. Command handlers get the
// session and use its stream, account and subscription. Thread-safe parts: close() and
// the tick queue (fed by the quote feed's thread); everything else belongs to the
// session's thread.
class ClientSession final : public TickSubscriber {
public:
    // peer_address: the client's IPv4 address, lowest byte first (recorded at login).
    ClientSession(ServerContext& context, ServerRole role, std::unique_ptr<net::PacketStream> stream,
                  uint32_t peer_address);
    ~ClientSession() override;   // leaves the quote feed

    // Serves the connection until it closes. Returns when the stream is closed.
    void run();
    // Ends the connection from another thread (server stop); run() returns soon after.
    void close();
    // Asks the session, from any thread, to end the way a server going down does: a
    // logged-in session sends the quit byte 13, waits for the client's 13 (passing over
    // anything sent before it), logs whether it came and closes.
    void request_quit();

    // ---- for command handlers (session thread) ----
    ServerContext& context() { return context_; }
    net::PacketStream& stream() { return *stream_; }
    ServerRole role() const { return role_; }
    // The logged-in account as it was at login; the handlers refresh it from storage.
    const AccountRow& account() const { return account_; }
    AccountRow& account() { return account_; }
    bool investor_mode() const { return investor_; }
    net::LoginMode login_mode() const { return login_mode_; }
    uint32_t peer_address() const { return peer_address_; }
    // True the first time only: a login uploads one crash log.
    bool take_crash_log_turn() { return !std::exchange(crash_log_taken_, true); }
    // The last price the dealer answered this trade channel (orders by request).
    std::optional<QuotedPrice>& quoted_price() { return quoted_; }
    // Quotes of these instruments (indexes into the configuration) are pushed from now on.
    void set_subscription(const std::set<int>& instruments);

    // Sends the queued ticks as quote packets. False when sending failed (stream closed).
    bool push_queued_quotes();
    // The account data was answered in the mode (trade::AccountDataMode), which ends a
    // terminal's login data: the requests that need it are served from now on, and stored
    // news and mail are pushed: news posted since the account's previous login at once,
    // later items as they are stored. News go only to a connection that asked for them
    // (mode 0).
    void finish_login_data(uint32_t account_data_mode);

    void on_ticks(std::span<const Tick> ticks) override;

private:
    enum class Opening { Probe, LoggedIn, Closed };

    Opening open_connection();
    bool wait_for_bytes(uint32_t limit_ms);
    bool wait_for_bytes(uint32_t limit_ms, uint32_t start_ms);
    void answer_probe();
    void wait_while_logins_held();
    bool log_in(uint8_t first_byte);
    void quit_by_server();
    void command_loop();
    void start_message_pushes();
    bool send_quotes(std::span<const Tick> ticks);
    bool push_stored_messages();
    bool push_news(const std::vector<NewsRow>& items);
    bool push_mail();
    bool push_settings();
    bool push_transactions();

    ServerContext& context_;
    const ServerRole role_;
    std::unique_ptr<net::PacketStream> stream_;
    const uint32_t peer_address_;
    const uint32_t accepted_ms_;   // the clock's tick when the connection was accepted
    AccountRow account_;
    bool investor_ = false;
    net::LoginMode login_mode_ = net::LoginMode::TradeServer;
    bool message_pushes_ = false;
    bool login_data_done_ = false;
    bool news_wanted_ = true;
    std::optional<QuotedPrice> quoted_;
    std::atomic<bool> quit_requested_{false};
    int64_t last_news_id_ = 0;
    uint32_t last_message_poll_ = 0;
    bool crash_log_taken_ = false;
    int64_t last_transaction_id_ = 0;
    uint64_t seen_trade_changes_ = 0;
    uint64_t settings_version_ = 0;

    platform::Event wake_{platform::EventReset::Automatic};
    std::mutex queue_lock_;
    std::vector<Tick> queued_ticks_;
};

}  // namespace kb::server
