#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <mutex>
#include <thread>

#include "net/login_challenge.h"
#include "net/login_packet.h"
#include "net/packet_stream.h"
#include "net/protocol.h"
#include "net/scramble.h"
#include "platform/socket.h"
#include "server/demo_server.h"
#include "tests/support/temp_folder.h"

namespace kb::server {
namespace {

using net::LoginMode;
using net::ReturnCode;

const std::string kConfig = R"({
  "server": {"name": "Loopback-Test", "identity": 7, "build": 445},
  "symbol_groups": ["Forex"],
  "quote_hours": {"always": {"sunday": ["00:00-24:00"], "monday": ["00:00-24:00"], "tuesday": ["00:00-24:00"],
                  "wednesday": ["00:00-24:00"], "thursday": ["00:00-24:00"], "friday": ["00:00-24:00"],
                  "saturday": ["00:00-24:00"]}},
  "groups": [{"name": "demo", "currency": "USD"}],
  "instruments": [{"name": "EURUSD", "digits": 5, "point": 0.00001, "spread": 12, "start_price": 1.1,
                   "margin_currency": "EUR", "profit_currency": "USD", "quote_hours": "always"}]
})";

// Waits in real time (the server's threads run on their own) for a condition, at most 5 s.
bool eventually(const std::function<bool()>& condition) {
    for (int i = 0; i < 500; ++i) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return condition();
}

// True once the peer has closed the raw socket (end of stream or reset), within 5 s.
bool peer_closed(platform::Socket& socket) {
    return eventually([&] {
        uint8_t byte = 0;
        size_t received = 0;
        platform::IoResult result = socket.receive_some(&byte, 1, received);
        return result == platform::IoResult::Closed || result == platform::IoResult::Failed;
    });
}

// A running server on free loopback ports, a database with three accounts, a manual clock
// for its limits and a captured log.
class Serving : public ::testing::Test {
protected:
    void SetUp() override { start_server(kConfig); }

    void start_server(const std::string& config_text, size_t max_sessions = DemoServer::kDefaultMaxSessions) {
        std::string error;
        config = parse_server_config(config_text, error);
        ASSERT_TRUE(config) << error;
        storage = Storage::open(folder.file("server.db"), error);
        ASSERT_TRUE(storage) << error;
        add_account(1001, "secret1", "reader1", true);
        add_account(1002, "secret2", "", false);
        server = std::make_unique<DemoServer>(*config, *storage, clock, log, SessionLimits{10000, 60000, 5},
                                              max_sessions);
        ASSERT_TRUE(server->start({"127.0.0.1", 0}, {"127.0.0.1", 0}, error)) << error;
    }

    void add_account(int32_t login, const std::string& password, const std::string& investor, bool enabled) {
        if (storage->account(login)) return;
        AccountRow account;
        account.login = login;
        account.password_digest = net::md5(password);
        if (!investor.empty()) account.investor_digest = net::md5(investor);
        account.name = "Tester";
        account.group = "demo";
        account.enabled = enabled;
        ASSERT_TRUE(storage->create_account(account));
    }

    std::string trade_address() const { return "127.0.0.1:" + std::to_string(server->trade_port()); }

    std::unique_ptr<net::PacketStream> connect(uint16_t port) {
        auto stream = std::make_unique<net::PacketStream>(nullptr, platform::system_clock());
        EXPECT_TRUE(stream->connect("127.0.0.1:" + std::to_string(port), 443));
        return stream;
    }

    platform::Socket raw_connect() {
        platform::Socket socket;
        EXPECT_TRUE(socket.connect("127.0.0.1", server->trade_port()));
        return socket;
    }

    // Sends a login packet made with sent_password and reads the reply code with the key
    // of key_password (the one the server holds), as only that decodes a refusal.
    int refused_code(int32_t login, const std::string& sent_password, const std::string& key_password,
                     LoginMode mode = LoginMode::TradeServer) {
        auto stream = connect(mode == LoginMode::HistoryServer ? server->history_port() : server->trade_port());
        net::LoginPacketBytes packet = net::build_login_packet(login, net::login_key(mode, sent_password), mode);
        if (!stream->send_all(packet.data(), packet.size())) return -1;
        stream->set_key(net::login_key(mode, key_password));
        stream->reset_scrambling();
        return stream->read_byte();
    }

    bool logged(const std::string& text) {
        std::lock_guard guard(log_lock);
        for (const std::string& line : log_lines) {
            if (line.find(text) != std::string::npos) return true;
        }
        return false;
    }

    testing::TempFolder folder;
    platform::ManualClock clock{1'704'110'400};
    std::mutex log_lock;
    std::vector<std::string> log_lines;
    ServerLog log{clock, [this](std::string_view line) {
                      std::lock_guard guard(log_lock);
                      log_lines.emplace_back(line);
                  }};
    std::optional<ServerConfig> config;
    std::unique_ptr<Storage> storage;
    std::unique_ptr<DemoServer> server;
};

TEST_F(Serving, ProbeIsAnsweredWithTheNameLine) {
    auto stream = connect(server->trade_port());
    ASSERT_TRUE(stream->send_all(net::kServerProbeRequest.data(), net::kServerProbeRequest.size()));
    std::string line;
    ASSERT_TRUE(stream->receive_line(line, 500));
    EXPECT_EQ(line, "Kestrelbay Loopback-Test build 445");
    EXPECT_TRUE(stream->send_all(net::kTextQuit.data(), net::kTextQuit.size()));
    EXPECT_TRUE(eventually([&] { return server->active_sessions() == 0; }));
}

TEST_F(Serving, LoginModesAcceptedWithBuildAndIdentity) {
    auto trade = connect(server->trade_port());
    ASSERT_EQ(net::log_in(*trade, 1001, "secret1", LoginMode::TradeServer), net::ReturnCode::Ok) << "with the challenge (build 445)";
    EXPECT_EQ(trade->server_build(), 445);
    EXPECT_EQ(trade->server_identity(), 7u);

    auto channel = connect(server->trade_port());
    EXPECT_EQ(net::log_in(*channel, 1001, "secret1", LoginMode::TradeChannel), net::ReturnCode::Ok);
    auto investor = connect(server->trade_port());
    EXPECT_EQ(net::log_in(*investor, 1001, "reader1", LoginMode::TradeServer), net::ReturnCode::Ok);
    auto history = connect(server->history_port());
    EXPECT_EQ(net::log_in(*history, 1001, "", LoginMode::HistoryServer), net::ReturnCode::Ok);

    for (net::PacketStream* stream : {trade.get(), channel.get(), investor.get(), history.get()}) {
        ASSERT_TRUE(stream->send_byte(net::Command::KeepAlive));
        EXPECT_EQ(stream->read_byte(), net::command_byte(net::Command::KeepAlive));
    }
    EXPECT_EQ(storage->account(1001)->last_login_time, clock.unix_time()) << "the login is recorded";
    EXPECT_EQ(storage->account(1001)->last_login_address, 0x0100007Fu) << "from 127.0.0.1";

    ASSERT_TRUE(trade->send_byte(net::Command::Quit));
    EXPECT_EQ(trade->read_byte(), net::command_byte(net::Command::Quit));
    EXPECT_TRUE(eventually([&] { return server->active_sessions() == 3; }));
}

TEST_F(Serving, RefusedLoginsGetTheirCodeAndAreClosed) {
    const struct {
        int32_t login;
        const char* sent;
        const char* key;
        LoginMode mode;
        ReturnCode code;
    } cases[] = {
        {1001, "wrong", "secret1", LoginMode::TradeServer, ReturnCode::InvalidAccount},
        {4242, "secret1", "", LoginMode::TradeServer, ReturnCode::InvalidAccount},
        {1002, "secret2", "secret2", LoginMode::TradeServer, ReturnCode::AccountDisabled},
        {1002, "wrong", "secret2", LoginMode::TradeServer, ReturnCode::InvalidAccount},
        {1001, "", "", LoginMode::HistoryServer, ReturnCode::InvalidParameters},   // history login on the trade door
    };
    for (const auto& c : cases) {
        auto stream = connect(server->trade_port());
        net::LoginPacketBytes packet = net::build_login_packet(c.login, net::login_key(c.mode, c.sent), c.mode);
        ASSERT_TRUE(stream->send_all(packet.data(), packet.size()));
        stream->set_key(net::login_key(c.mode, c.key));
        stream->reset_scrambling();
        EXPECT_EQ(stream->read_byte(), net::code_byte(c.code)) << c.login << " " << c.sent;
    }
    EXPECT_EQ(refused_code(1001, "secret1", "secret1", LoginMode::TradeChannel), 0) << "the same path accepts";

    // A terminal of an older build: the packet is well formed but its build is too old.
    auto old_build = connect(server->trade_port());
    net::LoginPacketBytes packet =
        net::build_login_packet(1001, net::login_key(LoginMode::TradeServer, "secret1"), LoginMode::TradeServer);
    std::span<uint8_t> scrambled(packet.data() + 1, packet.size() - 1);
    net::file_unscramble(scrambled);
    const uint16_t build = 300;
    std::memcpy(packet.data() + offsetof(net::LoginPacket, build), &build, sizeof build);
    net::file_scramble(scrambled);
    ASSERT_TRUE(old_build->send_all(packet.data(), packet.size()));
    old_build->set_key(net::login_key(LoginMode::TradeServer, "secret1"));
    old_build->reset_scrambling();
    EXPECT_EQ(old_build->read_byte(), net::code_byte(ReturnCode::OldVersion));
    auto disabled = connect(server->trade_port());
    EXPECT_EQ(net::log_in(*disabled, 1002, "secret2", LoginMode::TradeServer), ReturnCode::AccountDisabled);
    EXPECT_TRUE(eventually([&] { return server->active_sessions() == 0 || server->active_sessions() == 1; }));
    EXPECT_TRUE(logged("'1002': login refused [64 Account disabled]"));
}

TEST_F(Serving, WrongPasswordsFromAnAddressAreAnsweredEverSlower) {
    const uint64_t slept_before = clock.total_slept_ms();
    for (const char* password : {"wrong1", "wrong2", "wrong3"})
        EXPECT_EQ(refused_code(1001, password, "secret1"), net::code_byte(ReturnCode::InvalidAccount));
    EXPECT_EQ(refused_code(4242, "guess", ""), net::code_byte(ReturnCode::InvalidAccount)) << "unknown logins too";
    EXPECT_EQ(clock.total_slept_ms() - slept_before, 500u + 1000 + 2000 + 4000);
    EXPECT_TRUE(logged("'1001': wrong password from 127.0.0.1, answered after 2000 ms"));
    EXPECT_TRUE(logged("'4242': wrong password from 127.0.0.1, answered after 4000 ms"));

    auto good = connect(server->trade_port());
    ASSERT_EQ(net::log_in(*good, 1001, "secret1", LoginMode::TradeServer), net::ReturnCode::Ok);
    const uint64_t slept_after_good = clock.total_slept_ms();
    EXPECT_EQ(refused_code(1001, "wrong4", "secret1"), net::code_byte(ReturnCode::InvalidAccount));
    EXPECT_EQ(clock.total_slept_ms() - slept_after_good, 500u) << "a good login starts the delays over";
}

TEST_F(Serving, GarbageAndStallingClientsAreDroppedWhileOthersAreServed) {
    auto served = connect(server->trade_port());
    ASSERT_EQ(net::log_in(*served, 1001, "secret1", LoginMode::TradeServer), net::ReturnCode::Ok);

    platform::Socket garbage = raw_connect();
    const uint8_t junk[] = {0xFF, 0x13, 0x37, 0x00, 0x42};
    size_t sent = 0;
    ASSERT_EQ(garbage.send_some(junk, sizeof junk, sent), platform::IoResult::Done);
    EXPECT_TRUE(peer_closed(garbage));

    platform::Socket malformed = raw_connect();
    net::LoginPacketBytes packet = net::build_login_packet(1001, net::login_key(LoginMode::TradeServer, "secret1"),
                                                           LoginMode::TradeServer);
    packet[1] ^= 0x5A;   // the check byte no longer fits
    ASSERT_EQ(malformed.send_some(packet.data(), packet.size(), sent), platform::IoResult::Done);
    EXPECT_TRUE(peer_closed(malformed));
    EXPECT_TRUE(logged("malformed login packet"));

    ASSERT_TRUE(eventually([&] { return server->active_sessions() == 1; }));
    platform::Socket silent = raw_connect();
    ASSERT_TRUE(eventually([&] { return server->active_sessions() == 2; })) << "the silent one is waiting";
    clock.advance_ms(10001);   // past the first-packet limit, well inside the idle limit
    EXPECT_TRUE(peer_closed(silent));

    auto unknown = connect(server->trade_port());
    ASSERT_EQ(net::log_in(*unknown, 1001, "secret1", LoginMode::TradeServer), net::ReturnCode::Ok);
    ASSERT_TRUE(unknown->send_byte(uint8_t{0xEE}));
    EXPECT_TRUE(eventually([&] { return logged("'1001': unknown command EE"); }));

    ASSERT_TRUE(served->send_byte(net::Command::KeepAlive));
    EXPECT_EQ(served->read_byte(), net::command_byte(net::Command::KeepAlive)) << "still served";
}

TEST_F(Serving, RandomByteStreamsNeverStopTheServer) {
    uint64_t state = 12345;
    auto next = [&] {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<uint8_t>(state >> 56);
    };
    for (int round = 0; round < 60; ++round) {
        platform::Socket socket = raw_connect();
        std::vector<uint8_t> bytes(1 + next() % 64);
        for (uint8_t& byte : bytes) byte = next();
        // Half the rounds look like a login packet at first glance.
        if (round % 2 == 0) bytes[0] = round % 4 == 0 ? 0 : net::kHistoryServerKind;
        size_t sent = 0;
        socket.send_some(bytes.data(), bytes.size(), sent);
    }
    // Whatever still waits for a first packet gives up once its limit has passed.
    EXPECT_TRUE(eventually([&] {
        clock.advance_ms(10001);
        return server->active_sessions() == 0;
    }));
    auto stream = connect(server->trade_port());
    EXPECT_EQ(net::log_in(*stream, 1001, "secret1", LoginMode::TradeServer), net::ReturnCode::Ok);
}

TEST_F(Serving, IdleLimitCountsFromTheLastPacket) {
    auto stream = connect(server->trade_port());
    ASSERT_EQ(net::log_in(*stream, 1001, "secret1", LoginMode::TradeServer), net::ReturnCode::Ok);
    clock.advance_ms(30000);
    ASSERT_TRUE(stream->send_byte(net::Command::KeepAlive));
    ASSERT_EQ(stream->read_byte(), net::command_byte(net::Command::KeepAlive));
    clock.advance_ms(30001);   // 60001 ms since login, 30001 since the keep-alive
    ASSERT_TRUE(stream->send_byte(net::Command::KeepAlive));
    ASSERT_EQ(stream->read_byte(), net::command_byte(net::Command::KeepAlive));
    clock.advance_ms(60001);
    EXPECT_TRUE(eventually([&] { return server->active_sessions() == 0; }));
    EXPECT_TRUE(logged("'1001': no data for 60000 ms, connection dropped"));
}

TEST_F(Serving, ConnectionsBeyondTheLimitAreClosed) {
    server.reset();
    start_server(kConfig, 2);
    auto first = connect(server->trade_port());
    auto second = connect(server->trade_port());
    ASSERT_EQ(net::log_in(*first, 1001, "secret1", LoginMode::TradeServer), net::ReturnCode::Ok);
    ASSERT_EQ(net::log_in(*second, 1001, "secret1", LoginMode::TradeServer), net::ReturnCode::Ok);
    // The server accepts and resets at once, which the client may already see while connecting.
    platform::Socket third;
    EXPECT_TRUE(!third.connect("127.0.0.1", server->trade_port()) || peer_closed(third));
    EXPECT_TRUE(logged("2 sessions running, connection refused"));
    ASSERT_TRUE(first->send_byte(net::Command::Quit));
    EXPECT_EQ(first->read_byte(), net::command_byte(net::Command::Quit));
    ASSERT_TRUE(eventually([&] { return server->active_sessions() == 1; }));
    auto fourth = connect(server->trade_port());
    EXPECT_EQ(net::log_in(*fourth, 1001, "secret1", LoginMode::TradeServer), net::ReturnCode::Ok) << "a freed place is taken again";
}

TEST_F(Serving, HoldsManySessionsAtOnce) {
    // The client streams pause 100 ms whenever a reply is not there yet, so the logins run
    // from several threads at once.
    constexpr int kThreads = 10;
    constexpr int kPerThread = 15;
    std::vector<std::unique_ptr<net::PacketStream>> streams(kThreads * kPerThread);
    std::vector<ReturnCode> codes(streams.size(), ReturnCode::CommonError);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = t * kPerThread; i < (t + 1) * kPerThread; ++i) {
                bool history = i % 3 == 0;
                streams[i] = connect(history ? server->history_port() : server->trade_port());
                codes[i] = net::log_in(*streams[i], 1001, history ? "" : "secret1",
                                       history ? LoginMode::HistoryServer : LoginMode::TradeServer);
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    for (size_t i = 0; i < codes.size(); ++i) ASSERT_EQ(codes[i], ReturnCode::Ok) << i;
    EXPECT_EQ(server->active_sessions(), streams.size());
    for (auto& stream : streams) ASSERT_TRUE(stream->send_byte(net::Command::KeepAlive));
    for (auto& stream : streams) EXPECT_EQ(stream->read_byte(), net::command_byte(net::Command::KeepAlive));
}

TEST_F(Serving, OlderBuildLogsInWithoutTheChallenge) {
    server.reset();
    std::string older = kConfig;
    older.replace(older.find("\"build\": 445"), 12, "\"build\": 445, \"challenge\": false");
    start_server(older);
    auto stream = connect(server->trade_port());
    ASSERT_EQ(net::log_in(*stream, 1001, "secret1", LoginMode::TradeServer), net::ReturnCode::Ok);
    EXPECT_EQ(stream->server_build(), 412);
    ASSERT_TRUE(stream->send_byte(net::Command::KeepAlive));
    EXPECT_EQ(stream->read_byte(), net::command_byte(net::Command::KeepAlive));
}

// Sends a crash log of size bytes and waits for a keep-alive's answer, so the server has
// dealt with the log when it returns.
void upload_crash_log(net::PacketStream& stream, uint32_t size) {
    std::vector<uint8_t> content(size, 0x5A);
    net::OutputBuffer& out = stream.output();
    out.reset();
    out.put_command(net::Command::CrashLog);
    out.put_u32(size);
    out.put_bytes(content.data(), content.size());
    ASSERT_TRUE(stream.send_output());
    ASSERT_TRUE(stream.send_byte(net::Command::KeepAlive));
    ASSERT_EQ(stream.read_byte(), net::command_byte(net::Command::KeepAlive));
}

TEST_F(Serving, CrashLogsAreTakenOncePerLoginAndUpToTheAccountsLimit) {
    {
        auto stream = connect(server->trade_port());
        ASSERT_EQ(net::log_in(*stream, 1001, "secret1", LoginMode::TradeServer), net::ReturnCode::Ok);
        upload_crash_log(*stream, 100);
        upload_crash_log(*stream, 200);
        upload_crash_log(*stream, 300);
    }
    std::vector<CrashLogRow> stored = storage->crash_logs(1001);
    ASSERT_EQ(stored.size(), 1u) << "later uploads of the same login are refused";
    EXPECT_EQ(stored[0].content.size(), 100u);
    EXPECT_TRUE(logged("'1001': another crash log in the same login refused"));

    // Each login uploads the largest log a client sends, until the account holds 1024000 bytes.
    for (int login = 0; login < 9; ++login) {
        auto stream = connect(server->trade_port());
        ASSERT_EQ(net::log_in(*stream, 1001, "secret1", LoginMode::TradeServer), net::ReturnCode::Ok);
        upload_crash_log(*stream, 128000);
    }
    stored = storage->crash_logs(1001);
    size_t total = 0;
    for (const CrashLogRow& log : stored) total += log.content.size();
    EXPECT_EQ(stored.size(), 8u);
    EXPECT_EQ(total, 100u + 7 * 128000u);
    EXPECT_TRUE(logged("'1001': crash log refused, the account keeps 1024000 bytes of them already"));
    EXPECT_TRUE(storage->crash_logs(1002).empty());
}

}  // namespace
}  // namespace kb::server
