// Records the seed inputs of the fuzz targets from real exchanges with the in-process
// demo-server (tests/fuzz/demo_server.h): the terminal's own readers talk to it through
// a relay that keeps every byte, and each target's seed is the part of the exchange it
// reads, unscrambled as the reader sees it. The file readers' seeds are the files the
// terminal wrote during those exchanges (saved_file_seeds.cpp). Run by hand after a
// protocol or file format change (the demo-server's database and the terminal's program
// folder stay behind in $TMPDIR, or /dev/shm without it):
//   record_fuzz_seeds tests/fuzz/corpus
#include <poll.h>
#include <sys/socket.h>

#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "config/server_probe.h"
#include "market/chart_packets.h"
#include "market/quote_packets.h"
#include "messaging/news_header_packet.h"
#include "net/compressed_block.h"
#include "net/trade_request_signing.h"
#include "server/dealer.h"
#include "server/live_settings.h"
#include "server/message_packets.h"
#include "server/sqlite_database.h"
#include "session/account_history_request.h"
#include "session/update_check.h"
#include "tests/fuzz/demo_server.h"
#include "tests/fuzz/seeds/seed_sets.h"
#include "tests/fuzz/seeds/seed_writer.h"
#include "tests/fuzz/session_world.h"
#include "tools/bar_csv.h"
#include "trade/trade_notification.h"
#include "trade/trade_request.h"

namespace {

using namespace kb;
using namespace kb::fuzzing::seeds;

// Forwards bytes both ways between the client's end and the server's, keeping them.
class Relay {
public:
    explicit Relay(platform::Socket server_end) : server_(std::move(server_end)) {
        thread_ = std::thread([this] { run(); });
    }
    ~Relay() {
        done_ = true;
        thread_.join();
    }
    platform::Socket take_client_end() { return std::move(pair_.reader); }

    // The bytes the server sent so far, once nothing has come for a moment.
    Bytes down() {
        size_t seen = SIZE_MAX;
        while (true) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            std::lock_guard guard(lock_);
            if (down_.size() == seen) return down_;
            seen = down_.size();
        }
    }
    Bytes up() {
        std::lock_guard guard(lock_);
        return up_;
    }

private:
    static bool forward(int from, int to, Bytes& kept, std::mutex& lock) {
        uint8_t buffer[65536];
        const ssize_t got = ::recv(from, buffer, sizeof buffer, 0);
        if (got == 0) return false;
        if (got < 0) return errno == EAGAIN || errno == EWOULDBLOCK;
        {
            std::lock_guard guard(lock);
            kept.insert(kept.end(), buffer, buffer + got);
        }
        for (ssize_t sent = 0; sent < got;) {
            const ssize_t n = ::send(to, buffer + sent, static_cast<size_t>(got - sent), MSG_NOSIGNAL);
            if (n > 0) sent += n;
            else if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return false;
        }
        return true;
    }

    void run() {
        const int client = pair_.writer.native_handle();
        const int server = server_.native_handle();
        while (!done_) {
            pollfd fds[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
            if (::poll(fds, 2, 10) <= 0) continue;
            if ((fds[0].revents & (POLLIN | POLLHUP)) && !forward(client, server, up_, lock_)) break;
            if ((fds[1].revents & (POLLIN | POLLHUP)) && !forward(server, client, down_, lock_)) break;
        }
        server_.close();
        pair_.writer.close();
    }

    testing::SocketPair pair_;
    platform::Socket server_;
    std::mutex lock_;
    Bytes down_;
    Bytes up_;
    std::atomic<bool> done_{false};
    std::thread thread_;
};

// A session of the door, served on its own thread behind a relay.
struct Served {
    platform::Socket server_end;
    std::unique_ptr<server::ClientSession> session;
    std::unique_ptr<Relay> relay;
    std::thread serving;

    Served(fuzzing::DemoServer& demo, server::ServerRole role)
        : session(demo.session(role, server_end)), relay(std::make_unique<Relay>(std::move(server_end))) {
        serving = std::thread([this] { session->run(); });
    }
    ~Served() {
        session->close();
        serving.join();
    }
};

// One request on a trade channel, followed as the trade context does: its notifications
// read until the one that ends it.
struct Deal {
    explicit Deal(const trade::TradeRequest& sent) : request(sent) {}

    trade::TradeRequest request;
    size_t sent_from = 0, sent_to = 0;         // the request in what the channel sent
    size_t answer_from = 0, answer_to = 0;     // its notifications in what came back
    size_t pending = 0;                        // notifications before the last: accepted, in process
    trade::TradeNotification done;
    int32_t request_id = 0;
};

void follow(net::PacketStream& channel, Relay& relay, Deal& deal) {
    deal.sent_from = relay.up().size();
    deal.answer_from = relay.down().size();
    if (!net::send_trade_request(channel, std::span<const uint8_t, net::kTradeRequestSize>(
                                              reinterpret_cast<const uint8_t*>(&deal.request), sizeof deal.request))) {
        std::fprintf(stderr, "trade request %d not sent\n", deal.request.kind);
        std::exit(1);
    }
    trade::FollowedRequest followed{.kind = deal.request.kind, .state = trade::RequestState::Ready};
    while (true) {
        if (channel.read_byte() != net::command_byte(net::Command::TradeRequest)) {
            std::fprintf(stderr, "trade request %d: no notification\n", deal.request.kind);
            std::exit(1);
        }
        trade::TradeNotification notification = trade::read_trade_notification(channel, followed);
        const std::optional<trade::RequestState> going_on = trade::state_going_on(notification.code);
        if (!going_on) {
            deal.done = std::move(notification);
            break;
        }
        followed.state = *going_on;
        followed.request_id = deal.request_id = notification.request_id;
        ++deal.pending;
    }
    if (deal.done.code != net::ReturnCode::Ok) {
        std::fprintf(stderr, "trade request %d: code %d %s\n", deal.request.kind, net::code_value(deal.done.code),
                     deal.done.fault.c_str());
        std::exit(1);
    }
    deal.sent_to = relay.up().size();
    deal.answer_to = relay.down().size();
}

trade::TradeRequest request_of(uint8_t kind, int32_t order_type, double price) {
    trade::TradeRequest request{};
    request.kind = kind;
    request.order_type = static_cast<int16_t>(order_type);
    core::set_field_text(request.symbol, "EURUSD");
    request.volume = 10;
    request.price = price;
    request.deviation = 10;
    return request;
}

// Prices, a buy and its close on a trade channel of the demo account, dealt on request so
// that each request is accepted and then in process before it is done. The notifications'
// seeds are read without their command byte, as the trade context passes them to the
// reader; accepted and in process are 7 bytes each with it.
void record_trade_channel(fuzzing::DemoServer& demo) {
    const server::SettingOverride on_request[] = {{"group", "demo", "execution", "request"}};
    demo.storage->set_overrides(on_request);
    Served served(demo, server::ServerRole::Trade);
    net::PacketStream channel(nullptr, platform::system_clock());
    channel.adopt(served.relay->take_client_end());
    if (const net::ReturnCode code =
            net::log_in(channel, fuzzing::kDemoLogin, fuzzing::kDemoPassword, net::LoginMode::TradeChannel);
        code != net::ReturnCode::Ok) {
        std::fprintf(stderr, "login of a trade channel: code %d\n", net::code_value(code));
        std::exit(1);
    }
    const net::ConnectionKey key = net::login_key(net::LoginMode::TradeChannel, fuzzing::kDemoPassword);

    Deal price(request_of(trade::kPriceRequest, trade::kBuy, 0));
    follow(channel, *served.relay, price);
    Deal open(request_of(trade::kOrderByRequest, trade::kBuy, price.done.ask));
    follow(channel, *served.relay, open);
    Deal close(request_of(trade::kCloseByRequest, trade::kBuy, price.done.bid));
    close.request.ticket = open.done.records.at(0).ticket;
    follow(channel, *served.relay, close);
    channel.close();

    const Bytes down = unscrambled(served.relay->down(), key);
    const Bytes up = served.relay->up();
    const Bytes sent = joined({Bytes(net::kLoginPacketSize), unscrambled(slice(up, net::kLoginPacketSize, up.size()), key)});
    constexpr size_t kPending = 7;
    auto pending = [&](const Deal& deal, size_t index) {
        return slice(down, deal.answer_from + index * kPending + 1, deal.answer_from + (index + 1) * kPending);
    };
    auto done = [&](const Deal& deal) { return slice(down, deal.answer_from + deal.pending * kPending + 1, deal.answer_to); };
    // Byte 0 indexes the target's kinds (price 0, order by request 2, close by request 6),
    // byte 1 its states (sent 0, accepted 1, in process 2; bit 7 for the plain form of the
    // close's block).
    auto followed = [](uint8_t kind_index, uint8_t state_index, int32_t id) {
        return joined({{kind_index, state_index}, bytes_of(id)});
    };
    write_seed("trade_notification", "price_accepted", joined({followed(0, 0, 0), pending(price, 0)}));
    write_seed("trade_notification", "price_in_process", joined({followed(0, 1, price.request_id), pending(price, 1)}));
    write_seed("trade_notification", "price_done", joined({followed(0, 2, price.request_id), done(price)}));
    write_seed("trade_notification", "open_done", joined({followed(2, 2, open.request_id), done(open)}));
    write_seed("trade_notification", "close_done", joined({followed(6, 2, close.request_id), done(close)}));
    // The close's notification head and balance and credit, then its records unpacked.
    const Bytes close_done = done(close);
    constexpr size_t kHeadAndPair = 6 + 16;
    net::PacketStream block_stream(nullptr, platform::system_clock());
    testing::feed_stream(block_stream, slice(close_done, kHeadAndPair, close_done.size()), {}, testing::Prescramble::Yes);
    const net::CompressedBlock records = net::read_compressed(block_stream, 65536);
    write_seed("trade_notification", "close_done_plain",
               joined({followed(6, 0x82, close.request_id), slice(close_done, 0, kHeadAndPair),
                       Bytes(records.bytes.get(), records.bytes.get() + records.size)}));

    // The open request as the server verifies it: login, build and identity, then what
    // followed the command byte; without its trailer it is the request of a build that
    // sends none (412).
    const Bytes payload = slice(sent, open.sent_from + 1, open.sent_to);
    const uint32_t identity = demo.config.server.identity;
    const auto build = static_cast<uint16_t>(demo.config.reported_build());
    write_seed("trade_request_verify", "open_trailer",
               joined({bytes_of(fuzzing::kDemoLogin), bytes_of(build), bytes_of(identity), payload}));
    write_seed("trade_request_verify", "open_no_trailer",
               joined({bytes_of(fuzzing::kDemoLogin), bytes_of(uint16_t{412}), bytes_of(identity),
                       slice(payload, 0, net::kTradeRequestSize)}));

    // The price notification through typed reads: id, kind, code, bid, ask (scrambled under
    // a key, so that the reader unscrambles it).
    write_seed("typed_reads", "price_done", joined({{3, 5, 2, 0, 0, 4, 4}, done(price)}));
}

// Ticks the feed makes for the subscription before the deals (of every instrument, some of
// which the terminal subscribed).
constexpr size_t kPushedTicks = 40;

void record_trade_door(fuzzing::DemoServer& demo) {
    Served served(demo, server::ServerRole::Trade);
    fuzzing::session_services().stream_clock = &platform::system_clock();
    fuzzing::SessionWorld world;
    net::PacketStream& stream = session::ServerSessionAccess::stream(world.session, session::Server::Trade);
    stream.adopt(served.relay->take_client_end());
    const net::ConnectionKey key = net::login_key(net::LoginMode::TradeServer, fuzzing::kDemoPassword);
    if (const net::ReturnCode code = net::log_in(stream, fuzzing::kDemoLogin, fuzzing::kDemoPassword, net::LoginMode::TradeServer);
        code != net::ReturnCode::Ok) {
        std::fprintf(stderr, "login to the trade door: code %d\n", net::code_value(code));
        std::exit(1);
    }
    const size_t logged_in = served.relay->down().size();

    // In the terminal's order: the update check, the login data, then the account data,
    // after which the server starts pushing. The account history is asked for once more
    // before that, so that its answer stands alone.
    const uint8_t program[] = {'#', '!'};
    platform::write_file_atomic(platform::join_path(world.services.folder, session::kUpdaterExecutable), program);
    session::check_for_update(stream, {world.services.folder, "Fuzz Company", fuzzing::kDemoLogin, "Demo"},
                              world.services.servers, world.services.journal, world.services.starter);
    const size_t update = served.relay->down().size();

    const config::LoginRecord account = world.services.config.login_record();
    if (const net::ReturnCode code = session::ServerSessionAccess::download_login_data(world.session, account);
        code != net::ReturnCode::Ok) {
        std::fprintf(stderr, "login data: code %d\n", net::code_value(code));
        std::exit(1);
    }
    const size_t login_data = served.relay->down().size();

    session::request_account_history(stream, {0, 2'000'000'000});
    const size_t history = served.relay->down().size();

    session::ServerSessionAccess::account_data(world.session, world.services.config.login_record());
    const size_t account_data = served.relay->down().size();

    net::OutputBuffer& out = stream.output();
    out.reset();
    market::put_chart_requests(out, world.world.center.take_requests());
    if (out.size() > 0) stream.send_output();
    const size_t answered = served.relay->down().size();

    // What the server pushes: quotes of the subscribed symbols, the deals of a trade
    // channel, and an admin's change of an instrument and of the group.
    demo.feed->pump();   // the prices so far go to nobody
    world.world.base.request_subscription();
    out.reset();
    if (std::optional<std::vector<uint16_t>> indexes = world.symbols.take_subscription()) {
        market::put_subscription(out, *indexes);
        stream.send_output();
    }
    size_t ticks = 0;
    for (int pass = 0; pass < 50 && ticks < kPushedTicks; ++pass) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        ticks += demo.feed->pump();
    }
    record_trade_channel(demo);
    demo.feed->pump();
    const server::SettingOverride changes[] = {{"instrument", "EURUSD", "stops_level", "20"},
                                               {"group", "demo", "leverage", "200"}};
    demo.storage->set_overrides(changes);
    const Bytes down = unscrambled(served.relay->down(), key);
    stream.close();

    write_seed("client_login", "trade", joined({{0}, slice(down, 0, logged_in)}));
    write_seed("update_reply", "answer", slice(down, logged_in, update));
    // The target reads the account data first, then the login data.
    write_seed("login_data", "first_login", joined({slice(down, history, account_data), slice(down, update, login_data)}));
    write_seed("account_history", "all", slice(down, login_data, history));
    write_seed("session_pushes", "trade", joined({{2}, slice(down, account_data, down.size())}));
    record_pushes(slice(down, answered, down.size()));
    const Bytes up = served.relay->up();
    const Bytes requests = unscrambled(slice(up, net::kLoginPacketSize, up.size()), key);
    write_seed("server_session", "trade", joined({{0}, requests}));
    // The packet as sent, then what followed it.
    write_seed("login_packet", "trade", joined({slice(up, 0, net::kLoginPacketSize), requests}));
    // The account data block after its code byte, as a stream the reader sees unscrambled.
    write_seed("read_compressed", "account_data", joined({{2}, slice(down, history + 1, account_data)}));
    // The server information reply, the first of the login data: code, a byte passed on,
    // then the block.
    net::PacketStream info_stream(nullptr, platform::system_clock());
    testing::feed_stream(info_stream, slice(down, update, login_data), {}, testing::Prescramble::Yes);
    uint8_t head[2] = {};
    const net::CompressedBlock info =
        info_stream.read(head, sizeof head) ? net::read_compressed(info_stream, 65536) : net::CompressedBlock{};
    if (info.status != net::BlockStatus::Data) {
        std::fprintf(stderr, "no server information in the login data\n");
        std::exit(1);
    }
    write_seed("server_information", "kestrelbay_demo", Bytes(info.bytes.get(), info.bytes.get() + info.size));
    // The login reply through typed reads: code, flags, build, identity.
    write_seed("typed_reads", "login_reply", joined({{2, 4, 0, 0, 1, 3}, slice(down, 0, logged_in)}));

    record_config_files(world.services.folder, world.services.config, world.trades.account());
}

// The history centre's login to the history door, through the relay.
class RelayedLogin final : public session::HistoryServerLogin {
public:
    explicit RelayedLogin(Relay& relay) : relay_(relay) {}
    session::HistoryLoginResult connect_and_log_in(net::PacketStream& stream) override {
        if (logged_in_ != 0) return {};
        stream.adopt(relay_.take_client_end());
        if (net::log_in(stream, fuzzing::kDemoLogin, "", net::LoginMode::HistoryServer) != net::ReturnCode::Ok) return {};
        logged_in_ = relay_.down().size();
        return {session::HistoryLoginResult::Status::LoggedIn, market::BarForm::Wide28};
    }
    size_t logged_in_ = 0;

private:
    Relay& relay_;
};

void record_history_door(fuzzing::DemoServer& demo) {
    Served served(demo, server::ServerRole::History);
    RelayedLogin login(*served.relay);
    const std::string& folder = fuzzing::market_folder("syncseeds");
    {
        fuzzing::MarketWorld world(folder, &login, &platform::system_clock());
        world.center.synchronise("EURUSD", 60);
        // The thread ends by itself after its idle passes; the answer has come long before.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        while (world.center.synchronisation_running() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    const net::ConnectionKey key = net::login_key(net::LoginMode::HistoryServer, "");
    const Bytes down = unscrambled(served.relay->down(), key);
    write_seed("client_login", "history", joined({{1}, slice(down, 0, login.logged_in_)}));
    // EURUSD H1 in wide bars.
    write_seed("history_sync", "eurusd_h1", joined({{5}, slice(down, login.logged_in_, down.size())}));
    const Bytes up = served.relay->up();
    write_seed("server_session", "history", joined({{1}, unscrambled(slice(up, net::kLoginPacketSize, up.size()), key)}));
}

void record_probe(fuzzing::DemoServer& demo) {
    Served served(demo, server::ServerRole::Trade);
    net::PacketStream client(nullptr, platform::system_clock());
    client.adopt(served.relay->take_client_end());
    client.send_all("ZINFO\n", 6);
    std::string line;
    client.receive_line(line, config::kProbeReplyLimit);
    client.send_all("QUIT\n", 5);
    const Bytes reply = served.relay->down();
    write_seed("probe_reply", "answer", reply);

    // The reply through typed reads: 31-byte pieces, then the rest as a line.
    constexpr size_t kLargestOperation = 31;
    Bytes operations;
    for (size_t left = reply.size(); left > kLargestOperation; left -= kLargestOperation)
        operations.push_back(kLargestOperation << 3 | 7);
    operations.push_back(kLargestOperation << 3 | 6);
    write_seed("typed_reads", "probe_reply",
               joined({{2, static_cast<uint8_t>(operations.size())}, operations, reply}));
}

void record_messages() {
    net::OutputBuffer out(0);
    const messaging::OutgoingNews news{7, 1'700'000'000, "Markets open higher", "fx", "Markets open higher on the news."};
    for (auto [body, name] :
         {std::pair{messaging::NewsBody::Along, "body_along"}, {messaging::NewsBody::OnRequest, "body_later"}}) {
        out.reset();
        messaging::put_news_header(out, news, body);
        write_seed("news_header", name, Bytes(out.data() + 1, out.data() + out.size()));
    }
}

void record_stored_bars(fuzzing::DemoServer& demo) {
    const std::string path = fuzzing::scratch_folder("barseeds") + "/server.db";
    std::string error;
    std::unique_ptr<server::Storage> storage = server::Storage::open(path, error);
    server::BarHistory history(demo.config, platform::system_clock().unix_time(), storage.get());
    history.generate();
    history.save();
    server::SqliteDatabase db;
    db.open(path);
    auto newest_chunk = [&](int32_t period, size_t bars) {
        server::SqliteStatement row = db.prepare(
            "SELECT bars FROM bar_chunks WHERE symbol = 'EURUSD' AND period = ? ORDER BY first_time DESC LIMIT 1");
        row.bind(1, int64_t{period});
        Bytes blob = row.next_row() ? row.blob(0) : Bytes{};
        return slice(blob, 0, bars * sizeof(server::PointBar));
    };
    const Bytes hours = newest_chunk(60, 40);
    write_seed("stored_bars", "h1_and_m1",
               joined({{4, static_cast<uint8_t>(hours.size() / sizeof(server::PointBar))}, hours, newest_chunk(1, 200)}));

    std::string csv = std::string(tools::kBarCsvHeader) + "\n";
    for (const server::PointBar& bar : history.bars(0, 60, INT32_MIN, INT32_MAX, 50)) {
        const double point = demo.config.instruments[0].point;
        const market::BarRecord record{bar.time, bar.open * point, bar.low * point, bar.high * point,
                                       bar.close * point, static_cast<double>(bar.volume)};
        csv += tools::bar_csv_line(record, demo.config.instruments[0].digits) + "\n";
    }
    write_seed("hst_csv", "eurusd_h1", Bytes(csv.begin(), csv.end()));
    write_seed("server_config_json", "demo",
               Bytes(fuzzing::kDemoConfig, fuzzing::kDemoConfig + std::strlen(fuzzing::kDemoConfig)));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
        return 2;
    }
    corpus_root() = argv[1];
    platform::make_directory(corpus_root());
    fuzzing::DemoServer demo;
    // The server as it runs: its access point in the server information, a dealer for the
    // trade channels, and the admin's changes pushed to the terminals.
    demo.context->access_point = std::string(config::kDefaultServerAddress);
    server::Dealer dealer(*demo.context);
    demo.context->dealer = &dealer;
    server::LiveSettings settings(demo.config, *demo.storage);
    demo.context->settings = &settings;

    record_trade_door(demo);
    const std::string& folder = fuzzing::session_services().folder;
    record_symbol_files(folder, std::string(core::field_text(fuzzing::session_services().config.login_record().server)));
    record_history_door(demo);
    record_history_file(folder, "Demo", "EURUSD60.hst");
    record_settings_file(fuzzing::scratch_folder("seeds"));
    record_probe(demo);
    record_messages();
    record_stored_bars(demo);
    return 0;
}
