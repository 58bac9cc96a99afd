#pragma once
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "core/fixed_text.h"
#include "config/server_list.h"
#include "config/terminal_config.h"
#include "core/journal.h"
#include "net/block_writer.h"
#include "net/login_packet.h"
#include "net/packet_stream.h"
#include "net/server_info.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/notifier.h"
#include "session/server_session.h"
#include "session/session_services.h"
#include "tests/support/fake_server.h"
#include "tests/support/recording_process_starter.h"
#include "tests/support/recording_sinks.h"
#include "tests/support/recording_sound_player.h"
#include "tests/support/temp_folder.h"
#include "trade/account_record.h"

namespace kb::session::test {

using testing::Bytes;

// A manual clock whose pauses also take a fiftieth of their length in real time, so that a
// session thread that waits gives the fake server's thread room to run while seconds of
// session time pass in milliseconds.
class PacedClock final : public platform::Clock {
public:
    uint32_t tick_ms() override { return manual_.tick_ms(); }
    int64_t unix_time() override { return manual_.unix_time(); }
    platform::DateTime local_time() override { return manual_.local_time(); }
    void sleep_ms(uint32_t ms) override {
        manual_.sleep_ms(ms);
        std::this_thread::sleep_for(std::chrono::microseconds(ms * 20));
    }
    void advance_ms(uint32_t ms) { manual_.advance_ms(ms); }
    uint64_t total_slept_ms() { return manual_.total_slept_ms(); }

private:
    platform::ManualClock manual_;
};

class RecordingNotifier final : public platform::Notifier {
public:
    void post(int code, intptr_t value) override {
        std::lock_guard guard(lock_);
        posted_.emplace_back(core::notification_of(code), value);
    }
    intptr_t send(int code, intptr_t value) override {
        post(code, value);
        return 0;
    }
    std::vector<std::pair<core::Notification, intptr_t>> posted() {
        std::lock_guard guard(lock_);
        return posted_;
    }
    bool contains(core::Notification code, intptr_t value) {
        for (auto [c, v] : posted())
            if (c == code && v == value) return true;
        return false;
    }

private:
    std::mutex lock_;
    std::vector<std::pair<core::Notification, intptr_t>> posted_;
};

// Hands every post to the recording notifier and, for each code 22 about the trade server,
// notes the session clock's tick and the trade server state the session has just set.
// Thread-safe.
class TimelineNotifier final : public platform::Notifier {
public:
    struct Entry {
        uint32_t tick;
        net::ReturnCode state;
    };

    TimelineNotifier(platform::Notifier& inner, platform::Clock& clock) : inner_(inner), clock_(clock) {}
    void watch(const ServerSession* watched) { session_ = watched; }

    void post(int code, intptr_t value) override {
        inner_.post(code, value);
        const ServerSession* watched = session_;
        if (core::notification_of(code) != core::Notification::ConnectionState || value != 0 || !watched) return;
        std::lock_guard guard(lock_);
        entries_.push_back({clock_.tick_ms(), watched->state(Server::Trade)});
    }
    intptr_t send(int code, intptr_t value) override {
        post(code, value);
        return 0;
    }

    // The ticks at which the trade server state became `to` right after being `from`.
    std::vector<uint32_t> transitions(net::ReturnCode from, net::ReturnCode to) {
        std::lock_guard guard(lock_);
        std::vector<uint32_t> ticks;
        for (size_t i = 1; i < entries_.size(); ++i)
            if (entries_[i - 1].state == from && entries_[i].state == to) ticks.push_back(entries_[i].tick);
        return ticks;
    }
    // The ticks of every post made with the trade server in the given state.
    std::vector<uint32_t> ticks_in_state(net::ReturnCode state) {
        std::lock_guard guard(lock_);
        std::vector<uint32_t> ticks;
        for (const Entry& entry : entries_)
            if (entry.state == state) ticks.push_back(entry.tick);
        return ticks;
    }

private:
    platform::Notifier& inner_;
    platform::Clock& clock_;
    std::atomic<const ServerSession*> session_{nullptr};
    std::mutex lock_;
    std::vector<Entry> entries_;
};

// ---- bytes ----

template <class Value>
Bytes bytes_of(const Value& value) {
    Bytes out(sizeof value);
    std::memcpy(out.data(), &value, sizeof value);
    return out;
}
inline Bytes le32(uint32_t value) { return bytes_of(value); }
inline Bytes le16(uint16_t value) { return bytes_of(value); }
inline Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
inline Bytes compressed(const Bytes& plain) {
    net::OutputBuffer out;
    EXPECT_TRUE(net::put_compressed_block(out, plain));
    return Bytes(out.data(), out.data() + out.size());
}

inline constexpr int32_t kLogin = 1234;
inline constexpr char kPassword[] = "secret1";
// Below the first build with the login challenge, above the first with 28-byte bars.
inline constexpr uint16_t kServerBuild = 400;
inline constexpr uint32_t kServerIdentity = 77;

// What a fake trade server says during the login data; the default is a minimal login.
struct LoginData {
    std::string server_name;                        // empty: the list and the login record stay
    std::vector<net::AccessPointRecord> access_points;
    uint16_t protocol_version = 404;
    size_t symbols = 0;
    Bytes crash_log;                                // expected upload, empty for none
    size_t recipients = 0;
    size_t history_records = 0;
    uint32_t account_mode = 0;
    trade::AccountData account{};
};

inline net::AccessPointRecord access_point(const std::string& address) {
    net::AccessPointRecord point{};
    core::set_field_text(point.address, address);
    return point;
}

// ---- script pieces ----

inline void add_login(testing::FakeServer& server, int code = 0, int32_t login = kLogin,
                      const char* password = kPassword) {
    const net::ConnectionKey key = net::login_key(net::LoginMode::TradeServer, password);
    const net::LoginPacketBytes packet = net::build_login_packet(login, key, net::LoginMode::TradeServer);
    // The session's clock runs ahead of the script's thread: let its keep-alives pass.
    server.expect_raw(Bytes(packet.begin(), packet.end())).use_key(key).pass_over(2);
    if (code != 0) {
        server.send({static_cast<uint8_t>(code)});
        return;
    }
    server.send(Bytes{0, 0} + le16(kServerBuild) + le32(kServerIdentity));
}

// A history server login with the given identity, then its account data request (the
// account reads news: mode 0).
inline Bytes history_login_packet() {
    const net::ConnectionKey key = net::login_key(net::LoginMode::HistoryServer, "");
    const net::LoginPacketBytes packet = net::build_login_packet(kLogin, key, net::LoginMode::HistoryServer);
    return Bytes(packet.begin(), packet.end());
}

inline void add_history_login(testing::FakeServer& server, uint32_t identity, uint16_t history_version = 330) {
    server.expect_raw(history_login_packet()).use_key(net::login_key(net::LoginMode::HistoryServer, "")).pass_over(2);
    server.send(Bytes{0, 0} + le16(kServerBuild) + le32(identity));
    trade::AccountData account{};
    account.history_server_version = history_version;
    server.expect(Bytes{30} + le32(0)).send(Bytes{0} + compressed(trade::build_account_data(account, {})));
}

inline void add_login_data(testing::FakeServer& server, const LoginData& data) {
    net::ServerInformation info;
    info.head.trade_value = 5;
    info.head.protocol_version = data.protocol_version;
    info.access_points = data.access_points;
    core::set_field_text(info.tail.server_name, data.server_name);
    core::set_field_text(info.tail.text, "Fake Company");
    server.expect({16}).send(Bytes{0, 9} + compressed(net::build_server_information(info)));
    if (data.protocol_version < net::kMinimumServerProtocolVersion) return;

    server.expect(Bytes{8} + Bytes(16, 0))
        .send(Bytes{0} + compressed(Bytes(data.symbols * sizeof(market::SymbolRecord), 0)));
    server.expect(Bytes{10} + Bytes(16, 0)).send(Bytes{0} + compressed(Bytes(3 * sizeof(market::SymbolGroupRecord), 0)));
    if (!data.crash_log.empty())
        server.expect(Bytes{5} + le32(static_cast<uint32_t>(data.crash_log.size())) + data.crash_log);
    server.expect({33}).send(Bytes{0} + le32(static_cast<uint32_t>(data.recipients)) +
                             Bytes(data.recipients * sizeof(messaging::MailRecipient), 'a'));
    server.expect(Bytes{34} + le32(0) + le32(0x7fffffff))
        .send(Bytes{0} + compressed(Bytes(data.history_records * sizeof(trade::TradeRecord), 0)));
    server.expect(Bytes{30} + le32(data.account_mode))
        .send(Bytes{0} + compressed(trade::build_account_data(data.account, {})));
}

// One login's worth of services around a session, in a temporary program folder.
class SessionFixture : public ::testing::Test {
protected:
    SessionFixture()
        : journal_(folder_.path(), clock_),
          servers_(folder_.path(), clock_, platform::system_random(), nullptr),
          config_(folder_.path(), clock_, platform::system_random(), &servers_, sound_, starter_) {
        platform::make_directory(folder_.file("logs"));
        platform::make_directory(folder_.file("profiles"));
        servers_.load_all("Fake Company");
        config_.load_all(config::BrandingServer::Absent);
        journal_.set_echo([this](std::string_view line) {
            std::lock_guard guard(lines_lock_);
            lines_.emplace_back(line);
        });
    }
    ~SessionFixture() override {
        if (session_) session_->stop();
    }

    // mode 1: the account also uses the history server at history_address.
    void set_account(int32_t login, const char* password, const std::string& server, int32_t mode = 0,
                     const std::string& history_address = "") {
        config::LoginRecord record = config_.login_record();
        record.login = login;
        std::memset(record.password, 0, sizeof record.password);
        core::set_field_text(record.password, password);
        std::memset(record.server, 0, sizeof record.server);
        core::set_field_text(record.server, server);
        std::memset(record.account_server, 0, sizeof record.account_server);
        core::set_field_text(record.account_server, history_address);
        record.mode = mode;
        record.mode_in_effect = mode;
        config_.set_login_record(record);
    }

    ServerSession& session() {
        if (!session_) make_session_with(stores_.sinks(), notifier_);
        return *session_;
    }
    // The session over other stores or another notifier, created now.
    ServerSession& make_session_with(SessionSinks sinks, platform::Notifier& notifier,
                                      config::AccountsBase* accounts = nullptr) {
        session_ = std::make_unique<ServerSession>(SessionEnvironment{.program_folder = folder_.path(),
                                                                      .clock = clock_,
                                                                      .stream_clock = platform::system_clock(),
                                                                      .journal = journal_,
                                                                      .notifier = notifier,
                                                                      .starter = starter_,
                                                                      .config = config_,
                                                                      .servers = servers_,
                                                                      .accounts = accounts,
                                                                      .company = "Fake Company",
                                                                      .sinks = sinks,
                                                                      .probe = probe_});
        return *session_;
    }

    // Polls (1 ms real pauses) until done() holds; false after 10 s of real time.
    static bool eventually(const std::function<bool()>& done) {
        for (int i = 0; i < 10000; ++i) {
            if (done()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return done();
    }

    std::vector<std::string> lines() {
        std::lock_guard guard(lines_lock_);
        return lines_;
    }
    size_t lines_containing(const std::string& text) {
        size_t n = 0;
        for (const std::string& line : lines()) n += line.find(text) != std::string::npos;
        return n;
    }

    kb::testing::TempFolder folder_;
    PacedClock clock_;
    core::Journal journal_;
    kb::testing::RecordingSoundPlayer sound_;
    kb::testing::RecordingProcessStarter starter_;
    RecordingNotifier notifier_;
    config::ServerList servers_;
    config::TerminalConfig config_;
    kb::testing::RecordingStores stores_;
    std::mutex lines_lock_;
    std::vector<std::string> lines_;
    config::ServerProbe* probe_ = nullptr;   // set before session() is first called
    std::unique_ptr<ServerSession> session_;
};

}  // namespace kb::session::test
