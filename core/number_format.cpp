#include "core/number_format.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <vector>
#include <locale.h>

namespace kb::core {
namespace {

constexpr double kPowersOfTen[] = {1.0, 10.0, 100.0, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8};
constexpr double kTieMargin = 0.5000001;
constexpr double kPriceLimit = 10000000000.0;
// Scaled amounts from here on no longer convert exactly through a 64-bit integer.
constexpr double kMoneyIntegerLimit = 922337203685477.0;
constexpr int kMaxMoneyDecimals = 7;

double round_half_away(double scaled) {
    return std::trunc(scaled >= 0 ? scaled + kTieMargin : scaled - kTieMargin);
}

// "1234567" -> "1 234 567"
std::string grouped(std::string_view digits) {
    std::string out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ' ';
        out += digits[i];
    }
    return out;
}

std::string money_from_integer(int64_t scaled, int decimals) {
    bool negative = scaled < 0;
    uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(scaled) : static_cast<uint64_t>(scaled);
    std::string digits = std::to_string(magnitude);
    if (digits.size() <= static_cast<size_t>(decimals)) digits.insert(0, decimals + 1 - digits.size(), '0');
    size_t point = digits.size() - static_cast<size_t>(decimals);
    std::string text = negative ? "-" : "";
    text += grouped(std::string_view(digits).substr(0, point));
    if (decimals > 0) text += "." + digits.substr(point);
    return text;
}

std::string money_from_fixed_text(double value, int decimals) {
    std::string eight = fixed_text(value, 8);
    bool negative = eight.front() == '-';
    std::string_view body = std::string_view(eight).substr(negative ? 1 : 0);
    size_t point = body.find('.');
    std::string text = negative ? "-" : "";
    text += grouped(body.substr(0, point));
    if (decimals > 0) text += "." + std::string(body.substr(point + 1, static_cast<size_t>(decimals)));
    return text;
}

}  // namespace

std::string fixed_text(double value, int decimals) {
    decimals = std::max(decimals, 0);
    // The largest double has 309 integer digits; with sign and point 311 characters
    // precede the decimals. The usual requests fit the stack buffer.
    constexpr size_t kIntegerPart = 311;
    char on_stack[kIntegerPart + 73];
    std::vector<char> on_heap;
    std::span<char> buffer(on_stack);
    if (kIntegerPart + static_cast<size_t>(decimals) > buffer.size()) {
        on_heap.resize(kIntegerPart + static_cast<size_t>(decimals));
        buffer = on_heap;
    }
    auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, std::chars_format::fixed, decimals);
    if (result.ec != std::errc()) return {};
    return std::string(buffer.data(), result.ptr);
}

double number_from_text(std::string_view text) {
    // strtod in the "C" locale: atof's exact rules (overflow to ±HUGE_VAL included).
    static const locale_t c_locale = ::newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    std::string terminated(text);
    return ::strtod_l(terminated.c_str(), nullptr, c_locale);
}

double power_of_ten(int exponent) {
    if (exponent >= 0 && exponent <= kMaxDigits) return kPowersOfTen[exponent];
    return std::pow(10.0, exponent);
}

double normalize(double value, int digits) {
    double power = power_of_ten(std::clamp(digits, 0, kMaxDigits));
    return round_half_away(value * power) / power;
}

std::string price_text(double value, int digits) {
    if (digits < 0 || digits > kMaxDigits || !std::isfinite(value)) return {};
    if (value <= -kPriceLimit || value >= kPriceLimit) return {};
    return fixed_text(value, digits);
}

std::string short_price_text(double value, int digits) {
    if (!std::isfinite(value)) return {};
    std::string text = fixed_text(value, std::clamp(digits, 0, kMaxDigits) + 2);
    for (int removed = 0; removed < 2 && text.back() == '0'; ++removed) text.pop_back();
    if (text.back() == '.') text.pop_back();
    return text;
}

std::string money_text(double value, int decimals, size_t buffer_size) {
    if (!std::isfinite(value)) return {};
    if (decimals < 0 || decimals > kMaxMoneyDecimals) decimals = 0;
    double scaled = value * power_of_ten(decimals);
    std::string text = (scaled > -kMoneyIntegerLimit && scaled < kMoneyIntegerLimit)
                           ? money_from_integer(static_cast<int64_t>(round_half_away(scaled)), decimals)
                           : money_from_fixed_text(value, decimals);
    return text.size() < buffer_size ? text : std::string();
}

std::string trimmed_number_text(double value, int decimals) {
    std::string text = fixed_text(value, std::max(decimals, 0));
    if (text.find('.') == std::string::npos) return text;
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
    return text;
}

double fixed_point_to_number(int value, int decimals) {
    char digits[32];
    std::snprintf(digits, sizeof digits, "%06d", value);
    std::string text = digits;
    if (decimals >= 1 && decimals <= 5) text.insert(text.size() - static_cast<size_t>(decimals), ".");
    return number_from_text(text);
}

void comma_to_point(std::string& text) { std::replace(text.begin(), text.end(), ',', '.'); }

}  // namespace kb::core
