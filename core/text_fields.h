#pragma once
#include <span>
#include <string_view>

#include "platform/random.h"

namespace kb::core {

// Copies text into a fixed 8-bit field of a request record: at most field.size() - 1
// bytes, a terminating NUL, and the rest of the field filled with the low bytes of
// random's numbers, so that unused space carries no stale memory and no recognisable
// pattern. Does nothing to an empty field. As thread-safe as random is.
void fill_text_field(std::span<char> field, std::string_view text, platform::Random& random);

// Whether a new password is strong enough: more than 4 characters (UTF-8 code points),
// each an upper-case letter, a lower-case letter or some other character that is
// neither a blank nor punctuation (digits, letters without case), with at least two of
// these three classes present. A blank or punctuation character (symbols included, and
// malformed UTF-8) makes it fail at once.
// Any thread.
bool password_is_strong(std::string_view password);

}  // namespace kb::core
