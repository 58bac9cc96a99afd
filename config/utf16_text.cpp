#include "config/utf16_text.h"

#include <algorithm>

namespace kb::config {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool is_high_surrogate(char32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool is_low_surrogate(char32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

void append_utf8(std::string& out, char32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// Decodes one code point at text[i], advancing i; malformed input gives U+FFFD and
// advances one byte.
char32_t next_code_point(std::string_view text, size_t& i) {
    const auto byte = [&](size_t at) { return static_cast<unsigned char>(text[at]); };
    unsigned char lead = byte(i);
    size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || i + length > text.size()) {
        ++i;
        return kReplacement;
    }
    char32_t code = length == 1 ? lead : lead & (0x7F >> length);
    for (size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            ++i;
            return kReplacement;
        }
        code = (code << 6) | (byte(i + k) & 0x3F);
    }
    static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kSmallest[length] || code > 0x10FFFF || is_high_surrogate(code) || is_low_surrogate(code)) {
        ++i;
        return kReplacement;
    }
    i += length;
    return code;
}

}  // namespace

namespace {

char32_t unit_at(std::span<const uint8_t> field, size_t index) {
    return static_cast<char32_t>(field[2 * index] | (field[2 * index + 1] << 8));
}

}  // namespace

std::string utf16le_field_to_utf8(std::span<const uint8_t> field) {
    const size_t count = field.size() / 2;
    std::string out;
    for (size_t i = 0; i < count && unit_at(field, i) != 0; ++i) {
        char32_t unit = unit_at(field, i);
        if (is_high_surrogate(unit) && i + 1 < count && is_low_surrogate(unit_at(field, i + 1))) {
            append_utf8(out, 0x10000 + ((unit - 0xD800) << 10) + (unit_at(field, i + 1) - 0xDC00));
            ++i;
        } else if (is_high_surrogate(unit) || is_low_surrogate(unit)) {
            append_utf8(out, kReplacement);
        } else {
            append_utf8(out, unit);
        }
    }
    return out;
}

void utf8_to_utf16le_field(std::string_view text, std::span<uint8_t> field) {
    const size_t count = field.size() / 2;
    if (count == 0) return;
    size_t used = 0;
    const auto put = [&](char32_t unit) {
        field[2 * used] = static_cast<uint8_t>(unit);
        field[2 * used + 1] = static_cast<uint8_t>(unit >> 8);
        ++used;
    };
    size_t i = 0;
    while (i < text.size()) {
        char32_t code = next_code_point(text, i);
        if (code == 0) break;
        if (code >= 0x10000) {
            if (used + 2 > count - 1) break;
            code -= 0x10000;
            put(0xD800 + (code >> 10));
            put(0xDC00 + (code & 0x3FF));
        } else {
            if (used + 1 > count - 1) break;
            put(code);
        }
    }
    std::fill(field.begin() + static_cast<std::ptrdiff_t>(2 * used), field.end(), uint8_t{0});
}

void terminate_utf16le_field(std::span<uint8_t> field) {
    if (field.size() < 2) return;
    field[field.size() - 1] = 0;
    field[field.size() - 2] = 0;
}

}  // namespace kb::config
