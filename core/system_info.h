#pragma once
#include <string>

namespace kb::core {

// Texts about the user's machine for the login record and the journal. Any thread.

// The longest country name kept (the rest is cut, never inside a UTF-8 character).
inline constexpr size_t kCountryNameLimit = 250;

// The country of the user's locale ("Germany" for de_DE), at most 250 bytes; empty when
// the locale names none (the "C" locale, an unset environment).
std::string country_name();

// The operating system version as "Linux %d.%d": the running kernel's major and minor
// number ("Linux 6.1"), "Linux 0.0" when they can't be read.
std::string os_version_text();

}  // namespace kb::core
