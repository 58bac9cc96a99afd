#pragma once
#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/random.h"

namespace kb::core {

// Helpers for the 8-bit NUL-terminated texts inside fixed-size record fields.

// The text of a field: up to its first NUL, never past its end.
template <size_t N>
std::string_view field_text(const char (&field)[N]) {
    return std::string_view(field, strnlen(field, N));
}

// Stores text in a field, cut to N - 1 characters; the rest of the field is zeroed.
template <size_t N>
void set_field_text(char (&field)[N], std::string_view text) {
    size_t n = text.size() < N - 1 ? text.size() : N - 1;
    std::memset(field, 0, N);
    std::memcpy(field, text.data(), n);
}

// Forces the field's last byte to NUL (the receiver of a fixed text always does).
template <size_t N>
void terminate_field(char (&field)[N]) {
    field[N - 1] = '\0';
}

// Fills the bytes after the text's NUL, up to but not including the field's last byte,
// with the low bytes of random's numbers, so that saved files do not show stale memory as
// zeros. As thread-safe as random is.
template <size_t N>
void fill_after_text(char (&field)[N], platform::Random& random) {
    for (size_t i = strnlen(field, N) + 1; i + 1 < N; ++i) field[i] = static_cast<char>(random.next());
}

}  // namespace kb::core
