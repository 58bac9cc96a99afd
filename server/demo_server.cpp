#include "server/demo_server.h"

#include "net/packet_stream.h"
#include "platform/peer_address.h"

namespace kb::server {

namespace {

// How long an accept waits before the loop looks at the stop flag again.
constexpr int kAcceptWaitMs = 200;
constexpr uint32_t kFeedPeriodMs = 100;
constexpr int kListenBacklog = 128;
constexpr uint32_t kBarSavePeriodMs = 60000;

// The prices go on from where the stored chart history ends.
PriceEngine resumed_engine(const ServerConfig& config, Storage& storage, platform::Clock& clock) {
    PriceEngine engine(config.instruments, config.price_seed, clock.unix_time() * 1000);
    const std::vector<double> closes = BarHistory::stored_closes(config, storage);
    for (size_t i = 0; i < closes.size(); ++i) engine.resume(static_cast<int>(i), closes[i]);
    return engine;
}

}  // namespace

DemoServer::DemoServer(const ServerConfig& config, Storage& storage, platform::Clock& clock, ServerLog& log,
                       SessionLimits limits, size_t max_sessions, PeerLimitSettings peer_limits)
    : feed_(resumed_engine(config, storage, clock), clock),
      peers_(peer_limits),
      history_(config, clock.unix_time(), &storage),
      settings_(config, storage),
      context_{config, storage, feed_, clock, log, limits},
      dealer_(context_),
      pool_(context_, max_sessions) {
    context_.dealer = &dealer_;
    context_.peers = &peers_;
    context_.history = &history_;
    context_.settings = &settings_;
    std::set<int> every_instrument;
    for (int i = 0; i < static_cast<int>(config.instruments.size()); ++i) every_instrument.insert(i);
    feed_.subscribe(history_, every_instrument);
}

DemoServer::~DemoServer() {
    stop();
    feed_.unsubscribe(history_);
}

bool DemoServer::start(const ListenAddress& trade, const ListenAddress& history, std::string& error) {
    if (!trade_listener_.listen(trade.host, trade.port, kListenBacklog)) {
        error = "can't listen on " + trade.host + ":" + std::to_string(trade.port) + " (trade server)";
        return false;
    }
    if (!history_listener_.listen(history.host, history.port, kListenBacklog)) {
        error = "can't listen on " + history.host + ":" + std::to_string(history.port) + " (history server)";
        trade_listener_.close();
        return false;
    }
    context_.stopping = false;
    context_.access_point = trade.host + ":" + std::to_string(trade_port());
    bool started = history_generator_.start([this] {
        history_.generate();
        history_.save();
        history_.save_periodically(kBarSavePeriodMs, context_.clock);
    }) && feed_.start(kFeedPeriodMs) && dealer_.start() &&
                   trade_acceptor_.start([this] { accept_loop(trade_listener_, ServerRole::Trade); }) &&
                   history_acceptor_.start([this] { accept_loop(history_listener_, ServerRole::History); });
    if (!started) {
        error = "can't start the server's threads";
        stop();
        return false;
    }
    context_.log.write("trade server on %s:%u, history server on %s:%u", trade.host.c_str(), trade_port(),
                       history.host.c_str(), history_port());
    return true;
}

void DemoServer::accept_loop(platform::Socket& listener, ServerRole role) {
    while (!context_.stopping && listener.is_open()) {
        platform::Socket connection = listener.accept(kAcceptWaitMs);
        if (!connection.is_open()) continue;
        uint32_t peer = platform::peer_ipv4(connection);
        const PeerLimits::Admission admission = peers_.admit(peer);
        if (admission != PeerLimits::Admission::Admitted) {
            if (admission == PeerLimits::Admission::RefusedFirst)
                context_.log.write("%s holds %zu connections, more are refused", peer_text(peer).c_str(),
                                   peers_.settings().connections_per_peer);
            connection.close();
            continue;
        }
        // A connection pauses in real time while its client stalls: the server's own clock
        // may be a test's, which only the test moves.
        auto stream = std::make_unique<net::PacketStream>(nullptr, platform::system_clock());
        stream->adopt(std::move(connection));
        pool_.start(role, std::move(stream), peer);
    }
}

void DemoServer::stop() {
    context_.stopping = true;
    // Sessions may wait for the chart history: the generation ends first, so they don't
    // hold the stop until the whole past is generated.
    history_.cancel();
    trade_listener_.close();
    history_listener_.close();
    trade_acceptor_.join();
    history_acceptor_.join();
    pool_.stop_all();
    dealer_.stop();
    feed_.stop();
    history_generator_.join();
    if (!history_.save()) context_.log.write("chart bars not saved: %s", context_.storage.last_error().c_str());
}

}  // namespace kb::server
