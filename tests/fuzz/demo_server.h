#pragma once
// A demo-server in-process: its configuration, storage with one account and one news
// item, quote feed, generated chart bars and session context, made once per process.
// Sessions are served on socket pairs, without a listener.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "net/digest.h"
#include "net/login_packet.h"
#include "net/packet_stream.h"
#include "server/bar_history.h"
#include "server/client_session.h"
#include "server/server_log.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/support/socket_pair.h"

namespace kb::fuzzing {

inline const char* const kDemoConfig = R"({
  "history_days": 2,
  "symbol_groups": ["Forex"],
  "quote_hours": {"always": {"sunday": ["00:00-24:00"], "monday": ["00:00-24:00"], "tuesday": ["00:00-24:00"],
                  "wednesday": ["00:00-24:00"], "thursday": ["00:00-24:00"], "friday": ["00:00-24:00"],
                  "saturday": ["00:00-24:00"]}},
  "groups": [{"name": "demo", "currency": "USD", "news": 2}],
  "instruments": [
    {"name": "EURUSD", "digits": 5, "point": 0.00001, "spread": 12, "start_price": 1.1, "margin_currency": "EUR",
     "profit_currency": "USD", "quote_hours": "always"},
    {"name": "XAUUSD", "digits": 2, "point": 0.01, "spread": 40, "start_price": 2050, "margin_currency": "XAU",
     "profit_currency": "USD", "quote_hours": "always"}]
})";

inline constexpr int32_t kDemoLogin = 1001;
inline constexpr char kDemoPassword[] = "secret1";

inline server::ServerConfig parsed_config() {
    std::string error;
    std::optional<server::ServerConfig> config = server::parse_server_config(kDemoConfig, error);
    if (!config) {
        std::fprintf(stderr, "configuration: %s\n", error.c_str());
        std::abort();
    }
    return std::move(*config);
}

struct DemoServer {
    server::ServerConfig config = parsed_config();
    std::unique_ptr<server::Storage> storage;
    std::unique_ptr<server::QuoteFeed> feed;
    std::unique_ptr<server::BarHistory> history;
    std::unique_ptr<server::ServerLog> log;
    std::unique_ptr<server::ServerContext> context;

    DemoServer() {
        std::string error;
        const std::string path = fuzzing::scratch_folder("serverfuzz") + "/server.db";
        storage = server::Storage::open(path, error);
        if (!storage) std::abort();
        server::AccountRow account;
        account.login = kDemoLogin;
        account.password_digest = net::md5(kDemoPassword);
        account.name = "Demo Trader";
        account.group = "demo";
        storage->create_account(account, 1000);
        storage->add_news(server::NewsRow{0, 1'700'000'000, "subject", "fx", "body"});
        platform::Clock& clock = platform::system_clock();
        feed = std::make_unique<server::QuoteFeed>(
            server::PriceEngine(config.instruments, 1, clock.unix_time() * 1000), clock);
        history = std::make_unique<server::BarHistory>(config, clock.unix_time());
        history->generate();
        log = std::make_unique<server::ServerLog>(clock, [](std::string_view) {});
        context.reset(new server::ServerContext{config, *storage, *feed, clock, *log, {10000, 60000, 1}});
        context->history = history.get();
        context->message_poll_ms = 0;
    }

    // A session of that door served on one end of a socket pair, whose other end becomes
    // the client's; run() serves it until the client's end closes. Its stream waits in real
    // time for a client that is slow to answer, as in the login's challenge.
    std::unique_ptr<server::ClientSession> session(server::ServerRole role, platform::Socket& client_end) {
        testing::SocketPair pair;
        auto server_end = std::make_unique<net::PacketStream>(nullptr, platform::system_clock());
        server_end->adopt(std::move(pair.reader));
        client_end = std::move(pair.writer);
        return std::make_unique<server::ClientSession>(*context, role, std::move(server_end), 0x0100007F);
    }
};

}  // namespace kb::fuzzing
