#pragma once
#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace kb::net {

using Md5Digest = std::array<uint8_t, 16>;

// MD5 (RFC 1321) of a byte range or of a text's 8-bit characters (no terminator).
Md5Digest md5(std::span<const uint8_t> bytes);
Md5Digest md5(std::string_view text);

}  // namespace kb::net
