#include <gtest/gtest.h>

#include "market/symbol_record.h"
#include "net/packet_stream.h"
#include "net/protocol.h"
#include "platform/socket.h"
#include "server/client_session.h"
#include "tests/support/temp_folder.h"

namespace kb::server {
namespace {

const std::string kConfig = R"({
  "symbol_groups": ["Forex"],
  "quote_hours": {"always": {"sunday": ["00:00-24:00"], "monday": ["00:00-24:00"], "tuesday": ["00:00-24:00"],
                  "wednesday": ["00:00-24:00"], "thursday": ["00:00-24:00"], "friday": ["00:00-24:00"],
                  "saturday": ["00:00-24:00"]}},
  "groups": [{"name": "demo", "currency": "USD"}],
  "instruments": [
    {"name": "EURUSD", "digits": 5, "point": 0.00001, "spread": 12, "start_price": 1.1, "tick_rate": 600,
     "margin_currency": "EUR", "profit_currency": "USD", "quote_hours": "always"},
    {"name": "USDJPY", "digits": 3, "point": 0.001, "spread": 14, "start_price": 151.2, "tick_rate": 600,
     "margin_currency": "USD", "profit_currency": "JPY", "quote_hours": "always"}]
})";

struct Recorder : TickSubscriber {
    std::vector<Tick> ticks;
    void on_ticks(std::span<const Tick> delivered) override { ticks.insert(ticks.end(), delivered.begin(), delivered.end()); }
};

TEST(SessionQuotes, SubscribedTicksArriveAsQuotePackets) {
    std::string error;
    std::optional<ServerConfig> config = parse_server_config(kConfig, error);
    ASSERT_TRUE(config) << error;
    testing::TempFolder folder;
    std::unique_ptr<Storage> storage = Storage::open(folder.file("server.db"), error);
    ASSERT_TRUE(storage) << error;
    platform::ManualClock clock(1'704'103'200);   // a Monday, 10:00
    ServerLog log(clock, [](std::string_view) {});
    QuoteFeed feed(PriceEngine(config->instruments, 5, clock.unix_time() * 1000), clock);
    ServerContext context{*config, *storage, feed, clock, log, {}};

    platform::Socket listener;
    ASSERT_TRUE(listener.listen("127.0.0.1", 0));
    net::PacketStream client(nullptr, platform::system_clock());
    ASSERT_TRUE(client.connect("127.0.0.1:" + std::to_string(listener.local_port()), 443));
    auto server_end = std::make_unique<net::PacketStream>(nullptr, platform::system_clock());
    server_end->adopt(listener.accept(5000));
    ClientSession session(context, ServerRole::Trade, std::move(server_end), 0);

    Recorder expected;
    feed.subscribe(expected, {1});
    session.set_subscription({1});
    clock.advance_ms(2 * 60 * 1000);
    feed.pump();
    ASSERT_GT(expected.ticks.size(), 255u) << "enough for several packets";
    ASSERT_TRUE(session.push_queued_quotes());

    size_t received = 0;
    while (received < expected.ticks.size()) {
        ASSERT_EQ(client.read_byte(), net::command_byte(net::Command::Quotes));
        uint8_t count = client.read_byte();
        ASSERT_GE(count, 1);
        ASSERT_LE(received + count, expected.ticks.size());
        // Each packet carries its ticks newest first.
        for (int i = 0; i < count; ++i) {
            market::TickRecord record;
            ASSERT_TRUE(client.read(&record, sizeof record));
            const Tick& tick = expected.ticks[received + count - 1 - i];
            const uint16_t index = record.symbol_index;
            const int32_t time = record.time;
            const float bid = record.bid, ask = record.ask;
            EXPECT_EQ(index, 1);
            EXPECT_EQ(time, tick.time);
            EXPECT_EQ(bid, static_cast<float>(tick.bid));
            EXPECT_EQ(ask, static_cast<float>(tick.ask));
        }
        received += count;
    }
    EXPECT_EQ(client.bytes_available(), 0u) << "nothing for the other instrument";
    feed.unsubscribe(expected);
}

}  // namespace
}  // namespace kb::server
