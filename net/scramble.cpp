#include "net/scramble.h"

#include <cstring>

namespace kb::net {

namespace {

constexpr size_t kKeySize = 16;

// The key as seen from a position: rotated[j] = key[(position + j) mod 16]. Every 16-byte
// chunk that starts at that position uses the same rotated key.
std::array<uint8_t, kKeySize> rotated(const std::array<uint8_t, kKeySize>& key, uint32_t position) {
    std::array<uint8_t, kKeySize> out;
    for (size_t j = 0; j < kKeySize; ++j) out[j] = key[(position + j) % kKeySize];
    return out;
}

// out[i] = in[i] XOR (in[i-1] + key): the chain runs on the input bytes (sending, and
// reading a scrambled file), so no byte waits for another. Working from the end backwards
// keeps in[i-1] unmodified until it has been used, so a whole 16-byte chunk is done with
// a few vector operations. Returns the last input byte.
uint8_t chain_on_input(std::span<uint8_t> bytes, const std::array<uint8_t, kKeySize>& key, uint8_t previous) {
    using Chunk = uint8_t __attribute__((vector_size(kKeySize)));
    const size_t n = bytes.size();
    if (n == 0) return previous;
    uint8_t* data = bytes.data();
    const uint8_t last_input = data[n - 1];
    auto before = [&](size_t i) { return i == 0 ? previous : data[i - 1]; };

    const size_t whole = n - n % kKeySize;
    for (size_t i = n; i-- > whole;) data[i] ^= static_cast<uint8_t>(before(i) + key[i % kKeySize]);

    Chunk key_chunk;
    std::memcpy(&key_chunk, key.data(), kKeySize);
    for (size_t i = whole; i >= kKeySize;) {
        i -= kKeySize;
        Chunk input, shifted;
        std::memcpy(&input, data + i, kKeySize);
        if (i > 0) {
            std::memcpy(&shifted, data + i - 1, kKeySize);
        } else {
            uint8_t first[kKeySize];
            first[0] = previous;
            std::memcpy(first + 1, data, kKeySize - 1);
            std::memcpy(&shifted, first, kKeySize);
        }
        Chunk output = input ^ (shifted + key_chunk);
        std::memcpy(data + i, &output, kKeySize);
    }
    return last_input;
}

// out[i] = in[i] XOR (out[i-1] + key): the chain runs on the output bytes (receiving, and
// writing a scrambled file), one byte after the other. Returns the last output byte.
uint8_t chain_on_output(std::span<uint8_t> bytes, const std::array<uint8_t, kKeySize>& key, uint8_t previous) {
    size_t i = 0;
    for (; i + kKeySize <= bytes.size(); i += kKeySize) {
        for (size_t j = 0; j < kKeySize; ++j) {
            previous = bytes[i + j] ^ static_cast<uint8_t>(previous + key[j]);
            bytes[i + j] = previous;
        }
    }
    for (size_t j = 0; i < bytes.size(); ++i, ++j) {
        previous = bytes[i] ^ static_cast<uint8_t>(previous + key[j]);
        bytes[i] = previous;
    }
    return previous;
}

}  // namespace

ConnectionKey connection_key(std::string_view password) { return md5(password); }

void scramble_outgoing(std::span<uint8_t> bytes, const ConnectionKey& key, ScrambleState& state) {
    state.previous = chain_on_input(bytes, rotated(key, state.position), state.previous);
    state.position = static_cast<uint32_t>((state.position + bytes.size()) % kKeySize);
}

void unscramble_incoming(std::span<uint8_t> bytes, const ConnectionKey& key, ScrambleState& state) {
    state.previous = chain_on_output(bytes, rotated(key, state.position), state.previous);
    state.position += static_cast<uint32_t>(bytes.size());
}

uint8_t scramble_without_advancing(uint8_t plain, const ConnectionKey& key, const ScrambleState& state) {
    return plain ^ static_cast<uint8_t>(state.previous + key[state.position % kKeySize]);
}

void file_scramble(std::span<uint8_t> bytes) { chain_on_output(bytes, kFixedKeyTable, 0); }

void file_unscramble(std::span<uint8_t> bytes) { chain_on_input(bytes, kFixedKeyTable, 0); }

}  // namespace kb::net
