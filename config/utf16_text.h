#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace kb::config {

// UTF-16LE text fields of files (16-bit characters, NUL-terminated) and UTF-8 in memory.

// The UTF-8 form of the text in field (up to its first 16-bit NUL or its end). Unpaired
// surrogates become U+FFFD.
std::string utf16le_field_to_utf8(std::span<const uint8_t> field);

// Writes text into field as UTF-16LE: at most size/2 - 1 units (a surrogate pair is
// never split), then zeros to the end. Invalid UTF-8 bytes become U+FFFD.
void utf8_to_utf16le_field(std::string_view text, std::span<uint8_t> field);

// Forces the field's last 16-bit unit to NUL.
void terminate_utf16le_field(std::span<uint8_t> field);

}  // namespace kb::config
