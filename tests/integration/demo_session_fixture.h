#pragma once
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <optional>
#include <span>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "net/scramble.h"
#include "platform/files.h"
#include "server/demo_server.h"
#include "server/server_config.h"
#include "server/server_log.h"
#include "server/storage.h"
#include "session/server_session.h"
#include "tests/integration/gated_clock.h"
#include "tests/integration/subscribing_symbols.h"
#include "tests/support/held_logins.h"
#include "tests/server/login_data_fixture.h"
#include "tests/session/session_fixture.h"

namespace kb::integration {

using session::Server;

inline constexpr int32_t kAnn = 1001;
inline constexpr char kAnnPassword[] = "secret1";
inline constexpr int32_t kBob = 1003;
inline constexpr char kBobPassword[] = "secret3";

using session::test::TimelineNotifier;

// A terminal session in a temporary program folder against a demo-server on free loopback
// ports, over real TCP. The session's waits run on the paced manual clock, its streams on
// the gated real clock; the server runs on a manual clock that the tests move along with
// the session's (run_clocks_until), so its idle limit and its mail look-ups follow the
// session's time.
class DemoSessionTest : public session::test::SessionFixture {
protected:
    void SetUp() override { serve(server_config_text()); }

    // (Re)starts the server with the configuration, Ann and Bob in its database.
    void serve(const std::string& config_text) {
        server_.reset();
        storage_.reset();
        std::string error;
        server_config_ = server::parse_server_config(config_text, error);
        ASSERT_TRUE(server_config_) << error;
        storage_ = server::Storage::open(folder_.file("server.db"), error);
        ASSERT_TRUE(storage_) << error;
        if (!storage_->account(kAnn)) add_server_account(kAnn, kAnnPassword, 5000);
        if (!storage_->account(kBob)) add_server_account(kBob, kBobPassword, 0);
        server_ = std::make_unique<server::DemoServer>(*server_config_, *storage_, server_clock_, server_log_,
                                                       server_limits());
        server_->set_login_gate(&held_logins_);
        ASSERT_TRUE(server_->start({"127.0.0.1", 0}, {"127.0.0.1", 0}, error)) << error;
        server_->history().wait_ready();
    }

    ~DemoSessionTest() override {
        // A stream waiting at the closed gate would hold up the stop.
        gate_.open();
        if (session_) session_->stop();
        session_.reset();
        server_.reset();
    }

    // The configuration the server runs with.
    virtual std::string server_config_text() { return server::testing_support::login_data_config(); }
    // The server's idle limit runs on its manual clock; keep-alives follow the session's.
    virtual server::SessionLimits server_limits() { return {10000, 60000, 5}; }

    void add_server_account(int32_t login, const std::string& password, double deposit) {
        server::AccountRow account;
        account.login = login;
        account.password_digest = net::md5(password);
        account.name = "Account " + std::to_string(login);
        account.group = "demo";
        account.leverage = 200;
        account.created = server_clock_.unix_time() - 3600;
        ASSERT_TRUE(storage_->create_account(account, deposit));
    }

    std::string trade_address() const { return "127.0.0.1:" + std::to_string(server_->trade_port()); }
    std::string history_address() const { return "127.0.0.1:" + std::to_string(server_->history_port()); }

    void start_session() {
        session::SessionSinks sinks = stores_.sinks();
        sinks.symbols = &symbols_;
        start_session(sinks);
    }

    // Starts a session of the fixture's account that feeds the given stores.
    void start_session(const session::SessionSinks& sinks) {
        session_ = std::make_unique<session::ServerSession>(session::SessionEnvironment{
            .program_folder = folder_.path(),
            .clock = clock_,
            .stream_clock = gate_,
            .journal = journal_,
            .notifier = timeline_,
            .starter = starter_,
            .config = config_,
            .servers = servers_,
            .company = "Fake Company",
            .sinks = sinks});
        timeline_.watch(session_.get());
        session_->start();
    }

    bool trade_state_is(net::ReturnCode code) { return eventually([&] { return session_->state(Server::Trade) == code; }); }

    // Moves the server's clock a second at a time, each after the session's clock has moved
    // a second (or 200 ms of real time passed), until done() holds; false after 600 steps.
    bool run_clocks_until(const std::function<bool()>& done) {
        for (int step = 0; step < 600; ++step) {
            if (done()) return true;
            const uint32_t start = clock_.tick_ms();
            for (int i = 0; i < 200 && clock_.tick_ms() - start < 1000; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            server_clock_.advance_ms(1000);
        }
        return done();
    }

    // Waits for three login attempts that ended in the state; one retry pause of the
    // session's clock lies between each and the next.
    void expect_attempts_a_pause_apart(net::ReturnCode state) {
        ASSERT_TRUE(eventually([&] { return timeline_.ticks_in_state(state).size() >= 3; })) << net::code_value(state);
        const std::vector<uint32_t> attempts = timeline_.ticks_in_state(state);
        for (size_t i = 1; i < attempts.size(); ++i)
            EXPECT_EQ(attempts[i] - attempts[i - 1], session::kRetryPauseMs * session::kRetryPauses) << i;
    }

    size_t server_lines_containing(const std::string& text) {
        std::lock_guard guard(server_lines_lock_);
        size_t n = 0;
        for (const std::string& line : server_lines_) n += line.find(text) != std::string::npos;
        return n;
    }
    bool server_logged(const std::string& text, size_t times = 1) {
        return eventually([&] { return server_lines_containing(text) >= times; });
    }

    // The gate closes as soon as the server holds a login, so the waiting connection can't
    // give up before the test has driven the session's clock.
    void close_gate_when_a_login_is_held() { close_gate_on_hold_ = true; }

    // The history-server-connected flag as config/server.ini holds it (a load replaces it
    // with the account's mode); -1 when the file is missing or short.
    int32_t saved_history_connected_flag() {
        std::optional<std::vector<uint8_t>> bytes = platform::read_file(folder_.file("config/server.ini"));
        config::LoginRecord record{};
        if (!bytes || bytes->size() < sizeof record) return -1;
        net::file_unscramble(std::span<uint8_t>(bytes->data(), sizeof record));
        std::memcpy(&record, bytes->data(), sizeof record);
        return record.mode_in_effect;
    }

    config::LoginRecord saved_login_record() {
        config::TerminalConfig reloaded(folder_.path(), clock_, platform::system_random(), &servers_, sound_, starter_);
        reloaded.load_login_record();
        return reloaded.login_record();
    }

    platform::ManualClock server_clock_{1'704'103'200};   // Monday 2024-01-01 10:00
    GatedClock gate_;
    TimelineNotifier timeline_{notifier_, clock_};
    SubscribingSymbols symbols_;
    std::optional<server::ServerConfig> server_config_;
    std::unique_ptr<server::Storage> storage_;
    std::mutex server_lines_lock_;
    std::vector<std::string> server_lines_;
    std::atomic<bool> close_gate_on_hold_{false};
    server::ServerLog server_log_{server_clock_, [this](std::string_view line) {
                                      if (close_gate_on_hold_ && line.find("login held") != std::string_view::npos)
                                          gate_.close();
                                      std::lock_guard guard(server_lines_lock_);
                                      server_lines_.emplace_back(line);
                                  }};
    kb::testing::HeldLogins held_logins_;
    std::unique_ptr<server::DemoServer> server_;
};

}  // namespace kb::integration
