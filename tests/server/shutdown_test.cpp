#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "net/login_packet.h"
#include "net/packet_stream.h"
#include "net/protocol.h"
#include "server/demo_server.h"
#include "tests/support/temp_folder.h"

namespace kb::server {
namespace {

// Twenty instruments and a year of chart history: the first start generates for seconds.
std::string long_history_config() {
    std::string instruments;
    for (int i = 0; i < 20; ++i) {
        if (!instruments.empty()) instruments += ",";
        instruments += R"({"name": "PAIR)" + std::to_string(i) +
                       R"(", "digits": 5, "point": 0.00001, "spread": 12, "start_price": 1.1,
                          "margin_currency": "EUR", "profit_currency": "USD", "quote_hours": "always"})";
    }
    return R"({"history_days": 366, "symbol_groups": ["Forex"],
      "quote_hours": {"always": {"sunday": ["00:00-24:00"], "monday": ["00:00-24:00"], "tuesday": ["00:00-24:00"],
                      "wednesday": ["00:00-24:00"], "thursday": ["00:00-24:00"], "friday": ["00:00-24:00"],
                      "saturday": ["00:00-24:00"]}},
      "groups": [{"name": "demo", "currency": "USD"}], "instruments": [)" +
           instruments + "]}";
}

TEST(Shutdown, StopDuringTheFirstGenerationDoesNotWaitForItWithAChartRequestPending) {
    testing::TempFolder folder;
    std::string error;
    std::optional<ServerConfig> config = parse_server_config(long_history_config(), error);
    ASSERT_TRUE(config) << error;
    std::unique_ptr<Storage> storage = Storage::open(folder.file("server.db"), error);
    ASSERT_TRUE(storage) << error;
    AccountRow account;
    account.login = 1001;
    account.password_digest = net::md5("secret1");
    account.name = "Tester";
    account.group = "demo";
    ASSERT_TRUE(storage->create_account(account));
    platform::ManualClock clock{1'704'110'400};
    ServerLog log{clock, [](std::string_view) {}};
    DemoServer server(*config, *storage, clock, log, SessionLimits{10000, 60000, 5});
    ASSERT_TRUE(server.start({"127.0.0.1", 0}, {"127.0.0.1", 0}, error)) << error;

    // A chart request waits for the generation to finish.
    net::PacketStream stream(nullptr, platform::system_clock());
    ASSERT_TRUE(stream.connect("127.0.0.1:" + std::to_string(server.history_port()), 443));
    ASSERT_EQ(net::log_in(stream, 1001, "", net::LoginMode::HistoryServer), net::ReturnCode::Ok);
    net::OutputBuffer& out = stream.output();
    out.reset();
    out.put_command(net::Command::ChartHistory);
    const uint16_t no_requests = 0;
    out.put_bytes(&no_requests, sizeof no_requests);
    ASSERT_TRUE(stream.send_output());
    std::this_thread::sleep_for(std::chrono::milliseconds(200));

    server.stop();
    const int last = static_cast<int>(config->instruments.size()) - 1;
    EXPECT_TRUE(server.history().bars(last, 1, 0, 1'704'110'400 - 86400, 1).empty())
        << "the stop waited until the last instrument's year was generated";
}

}  // namespace
}  // namespace kb::server
