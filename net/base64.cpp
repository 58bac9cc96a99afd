#include "net/base64.h"

#include <array>

namespace kb::net {

namespace {

constexpr std::string_view kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr int kNotInAlphabet = -1;

constexpr std::array<int, 256> make_values() {
    std::array<int, 256> values{};
    for (int& value : values) value = kNotInAlphabet;
    for (size_t i = 0; i < kAlphabet.size(); ++i) values[static_cast<uint8_t>(kAlphabet[i])] = static_cast<int>(i);
    return values;
}

constexpr std::array<int, 256> kValues = make_values();

}  // namespace

std::string base64_encode(std::span<const uint8_t> bytes) {
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        uint32_t group = (uint32_t{bytes[i]} << 16) | (uint32_t{bytes[i + 1]} << 8) | bytes[i + 2];
        out += kAlphabet[(group >> 18) & 63];
        out += kAlphabet[(group >> 12) & 63];
        out += kAlphabet[(group >> 6) & 63];
        out += kAlphabet[group & 63];
    }
    size_t rest = bytes.size() - i;
    if (rest == 0) return out;
    uint32_t group = uint32_t{bytes[i]} << 16;
    if (rest == 2) group |= uint32_t{bytes[i + 1]} << 8;
    out += kAlphabet[(group >> 18) & 63];
    out += kAlphabet[(group >> 12) & 63];
    out += rest == 2 ? kAlphabet[(group >> 6) & 63] : '=';
    out += '=';
    return out;
}

std::optional<std::vector<uint8_t>> base64_decode(std::string_view text) {
    if (text.size() % 4 != 0) return std::nullopt;
    std::vector<uint8_t> out;
    out.reserve(text.size() / 4 * 3);
    for (size_t i = 0; i < text.size(); i += 4) {
        bool last_group = i + 4 == text.size();
        size_t padding = 0;
        if (last_group && text[i + 3] == '=') padding = text[i + 2] == '=' ? 2 : 1;
        uint32_t group = 0;
        for (size_t j = 0; j < 4; ++j) {
            int value = j < 4 - padding ? kValues[static_cast<uint8_t>(text[i + j])] : 0;
            if (value == kNotInAlphabet) return std::nullopt;
            group = (group << 6) | static_cast<uint32_t>(value);
        }
        out.push_back(static_cast<uint8_t>(group >> 16));
        if (padding < 2) out.push_back(static_cast<uint8_t>(group >> 8));
        if (padding < 1) out.push_back(static_cast<uint8_t>(group));
        uint32_t dropped_bits = padding == 2 ? (group & 0xFFFF) : padding == 1 ? (group & 0xFF) : 0;
        if (dropped_bits != 0) return std::nullopt;
    }
    return out;
}

}  // namespace kb::net
