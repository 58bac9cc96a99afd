#include "net/server_info.h"

#include <algorithm>
#include <cstring>

namespace kb::net {

namespace {

constexpr size_t kFixedSize = sizeof(ServerInfoHead) + sizeof(ServerInfoTail);

template <size_t N>
void force_terminator(char (&field)[N]) {
    field[N - 1] = '\0';
}

}  // namespace

std::optional<ServerInformation> parse_server_information(std::span<const uint8_t> block) {
    if (block.size() < kFixedSize) return std::nullopt;
    size_t points_size = block.size() - kFixedSize;
    if (points_size % sizeof(AccessPointRecord) != 0) return std::nullopt;
    size_t count = points_size / sizeof(AccessPointRecord);
    if (count > kMaxServerInfoAccessPoints) return std::nullopt;

    ServerInformation info;
    std::memcpy(&info.head, block.data(), sizeof(info.head));
    info.access_points.resize(count);
    if (count > 0) std::memcpy(info.access_points.data(), block.data() + sizeof(info.head), points_size);
    std::memcpy(&info.tail, block.data() + sizeof(info.head) + points_size, sizeof(info.tail));

    for (AccessPointRecord& point : info.access_points) {
        force_terminator(point.address);
        force_terminator(point.description);
    }
    force_terminator(info.tail.server_name);
    force_terminator(info.tail.text);
    return info;
}

std::vector<uint8_t> build_server_information(const ServerInformation& info) {
    size_t count = std::min(info.access_points.size(), kMaxServerInfoAccessPoints);
    size_t points_size = count * sizeof(AccessPointRecord);
    std::vector<uint8_t> block(kFixedSize + points_size);
    std::memcpy(block.data(), &info.head, sizeof(info.head));
    if (count > 0) std::memcpy(block.data() + sizeof(info.head), info.access_points.data(), points_size);
    std::memcpy(block.data() + sizeof(info.head) + points_size, &info.tail, sizeof(info.tail));
    return block;
}

}  // namespace kb::net
