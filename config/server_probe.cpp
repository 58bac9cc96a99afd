#include "config/server_probe.h"

#include "config/server_connect.h"
#include "net/protocol.h"

namespace kb::config {

ServerProbe::ServerProbe(ServerList& list, platform::Clock& clock, platform::Clock& stream_clock)
    : list_(list), clock_(clock), stream_(nullptr, stream_clock) {}

ServerProbe::~ServerProbe() { stop(); }

bool ServerProbe::start(std::string_view server_name) {
    std::optional<ServerEntry> server = list_.find_copy(server_name);
    if (!server || server->access_points.size() < 2) return false;
    if (clock_.tick_ms() - server->record.selection_tick < kProbeIntervalMs) return false;
    if (thread_.running()) return false;
    thread_.join();
    stopping_ = false;
    return thread_.start([this, name = std::string(server_name), points = std::move(server->access_points)] {
        run(name, points);
    });
}

void ServerProbe::probe_watchdog() {
    if (stream_.is_open() && clock_.tick_ms() - step_started_.load() > kProbeStepTimeoutMs) stream_.close();
}

void ServerProbe::stop() {
    stopping_ = true;
    stream_.close();
    thread_.join();
}

void ServerProbe::wait() { thread_.join(); }

void ServerProbe::run(const std::string& server_name, const std::vector<AccessPointRecord>& points) {
    std::vector<ProbeMeasurement> measurements;
    for (const AccessPointRecord& point : points) {
        if (stopping_) break;
        measurements.push_back({std::string(address_of(point)), measure(point)});
    }
    list_.apply_probe_results(server_name, measurements);
}

int32_t ServerProbe::measure(const AccessPointRecord& point) {
    const uint32_t started = clock_.tick_ms();
    step_started_ = started;
    std::optional<HostAndPort> target = split_address(address_of(point));
    // A stop that came while connecting may have missed the new socket.
    if (!target || !stream_.connect_direct(target->host, target->port) || stopping_) {
        stream_.close();
        return kFailedMs;
    }
    int32_t time_ms = kFailedMs;
    std::string line;
    if (stream_.send_all(net::kServerProbeRequest.data(), net::kServerProbeRequest.size()) &&
        stream_.receive_line(line, kProbeReplyLimit) &&
        line.starts_with(kProbeReplyMark)) {
        const uint32_t elapsed = clock_.tick_ms() - started;
        time_ms = elapsed < static_cast<uint32_t>(kFailedMs) ? static_cast<int32_t>(elapsed) : kFailedMs;
    }
    stream_.send_all(net::kTextQuit.data(), net::kTextQuit.size());
    stream_.close();
    return time_ms;
}

}  // namespace kb::config
