#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace kb::core {

inline constexpr std::string_view kDefaultCompanyName = "Quorvantis Software Corp.";
inline constexpr std::string_view kDefaultProgramTitle = "Kestrelbay 4 Mobile";
inline constexpr std::string_view kDefaultShortName = "Kestrelbay Mobile";

// The names the program shows and reports; a branding file may replace them. Texts are
// UTF-8 and kept to their limits in characters. Plain data; the user-interface thread
// owns it.
class Branding {
public:
    static constexpr size_t kCompanyNameLimit = 128;
    static constexpr size_t kProgramTitleLimit = 128;
    static constexpr size_t kShortNameLimit = 32;

    const std::string& company_name() const { return company_name_; }
    const std::string& program_title() const { return program_title_; }
    const std::string& short_name() const { return short_name_; }

    // Each setter keeps at most the limit's number of characters of text.
    void set_company_name(std::string_view text);
    void set_program_title(std::string_view text);
    void set_short_name(std::string_view text);
    void reset_to_defaults();

private:
    std::string company_name_{kDefaultCompanyName};
    std::string program_title_{kDefaultProgramTitle};
    std::string short_name_{kDefaultShortName};
};

// The first limit characters (code points) of UTF-8 text.
std::string first_characters(std::string_view text, size_t limit);

}  // namespace kb::core
