#include "chart/framework/key_lines.h"

#include <cctype>
#include <cmath>

#include "core/line_parsers.h"
#include "core/number_format.h"

namespace kb::chart {
namespace {

bool starts_number(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    auto digit_at = [&](size_t k) { return k < text.size() && std::isdigit(static_cast<unsigned char>(text[k])); };
    return digit_at(i) || (i < text.size() && text[i] == '.' && digit_at(i + 1));
}

}  // namespace

bool read_integer_key(std::string_view line, std::string_view key, int& value) {
    return core::parse_integer_line(line, key, value, core::LeadingBlanks::Keep);
}

NumberKey read_number_text(std::string_view text, double& value) {
    if (!starts_number(text)) return NumberKey::Absent;
    const double read = core::number_from_text(text);
    if (!std::isfinite(read) || read == kAbsentNumber) return NumberKey::Absent;
    value = read;
    return NumberKey::Read;
}

NumberKey read_number_key(std::string_view line, std::string_view key, double& value) {
    if (line.substr(0, key.size()) != key) return NumberKey::NoMatch;
    return read_number_text(line.substr(key.size()), value);
}

bool read_numbered_key(std::string_view line, std::string_view prefix, int& index, std::string_view& value) {
    if (line.substr(0, prefix.size()) != prefix) return false;
    size_t i = prefix.size();
    bool negative = false;
    if (i < line.size() && (line[i] == '+' || line[i] == '-')) negative = line[i++] == '-';
    const size_t digits_start = i;
    long long number = 0;
    while (i < line.size() && std::isdigit(static_cast<unsigned char>(line[i]))) {
        if (number < 1000000) number = number * 10 + (line[i] - '0');
        ++i;
    }
    if (i == digits_start || i >= line.size() || line[i] != '=') return false;
    index = static_cast<int>(negative ? -number : number);
    value = line.substr(i + 1);
    return true;
}

std::string integer_line(std::string_view key, long long value) {
    std::string line(key);
    line += std::to_string(value);
    return line;
}

std::string fixed_line(std::string_view key, double value, int decimals) {
    std::string line(key);
    line += core::fixed_text(value, decimals);
    return line;
}

}  // namespace kb::chart
