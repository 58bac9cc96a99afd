#pragma once
#include <cstddef>
#include <cstring>
#include <string_view>

namespace kb::market {

// The text of a fixed 8-bit field: up to its first NUL, never past its end, so a field
// whose terminator is missing still reads safely.
template <size_t N>
std::string_view field_text(const char (&field)[N]) {
    return std::string_view(field, strnlen(field, N));
}

// Copies text into a fixed field, cut to N - 1 bytes, the rest filled with NUL.
template <size_t N>
void set_field_text(char (&field)[N], std::string_view text) {
    size_t length = text.size() < N ? text.size() : N - 1;
    std::memset(field, 0, N);
    if (length > 0) std::memcpy(field, text.data(), length);
}

}  // namespace kb::market
