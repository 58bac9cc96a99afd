#include "net/trade_request_signing.h"

#include <stdlib.h>

#include <algorithm>
#include <cstring>

#include "net/protocol.h"

namespace kb::net {

namespace {

constexpr uint16_t kLastBuildWithoutDigest = 403;
constexpr uint16_t kLastBuildWithoutTrailer = 412;
constexpr size_t kMaxTrailerSize = 4 + 4 + 7;

// The same sequence as srand(seed) followed by rand() calls, without the process-wide
// generator state.
class SeededGenerator {
public:
    explicit SeededGenerator(unsigned int seed) { initstate_r(seed, state_, sizeof(state_), &data_); }
    uint32_t next() {
        int32_t value = 0;
        random_r(&data_, &value);
        return static_cast<uint32_t>(value);
    }

private:
    alignas(int32_t) char state_[128] = {};
    random_data data_{};
};

uint32_t fnv1a64_low(std::span<const uint8_t> bytes) {
    uint64_t hash = 14695981039346656037ull;
    for (uint8_t byte : bytes) {
        hash ^= byte;
        hash *= 1099511628211ull;
    }
    return static_cast<uint32_t>(hash);
}

const std::array<uint32_t, 256>& crc_table() {
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> entries{};
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t value = i;
            for (int bit = 0; bit < 8; ++bit) value = (value & 1) ? (value >> 1) ^ 0xEDB88320u : value >> 1;
            entries[i] = value;
        }
        return entries;
    }();
    return table;
}

uint32_t crc_update(uint32_t crc, std::span<const uint8_t> bytes) {
    const auto& table = crc_table();
    for (uint8_t byte : bytes) crc = table[(crc ^ byte) & 0xFF] ^ (crc >> 8);
    return crc;
}

struct Trailer {
    std::array<uint8_t, kMaxTrailerSize> bytes{};
    size_t size = 0;

    void push(uint8_t byte) { bytes[size++] = byte; }
    std::span<const uint8_t> view() const { return {bytes.data(), size}; }
};

bool has_trailer(uint16_t server_build, uint32_t server_identity) {
    return server_build > kLastBuildWithoutTrailer && server_identity != 0;
}

// The trailer for a request whose check value is already stored at offset 92.
Trailer make_trailer(std::span<const uint8_t, kTradeRequestSize> signed_request, uint32_t check,
                     int32_t login, uint32_t server_identity) {
    SeededGenerator generator(static_cast<unsigned int>(login) + ((server_identity >> 8) & 0xFF));
    Trailer trailer;
    uint32_t leading = generator.next() % 4 + 1;
    for (uint32_t i = 0; i < leading; ++i) trailer.push(static_cast<uint8_t>(generator.next() & 0xFF));

    uint32_t crc = crc_update(check ^ 0xFFFFFFFFu, signed_request);
    crc = crc_update(crc, trailer.view()) ^ 0xFFFFFFFFu;
    for (int shift = 0; shift < 32; shift += 8) trailer.push(static_cast<uint8_t>(crc >> shift));

    uint32_t closing = generator.next() % 4 + 4;
    for (uint32_t i = 0; i < closing; ++i) trailer.push(static_cast<uint8_t>(generator.next() & 0xFF));
    return trailer;
}

TradeRequestBytes signed_copy(std::span<const uint8_t, kTradeRequestSize> request, uint32_t check) {
    TradeRequestBytes copy;
    std::copy(request.begin(), request.end(), copy.begin());
    std::memcpy(copy.data() + kTradeRequestCheckOffset, &check, sizeof(check));
    return copy;
}

}  // namespace

uint32_t trade_request_check_value(std::span<const uint8_t, kTradeRequestSize> request, int32_t login,
                                   uint16_t server_build) {
    std::span<const uint8_t> covered = request.first(kTradeRequestCheckOffset);
    uint32_t check = static_cast<uint32_t>(login);
    for (uint8_t byte : covered) check += byte;
    if (server_build > kLastBuildWithoutDigest) check ^= fnv1a64_low(covered);
    return check;
}

void append_trade_request(OutputBuffer& out, std::span<const uint8_t, kTradeRequestSize> request,
                          int32_t login, uint16_t server_build, uint32_t server_identity) {
    uint32_t check = trade_request_check_value(request, login, server_build);
    TradeRequestBytes copy = signed_copy(request, check);
    out.put_command(Command::TradeRequest);
    out.put_bytes(copy.data(), copy.size());
    if (!has_trailer(server_build, server_identity)) return;
    Trailer trailer = make_trailer(copy, check, login, server_identity);
    out.put_bytes(trailer.bytes.data(), trailer.size);
}

bool send_trade_request(PacketStream& stream, std::span<const uint8_t, kTradeRequestSize> request) {
    OutputBuffer& out = stream.output();
    out.reset();
    append_trade_request(out, request, stream.login(), stream.server_build(), stream.server_identity());
    return stream.send_output();
}

size_t trade_request_payload_size(int32_t login, uint16_t server_build, uint32_t server_identity) {
    if (!has_trailer(server_build, server_identity)) return kTradeRequestSize;
    // The trailer's length depends only on the generator, not on the request.
    TradeRequestBytes any{};
    return kTradeRequestSize + make_trailer(any, 0, login, server_identity).size;
}

std::optional<TradeRequestBytes> verify_trade_request(std::span<const uint8_t> payload, int32_t login,
                                                      uint16_t server_build, uint32_t server_identity) {
    if (payload.size() < kTradeRequestSize) return std::nullopt;
    std::span<const uint8_t, kTradeRequestSize> request = payload.first<kTradeRequestSize>();
    uint32_t check = trade_request_check_value(request, login, server_build);
    uint32_t stored = 0;
    std::memcpy(&stored, request.data() + kTradeRequestCheckOffset, sizeof(stored));
    if (stored != check) return std::nullopt;

    std::span<const uint8_t> rest = payload.subspan(kTradeRequestSize);
    if (has_trailer(server_build, server_identity)) {
        Trailer expected = make_trailer(request, check, login, server_identity);
        if (!std::ranges::equal(rest, expected.view())) return std::nullopt;
    } else if (!rest.empty()) {
        return std::nullopt;
    }
    TradeRequestBytes out;
    std::copy(request.begin(), request.end(), out.begin());
    return out;
}

}  // namespace kb::net
