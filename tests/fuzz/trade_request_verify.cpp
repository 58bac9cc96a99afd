// Server-side check of a trade request: any bytes after the command byte are either
// refused or are exactly what the terminal builds for the request they carry. The first
// 10 input bytes choose the login, server build and server identity; builds are folded
// into 400..415 so that every form of the packet (no digest, no trailer, trailer) is hit.
#include <cstdlib>
#include <cstring>
#include <span>

#include "net/trade_request_signing.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    constexpr size_t kHeader = 10;
    if (size < kHeader) return 0;
    int32_t login = 0;
    uint16_t build = 0;
    uint32_t identity = 0;
    std::memcpy(&login, data, 4);
    std::memcpy(&build, data + 4, 2);
    std::memcpy(&identity, data + 6, 4);
    build = static_cast<uint16_t>(400 + build % 16);
    std::span<const uint8_t> payload(data + kHeader, size - kHeader);

    auto request = kb::net::verify_trade_request(payload, login, build, identity);
    if (!request) return 0;
    kb::net::OutputBuffer rebuilt;
    kb::net::append_trade_request(rebuilt, *request, login, build, identity);
    if (rebuilt.size() != payload.size() + 1 ||
        std::memcmp(rebuilt.data() + 1, payload.data(), payload.size()) != 0) {
        std::abort();
    }
    return 0;
}
