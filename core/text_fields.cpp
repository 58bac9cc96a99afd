#include "core/text_fields.h"

#include <locale.h>
#include <wctype.h>

#include <algorithm>
#include <cstring>

namespace kb::core {
namespace {

constexpr size_t kMinimumPasswordLength = 5;
constexpr char32_t kInvalidSequence = 0xFFFD;

enum CharClass { Upper = 1, Lower = 2, Other = 4 };

// Decodes the code point at text[pos] and advances pos; a malformed sequence counts as
// one character (U+FFFD) of one byte.
char32_t next_code_point(std::string_view text, size_t& pos) {
    auto byte = static_cast<unsigned char>(text[pos++]);
    int length = byte < 0x80 ? 0 : (byte & 0xE0) == 0xC0 ? 1 : (byte & 0xF0) == 0xE0 ? 2 : (byte & 0xF8) == 0xF0 ? 3 : -1;
    if (length == 0) return byte;
    if (length < 0 || pos + static_cast<size_t>(length) > text.size()) return kInvalidSequence;
    char32_t code = byte & (0x3F >> length);
    for (int i = 0; i < length; ++i) {
        auto continuation = static_cast<unsigned char>(text[pos + static_cast<size_t>(i)]);
        if ((continuation & 0xC0) != 0x80) return kInvalidSequence;
        code = code << 6 | (continuation & 0x3F);
    }
    pos += static_cast<size_t>(length);
    return code;
}

locale_t character_tables() {
    locale_t tables = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    // Without Unicode tables only ASCII letters have a case; the rest counts as Other.
    return tables ? tables : ::newlocale(LC_CTYPE_MASK, "C", static_cast<locale_t>(nullptr));
}

// 0 for blanks and punctuation (and malformed UTF-8, read as U+FFFD, a symbol).
// Classified in a locale object of its own, so the process locale is not touched.
int classify(char32_t code) {
    static const locale_t tables = character_tables();
    auto wide = static_cast<wint_t>(code);
    if (::iswupper_l(wide, tables)) return Upper;
    if (::iswlower_l(wide, tables)) return Lower;
    if (::iswspace_l(wide, tables) || ::iswpunct_l(wide, tables)) return 0;
    return Other;
}

}  // namespace

void fill_text_field(std::span<char> field, std::string_view text, platform::Random& random) {
    if (field.empty()) return;
    size_t copied = std::min(text.size(), field.size() - 1);
    std::memcpy(field.data(), text.data(), copied);
    field[copied] = '\0';
    for (size_t i = copied + 1; i < field.size(); ++i) field[i] = static_cast<char>(random.next());
}

bool password_is_strong(std::string_view password) {
    size_t characters = 0;
    int classes = 0;
    for (size_t pos = 0; pos < password.size(); ++characters) {
        int found = classify(next_code_point(password, pos));
        if (found == 0) return false;
        classes |= found;
    }
    int class_count = (classes & Upper ? 1 : 0) + (classes & Lower ? 1 : 0) + (classes & Other ? 1 : 0);
    return characters >= kMinimumPasswordLength && class_count >= 2;
}

}  // namespace kb::core
