#pragma once
// A terminal session over the market world (market_world.h), with the program folder,
// configuration and stores a login needs, whose connections read from fuzz bytes: the
// checking mail and news sinks trap on anything a reader should have refused.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "config/server_list.h"
#include "config/terminal_config.h"
#include "core/fixed_text.h"
#include "core/journal.h"
#include "market_world.h"
#include "platform/notifier.h"
#include "session/history_store.h"
#include "session/server_session.h"
#include "session/session_services.h"
#include "session/symbols_store.h"
#include "session/trade_store.h"
#include "tests/fuzz/answering_peer.h"
#include "tests/support/recording_process_starter.h"
#include "tests/support/recording_sinks.h"
#include "tests/support/recording_sound_player.h"
#include "trade/trade_base.h"

namespace kb::session {

// The readers of one connection, run on the session's own stream.
struct ServerSessionAccess {
    static net::PacketStream& stream(ServerSession& session, Server which) { return session.stream(which); }
    static void receive_loop(ServerSession& session, Server which) { session.receive_loop(which); }
    static net::ReturnCode download_login_data(ServerSession& session, const config::LoginRecord& account) {
        return session.download_login_data(account);
    }
    static void account_data(ServerSession& session, const config::LoginRecord& account) {
        std::optional<trade::AccountDataReply> reply;
        if (session.request_account_data(session.trade_stream_, trade::kAccountDataFull, account.login, reply) ==
            net::ReturnCode::Ok)
            session.apply_trade_account(account, *reply);
    }
};

}  // namespace kb::session

namespace kb::fuzzing {

class QuietNotifier final : public platform::Notifier {
public:
    void post(int, intptr_t) override {}
    intptr_t send(int, intptr_t) override { return 0; }
};

class CheckingMailbox final : public session::MailSink {
public:
    void set_recipients(std::span<const messaging::MailRecipient> list) override {
        check(list.size() <= 128);
        for (const messaging::MailRecipient& recipient : list) check(recipient.name[sizeof recipient.name - 1] == '\0');
    }
    void add_message(const messaging::MailRecord& header, std::string body) override {
        check(header.body_length >= 0 && body.size() == static_cast<size_t>(header.body_length));
        check(header.name[sizeof header.name - 1] == '\0' && header.subject[sizeof header.subject - 1] == '\0');
    }
};

class CheckingNews final : public session::NewsSink {
public:
    void add(const messaging::NewsRecord& record, std::string body) override {
        check(record.subject[sizeof record.subject - 1] == '\0');
        check(body.empty() || body.size() == static_cast<size_t>(record.body_length));
    }
    void set_body(uint32_t, std::string body) override { check(body.size() <= 32767); }
    std::optional<uint32_t> take_body_request() override { return std::nullopt; }
};

constexpr int32_t kSessionLogin = 1001;

// The services live for the whole run; the world and the session are made per input.
struct SessionServices {
    platform::ManualClock clock;
    // The streams' pauses: none with fuzz bytes, real ones with a real server.
    platform::Clock* stream_clock = &clock;
    std::string folder = market_folder("sessionfuzz");
    core::Journal journal{folder, clock};
    config::ServerList servers{folder, clock, platform::system_random(), nullptr};
    testing::RecordingSoundPlayer sound;
    testing::RecordingProcessStarter starter;
    config::TerminalConfig config{folder, clock, platform::system_random(), &servers, sound, starter};
    QuietNotifier notifier;

    SessionServices() {
        platform::make_directory(folder + "/logs");
        platform::make_directory(folder + "/profiles");
        servers.load_all("Fuzz Company");
        config.load_all(config::BrandingServer::Absent);
        config::LoginRecord record = config.login_record();
        record.login = kSessionLogin;
        core::set_field_text(record.password, "secret1");
        core::set_field_text(record.server, "Demo");
        config.set_login_record(record);
    }
};

inline SessionServices& session_services() {
    static SessionServices services;
    return services;
}

struct SessionWorld {
    SessionServices& services = session_services();
    MarketWorld world{(remove_server_files(services.folder), services.folder)};
    trade::TradeBase trades{&world.base, nullptr, nullptr, services.clock};
    session::SymbolsStore symbols{world.base};
    session::HistoryStore history{world.center};
    session::TradeStore trade{trades, services.clock};
    kb::testing::RecordingTradeChannels channels;
    CheckingNews news;
    CheckingMailbox mail;
    session::ServerSession session{session::SessionEnvironment{
        .program_folder = services.folder,
        .clock = services.clock,
        .stream_clock = *services.stream_clock,
        .journal = services.journal,
        .notifier = services.notifier,
        .starter = services.starter,
        .config = services.config,
        .servers = services.servers,
        .company = "Fuzz Company",
        .sinks = session::SessionSinks{&symbols, &history, &trade, &channels, &news, &mail}}};
    AnsweringPeer peer;

    // The connection reads these bytes, then its end; it sends into the void.
    void answer(session::Server which, std::span<const uint8_t> bytes, uint16_t server_build) {
        net::PacketStream& stream = session::ServerSessionAccess::stream(session, which);
        peer.answer(stream, bytes);
        stream.set_server_build(server_build);
    }
};

}  // namespace kb::fuzzing
