#include "core/settings_file.h"

#include <algorithm>
#include <cstdio>
#include <optional>

namespace kb::core {
namespace {

constexpr std::string_view kNumberTag = "dword:";

char fold(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool same_ignoring_case(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return fold(x) == fold(y); });
}

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

void append_quoted(std::string& out, std::string_view text) {
    static const char kHex[] = "0123456789abcdef";
    out += '"';
    for (char c : text) {
        auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '"': out += "\\\""; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (byte < 0x20 || byte == 0x7f) {
                out += "\\x";
                out += kHex[byte >> 4];
                out += kHex[byte & 15];
            } else {
                out += c;
            }
        }
    }
    out += '"';
}

// Reads a quoted text at the start of in and advances past it; nullopt when it is not
// a well-formed quoted text.
std::optional<std::string> take_quoted(std::string_view& in) {
    if (in.empty() || in.front() != '"') return std::nullopt;
    std::string text;
    size_t i = 1;
    while (i < in.size()) {
        char c = in[i++];
        if (c == '"') {
            in.remove_prefix(i);
            return text;
        }
        if (c != '\\') {
            text += c;
            continue;
        }
        if (i >= in.size()) return std::nullopt;
        char escaped = in[i++];
        switch (escaped) {
        case '\\': text += '\\'; break;
        case '"': text += '"'; break;
        case 'n': text += '\n'; break;
        case 'r': text += '\r'; break;
        case 't': text += '\t'; break;
        case 'x': {
            if (i + 2 > in.size()) return std::nullopt;
            int high = hex_digit(in[i]), low = hex_digit(in[i + 1]);
            if (high < 0 || low < 0) return std::nullopt;
            text += static_cast<char>(high * 16 + low);
            i += 2;
            break;
        }
        default: return std::nullopt;
        }
    }
    return std::nullopt;
}

std::string_view trim_trailing_blanks(std::string_view s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

std::optional<int32_t> parse_number(std::string_view s) {
    if (s.empty() || s.size() > 8) return std::nullopt;
    uint32_t bits = 0;
    for (char c : s) {
        int digit = hex_digit(c);
        if (digit < 0) return std::nullopt;
        bits = bits << 4 | static_cast<uint32_t>(digit);
    }
    return static_cast<int32_t>(bits);
}

// "name"=dword:xxxxxxxx or "name"="text"; false for anything else.
bool parse_value_line(std::string_view line, std::string& name, SettingsValue& value) {
    std::string_view rest = trim_trailing_blanks(line);
    auto quoted_name = take_quoted(rest);
    if (!quoted_name || rest.empty() || rest.front() != '=') return false;
    rest.remove_prefix(1);
    if (rest.substr(0, kNumberTag.size()) == kNumberTag) {
        auto number = parse_number(rest.substr(kNumberTag.size()));
        if (!number) return false;
        value = *number;
    } else {
        auto text = take_quoted(rest);
        if (!text || !rest.empty()) return false;
        value = std::move(*text);
    }
    name = std::move(*quoted_name);
    return true;
}

std::optional<std::string_view> parse_header(std::string_view line) {
    line = trim_trailing_blanks(line);
    if (line.size() < 3 || line.front() != '[' || line.back() != ']') return std::nullopt;
    return line.substr(1, line.size() - 2);
}

bool is_blank(std::string_view line) { return trim_trailing_blanks(line).find_first_not_of(" \t") == std::string_view::npos; }

}  // namespace

SettingsDocument SettingsDocument::parse(std::string_view text) {
    SettingsDocument document;
    document.keys_.push_back(Key{});
    Key* current = &document.keys_.front();
    while (!text.empty()) {
        size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (is_blank(line)) continue;
        if (auto path = parse_header(line)) {
            current = document.find_key(*path);
            if (!current) current = &document.add_key(*path);
            continue;
        }
        Line entry;
        if (parse_value_line(line, entry.name, entry.value)) {
            entry.is_value = true;
        } else {
            entry.raw = trim_trailing_blanks(line);
        }
        current->lines.push_back(std::move(entry));
    }
    return document;
}

std::string SettingsDocument::serialise() const {
    std::string out;
    for (const Key& key : keys_) {
        if (key.path.empty() && key.lines.empty()) continue;
        if (!out.empty()) out += '\n';
        if (!key.path.empty()) out += "[" + key.path + "]\n";
        for (const Line& line : key.lines) {
            if (!line.is_value) {
                out += line.raw;
            } else {
                append_quoted(out, line.name);
                out += '=';
                if (auto* number = std::get_if<int32_t>(&line.value)) {
                    char digits[16];
                    std::snprintf(digits, sizeof digits, "%08x", static_cast<uint32_t>(*number));
                    out += kNumberTag;
                    out += digits;
                } else {
                    append_quoted(out, std::get<std::string>(line.value));
                }
            }
            out += '\n';
        }
    }
    return out;
}

const SettingsValue* SettingsDocument::find(std::string_view key_path, std::string_view name) const {
    const Key* key = find_key(key_path);
    if (!key) return nullptr;
    for (const Line& line : key->lines)
        if (line.is_value && same_ignoring_case(line.name, name)) return &line.value;
    return nullptr;
}

void SettingsDocument::set(std::string_view key_path, std::string_view name, SettingsValue value) {
    Key* key = find_key(key_path);
    if (!key) {
        for (size_t end = key_path.find('\\'); end != std::string_view::npos; end = key_path.find('\\', end + 1))
            if (!find_key(key_path.substr(0, end))) add_key(key_path.substr(0, end));
        key = &add_key(key_path);
    }
    auto same_name = [&](const Line& line) { return line.is_value && same_ignoring_case(line.name, name); };
    auto first = std::find_if(key->lines.begin(), key->lines.end(), same_name);
    if (first == key->lines.end()) {
        key->lines.push_back(Line{{}, true, std::string(name), std::move(value)});
        return;
    }
    first->value = std::move(value);
    key->lines.erase(std::remove_if(first + 1, key->lines.end(), same_name), key->lines.end());
}

std::vector<std::string> SettingsDocument::key_paths() const {
    std::vector<std::string> paths;
    for (const Key& key : keys_)
        if (!key.path.empty()) paths.push_back(key.path);
    return paths;
}

SettingsDocument::Key* SettingsDocument::find_key(std::string_view path) {
    auto it = std::find_if(keys_.begin(), keys_.end(), [&](const Key& key) { return same_ignoring_case(key.path, path); });
    return it == keys_.end() ? nullptr : &*it;
}

const SettingsDocument::Key* SettingsDocument::find_key(std::string_view path) const {
    return const_cast<SettingsDocument*>(this)->find_key(path);
}

SettingsDocument::Key& SettingsDocument::add_key(std::string_view path) {
    keys_.push_back(Key{std::string(path), {}});
    return keys_.back();
}

}  // namespace kb::core
