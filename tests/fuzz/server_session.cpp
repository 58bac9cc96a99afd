// Random client byte streams after a valid login, on both doors: the session may close the
// connection but must never crash, hang or read out of bounds.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include "net/login_packet.h"
#include "net/packet_stream.h"
#include "platform/socket.h"
#include "server/bar_history.h"
#include "server/client_session.h"

namespace {

using namespace kb;

const char* const kConfig = R"({
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

constexpr int32_t kLogin = 1001;
constexpr char kPassword[] = "secret1";

// Everything a session needs, made once per process.
server::ServerConfig parsed_config() {
    std::string error;
    std::optional<server::ServerConfig> config = server::parse_server_config(kConfig, error);
    if (!config) {
        std::fprintf(stderr, "configuration: %s\n", error.c_str());
        std::abort();
    }
    return std::move(*config);
}

struct Harness {
    server::ServerConfig config = parsed_config();
    std::unique_ptr<server::Storage> storage;
    std::unique_ptr<server::QuoteFeed> feed;
    std::unique_ptr<server::BarHistory> history;
    std::unique_ptr<server::ServerLog> log;
    std::unique_ptr<server::ServerContext> context;
    platform::Socket listener;

    Harness() {
        std::string error;
        std::string path = "/tmp/fuzz_server_session_" + std::to_string(getpid()) + ".db";
        std::remove(path.c_str());
        storage = server::Storage::open(path, error);
        if (!storage) std::abort();
        server::AccountRow account;
        account.login = kLogin;
        account.password_digest = net::md5(kPassword);
        account.group = "demo";
        storage->create_account(account, 1000);
        storage->add_news(server::NewsRow{0, 1'700'000'000, "subject", "fx", "body"});
        platform::Clock& clock = platform::system_clock();
        feed = std::make_unique<server::QuoteFeed>(
            server::PriceEngine(config.instruments, 1, clock.unix_time() * 1000), clock);
        history = std::make_unique<server::BarHistory>(config, clock.unix_time());
        history->generate();
        log = std::make_unique<server::ServerLog>(clock, [](std::string_view) {});
        context.reset(new server::ServerContext{config, *storage, *feed, clock, *log, {10000, 30, 1}});
        context->history = history.get();
        context->message_poll_ms = 0;
        if (!listener.listen("127.0.0.1", 0)) std::abort();
    }
};

Harness& harness() {
    static Harness instance;
    return instance;
}

}  // namespace

// The shared state lives for the whole run; made before the first input is traced.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    harness();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    Harness& h = harness();
    const bool history_door = data[0] & 1;
    const net::LoginMode mode = history_door ? net::LoginMode::HistoryServer : net::LoginMode::TradeServer;

    net::PacketStream client(nullptr);
    if (!client.connect("127.0.0.1:" + std::to_string(h.listener.local_port()), 443)) return 0;
    platform::ManualClock retry_clock;   // the server side's would-block pauses cost no real time
    auto server_end = std::make_unique<net::PacketStream>(nullptr, retry_clock);
    server_end->adopt(h.listener.accept(5000));
    server::ClientSession session(*h.context, history_door ? server::ServerRole::History : server::ServerRole::Trade,
                                  std::move(server_end), 0x0100007F);
    std::atomic<bool> done{false};
    std::thread serving([&] {
        session.run();
        done = true;
    });

    if (net::log_in(client, kLogin, history_door ? "" : kPassword, mode) == 0) {
        std::vector<uint8_t> bytes(data + 1, data + size);
        client.send_packet(bytes.data(), bytes.size());
        // Drain the answers so the server never blocks on a full socket, until it gives up.
        std::vector<uint8_t> sink;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!done && client.is_open() && std::chrono::steady_clock::now() < deadline) {
            size_t available = client.bytes_available();
            if (available == 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                continue;
            }
            sink.resize(available);
            client.receive_exactly(sink.data(), available);
        }
    }
    client.close();
    serving.join();
    return 0;
}
