// A 16000-bar chart request answered by the demo server over loopback, request to last byte
// read, against a plain memcpy of the answer's bytes.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include "market/bar_record.h"
#include "net/login_packet.h"
#include "net/packet_stream.h"
#include "server/demo_server.h"

namespace {

using namespace kb;

constexpr int16_t kBars = 16000;

const char* const kConfig = R"({
  "history_days": 14,
  "symbol_groups": ["Forex"],
  "quote_hours": {"always": {"sunday": ["00:00-24:00"], "monday": ["00:00-24:00"], "tuesday": ["00:00-24:00"],
                  "wednesday": ["00:00-24:00"], "thursday": ["00:00-24:00"], "friday": ["00:00-24:00"],
                  "saturday": ["00:00-24:00"]}},
  "groups": [{"name": "demo", "currency": "USD"}],
  "instruments": [{"name": "EURUSD", "digits": 5, "point": 0.00001, "spread": 12, "start_price": 1.1, "tick_rate": 60,
                   "margin_currency": "EUR", "profit_currency": "USD", "quote_hours": "always"}]
})";

server::ServerConfig parsed_config() {
    std::string error;
    std::optional<server::ServerConfig> config = server::parse_server_config(kConfig, error);
    if (!config) {
        std::fprintf(stderr, "configuration: %s\n", error.c_str());
        std::abort();
    }
    return std::move(*config);
}

struct LoopbackServer {
    server::ServerConfig config = parsed_config();
    std::unique_ptr<server::Storage> storage;
    platform::ManualClock clock{1'704'103'200};
    server::ServerLog log{clock, [](std::string_view) {}};
    std::unique_ptr<server::DemoServer> demo;
    net::PacketStream client{nullptr, platform::system_clock()};

    LoopbackServer() {
        std::string error;
        const std::string path = "/tmp/chart_request_bench_" + std::to_string(getpid()) + ".db";
        std::remove(path.c_str());
        storage = server::Storage::open(path, error);
        server::AccountRow account;
        account.login = 1001;
        account.password_digest = net::md5("secret1");
        account.group = "demo";
        storage->create_account(account);
        demo = std::make_unique<server::DemoServer>(config, *storage, clock, log);
        demo->start({"127.0.0.1", 0}, {"127.0.0.1", 0}, error);
        demo->history().wait_ready();
        client.connect("127.0.0.1:" + std::to_string(demo->trade_port()), 443);
        net::log_in(client, 1001, "secret1", net::LoginMode::TradeServer);
    }
};

// Reads n bytes as they arrive. The stream's own reads pause 100 ms whenever the socket is
// momentarily empty, which would measure that pause instead of the server.
bool read_arriving(net::PacketStream& client, void* bytes, size_t n) {
    auto* out = static_cast<uint8_t*>(bytes);
    for (size_t done = 0; done < n;) {
        const size_t available = std::min(client.bytes_available(), n - done);
        if (!client.is_open()) return false;
        if (available == 0) continue;
        if (!client.read(out + done, available)) return false;
        done += available;
    }
    return true;
}

// Sends the request and reads the whole answer; the bar count read.
int32_t request_chart(net::PacketStream& client, std::vector<market::WireBar28>& bars) {
    const market::ChartRequest request{"EURUSD", 1, 0, kBars};
    net::OutputBuffer& out = client.output();
    out.reset();
    out.put_command(net::Command::ChartHistory);
    out.put_u16(1);
    out.put_bytes(&request, sizeof request);
    uint8_t command = 0;
    market::ChartHistoryHeader header{};
    if (!client.send_output() || !read_arriving(client, &command, 1) ||
        command != net::command_byte(net::Command::ChartHistory) || !read_arriving(client, &header, sizeof header) ||
        header.bar_count > kBars)
        return -1;
    bars.resize(static_cast<size_t>(header.bar_count));
    if (!read_arriving(client, bars.data(), bars.size() * sizeof bars[0])) return -1;
    return header.bar_count;
}

void BM_ChartRequest16000Bars(benchmark::State& state) {
    static LoopbackServer server;
    std::vector<market::WireBar28> bars;
    for (auto _ : state) {
        if (request_chart(server.client, bars) != kBars) {
            state.SkipWithError("the server did not answer 16000 bars");
            break;
        }
        benchmark::DoNotOptimize(bars.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kBars * sizeof(market::WireBar28));
}
BENCHMARK(BM_ChartRequest16000Bars)->Unit(benchmark::kMillisecond);

void BM_MemcpyOfTheSameBytes(benchmark::State& state) {
    std::vector<uint8_t> from(kBars * sizeof(market::WireBar28), 7), to(from.size());
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), from.size());
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(from.size()));
}
BENCHMARK(BM_MemcpyOfTheSameBytes)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
