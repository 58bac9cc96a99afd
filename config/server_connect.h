#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kb::net {
class PacketStream;
}

namespace kb::config {

class ServerList;

// Trade servers listen here unless an address names another port.
inline constexpr uint16_t kDefaultTradePort = 443;

struct HostAndPort {
    std::string host;
    uint16_t port = kDefaultTradePort;
};

// Splits "host" or "host:port" at the first ':'. nullopt for an empty host or a port
// that is not a number in 1..65535.
std::optional<HostAndPort> split_address(std::string_view address, uint16_t default_port = kDefaultTradePort);

struct ListConnection {
    bool connected = false;
    std::string access_point;   // the address that connected
};

// Opens stream to a trade server named by target ("name" or "host[:port]"). A name the
// list knows is reached through its access points: the remembered one first, then the
// others that have not failed in measured order (the first to connect is remembered);
// each attempt records its connect time, a failed one 1000000 ms, and when all fail the
// server's failure marks are reset. Anything else is connected to directly. A port
// outside 1..65535 fails without connecting. Called from the stream's thread; the list
// lock is never held while connecting.
ListConnection connect_through_list(net::PacketStream& stream, std::string_view target, ServerList& list);

}  // namespace kb::config
