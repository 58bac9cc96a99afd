#pragma once
#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "net/digest.h"

namespace kb::net {

// The program's fixed 16-byte key: file scrambling and the login packet.
inline constexpr std::array<uint8_t, 16> kFixedKeyTable = {7,   211, 90, 164, 29, 133, 248, 62,
                                                           175, 14,  101, 226, 48, 159, 83,  196};

// ---- Stream scrambling (every packet on a connection) ----
//
// One direction of a connection: the previous plain byte and the position in the key.
// Both ends keep one state per direction; the state carries across packets.
struct ScrambleState {
    uint8_t previous = 0;
    uint32_t position = 0;
};

using ConnectionKey = std::array<uint8_t, 16>;

// The key of a connection: the MD5 digest of the password text.
ConnectionKey connection_key(std::string_view password);

// Scrambles plain bytes in place for sending, advancing state.
void scramble_outgoing(std::span<uint8_t> bytes, const ConnectionKey& key, ScrambleState& state);
// Unscrambles received bytes in place, advancing state.
void unscramble_incoming(std::span<uint8_t> bytes, const ConnectionKey& key, ScrambleState& state);
// The scrambled form of one byte under the current state, state unchanged (the quit byte).
uint8_t scramble_without_advancing(uint8_t plain, const ConnectionKey& key, const ScrambleState& state);

// ---- File scrambling (configuration files, request records, update files) ----
//
// A rolling XOR with kFixedKeyTable chained on the scrambled bytes; index 0 is the first
// byte of the span (the owner decides where a chain starts).
void file_scramble(std::span<uint8_t> bytes);
void file_unscramble(std::span<uint8_t> bytes);

}  // namespace kb::net
