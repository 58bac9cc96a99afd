#include "net/scramble.h"

namespace kb::net {

ConnectionKey connection_key(std::string_view password) { return md5(password); }

void scramble_outgoing(std::span<uint8_t> bytes, const ConnectionKey& key, ScrambleState& state) {
    uint8_t previous = state.previous;
    uint32_t position = state.position;
    for (uint8_t& byte : bytes) {
        uint8_t plain = byte;
        byte = plain ^ static_cast<uint8_t>(previous + key[position & 15]);
        previous = plain;
        position = (position + 1) & 15;
    }
    state.previous = previous;
    state.position = position;
}

void unscramble_incoming(std::span<uint8_t> bytes, const ConnectionKey& key, ScrambleState& state) {
    uint8_t previous = state.previous;
    uint32_t position = state.position;
    for (uint8_t& byte : bytes) {
        uint8_t plain = byte ^ static_cast<uint8_t>(previous + key[position & 15]);
        byte = plain;
        previous = plain;
        ++position;
    }
    state.previous = previous;
    state.position = position;
}

uint8_t scramble_without_advancing(uint8_t plain, const ConnectionKey& key, const ScrambleState& state) {
    return plain ^ static_cast<uint8_t>(state.previous + key[state.position & 15]);
}

void file_scramble(std::span<uint8_t> bytes) {
    uint8_t previous = 0;
    for (size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] ^= static_cast<uint8_t>(previous + kFixedKeyTable[i & 15]);
        previous = bytes[i];
    }
}

void file_unscramble(std::span<uint8_t> bytes) {
    uint8_t previous = 0;
    for (size_t i = 0; i < bytes.size(); ++i) {
        uint8_t scrambled = bytes[i];
        bytes[i] ^= static_cast<uint8_t>(previous + kFixedKeyTable[i & 15]);
        previous = scrambled;
    }
}

}  // namespace kb::net
