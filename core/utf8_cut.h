#pragma once
#include <cstddef>
#include <string_view>

namespace kb::core {

// The longest prefix of text of at most limit bytes that does not end inside a UTF-8
// character (bytes that are not UTF-8 are cut like single characters).
inline std::string_view cut_utf8(std::string_view text, size_t limit) {
    if (text.size() <= limit) return text;
    size_t end = limit;
    // Back up over continuation bytes (10xxxxxx) to the start of the cut character.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return text.substr(0, end);
}

}  // namespace kb::core
