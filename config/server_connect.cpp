#include "config/server_connect.h"

#include <charconv>
#include <limits>

#include "config/server_list.h"
#include "net/packet_stream.h"

namespace kb::config {

std::optional<HostAndPort> split_address(std::string_view address, uint16_t default_port) {
    HostAndPort result;
    result.port = default_port;
    const size_t colon = address.find(':');
    result.host = std::string(address.substr(0, colon));
    if (result.host.empty()) return std::nullopt;
    if (colon == std::string_view::npos) return result;

    std::string_view digits = address.substr(colon + 1);
    uint32_t port = 0;
    auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), port);
    if (error != std::errc{} || end != digits.data() + digits.size() || port < 1 || port > 65535) {
        return std::nullopt;
    }
    result.port = static_cast<uint16_t>(port);
    return result;
}

namespace {

// One attempt on an access point; its outcome is recorded in the list either way.
bool try_access_point(net::PacketStream& stream, ServerList& list, std::string_view server, const std::string& address) {
    if (!split_address(address)) {
        list.record_connect_time(server, address, kConnectFailureMs);
        return false;
    }
    platform::Clock& clock = stream.clock();
    const uint32_t started = clock.tick_ms();
    const bool connected = stream.connect(address, kDefaultTradePort);
    const uint32_t elapsed = clock.tick_ms() - started;
    const int32_t time_ms = elapsed > static_cast<uint32_t>(std::numeric_limits<int32_t>::max())
                                ? std::numeric_limits<int32_t>::max()
                                : static_cast<int32_t>(elapsed);
    list.record_connect_time(server, address, connected ? time_ms : kConnectFailureMs);
    return connected;
}

}  // namespace

ListConnection connect_through_list(net::PacketStream& stream, std::string_view target, ServerList& list) {
    std::optional<HostAndPort> parts = split_address(target);
    if (!parts) return {};

    std::optional<ServerEntry> server = list.find_copy(parts->host);
    if (!server) {
        if (!stream.connect(std::string(target), kDefaultTradePort)) return {};
        return {true, std::string(target)};
    }

    const std::string name(server->name());
    const std::string selected(server->selected_address());
    if (!selected.empty() && try_access_point(stream, list, name, selected)) return {true, selected};

    for (const AccessPointRecord& point : server->access_points) {
        const std::string address(address_of(point));
        if (address == selected || point.time_ms == kFailedMs) continue;
        if (try_access_point(stream, list, name, address)) {
            list.select_access_point(name, address);
            return {true, address};
        }
    }
    list.reset_failures(name);
    return {};
}

}  // namespace kb::config
