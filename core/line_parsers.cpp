#include "core/line_parsers.h"

#include <climits>
#include <cstdlib>
#include <optional>

#include "core/number_format.h"
#include "core/utf8_cut.h"

namespace kb::core {
namespace {

// The value part of line, or nullopt when the line does not start with prefix.
std::optional<std::string_view> value_after(std::string_view line, std::string_view prefix, LeadingBlanks blanks) {
    if (blanks == LeadingBlanks::Skip) {
        size_t start = line.find_first_not_of(" \t");
        line.remove_prefix(start == std::string_view::npos ? line.size() : start);
    }
    if (line.substr(0, prefix.size()) != prefix) return std::nullopt;
    line.remove_prefix(prefix.size());
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
    return line;
}

int integer_from_text(std::string_view text) {
    std::string terminated(text);
    long long value = std::strtoll(terminated.c_str(), nullptr, 10);
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

}  // namespace

double parse_number_line(std::string_view line, std::string_view prefix) {
    auto value = value_after(line, prefix, LeadingBlanks::Skip);
    return value ? number_from_text(*value) : kNoNumber;
}

bool parse_integer_line(std::string_view line, std::string_view prefix, int& value, LeadingBlanks blanks) {
    auto text = value_after(line, prefix, blanks);
    if (!text) return false;
    value = integer_from_text(*text);
    return true;
}

bool parse_text_line(std::string_view line, std::string_view prefix, std::string& text, size_t buffer_size,
                     LeadingBlanks blanks) {
    auto value = value_after(line, prefix, blanks);
    if (!value || buffer_size == 0) return false;
    text = cut_utf8(*value, buffer_size - 1);
    return true;
}

bool parse_short_text_line(std::string_view line, std::string_view prefix, std::string& text) {
    return parse_text_line(line, prefix, text, kShortLineTextSize);
}

}  // namespace kb::core
