#pragma once
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "net/compressed_block.h"
#include "net/login_packet.h"
#include "net/packet_stream.h"
#include "server/demo_server.h"
#include "tests/support/temp_folder.h"
#include "trade/account_record.h"

namespace kb::server::testing_support {

// Two instruments quoting around the clock, two groups (news with bodies, news on
// request), accounts 1001 and 1003 in "demo", 1005 alone in "reader". A history version
// of 0 leaves the account data reporting the build.
inline std::string login_data_config(int build = 445, int history_version = 0) {
    return R"({
  "server": {"name": "Loopback-Data", "company": "Loopback Brokers", "identity": 9, "build": )" +
           std::to_string(build) + R"(, "history_version": )" + std::to_string(history_version) + R"(},
  "update": {"version": 401, "build": 500},
  "history_days": 3,
  "symbol_groups": ["Forex", "Metals"],
  "quote_hours": {"always": {"sunday": ["00:00-24:00"], "monday": ["00:00-24:00"], "tuesday": ["00:00-24:00"],
                  "wednesday": ["00:00-24:00"], "thursday": ["00:00-24:00"], "friday": ["00:00-24:00"],
                  "saturday": ["00:00-24:00"]}},
  "groups": [{"name": "demo", "currency": "USD", "leverage": 200, "news": 1},
             {"name": "reader", "currency": "EUR", "news": 2}],
  "instruments": [
    {"name": "EURUSD", "digits": 5, "point": 0.00001, "spread": 12, "start_price": 1.1, "tick_rate": 600,
     "margin_currency": "EUR", "profit_currency": "USD", "quote_hours": "always"},
    {"name": "XAUUSD", "digits": 2, "point": 0.01, "spread": 40, "start_price": 2050, "tick_rate": 600,
     "contract_size": 100, "symbol_group": 1, "margin_currency": "XAU", "profit_currency": "USD",
     "quote_hours": "always"}]
})";
}

// A running server on free loopback ports with its database in a temporary folder; the
// server's clock is manual, the session threads run in real time.
class LoginDataServer : public ::testing::Test {
protected:
    void SetUp() override { start(login_data_config()); }

    void start(const std::string& config_text) {
        server.reset();
        storage.reset();
        std::string error;
        config = parse_server_config(config_text, error);
        ASSERT_TRUE(config) << error;
        storage = Storage::open(folder.file("server.db"), error);
        ASSERT_TRUE(storage) << error;
        add_account(1001, "secret1", "demo", "Ann Example", 5000);
        add_account(1003, "secret3", "demo", "Bob Example", 0);
        add_account(1005, "secret5", "reader", "Cy Example", 0);
        server = std::make_unique<DemoServer>(*config, *storage, clock, log, SessionLimits{10000, 60000, 5});
        ASSERT_TRUE(server->start({"127.0.0.1", 0}, {"127.0.0.1", 0}, error)) << error;
        server->history().wait_ready();
    }

    void add_account(int32_t login, const std::string& password, const std::string& group, const std::string& name,
                     double deposit) {
        if (storage->account(login)) return;
        AccountRow account;
        account.login = login;
        account.password_digest = net::md5(password);
        account.name = name;
        account.group = group;
        account.leverage = 200;
        account.created = clock.unix_time() - 3600;
        ASSERT_TRUE(storage->create_account(account, deposit));
    }

    // A logged-in connection (trade server door unless the mode is the history server's).
    std::unique_ptr<net::PacketStream> logged_in(int32_t login, const std::string& password,
                                                 net::LoginMode mode = net::LoginMode::TradeServer) {
        auto stream = std::make_unique<net::PacketStream>(nullptr, platform::system_clock());
        const uint16_t port = mode == net::LoginMode::HistoryServer ? server->history_port() : server->trade_port();
        EXPECT_TRUE(stream->connect("127.0.0.1:" + std::to_string(port), 443));
        EXPECT_EQ(net::log_in(*stream, login, password, mode), net::ReturnCode::Ok);
        return stream;
    }

    // Logged in and past the account data, asked for in the mode, after which the server
    // pushes.
    std::unique_ptr<net::PacketStream> terminal(int32_t login, const std::string& password,
                                                net::LoginMode mode = net::LoginMode::TradeServer,
                                                uint32_t account_data_mode = trade::kAccountDataFull) {
        auto stream = logged_in(login, password, mode);
        EXPECT_TRUE(send(*stream, [&](net::OutputBuffer& out) {
            out.put_command(net::Command::AccountData);
            out.put_u32(account_data_mode);
        }));
        EXPECT_EQ(stream->read_byte(), 0);
        EXPECT_TRUE(net::read_compressed(*stream, 262144).ok());
        return stream;
    }

    // Lets the sessions' next look at the database come due.
    void next_look() { clock.advance_ms(1500); }

    static bool send(net::PacketStream& stream, const std::function<void(net::OutputBuffer&)>& fill) {
        net::OutputBuffer& out = stream.output();
        out.reset();
        fill(out);
        return stream.send_output();
    }

    // The keep-alive round trip: proves that nothing unread was left before it.
    static void expect_in_step(net::PacketStream& stream) {
        ASSERT_TRUE(stream.send_byte(net::Command::KeepAlive));
        EXPECT_EQ(stream.read_byte(), net::command_byte(net::Command::KeepAlive));
    }

    template <class Record>
    static std::vector<Record> records(const net::CompressedBlock& block) {
        EXPECT_EQ(block.size % sizeof(Record), 0u);
        std::vector<Record> out(block.size / sizeof(Record));
        if (!out.empty()) std::memcpy(out.data(), block.bytes.get(), out.size() * sizeof(Record));
        return out;
    }

    testing::TempFolder folder;
    platform::ManualClock clock{1'704'103'200};   // Monday 2024-01-01 10:00
    ServerLog log{clock, [](std::string_view) {}};
    std::optional<ServerConfig> config;
    std::unique_ptr<Storage> storage;
    std::unique_ptr<DemoServer> server;
};

// Waits in real time for a condition, at most 5 s.
inline bool eventually(const std::function<bool()>& condition) {
    for (int i = 0; i < 500; ++i) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return condition();
}

}  // namespace kb::server::testing_support
