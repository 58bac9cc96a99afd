#include <gtest/gtest.h>

#include <csignal>
#include <chrono>
#include <thread>

#include "net/login_packet.h"
#include "net/packet_stream.h"
#include "platform/socket.h"
#include "server/storage.h"
#include "tests/server/run_process.h"
#include "tests/support/temp_folder.h"

namespace kb::server {
namespace {

using testing::BackgroundProcess;
using testing::ProcessResult;
using testing::run_process;

TEST(ServeProcess, ServesUntilTerminatedAndKeepsTheState) {
    kb::testing::TempFolder folder;
    const std::string db = folder.file("demo.db");
    ProcessResult created = run_process({DEMO_SERVER_PATH, "create-account", "--db", db, "--config",
                                         DEFAULT_CONFIG_PATH, "--login", "1001"},
                                        "secret1\n");
    ASSERT_EQ(created.exit_code, 0) << created.err;

    // Two free ports, taken from the system and handed to the server.
    platform::Socket pick_trade, pick_history;
    ASSERT_TRUE(pick_trade.listen("127.0.0.1", 0) && pick_history.listen("127.0.0.1", 0));
    const std::string trade = "127.0.0.1:" + std::to_string(pick_trade.local_port());
    const std::string history = "127.0.0.1:" + std::to_string(pick_history.local_port());
    pick_trade.close();
    pick_history.close();

    BackgroundProcess server({DEMO_SERVER_PATH, "--db", db, "--config", DEFAULT_CONFIG_PATH, "--trade-listen", trade,
                              "--history-listen", history});
    ASSERT_TRUE(server.started());
    net::ReturnCode code = net::ReturnCode::NoConnection;
    for (int attempt = 0; attempt < 100 && code != net::ReturnCode::Ok; ++attempt) {
        net::PacketStream stream(nullptr, platform::system_clock());
        if (stream.connect(trade, 443)) code = net::log_in(stream, 1001, "secret1", net::LoginMode::TradeServer);
        if (code != net::ReturnCode::Ok) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_EQ(code, net::ReturnCode::Ok);
    net::PacketStream history_stream(nullptr, platform::system_clock());
    ASSERT_TRUE(history_stream.connect(history, 443));
    EXPECT_EQ(net::log_in(history_stream, 1001, "", net::LoginMode::HistoryServer), net::ReturnCode::Ok);

    ProcessResult stopped = server.stop(SIGTERM);
    EXPECT_EQ(stopped.exit_code, 0) << "an orderly stop";
    EXPECT_NE(stopped.err.find("'1001': logged in (trade server)"), std::string::npos) << stopped.err;
    EXPECT_NE(stopped.err.find("stopping"), std::string::npos) << stopped.err;

    std::string error;
    std::unique_ptr<Storage> storage = Storage::open(db, error);
    ASSERT_TRUE(storage) << error;
    EXPECT_GT(storage->account(1001)->last_login_time, 0) << "the login outlives the server";
}

TEST(ServeProcess, BadListenAddressIsRefused) {
    kb::testing::TempFolder folder;
    ProcessResult result = run_process({DEMO_SERVER_PATH, "--db", folder.file("demo.db"), "--config",
                                        DEFAULT_CONFIG_PATH, "--trade-listen", "127.0.0.1:99999"});
    EXPECT_EQ(result.exit_code, 1);
    EXPECT_NE(result.err.find("--trade-listen \"127.0.0.1:99999\" is not HOST:PORT"), std::string::npos) << result.err;
}

}  // namespace
}  // namespace kb::server
