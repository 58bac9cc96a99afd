// Records the seed inputs of the fuzz targets from real exchanges with the in-process
// demo-server (tests/fuzz/demo_server.h): the terminal's own readers talk to it through
// a relay that keeps every byte, and each target's seed is the part of the exchange it
// reads, unscrambled as the reader sees it. Run by hand after a protocol change:
//   record_fuzz_seeds tests/fuzz/corpus
#include <poll.h>
#include <sys/socket.h>

#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "net/scramble.h"
#include "config/server_probe.h"
#include "market/chart_packets.h"
#include "messaging/news_header_packet.h"
#include "server/sqlite_database.h"
#include "session/account_history_request.h"
#include "session/update_check.h"
#include "tests/fuzz/demo_server.h"
#include "tests/fuzz/session_world.h"
#include "tools/bar_csv.h"

namespace {

using namespace kb;
using Bytes = std::vector<uint8_t>;

std::string corpus_root;

void write_seed(const std::string& target, const std::string& name, const Bytes& bytes) {
    const std::string folder = corpus_root + "/" + target;
    platform::make_directory(folder);
    if (!platform::write_file_atomic(folder + "/" + name, bytes)) {
        std::fprintf(stderr, "cannot write %s/%s\n", folder.c_str(), name.c_str());
        std::exit(1);
    }
    std::printf("%s/%s: %zu bytes\n", target.c_str(), name.c_str(), bytes.size());
}

Bytes joined(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

Bytes slice(const Bytes& bytes, size_t from, size_t to) {
    return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(std::min(from, bytes.size())),
                 bytes.begin() + static_cast<std::ptrdiff_t>(std::min(to, bytes.size())));
}

Bytes unscrambled(Bytes bytes, const net::ConnectionKey& key) {
    net::ScrambleState state;
    net::unscramble_incoming(bytes, key, state);
    return bytes;
}

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

void record_trade_door(fuzzing::DemoServer& demo) {
    Served served(demo, server::ServerRole::Trade);
    fuzzing::session_services().stream_clock = &platform::system_clock();
    fuzzing::SessionWorld world;
    net::PacketStream& stream = session::ServerSessionAccess::stream(world.session, session::Server::Trade);
    stream.adopt(served.relay->take_client_end());
    const net::ConnectionKey key = net::login_key(net::LoginMode::TradeServer, fuzzing::kDemoPassword);
    if (const int code = net::log_in(stream, fuzzing::kDemoLogin, fuzzing::kDemoPassword, net::LoginMode::TradeServer)) {
        std::fprintf(stderr, "login to the trade door: code %d\n", code);
        std::exit(1);
    }
    const size_t logged_in = served.relay->down().size();

    const config::LoginRecord account = world.services.config.login_record();
    session::ServerSessionAccess::account_data(world.session, account);
    session::ServerSessionAccess::download_login_data(world.session, account);
    const size_t login_data = served.relay->down().size();

    session::request_account_history(stream, {0, 2'000'000'000});
    const size_t history = served.relay->down().size();

    const uint8_t program[] = {'#', '!'};
    platform::write_file_atomic(platform::join_path(world.services.folder, session::kUpdaterExecutable), program);
    session::check_for_update(stream, {world.services.folder, "Fuzz Company", fuzzing::kDemoLogin, "Demo"},
                              world.services.servers, world.services.journal, world.services.starter);
    const size_t update = served.relay->down().size();

    net::OutputBuffer& out = stream.output();
    out.reset();
    market::put_chart_requests(out, world.world.center.take_requests());
    if (out.size() > 0) stream.send_output();
    const Bytes down = unscrambled(served.relay->down(), key);
    stream.close();

    write_seed("client_login", "trade", joined({{0}, slice(down, 0, logged_in)}));
    write_seed("login_data", "first_login", slice(down, logged_in, login_data));
    write_seed("account_history", "all", slice(down, login_data, history));
    write_seed("update_reply", "answer", slice(down, history, update));
    write_seed("session_pushes", "trade", joined({{2}, slice(down, update, down.size())}));
    const Bytes up = served.relay->up();
    const Bytes requests = unscrambled(slice(up, net::kLoginPacketSize, up.size()), key);
    write_seed("server_session", "trade", joined({{0}, requests}));
    // The packet as sent, then what followed it.
    write_seed("login_packet", "trade", joined({slice(up, 0, net::kLoginPacketSize), requests}));
    // The account data block after its code byte, as a stream the reader sees unscrambled.
    write_seed("read_compressed", "account_data", joined({{2}, slice(down, logged_in + 1, login_data)}));
}

// The history centre's login to the history door, through the relay.
class RelayedLogin final : public session::HistoryServerLogin {
public:
    explicit RelayedLogin(Relay& relay) : relay_(relay) {}
    session::HistoryLoginResult connect_and_log_in(net::PacketStream& stream) override {
        if (logged_in_ != 0) return {};
        stream.adopt(relay_.take_client_end());
        if (net::log_in(stream, fuzzing::kDemoLogin, "", net::LoginMode::HistoryServer) != 0) return {};
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
    net::PacketStream client(nullptr);
    client.adopt(served.relay->take_client_end());
    client.send_all("ZINFO\n", 6);
    std::string line;
    client.receive_line(line, config::kProbeReplyLimit);
    client.send_all("QUIT\n", 5);
    write_seed("probe_reply", "answer", served.relay->down());
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
    corpus_root = argv[1];
    platform::make_directory(corpus_root);
    fuzzing::DemoServer demo;
    record_trade_door(demo);
    record_history_door(demo);
    record_probe(demo);
    record_messages();
    record_stored_bars(demo);
    return 0;
}
