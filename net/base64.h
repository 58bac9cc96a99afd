#pragma once
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kb::net {

// Base64 with the standard alphabet of RFC 4648 (A-Z a-z 0-9 + /) and "=" padding.
// Pure functions, callable from any thread.

// The encoded text of bytes; a length that is not a multiple of 3 is padded with "=".
std::string base64_encode(std::span<const uint8_t> bytes);

// The bytes of a padded base64 text. Nothing when the length is not a multiple of 4, a
// character is outside the alphabet, padding appears anywhere but at the end, or the bits
// that padding drops are not zero (so every byte string has exactly one accepted text).
std::optional<std::vector<uint8_t>> base64_decode(std::string_view text);

}  // namespace kb::net
