#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "net/access_point_record.h"

namespace kb::net {

// The compressed block of the server information reply (command 16): a head, then 0..64
// access points, then a tail; the number of access points follows from the block size.
// Both the session (reading) and the demo server (writing) use this file. Pure functions,
// callable from any thread.

inline constexpr size_t kMaxServerInfoAccessPoints = 64;
// The oldest server protocol version a session accepts.
inline constexpr uint16_t kMinimumServerProtocolVersion = 404;

#pragma pack(push, 1)
struct ServerInfoHead {
    uint16_t trade_value;            // passed on to the trade screens
    uint16_t protocol_version;       // kMinimumServerProtocolVersion or more
};
static_assert(sizeof(ServerInfoHead) == 4);
static_assert(offsetof(ServerInfoHead, protocol_version) == 2);

struct ServerInfoTail {
    char server_name[64];            // NUL at 63
    char text[128];                  // NUL at 127
};
static_assert(sizeof(ServerInfoTail) == 192);
static_assert(offsetof(ServerInfoTail, text) == 64);
#pragma pack(pop)

struct ServerInformation {
    ServerInfoHead head{};
    std::vector<AccessPointRecord> access_points;
    ServerInfoTail tail{};
};

// Reads a block. Nothing when its size is not head + n access points + tail with n at most
// 64. Every text terminator (server name, text, access point address and description) is
// forced to NUL.
std::optional<ServerInformation> parse_server_information(std::span<const uint8_t> block);

// The block for a reply; access points beyond the 64th are left out.
std::vector<uint8_t> build_server_information(const ServerInformation& info);

}  // namespace kb::net
