#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "net/packet_stream.h"

namespace kb::net {

// The check value and integrity trailer that travel with a trade request (command 190).
// Both the terminal (which builds them) and the demo server (which verifies them) use
// this file, so the recipe lives only here:
//
//  check value  = login + sum of request bytes 0..91 (unsigned, mod 2^32);
//                 for server builds above 403 XORed with the low 32 bits of FNV-1a-64
//                 over the same 92 bytes; stored little-endian at offset 92.
//  packet       = 190, the 96-byte request with the check value, then, for server builds
//                 above 412 with a non-zero server identity, the trailer:
//  trailer      = a generator seeded like srand(login + second-lowest identity byte)
//                 (glibc's random() sequence, kept in a private state so threads don't
//                 share it) gives r % 4 + 1 random bytes (each r & 0xFF); then CRC-32
//                 (reflected, polynomial 0xEDB88320) over the request and those random
//                 bytes, with the register starting at the check value XOR 0xFFFFFFFF and
//                 the usual final XOR, little-endian; then r % 4 + 4 more random bytes.
//
// The 96 request bytes are opaque here. Every function is thread-safe.

inline constexpr size_t kTradeRequestSize = 96;
inline constexpr size_t kTradeRequestCheckOffset = 92;
using TradeRequestBytes = std::array<uint8_t, kTradeRequestSize>;

// The check value of a request's first 92 bytes.
uint32_t trade_request_check_value(std::span<const uint8_t, kTradeRequestSize> request, int32_t login,
                                   uint16_t server_build);

// Appends command 190, the request copy with its check value at offset 92, and the
// trailer when the server expects one. The caller's request is not changed.
void append_trade_request(OutputBuffer& out, std::span<const uint8_t, kTradeRequestSize> request,
                          int32_t login, uint16_t server_build, uint32_t server_identity);

// Assembles the request in the stream's output buffer with the stream's login, server
// build and identity and sends it. False (stream closed) when sending fails.
bool send_trade_request(PacketStream& stream, std::span<const uint8_t, kTradeRequestSize> request);

// Server side: the number of bytes that follow the command byte for this login, build and
// identity (96, or 96 plus the trailer), so a server knows how much to read.
size_t trade_request_payload_size(int32_t login, uint16_t server_build, uint32_t server_identity);

// Server side: checks the bytes that followed the command byte (exact length, check value,
// random bytes and CRC) and returns the 96-byte request; nothing when any of them is wrong.
std::optional<TradeRequestBytes> verify_trade_request(std::span<const uint8_t> payload, int32_t login,
                                                      uint16_t server_build, uint32_t server_identity);

}  // namespace kb::net
