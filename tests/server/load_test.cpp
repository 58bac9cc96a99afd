// Many terminal sessions at once with quotes flowing, on loopback, bounded in count and
// time. Reports what it saw; asserts only that every session was held and every keep-alive
// answered, never a duration.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "market/symbol_record.h"
#include "net/compressed_block.h"
#include "net/login_packet.h"
#include "net/packet_stream.h"
#include "server/demo_server.h"
#include "tests/support/temp_folder.h"

namespace kb::server {
namespace {

using Steady = std::chrono::steady_clock;

constexpr int kSessions = 200;
constexpr int kClientThreads = 4;
constexpr auto kRunTime = std::chrono::seconds(3);

std::string load_config() {
    std::string instruments;
    const char* names[] = {"EURUSD", "GBPUSD", "USDCHF", "AUDUSD", "NZDUSD"};
    for (const char* name : names) {
        if (!instruments.empty()) instruments += ",";
        instruments += std::string(R"({"name": ")") + name +
                       R"(", "digits": 5, "point": 0.00001, "spread": 12, "start_price": 1.1, "tick_rate": 600,
                          "margin_currency": "EUR", "profit_currency": "USD", "quote_hours": "always"})";
    }
    return R"({"history_days": 1, "symbol_groups": ["Forex"],
      "quote_hours": {"always": {"sunday": ["00:00-24:00"], "monday": ["00:00-24:00"], "tuesday": ["00:00-24:00"],
                      "wednesday": ["00:00-24:00"], "thursday": ["00:00-24:00"], "friday": ["00:00-24:00"],
                      "saturday": ["00:00-24:00"]}},
      "groups": [{"name": "demo", "currency": "USD"}], "instruments": [)" +
           instruments + "]}";
}

struct ClientResult {
    int keep_alives = 0;
    int failures = 0;
    uint64_t quotes = 0;
    double worst_ms = 0;
};

// Reads n bytes as they arrive, polling every 0.2 ms: the stream's own reads pause 100 ms
// whenever the socket is momentarily empty, which would hide the server's latency.
bool read_arriving(net::PacketStream& stream, void* bytes, size_t n) {
    auto* out = static_cast<uint8_t*>(bytes);
    for (size_t done = 0; done < n;) {
        const size_t available = std::min(stream.bytes_available(), n - done);
        if (!stream.is_open()) return false;
        if (available == 0) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
            continue;
        }
        if (!stream.read(out + done, available)) return false;
        done += available;
    }
    return true;
}

// Reads pushed quotes until the keep-alive answer; false on anything else.
bool await_keep_alive(net::PacketStream& stream, uint64_t& quotes) {
    for (;;) {
        uint8_t command = 0;
        if (!read_arriving(stream, &command, 1)) return false;
        if (command == net::command_byte(net::Command::KeepAlive)) return true;
        uint8_t count = 0;
        market::TickRecord ticks[256];
        if (command != net::command_byte(net::Command::Quotes) || !read_arriving(stream, &count, 1) || count == 0 ||
            !read_arriving(stream, ticks, count * sizeof(market::TickRecord)))
            return false;
        quotes += count;
    }
}

// Each thread serves the sessions i with i % kClientThreads == t.
template <class Work>
void on_client_threads(Work work) {
    std::vector<std::thread> threads;
    for (int t = 0; t < kClientThreads; ++t) threads.emplace_back(work, t);
    for (std::thread& thread : threads) thread.join();
}

// Opens connections from 127.0.0.2 (loopback too, but another address for the server) as
// fast as it can, without sending anything, until stopped: at most kFloodHeld open at a
// time (the oldest is closed for a new one) and kFloodAttempts in all.
class Flood {
public:
    static constexpr size_t kFloodHeld = 1000;
    static constexpr int kFloodAttempts = 50000;

    explicit Flood(uint16_t port) : thread_([this, port] { run(port); }) {}
    ~Flood() {
        stop_ = true;
        thread_.join();
        for (int fd : open_) ::close(fd);
    }
    int attempts() const { return attempts_; }

private:
    void run(uint16_t port) {
        sockaddr_in server{};
        server.sin_family = AF_INET;
        server.sin_port = htons(port);
        server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = htonl(0x7F000002);
        for (; !stop_ && attempts_ < kFloodAttempts; ++attempts_) {
            if (open_.size() >= kFloodHeld) {
                ::close(open_.front());
                open_.erase(open_.begin());
            }
            const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            if (fd < 0) break;
            if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
                ::close(fd);
                break;
            }
            ::connect(fd, reinterpret_cast<sockaddr*>(&server), sizeof server);
            open_.push_back(fd);
        }
    }

    std::atomic<bool> stop_{false};
    std::atomic<int> attempts_{0};
    std::vector<int> open_;
    std::thread thread_;
};

enum class Flooded { No, Yes };

// The sessions one address may hold on a server with the default limits.
constexpr size_t kFloodShare = 256;

void serve_two_hundred_sessions(Flooded flooded) {
    std::string error;
    std::optional<ServerConfig> config = parse_server_config(load_config(), error);
    ASSERT_TRUE(config) << error;
    testing::TempFolder folder;
    std::unique_ptr<Storage> storage = Storage::open(folder.file("server.db"), error);
    ASSERT_TRUE(storage) << error;
    for (int i = 0; i < kSessions; ++i) {
        AccountRow account;
        account.login = 2000 + i;
        account.password_digest = net::md5("load");
        account.group = "demo";
        ASSERT_TRUE(storage->create_account(account));
    }
    std::mutex log_lock;
    std::vector<std::string> log_lines;
    ServerLog log(platform::system_clock(), [&](std::string_view line) {
        std::lock_guard guard(log_lock);
        log_lines.emplace_back(line);
    });
    DemoServer server(*config, *storage, platform::system_clock(), log);
    ASSERT_TRUE(server.start({"127.0.0.1", 0}, {"127.0.0.1", 0}, error)) << error;

    std::unique_ptr<Flood> flood;
    size_t flood_sessions = 0;
    if (flooded == Flooded::Yes) {
        flood = std::make_unique<Flood>(server.trade_port());
        // The flood has taken what it can before the terminals come.
        for (int i = 0; i < 300 && server.active_sessions() < kFloodShare; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        flood_sessions = server.active_sessions();
    }

    std::vector<std::unique_ptr<net::PacketStream>> streams(kSessions);
    std::atomic<int> logged_in{0};
    on_client_threads([&](int t) {
        for (int i = t; i < kSessions; i += kClientThreads) {
            auto stream = std::make_unique<net::PacketStream>(nullptr, platform::system_clock());
            if (!stream->connect("127.0.0.1:" + std::to_string(server.trade_port()), 443) ||
                net::log_in(*stream, 2000 + i, "load", net::LoginMode::TradeServer) != net::ReturnCode::Ok)
                continue;
            net::OutputBuffer& out = stream->output();
            // Quotes are served once the login data is through.
            out.reset();
            out.put_command(net::Command::AccountData);
            out.put_u32(0);
            if (!stream->send_output() || stream->read_byte() != 0 || !net::read_compressed(*stream, 262144).ok())
                continue;
            out.reset();
            out.put_command(net::Command::Subscription);
            out.put_u16(static_cast<uint16_t>(config->instruments.size()));
            for (uint16_t index = 0; index < config->instruments.size(); ++index) out.put_u16(index);
            if (!stream->send_output()) continue;
            streams[static_cast<size_t>(i)] = std::move(stream);
            ++logged_in;
        }
    });
    ASSERT_EQ(logged_in, kSessions);
    EXPECT_GE(server.active_sessions(), static_cast<size_t>(kSessions));

    std::vector<ClientResult> results(kClientThreads);
    const Steady::time_point end = Steady::now() + kRunTime;
    on_client_threads([&](int t) {
        ClientResult& result = results[static_cast<size_t>(t)];
        while (Steady::now() < end) {
            for (int i = t; i < kSessions; i += kClientThreads) {
                net::PacketStream& stream = *streams[static_cast<size_t>(i)];
                const Steady::time_point sent = Steady::now();
                if (!stream.send_byte(net::Command::KeepAlive) || !await_keep_alive(stream, result.quotes)) {
                    ++result.failures;
                    continue;
                }
                ++result.keep_alives;
                result.worst_ms = std::max(
                    result.worst_ms, std::chrono::duration<double, std::milli>(Steady::now() - sent).count());
            }
        }
    });

    ClientResult total;
    for (const ClientResult& result : results) {
        total.keep_alives += result.keep_alives;
        total.failures += result.failures;
        total.quotes += result.quotes;
        total.worst_ms = std::max(total.worst_ms, result.worst_ms);
    }
    const double seconds = std::chrono::duration<double>(kRunTime).count();
    std::printf("sessions held: %zu, keep-alives answered: %d, quotes delivered: %.0f/s, worst keep-alive: %.1f ms\n",
                server.active_sessions(), total.keep_alives, static_cast<double>(total.quotes) / seconds,
                total.worst_ms);
    if (flood) {
        std::printf("flooding address: %d connections opened, %zu sessions held before the terminals came\n",
                    flood->attempts(), flood_sessions);
        std::lock_guard guard(log_lock);
        EXPECT_TRUE(std::any_of(log_lines.begin(), log_lines.end(), [](const std::string& line) {
            return line.find("127.0.0.2 holds 256 connections, more are refused") != std::string::npos;
        }));
    }
    EXPECT_EQ(total.failures, 0);
    EXPECT_GE(total.keep_alives, kSessions);
    EXPECT_GT(total.quotes, 0u);
    EXPECT_GE(server.active_sessions(), static_cast<size_t>(kSessions));
    flood.reset();
}

TEST(Load, TwoHundredSessionsWithQuotesAnswerEveryKeepAlive) { serve_two_hundred_sessions(Flooded::No); }

TEST(Load, TwoHundredSessionsAreServedWhileAnotherAddressFloodsTheServer) {
    serve_two_hundred_sessions(Flooded::Yes);
}


}  // namespace
}  // namespace kb::server
