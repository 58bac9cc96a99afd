// The session's reading of the server information block: any bytes are either refused or
// give records that the server side writes back to a block of the same size, with every
// text terminated.
#include <cstdlib>
#include <cstring>
#include <span>

#include "net/server_info.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto info = kb::net::parse_server_information(std::span<const uint8_t>(data, size));
    if (!info) return 0;
    if (kb::net::build_server_information(*info).size() != size) std::abort();
    for (const auto& point : info->access_points) {
        if (std::memchr(point.address, 0, sizeof(point.address)) == nullptr) std::abort();
        if (std::memchr(point.description, 0, sizeof(point.description)) == nullptr) std::abort();
    }
    if (std::memchr(info->tail.server_name, 0, sizeof(info->tail.server_name)) == nullptr) std::abort();
    if (std::memchr(info->tail.text, 0, sizeof(info->tail.text)) == nullptr) std::abort();
    return 0;
}
